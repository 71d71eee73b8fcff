// App's connection view while connected: one statistics tick (a new sample reported by the dial),
// from the report to the presented frame of the main window with the six lines of totals and
// with the speed graph, against the drawing floor (paint_floor.h).
#include <memory>
#include <string>

#include "app/net_connect_dialog.h"
#include "docking/dialog.h"
#include "docking/image_cache.h"
#include "docking/messages.h"
#include "docking/render_pool.h"
#include "floor_ratio.h"
#include "machine/control/resources.h"
#include "machine/machine.h"
#include "paint_floor.h"
#include "tests/common/connect_view_host.h"
#include <afxwin.h>

namespace {

using app_host::kHostTemplate;

// The view, connected, in a bare main window.
struct ConnectedView {
    System::Docking::Skin::CDockingDialog host{kHostTemplate, nullptr};
    std::unique_ptr<CNetConnectDialog> view;

    ConnectedView() {
        view = app_host::OpenView(host);
        view->ShowSettingsCell(false);
        view->StatusWindow().OnConnected();
        Tick();
    }
    ~ConnectedView() {
        view.reset();
        System::Docking::WaitRenderPoolIdle();
    }
    // One sample reported; returns once the main window has presented a frame after it.
    void Tick() {
        static ULONGLONG n = 0;
        ++n;
        ConnectionInfo info;
        info.duration = static_cast<int>(n);
        info.bytesReceived = n * 150000;
        info.bytesSent = n * 20000;
        view->StatusWindow().OnStatistics(info, 150000 + n % 7 * 1000, 20000);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            const bool presented =
                msg.message == System::Docking::WM_DOCKING_PRESENT && msg.hwnd == host.m_hWnd;
            DispatchMessageW(&msg);
            if (presented) break;
        }
    }
};

void StatisticsTickTotals(benchmark::State& state) {
    ConnectedView v;
    for (auto _ : state) v.Tick();
}

void StatisticsTickGraph(benchmark::State& state) {
    ConnectedView v;
    ::SendMessageW(v.view->StatusWindow().m_hWnd, WM_LBUTTONDBLCLK, 0, 0);
    for (int i = 0; i < 40; ++i) v.Tick();
    for (auto _ : state) v.Tick();
}

}  // namespace

int main(int argc, char** argv) {
    sim::Config config = sim::Config::WindowsXP();
    config.userLocale = 0x0804;
    config.timeZoneBias = -480;
    sim::Machine::Reset(config);
    sim::machine().CopyFromHost(std::string(MODEM_ASSETS_DIR) + "/skin",
                                sim::machine().config().programFolder + L"skin\\");
    control::LinkResources(&app_host::Templates());
    AfxWinInit(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW);
    System::Docking::StartDrawingLibrary();
    benchmark::RegisterBenchmark("FloorFillAndBlit", bench::FloorFillAndBlit)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("StatisticsTickTotals", StatisticsTickTotals)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("StatisticsTickGraph", StatisticsTickGraph)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
    const int result = bench::RunWithFloorRatios(
        argc, argv, [](const std::string&) { return "FloorFillAndBlit"; });
    System::Docking::ShutdownRenderPool();
    return result;
}
