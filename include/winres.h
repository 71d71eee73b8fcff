// A module's resources: what a resource compiler would link into a program (dialog templates,
// menus, strings), declared in the program's own code as tables and found by id through the usual
// lookups (CreateDialogParamW, DialogBoxParamW, LoadMenuW, LoadStringW). The tables belong to the
// process's main module: an instance handle of null or of the process's own image finds them.
//
// Dialog rectangles are in dialog units: a horizontal unit is a quarter of the dialog font's
// average character width, a vertical unit an eighth of its height. The dialog font is fixed, so
// the base units are too (GetDialogBaseUnits).
#pragma once

#include <cstddef>
#include <vector>

#include <windef.h>

namespace resources {

// One control of a dialog template.
struct DialogItem {
    int id = 0;
    LPCWSTR className = L"";  // a registered or system class ("Button", "Static", "Edit", ...)
    LPCWSTR text = L"";
    DWORD style = 0;  // WS_CHILD is implied
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
};

struct DialogTemplate {
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    LPCWSTR caption = L"";
    std::vector<DialogItem> items;  // in tab and z-order, first on top
};

// One menu item: a command (id, text, MF_* state flags), a separator (MF_SEPARATOR), or a popup
// with its own items.
struct MenuItem {
    UINT id = 0;
    LPCWSTR text = L"";
    UINT flags = 0;
    std::vector<MenuItem> popup;  // not empty: the item opens this submenu
};

struct MenuTemplate {
    int id = 0;
    std::vector<MenuItem> items;
};

struct StringEntry {
    UINT id = 0;
    LPCWSTR text = L"";
};

// An icon: a PNG picture (with its alpha) linked into the program from its assets.
struct IconEntry {
    int id = 0;
    const unsigned char* png = nullptr;
    std::size_t size = 0;
};

// Everything a module carries.
struct ModuleResources {
    std::vector<DialogTemplate> dialogs;
    std::vector<MenuTemplate> menus;
    std::vector<StringEntry> strings;
    std::vector<IconEntry> icons;
};

// A program's resources linked into its image, as the resource compiler's link puts them there: a
// program's start-up code declares one static ModuleLink. The form with an image file name links
// the tables into every process started from an image of that name (case ignored); the form
// without links them into the host program's own module (the machine's own program). Tables a
// process was given directly (the machine's control API) come first. The tables must outlive
// every process that uses them.
class ModuleLink {
public:
    using Tables = const ModuleResources& (*)();
    ModuleLink(LPCWSTR imageName, Tables tables);
    explicit ModuleLink(Tables tables) : ModuleLink(nullptr, tables) {}
    ~ModuleLink();
    ModuleLink(const ModuleLink&) = delete;
    ModuleLink& operator=(const ModuleLink&) = delete;
};

// The layer's lookups (null when the module has no such resource): `name` is an id made by
// MAKEINTRESOURCEW; instance is null or the process's own module.
const DialogTemplate* FindDialog(HINSTANCE instance, LPCWSTR name);
const MenuTemplate* FindMenu(HINSTANCE instance, LPCWSTR name);
const IconEntry* FindIcon(HINSTANCE instance, LPCWSTR name);
// The module's icon of the lowest id (the program's own icon), or null.
const IconEntry* FirstIcon(HINSTANCE instance);

}  // namespace resources

// Copies string resource `id` into buffer (at most maxCount - 1 characters and a terminator);
// returns the length copied, 0 when there is no such string. maxCount 0 stores a read-only
// pointer to the text into *buffer and returns its length.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int maxCount);
