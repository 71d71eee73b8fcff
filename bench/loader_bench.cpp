// Loading the main dialog's layout from the default skin and building its docking tree (cells,
// nested dockings, the dialog's skinned controls), against its floor: reading and walking the
// same file with the XML DOM alone. And a wide tree of 820 dockings whose elements are nested
// over and over (so that hundreds of dockings share an id), against the same tree built from
// 820 elements of ids of their own.
#include <filesystem>
#include <string>
#include <vector>

#include "docking/dialog.h"
#include "docking/image_cache.h"
#include "docking/loader.h"
#include "floor_ratio.h"
#include "machine/control/resources.h"
#include <afxwin.h>
#include <afxcmn.h>
#include "machine/machine.h"
#include <msxml2.h>

namespace {

using namespace System::Docking;

constexpr UINT kMain = 102;  // the main dialog (QOBUIDialog.xml)

// The main dialog's template: a child for every control name a layout may use.
resources::ModuleResources MainTemplate() {
    resources::DialogTemplate dialog{
        static_cast<int>(kMain), WS_POPUP, 0, 0, 0, 300, 200, L"Main", {}};
    for (const auto& [name, id] : ControlIdTable())
        if (id > 0) dialog.items.push_back({id, L"Button", L"", WS_VISIBLE, 0, 0, 0, 10, 10});
    return {{dialog}, {}, {}};
}

std::wstring LayoutPath() {
    return GetProgramFolder() + L"/skin/default/" + LayoutFileName(kMain);
}

int Walk(IXMLDOMNode* node) {
    int count = static_cast<int>(node->attributes().size());
    for (IXMLDOMNode* child : node->childNodes()) count += Walk(child);
    return count;
}

void FloorDomOnly(benchmark::State& state) {
    const std::wstring path = LayoutPath();
    for (auto _ : state) {
        IXMLDOMDocument document;
        if (document.load(path.c_str()) != VARIANT_TRUE) {
            state.SkipWithError("the layout did not load");
            return;
        }
        benchmark::DoNotOptimize(Walk(document.documentElement()));
    }
}

void LoadMainLayout(benchmark::State& state) {
    Skin::CDockingDialog dialog(kMain, nullptr);
    if (!dialog.Create(kMain)) {
        state.SkipWithError("the dialog could not be made");
        return;
    }
    const std::wstring path = LayoutPath();
    for (auto _ : state) {
        LoadDockingLayout(path, dialog.Docking(), dialog.m_hWnd);
        dialog.Docking().FitToClient(dialog.m_hWnd);
    }
}

// A tree of four levels, each docking with nine nested ones (820 dockings): `shared` builds it
// from four elements that each level's cells all name, else from one element per docking.
std::string WideLayout(bool shared) {
    constexpr int kDockings = 1 + 9 + 81 + 729;
    std::string xml = "<root>";
    const int elements = shared ? 4 : kDockings;
    for (int k = 0; k < elements; ++k) {
        xml += "<docking id=\"e" + std::to_string(k) + "\">";
        for (int c = 0; c < 9; ++c) {
            const int child = shared ? k + 1 : 9 * k + 1 + c;
            if (child >= elements) break;
            xml += "<cell index=\"" + std::to_string(c / 3) + std::to_string(c % 3) +
                   "\" child=\"e" + std::to_string(child) + "\"/>";
        }
        xml += "</docking>";
    }
    return xml + "</root>";
}

void LoadWideLayout(benchmark::State& state, bool shared) {
    const std::wstring path = GetProgramFolder() + (shared ? L"/shared.xml" : L"/distinct.xml");
    sim::machine().WriteFile(path, WideLayout(shared));
    Skin::CDockingDialog dialog(kMain, nullptr);
    if (!dialog.Create(kMain)) {
        state.SkipWithError("the dialog could not be made");
        return;
    }
    for (auto _ : state) {
        CDocking root(nullptr);
        LoadDockingLayout(path, root, dialog.m_hWnd);
    }
}

}  // namespace

int main(int argc, char** argv) {
    sim::Machine::Reset(sim::Config::WindowsXP());
    sim::machine().CopyFromHost(std::filesystem::path(MODEM_ASSETS_DIR) / "skin",
                                sim::machine().config().programFolder + L"skin\\");
    static const resources::ModuleResources templates = MainTemplate();
    control::LinkResources(&templates);
    AfxWinInit(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW);
    benchmark::RegisterBenchmark("FloorDomOnly", FloorDomOnly)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("LoadMainLayout", LoadMainLayout)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("WideDistinctIds", LoadWideLayout, false)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("WideSharedIds", LoadWideLayout, true)
        ->Unit(benchmark::kMicrosecond);
    return bench::RunWithFloorRatios(argc, argv, [](const std::string& name) {
        return name.rfind("Wide", 0) == 0 ? "WideDistinctIds" : "FloorDomOnly";
    });
}
