// Reading an INI-style file, and loading a language file through it: the time grows linearly with
// the file's size, and the heap a read takes at its peak is a small multiple of the file. The
// floor of each figure is the same reader on the 1 MB file of the same encoding; the 16 MB file's
// ratio to it is about 16 when the read is linear.
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "floor_ratio.h"
#include "machine/machine.h"
#include "textfiles/encoding.h"
#include "textfiles/ini_file.h"
#include "textfiles/localizer.h"

// ---- Heap accounting: while it is on, every allocation of the program counts, for the peak a
// read takes. It is on for one read before the timed ones only, so that it costs them nothing.

namespace {
bool g_counting = false;
std::size_t g_heapNow = 0;
std::size_t g_heapPeak = 0;

void* Allocate(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    if (g_counting) {
        g_heapNow += malloc_usable_size(p);
        g_heapPeak = std::max(g_heapPeak, g_heapNow);
    }
    return p;
}

void Release(void* p) {
    if (p == nullptr) return;
    if (g_counting) g_heapNow -= std::min(g_heapNow, malloc_usable_size(p));
    std::free(p);
}
}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}

namespace {

constexpr int kGroups = 8;

// A language file of about `bytes` bytes: the language and font sections, then kGroups text
// groups of equal length, each text with a Chinese translation.
std::string MakeLanguageFile(std::size_t bytes, bool utf16) {
    auto encode = [utf16](const std::wstring& text) {
        if (!utf16) return WideToAnsi(text);
        std::string out;
        for (char16_t u : WideToUtf16(text)) {
            out.push_back(static_cast<char>(u & 0xFF));
            out.push_back(static_cast<char>(u >> 8));
        }
        return out;
    };
    std::string file = utf16 ? std::string("\xFF\xFE", 2) : std::string();
    file += encode(
        L"# A generated language file.\r\n[Language]\r\nID=0804\r\nCodePage=936\r\n"
        L"[Font]\r\nNormal=\u5B8B\u4F53,9\r\n");
    // The texts of a group in no particular order, as people write them: the number in a source
    // text is the index times an odd constant, which gives each index its own number.
    auto line = [&](int group, std::uint32_t index) {
        wchar_t text[160];
        std::swprintf(text, 160,
                      L"Source text %08X of group %d=\u8BD1\u6587 %u, a translated text of the "
                      L"group\\nwith a second line\r\n",
                      index * 2654435761u, group, index);
        return encode(text);
    };
    std::size_t perGroup = (bytes - file.size()) / kGroups / line(0, 0).size() + 1;
    for (int group = 0; group < kGroups; ++group) {
        file += encode(L"[text-Group" + std::to_wstring(group) + L"]\r\n");
        for (std::size_t i = 0; i < perGroup; ++i)
            file += line(group, static_cast<std::uint32_t>(i));
    }
    return file;
}

// Pushes the program's data out of the processor's caches by going through a buffer larger than
// they are.
void EvictCaches() {
    static std::vector<std::uint64_t> buffer(64 << 20 >> 3);
    std::uint64_t sum = 0;
    for (std::uint64_t& word : buffer) sum += ++word;
    benchmark::DoNotOptimize(sum);
}

enum class Reader { IniFile, Localizer };

// Reads the generated file of the size and encoding, each iteration afresh: through the INI-style
// reader alone, or as the localizer loads it (the reader, then the localizer's own tables).
void ReadFileBench(benchmark::State& state, Reader reader, std::size_t megabytes, bool utf16) {
    const std::wstring path = L"C:\\Program Files\\Modem\\plugins\\lang_" +
                              std::to_wstring(megabytes) + (utf16 ? L"_utf16" : L"_ansi");
    std::string bytes = MakeLanguageFile(megabytes << 20, utf16);
    if (!sim::machine().FileExists(path) && !sim::machine().WriteFile(path, bytes)) {
        state.SkipWithError("the language file could not be written");
        return;
    }
    auto read = [&] {
        if (reader == Reader::IniFile) {
            // Read, and every section put in key order.
            CIniFile ini(path);
            for (const std::wstring& section : ini.GetSectionNames())
                benchmark::DoNotOptimize(ini.GetKeyCount(section));
        } else {
            CLocalizer localizer;
            localizer.Load(path);
            benchmark::DoNotOptimize(
                localizer.GetText(L"Source text 9E3779B1 of group 7", L"Group7"));
        }
    };
    // The heap at its peak, less what was there before: one read, counted, untimed. The
    // allocations of the single-threaded read are all counted; the few frees of older blocks
    // inside it only make the figure smaller.
    g_heapNow = g_heapPeak = 0;
    g_counting = true;
    read();
    g_counting = false;
    std::size_t peak = g_heapPeak;
    // Every read starts with cold caches, as the program's one read at start-up does: without
    // this the small file's read would find the whole of its memory still cached from the read
    // before, and the ratio would compare cached with uncached work.
    for (auto _ : state) {
        state.PauseTiming();
        EvictCaches();
        state.ResumeTiming();
        read();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["file_MB"] = static_cast<double>(bytes.size()) / (1 << 20);
    state.counters["peak_heap_per_file_byte"] = static_cast<double>(peak) / bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
    sim::Machine::Reset(sim::Config::WindowsXP());  // code page 936
    for (Reader reader : {Reader::IniFile, Reader::Localizer}) {
        for (bool utf16 : {true, false}) {
            for (std::size_t megabytes : {1, 16}) {
                std::string name =
                    std::string(reader == Reader::IniFile ? "ReadIniFile/" : "LoadLanguageFile/") +
                    (utf16 ? "UTF-16" : "ANSI") + "/" + std::to_string(megabytes) + "MB";
                benchmark::RegisterBenchmark(name.c_str(), ReadFileBench, reader, megabytes, utf16)
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    return bench::RunWithFloorRatios(argc, argv, [](std::string name) {
        // The floor of "<reader>/<encoding>/<n>MB..." is the same reader on the 1 MB file of that
        // encoding.
        std::size_t megabytes = name.find("MB");
        std::size_t slash = name.rfind('/', megabytes);
        return name.replace(slash + 1, megabytes - slash - 1, "1");
    });
}
