#include "machine/control/shell.h"

#include "machine/machine.h"
#include "machine/shell.h"

namespace control {

std::vector<TrayIconInfo> TrayIcons() {
    std::vector<TrayIconInfo> out;
    for (const auto& i : sim::machine().shell().Icons()) {
        TrayIconInfo info;
        info.owner = i.owner;
        info.id = i.id;
        info.hasPicture = i.picture != nullptr;
        info.tip = i.tip;
        if (i.hasBalloon) {
            info.balloonText = i.balloonText;
            info.balloonTitle = i.balloonTitle;
            info.balloonTick = i.balloonTick;
        }
        out.push_back(info);
    }
    return out;
}

bool ClickTrayIcon(HWND owner, UINT id, TrayClickKind kind) {
    sim::TrayClick click = kind == TrayClickKind::LeftDouble ? sim::TrayClick::LeftDouble
                           : kind == TrayClickKind::Right    ? sim::TrayClick::Right
                                                             : sim::TrayClick::Left;
    return sim::machine().shell().Click(owner, id, click);
}

void RestartShell() {
    sim::machine().shell().Restart();
}

bool SuspendMachine() {
    return sim::machine().shell().Suspend();
}

bool ResumeMachine() {
    return sim::machine().shell().Resume();
}

}  // namespace control
