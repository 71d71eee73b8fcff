#include "machine/control/input.h"

#include "machine/input.h"
#include "machine/machine.h"
#include "machine/windows.h"

namespace control {

namespace {

sim::input::MouseButton Of(MouseButton b) {
    return b == MouseButton::Left ? sim::input::MouseButton::Left : sim::input::MouseButton::Right;
}

}  // namespace

std::optional<CaretInfo> Caret(DWORD threadId) {
    auto& windows = sim::machine().windows();
    auto caret = windows.input().Thread(threadId).caret;
    if (!caret || !windows.Exists(caret->owner)) return std::nullopt;
    return CaretInfo{
        caret->owner, caret->position, {caret->width, caret->height}, caret->hideCount == 0};
}

HCURSOR CurrentCursor() {
    return sim::machine().windows().input().Machine().cursor;
}

bool MoveMouse(POINT screen) {
    return sim::input::MoveMouse(screen);
}

bool PressMouse(MouseButton button) {
    return sim::input::PressMouse(Of(button));
}

bool ReleaseMouse(MouseButton button) {
    return sim::input::ReleaseMouse(Of(button));
}

bool Click(POINT screen, MouseButton button) {
    return sim::input::Click(screen, Of(button));
}

bool DoubleClick(POINT screen) {
    return sim::input::DoubleClick(screen);
}

bool TurnWheel(int delta) {
    return sim::input::TurnWheel(delta);
}

bool KeyDown(UINT virtualKey) {
    return sim::input::KeyDown(virtualKey);
}

bool KeyUp(UINT virtualKey) {
    return sim::input::KeyUp(virtualKey);
}

bool PressKey(UINT virtualKey) {
    return sim::input::PressKey(virtualKey);
}

bool TypeText(const std::wstring& text) {
    return sim::input::TypeText(text);
}

}  // namespace control
