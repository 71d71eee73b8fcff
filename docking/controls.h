// The skinned control classes that the layout loader's factory table makes. Each takes over one of
// a dialog's child windows (it subclasses it) and answers WM_DOCKING_GETOBJECT; their looks (what
// they read from WM_DOCKING_SETSTYLE and how they paint) belong to each class.
#pragma once

#include "docking/button.h"
#include "docking/skin_window.h"
#include "platform/mfc.h"

namespace System::Docking::Skin {

class CDockingComboBox : public CSkinnedWindow<CWnd> {};
class CDockingEdit : public CSkinnedWindow<CEdit> {};
class CDockingGroupBox : public CSkinnedWindow<CButton> {};
class CDockingSlider : public CSkinnedWindow<CWnd> {};
class CDockingListCtrl : public CSkinnedWindow<CWnd> {};
class CDockingIPAddressCtrl : public CSkinnedWindow<CIPAddressCtrl> {};
class CDockingDateTimeCtrl : public CSkinnedWindow<CWnd> {};

}  // namespace System::Docking::Skin
