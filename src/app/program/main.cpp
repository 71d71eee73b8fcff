// App.exe: the dial-up application's program.
#include <corecrt.h>

#include "app/app_resources.h"
#include "app/qobui_app.h"
#include <windows.h>

// The program's resources, linked into its own module.
static const resources::ModuleLink g_resources(&AppResources);
// The application object, made by static initialisation before the entry runs.
CQOBUIApp theApp;

int wmain(int, wchar_t**) { return AppWinMain(SW_SHOWDEFAULT); }
