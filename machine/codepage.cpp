#include "machine/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace sim {

namespace {

// Host wide characters are UTF-32 in the host's byte order.
const char* kWide = "UTF-32LE";

struct Iconv {
    iconv_t cd;
    Iconv(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd);
    }
    bool ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
};

// Windows code page 1252 maps its five unassigned bytes to the C1 controls of the same value, in
// both directions; iconv rejects them.
bool PassesThrough(UINT codePage, std::uint32_t c) {
    return codePage == 1252 && (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D);
}

}  // namespace

std::string CodePageName(UINT cp) {
    switch (cp) {
        case 65001:
            return "UTF-8";
        case 1200:
            return "UTF-16LE";
        case 1201:
            return "UTF-16BE";
        case 20127:
            return "ASCII";
        case 28591:
            return "ISO-8859-1";
        case 936:
            return "CP936";
        case 950:
            return "CP950";
        case 932:
            return "CP932";
        case 949:
            return "CP949";
        case 437:
            return "CP437";
        case 850:
            return "CP850";
        case 866:
            return "CP866";
        default:
            if (cp >= 1250 && cp <= 1258) return "CP" + std::to_string(cp);
            return "";
    }
}

bool WideToCodePage(const std::wstring& text, UINT codePage, std::string* out, char defaultChar,
                    bool* lossy) {
    std::string name = CodePageName(codePage);
    if (name.empty()) return false;
    Iconv conv(name.c_str(), kWide);
    if (!conv.ok()) return false;
    out->clear();
    if (lossy) *lossy = false;
    for (wchar_t wc : text) {
        auto c = static_cast<std::uint32_t>(wc);
        char in[4] = {static_cast<char>(c), static_cast<char>(c >> 8), static_cast<char>(c >> 16),
                      static_cast<char>(c >> 24)};
        char buf[16];
        char* ip = in;
        char* op = buf;
        size_t il = 4, ol = sizeof buf;
        if (iconv(conv.cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) {
            iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
            if (PassesThrough(codePage, c)) {
                out->push_back(static_cast<char>(c));
                continue;
            }
            out->push_back(defaultChar);
            if (lossy) *lossy = true;
            continue;
        }
        out->append(buf, static_cast<size_t>(op - buf));
    }
    return true;
}

bool CodePageToWide(const std::string& bytes, UINT codePage, std::wstring* out, bool strict) {
    std::string name = CodePageName(codePage);
    if (name.empty()) return false;
    Iconv conv(kWide, name.c_str());
    if (!conv.ok()) return false;
    out->clear();
    std::vector<char> inBuf(bytes.begin(), bytes.end());
    char* ip = inBuf.data();
    size_t il = inBuf.size();
    while (il > 0) {
        char buf[256];
        char* op = buf;
        size_t ol = sizeof buf;
        size_t r = iconv(conv.cd, &ip, &il, &op, &ol);
        for (char* p = buf; p + 4 <= op; p += 4) {
            std::uint32_t c = static_cast<unsigned char>(p[0]) |
                              (static_cast<unsigned char>(p[1]) << 8) |
                              (static_cast<unsigned char>(p[2]) << 16) |
                              (static_cast<std::uint32_t>(static_cast<unsigned char>(p[3])) << 24);
            out->push_back(static_cast<wchar_t>(c));
        }
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            auto byte = static_cast<unsigned char>(*ip);
            if (errno == EILSEQ && PassesThrough(codePage, byte)) {
                out->push_back(static_cast<wchar_t>(byte));
                ++ip;
                --il;
                iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
                continue;
            }
            if (strict) return false;
            out->push_back(L'\uFFFD');
            ++ip;
            --il;
            iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return true;
}

bool IsLeadByte(UINT codePage, unsigned char byte) {
    switch (codePage) {
        case 932:
            return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        case 936:
        case 949:
        case 950:
            return byte >= 0x81 && byte <= 0xFE;
        default:
            return false;
    }
}

}  // namespace sim
