// The skinned control classes that the layout loader's factory table makes. Each takes over one of
// a dialog's child windows (it subclasses it) and answers WM_DOCKING_GETOBJECT; their looks (what
// they read from WM_DOCKING_SETSTYLE and how they paint) belong to each class.
#pragma once

#include "docking/button.h"
#include "docking/groupbox_slider.h"
#include "docking/offscreen.h"
