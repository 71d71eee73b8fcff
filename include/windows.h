// The platform's master header: what a Windows program includes to reach the kernel, the window
// manager, GDI, national language support, the registry and the service control manager. The
// other libraries' interfaces (common controls, device setup, RAS, GDI+, the class library, the
// XML DOM, ...) have headers of their own.
#pragma once

#include <windef.h>
#include <winbase.h>
#include <winnls.h>
#include <wingdi.h>
#include <winuser.h>
#include <winreg.h>
#include <winsvc.h>
