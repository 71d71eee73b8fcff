// A full paint of a skinned window's picture into a 500 x 400 surface, against its floor: a plain
// cairo fill of a surface of that size and its blit onto another.
//
// The cell tree that would drive this paint comes with the docking layout; until then the
// painters run the same sequence of calls that such a tree makes: a tiled background image over
// the whole surface, four bordered boxes with rounded corners, ten text cells in two fonts (one
// regular through the bitmap path, one bold drawn directly) and two images at natural size.
#include <cairo.h>

#include <filesystem>
#include <string>

#include "docking/draw.h"
#include "docking/image_cache.h"
#include "docking/image_painter.h"
#include "docking/painter.h"
#include "floor_ratio.h"
#include "paint_floor.h"
#include <wingdi.h>
#include "machine/machine.h"

namespace {

using namespace System::Docking;

constexpr int kWidth = 500;
constexpr int kHeight = 400;

void FullPaint(benchmark::State& state) {
    CDockingImage* tile = LoadDockingImage(L"C:\\skin\\main.xml", L"tile.png");
    CDockingImage* icon = LoadDockingImage(L"C:\\skin\\main.xml", L"icon.png");
    if (tile == nullptr || icon == nullptr) {
        state.SkipWithError("images did not load");
        return;
    }
    CDockingPainter surface(kWidth, kHeight);
    CDockingPainter screen(kWidth, kHeight);
    Gdiplus::Graphics* g = surface.Graphics();
    const Gdiplus::Rect all(0, 0, kWidth, kHeight);
    BorderFields border;
    border.width = 1;
    border.color = 0xFF405060;
    FontFields regular;
    regular.family = L"Tahoma";
    regular.size = 9;
    FontFields bold;
    bold.family = L"SimSun";
    bold.size = 10;
    bold.weight = 1;
    bold.valign = 1;
    const BoxFields padding;
    for (auto _ : state) {
        ImagePaintJob job;
        PaintImage(0, all, job, g, all, 0, L"repeat", 0xFFE0E0F0, tile);
        for (int i = 0; i < 4; ++i) {
            const Gdiplus::Rect box(10 + i * 120, 10, 110, 60);
            PaintCellBorder(all, box, border, 10, g);
        }
        for (int i = 0; i < 10; ++i) {
            const Gdiplus::Rect box(10 + (i % 2) * 240, 90 + (i / 2) * 40, 230, 30);
            PaintCellText(i % 2 == 0 ? L"Connected 00:12:34" : L"\u5DF2\u8FDE\u63A5 Signal",
                          i % 2 == 0 ? regular : bold, padding, g, all, box);
        }
        PaintImage(0, all, job, g, {20, 300, 64, 64}, 0, L"", kNoColor, icon);
        PaintImage(0, all, job, g, {400, 300, 64, 64}, 0, L"", kNoColor, icon);
        BitBlt(screen.Dc(), 0, 0, kWidth, kHeight, surface.Dc(), 0, 0, SRCCOPY);
    }
}

}  // namespace

int main(int argc, char** argv) {
    sim::Machine::Reset(sim::Config::WindowsXP());
    bench::WriteImage(L"C:\\skin\\tile.png", 32, 32);
    bench::WriteImage(L"C:\\skin\\icon.png", 64, 64);
    StartDrawingLibrary();
    benchmark::RegisterBenchmark("FloorFillAndBlit", bench::FloorFillAndBlit)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("FullPaint500x400", FullPaint)->Unit(benchmark::kMicrosecond);
    return bench::RunWithFloorRatios(argc, argv,
                                     [](const std::string&) { return "FloorFillAndBlit"; });
}
