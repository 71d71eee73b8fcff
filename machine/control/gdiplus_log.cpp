#include "machine/control/gdiplus_log.h"

#include "platform/gdiplus/internal.h"

namespace control {

void SetGdiplusLog(bool on) {
    Gdiplus::detail::SetLog(on);
}
std::vector<GdiplusCall> GdiplusLog() {
    return Gdiplus::detail::LogCopy();
}
void ClearGdiplusLog() {
    Gdiplus::detail::ClearLog();
}
std::size_t GdiplusLiveCount(GdiplusKind kind) {
    return Gdiplus::detail::Live(kind);
}

}  // namespace control
