// The App program's resources: its dialog templates, menu, strings and icon, as the tables a
// resource compiler would link into the program.
#pragma once

#include <vector>

#include <winres.h>

// Templates 100, 102, 7000, 30000, 30100 and 30200, menu 146, string 101, icon 128.
const resources::ModuleResources& AppResources();

// The connection view's templates: 7000 (the view), 30000 (the settings container), 30100 (the
// dial page) and 30200 (the option page).
std::vector<resources::DialogTemplate> ConnectViewTemplates();
