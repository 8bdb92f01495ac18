// The GetDlgItem family: a dialog's controls by their identifiers.
#include <algorithm>
#include <climits>
#include <string>

#include "user32/dialog.h"

namespace winshim {

HWND DIALOG_FindItem(HWND dialog, int id) {
    Window* w = WIN_Get(dialog);
    if (!w) return nullptr;
    for (HWND child : w->children)
        if (Window* c = WIN_Get(child); c && c->id == LONG_PTR(id)) return child;
    return nullptr;
}

}  // namespace winshim

using namespace winshim;

extern "C" HWND WINAPI GetDlgItem(HWND dialog, int id) {
    if (!WIN_Get(dialog)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND item = DIALOG_FindItem(dialog, id);
    if (!item) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return item;
}

extern "C" int WINAPI GetDlgCtrlID(HWND hwnd) {
    Window* w = WIN_Get(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return w->isChild() ? int(w->id) : 0;
}

extern "C" LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageA(item, msg, wParam, lParam) : 0;
}

extern "C" BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND item = GetDlgItem(dialog, id);
    return item ? BOOL(SendMessageA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text))) : FALSE;
}

extern "C" UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
    HWND item = GetDlgItem(dialog, id);
    if (item) return UINT(SendMessageA(item, WM_GETTEXT, WPARAM(std::max(size, 0)), reinterpret_cast<LPARAM>(buffer)));
    if (buffer && size > 0) buffer[0] = 0;
    return 0;
}

extern "C" UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    HWND item = GetDlgItem(dialog, id);
    if (!item) return 0;
    std::string text(size_t(std::max<LRESULT>(0, SendMessageA(item, WM_GETTEXTLENGTH, 0, 0))) + 1, '\0');
    text.resize(size_t(SendMessageA(item, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()))));
    // Blanks around the number, a sign only when signed, decimal digits and nothing else.
    size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return 0;
    bool negative = false;
    if (isSigned && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    const size_t digits = i;
    unsigned long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + unsigned(text[i] - '0');
        if (value > UINT_MAX) return 0;
    }
    if (i == digits || text.find_first_not_of(' ', i) != std::string::npos) return 0;
    const unsigned long long limit = !isSigned ? UINT_MAX : negative ? 1ULL + INT_MAX : INT_MAX;
    if (value > limit) return 0;
    if (translated) *translated = TRUE;
    return negative ? UINT(0U - unsigned(value)) : UINT(value);
}
