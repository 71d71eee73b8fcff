// The skinned group box and slider: standard controls that draw their own picture straight into
// the skin surface when their cell's painter asks (WM_DOCKING_PAINT). Their looks come from
// attributes of their cell's layout element (WM_DOCKING_SETSTYLE).
#pragma once

#include <string>

#include "docking/color.h"
#include "docking/renderable.h"
#include "docking/skin_window.h"
#include <gdiplus.h>
#include <afxwin.h>
#include <afxcmn.h>

namespace System::Docking::Skin {

// The group box's frame: the radius is the corner arcs' diameter. Width and style are read from
// the skin but the frame is always one solid pixel.
struct GroupBoxBorder {
    int width = 1;
    std::wstring style;
    int radius = 8;
    ColorValue color = 0xFF000000;
};

// A part of the slider: a colour (kNoColor: none), an image with its offsets and draw mode.
struct ImageSpec {
    ColorValue color = kNoColor;
    int x = 0;
    int y = 0;
    std::wstring image;
    std::wstring mode;
};

// A style text ("image:a.png;color:red;style:repeat;x:1;y:2") or a bare image name into look
// (only the fields it names change).
void ParseImageSpec(const std::wstring& text, ImageSpec& look);

// Paints the look's colour and image (loaded relative to layoutFile) into target, within the
// context's clip; nothing when it names neither.
void PaintImageSpec(const RenderContext& context, const std::wstring& layoutFile,
                    const ImageSpec& look, const Gdiplus::Rect& target);

// Where the frame's caption goes for box B and diameter r (already clamped): (B.x + r + 4, B.y + 2,
// B.width - 2r - 8, B.height), computed without overflow; empty when B is.
Gdiplus::Rect GroupBoxTextRect(const Gdiplus::Rect& box, int radius);

// The track's width: contentWidth x pos / maximum in 64 bits, clamped to 0..contentWidth (a
// position below 0 or a range that starts elsewhere than 0 never reaches outside the content);
// 0 for a maximum of 0.
int SliderTrackWidth(int contentWidth, int pos, int maximum);

class CDockingGroupBox : public CSkinnedWindow<CButton> {
public:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PreSubclassWindow() override;

    const GroupBoxBorder& Border() const { return border_; }

private:
    void OnSetStyle(WPARAM element);
    void Paint(const RenderContext& context);

    GroupBoxBorder border_;
};

class CDockingSlider : public CSkinnedWindow<CSliderCtrl> {
public:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    int ThumbWidth() const { return thumbWidth_; }
    const ImageSpec& Track() const { return track_; }
    const ImageSpec& Thumb() const { return thumb_; }

private:
    void OnSetStyle(WPARAM element);
    void Paint(const RenderContext& context);
    void RedrawCell();

    int thumbWidth_ = 0;
    ImageSpec track_;
    ImageSpec thumb_;
    std::wstring thumbNormal_;
    std::wstring thumbActive_;
    std::wstring thumbHover_;
};

}  // namespace System::Docking::Skin
