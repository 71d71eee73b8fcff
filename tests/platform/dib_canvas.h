// A memory context over a top-down 32-bit DIB section for drawing tests (MemDc of gdi_helper.h),
// white at first, its pixels read back as COLORREFs and as a picture of characters.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/gdi_helper.h"
#include <wingdi.h>

class DibCanvas {
public:
    DibCanvas(int width, int height) : mem_(width, -height), width_(width), height_(height) {
        RECT all{0, 0, width, height};
        FillRect(mem_.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }

    HDC dc() const { return mem_.dc; }
    bool ok() const { return mem_.dib.bits != nullptr; }
    COLORREF At(int x, int y) const {
        std::uint32_t p = mem_.dib.At(x, y);
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // Rows of characters: each pixel's letter from `legend`, '?' for a colour not in it.
    std::vector<std::string> Picture(const std::map<COLORREF, char>& legend) const {
        std::vector<std::string> rows;
        for (int y = 0; y < height_; ++y) {
            std::string row;
            for (int x = 0; x < width_; ++x) {
                auto it = legend.find(At(x, y));
                row += it == legend.end() ? '?' : it->second;
            }
            rows.push_back(row);
        }
        return rows;
    }
    // The smallest rectangle holding every pixel that is not white (all 0 when there is none).
    RECT Ink() const {
        RECT r{width_, height_, 0, 0};
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (At(x, y) != RGB(255, 255, 255)) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        if (r.right == 0) r = RECT{0, 0, 0, 0};
        return r;
    }

private:
    MemDc mem_;
    int width_;
    int height_;
};
