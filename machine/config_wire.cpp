#include "machine/config_wire.h"

namespace sim::wire {

namespace {

constexpr std::size_t kMaxText = 260;

}  // namespace

std::string EncodeConfig(const Config& c) {
    Writer w;
    w.U32(c.major).U32(c.minor).U32(c.build).U32(c.platformId).Text(c.servicePack);
    w.U8(c.is64Bit ? 1 : 0).U32(c.ansiCodePage).U16(c.uiLanguage);
    w.Text(c.userName).Text(c.profileFolder).Text(c.programFolder);
    w.U64(static_cast<std::uint64_t>(c.startLocalTime)).I32(c.timeZoneBias).U32(c.userLocale);
    w.U8(c.hasDebugPrivilege ? 1 : 0);
    w.I32(c.screenWidth).I32(c.screenHeight).I32(c.taskbarHeight);
    return w.Bytes();
}

bool DecodeConfig(const std::string& bytes, Config& config) {
    Config c = config;
    Reader r(bytes);
    std::uint8_t is64 = 0, debug = 0;
    std::uint16_t uiLanguage = 0;
    std::uint32_t major = 0, minor = 0, build = 0, platformId = 0, codePage = 0, locale = 0;
    std::uint64_t localTime = 0;
    std::int32_t bias = 0, width = 0, height = 0, taskbar = 0;
    if (!r.U32(major) || !r.U32(minor) || !r.U32(build) || !r.U32(platformId) ||
        !r.Text(c.servicePack) || !r.U8(is64) || !r.U32(codePage) || !r.U16(uiLanguage) ||
        !r.Text(c.userName) || !r.Text(c.profileFolder) || !r.Text(c.programFolder) ||
        !r.U64(localTime) || !r.I32(bias) || !r.U32(locale) || !r.U8(debug) || !r.I32(width) ||
        !r.I32(height) || !r.I32(taskbar) || !r.AtEnd())
        return false;
    // What the machine could not be: an unknown platform, an empty user or folder, a program
    // folder that is no folder, a time zone past a day, a screen that shows nothing.
    if ((platformId != 1 && platformId != 2) || codePage == 0 || c.userName.empty() ||
        c.programFolder.size() < 3 || c.programFolder.back() != L'\\' ||
        c.servicePack.size() > kMaxText || c.userName.size() > kMaxText ||
        c.profileFolder.size() > kMaxText || c.programFolder.size() > kMaxText || bias < -24 * 60 ||
        bias > 24 * 60 || width <= 0 || height <= 0 || width > 16384 || height > 16384 ||
        taskbar < 0 || taskbar >= height || localTime > static_cast<std::uint64_t>(INT64_MAX))
        return false;
    c.major = major;
    c.minor = minor;
    c.build = build;
    c.platformId = platformId;
    c.is64Bit = is64 != 0;
    c.ansiCodePage = codePage;
    c.uiLanguage = uiLanguage;
    c.startLocalTime = static_cast<std::int64_t>(localTime);
    c.timeZoneBias = bias;
    c.userLocale = locale;
    c.hasDebugPrivilege = debug != 0;
    c.screenWidth = width;
    c.screenHeight = height;
    c.taskbarHeight = taskbar;
    config = c;
    return true;
}

}  // namespace sim::wire
