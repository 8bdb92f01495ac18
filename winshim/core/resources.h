// The program module's compiled resources: the .res image that the build embeds,
// lookup by type and name as FindResource does, and readers for the dialog
// template and menu formats. Every reader checks its bounds and answers
// std::nullopt for bytes it cannot take whole.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace winshim {

// The program's own module. GetModuleHandleA(NULL) gives it; resource functions
// take it (and, where Windows does, NULL) as the module that holds the resources.
inline const HINSTANCE kModule = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000});

using ResBytes = std::span<const std::uint8_t>;

// A resource type or name, or a dialog's menu and class, or a control's class and
// text: either an ordinal (0xFFFF followed by a WORD) or a string.
struct ResId {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::string name;  // UTF-8

    static ResId Ordinal(WORD value) { return ResId{true, value, {}}; }
    static ResId Name(std::string value) { return ResId{false, 0, std::move(value)}; }
    bool empty() const { return !isOrdinal && name.empty(); }
    // True when an LPCSTR (MAKEINTRESOURCE(n), "#n" or a name, case-insensitive) names this id.
    bool matches(LPCSTR key) const;
};

struct ResEntry {
    ResId type;
    ResId name;
    WORD language = 0;
    WORD memoryFlags = 0;
    DWORD dataVersion = 0;
    DWORD version = 0;
    DWORD characteristics = 0;
    ResBytes data;  // points into the registered image
};

// Reads a whole .res image: the sequence of resource headers and data. The
// empty entry that starts every .res file is left out.
std::optional<std::vector<ResEntry>> RES_ParseFile(ResBytes image);

// Finds a resource of the module as FindResourceA does: the instance is kModule or
// NULL (the program's module); type and name are MAKEINTRESOURCE values, "#n"
// texts or names. English (United States) is preferred, then language-neutral,
// then whatever language the resource has. Sets the last error and answers nullopt
// when there is no such resource.
std::optional<ResBytes> RES_Find(HINSTANCE instance, LPCSTR type, LPCSTR name);

// A dialog template (DLGTEMPLATEEX or DLGTEMPLATE) read into plain values.
struct DialogItem {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;             // -1 for a control without identifier
    std::string className;  // predefined ordinals become "Button", "Edit", ...
    ResId text;
    std::vector<std::uint8_t> creationData;
};

struct DialogFont {
    WORD pointSize = 0;
    WORD weight = 0;
    bool italic = false;
    BYTE charset = 0;
    std::string face;
};

struct DialogTemplate {
    bool extended = false;  // DLGTEMPLATEEX
    DWORD helpId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    ResId menu;       // empty: no menu
    ResId className;  // empty: the standard dialog class
    std::string title;
    std::optional<DialogFont> font;  // present with DS_SETFONT
    std::vector<DialogItem> items;
};

std::optional<DialogTemplate> RES_ParseDialog(ResBytes bytes);

// A standard MENU resource read into a tree.
struct MenuNode {
    UINT flags = 0;  // MF_* as stored, without MF_END; MF_SEPARATOR for a separator
    UINT id = 0;     // 0 for a pop-up
    std::string text;
    std::vector<MenuNode> children;  // the items of a pop-up
};

std::optional<std::vector<MenuNode>> RES_ParseMenu(ResBytes bytes);

}  // namespace winshim
