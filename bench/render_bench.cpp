// A full repaint of a skinned window on the render pool, from the request to the presented frame,
// against the drawing floor (paint_floor.h); and how many such frames a pool of 1, 2, 4 and 10
// workers presents per second for ten windows at once.
//
// The window's tree has the main dialog's shape: a 500 x 400 root with a tiled background, three
// nested dockings in its cells, thirty cells with texts, borders and images.
#include <memory>
#include <string>
#include <vector>

#include "docking/docking.h"
#include "docking/messages.h"
#include "docking/render_pool.h"
#include "docking/skin.h"
#include "floor_ratio.h"
#include "paint_floor.h"
#include "machine/machine.h"
#include <winuser.h>

namespace {

using namespace System::Docking;

constexpr int kWidth = bench::kFloorWidth;
constexpr int kHeight = bench::kFloorHeight;
constexpr wchar_t kLayout[] = L"C:\\skin\\main.xml";

// Frames presented since the counter was last read, by every bench window.
int g_presented = 0;

LRESULT CALLBACK BenchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDocking* docking = WindowNeedsDocking(window) ? nullptr : WindowDocking(window);
    if (docking != nullptr) {
        if (message == WM_DOCKING_PRESENT && wParam != 0) ++g_presented;
        if (docking->OnWindowMessage(window, message, wParam, lParam)) return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void FillCell(CDockingCell& cell, int n) {
    cell.border.Assign(L"width:1;color:#ff405060");
    cell.padding.Assign(L"2");
    if (n % 3 == 2) {
        cell.background.Assign(L"image:icon.png;color:#ffe8e8f0");
    } else {
        cell.text.Assign(n % 2 == 0 ? L"Connected 00:12:34" : L"\u5DF2\u8FDE\u63A5 Signal");
        cell.font.Assign(n % 2 == 0 ? L"family:Tahoma;size:9"
                                    : L"family:SimSun;size:10;weight:bold;valign:center");
    }
}

// The main dialog's shape: a root whose corner and side cells are filled, with three nested
// dockings (nine cells each) in the middle row.
struct BenchDialog {
    CDocking root{nullptr};
    HWND window;

    BenchDialog() {
        window = CreateWindowExW(0, L"RenderBench", L"", WS_POPUP | WS_VISIBLE, 0, 0, kWidth,
                                 kHeight, nullptr, nullptr, nullptr, nullptr);
        root.Reset(window);
        root.handle.Assign(window);
        root.handle.layoutFile = kLayout;
        root.background.Assign(L"image:tile.png;style:repeat;color:#ffe0e0f0");
        root.ColumnWidth(0) = 160;
        root.ColumnWidth(1) = -1;
        root.ColumnWidth(2) = 160;
        root.RowHeight(0) = 60;
        root.RowHeight(2) = 60;
        int n = 0;
        for (int c = 0; c < 3; ++c) {
            FillCell(root.Cell(0, c), n++);
            FillCell(root.Cell(2, c), n++);
        }
        for (int c = 0; c < 3; ++c) {
            CDocking* nested = root.Cell(1, c).child.Read();
            nested->handle.layoutFile = kLayout;
            nested->padding.Assign(L"4");
            for (int r = 0; r < 3; ++r) {
                nested->RowHeight(r) = -1;
                for (int k = 0; k < 3; ++k)
                    if (r * 3 + k < 8) FillCell(nested->Cell(r, k), n++);
            }
        }
        WindowDocking(window) = &root;
        root.FitToClient(window);
    }
    ~BenchDialog() { DestroyWindow(window); }
};

// Waits for `frames` presented frames, handling the window messages meanwhile.
void PumpUntil(int frames) {
    MSG msg;
    while (g_presented < frames && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
}

void RequestToPresentedFrame(benchmark::State& state) {
    BenchDialog dialog;
    for (auto _ : state) {
        g_presented = 0;
        dialog.root.Paint(dialog.window, dialog.root.GetBounds());
        PumpUntil(1);
    }
    WaitRenderPoolIdle();
}

// Ten windows each ask for a frame at once; a pool of state.range(0) workers renders them.
void Throughput(benchmark::State& state) {
    std::vector<std::unique_ptr<BenchDialog>> dialogs;
    for (int i = 0; i < 10; ++i) dialogs.push_back(std::make_unique<BenchDialog>());
    CDockingDriverPool pool(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        g_presented = 0;
        for (auto& d : dialogs) pool.PostRender(d->window, nullptr, &d->root);
        PumpUntil(static_cast<int>(dialogs.size()));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(dialogs.size()));
    pool.Shutdown();
}

}  // namespace

int main(int argc, char** argv) {
    sim::Machine::Reset(sim::Config::WindowsXP());
    bench::WriteImage(L"C:\\skin\\tile.png", 32, 32);
    bench::WriteImage(L"C:\\skin\\icon.png", 32, 32);
    WNDCLASSW wc{};
    wc.lpfnWndProc = BenchProc;
    wc.lpszClassName = L"RenderBench";
    RegisterClassW(&wc);
    benchmark::RegisterBenchmark("FloorFillAndBlit", bench::FloorFillAndBlit)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("RequestToPresentedFrame", RequestToPresentedFrame)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("Throughput10Windows", Throughput)
        ->Arg(1)
        ->Arg(2)
        ->Arg(4)
        ->Arg(10)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    const int result = bench::RunWithFloorRatios(
        argc, argv, [](const std::string&) { return "FloorFillAndBlit"; });
    ShutdownRenderPool();
    return result;
}
