// The window object behind an HWND, and the internal interface between the parts
// of user32, comctl32 and gdi32. An HWND is a handle into a table, never a pointer:
// a destroyed window's handle stays invalid and is never reused.
#pragma once

#include <windows.h>

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPainter;

namespace winshim {

struct Window;

// State of a built-in control, owned by its window. Each control derives from it.
struct ControlState {
    virtual ~ControlState() = default;
};

struct WindowClass {
    std::string name;  // as registered; names compare case-insensitively
    UINT style = 0;
    WNDPROC proc = nullptr;
    int clsExtra = 0;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    std::string menuName;  // "#104" for a numeric menu id, empty for none
    bool system = false;   // a built-in class (controls, dialogs)
    // Makes the Qt widget of a window of this class, parented to `parent` (the
    // parent window's client widget). Null for a plain window: the window system
    // makes a generic client widget.
    std::function<QWidget*(Window& window, QWidget* parent)> makeWidget;
};

// Registers a built-in class, once: user32's at the first class lookup
// (CLASS_EnsureSystem), comctl32's in InitCommonControls/Ex.
void CLASS_AddSystem(WindowClass cls);
WindowClass* CLASS_Find(const char* name);  // program classes first, then built-in ones
void CLASS_EnsureSystem();

// The scaffolding of every built-in control, user32's and comctl32's alike: its
// class, and the loud default of its window procedure, which logs once each
// message of the control's own range, first to last, that it does not handle,
// and hands every message it leaves to DefWindowProcA.
void CTL_RegisterClass(const char* name, UINT style, WNDPROC proc,
                       std::function<QWidget*(Window& window, QWidget* parent)> makeWidget);
LRESULT CTL_DefaultProc(const char* control, UINT first, UINT last, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Registration functions of user32's built-in classes.
void BUTTON_Register();
void STATIC_Register();
void EDIT_Register();
void LISTBOX_Register();
void COMBO_Register();
void DIALOG_Register();  // "#32770"

struct Window {
    HWND handle = nullptr;
    WindowClass* cls = nullptr;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;
    HWND parent = nullptr;  // the parent of a child window
    HWND owner = nullptr;   // the owner of a top-level window
    std::vector<HWND> children;  // in creation order
    LONG_PTR id = 0;             // a child's identifier (GWL_ID)
    HINSTANCE instance = nullptr;
    LONG_PTR userData = 0;
    std::vector<unsigned char> extra;  // window extra bytes; a dialog's DWLP_MSGRESULT lives at 0
    HMENU menu = nullptr;              // a top-level window's menu bar
    // The outer widget: the frame container of a top-level window, or a control's widget.
    QPointer<QWidget> widget;
    // Where client coordinates start and children live.
    QPointer<QWidget> client;
    // Outer rectangle in Windows pixels: screen coordinates for a top-level window,
    // the parent's client coordinates for a child. A minimised window keeps its
    // restored rectangle here.
    RECT rect{};
    bool visible = false;
    bool enabled = true;
    bool minimized = false;
    bool destroying = false;
    bool sizeSent = false;  // a WM_SIZE has been sent; lastClient holds its size
    SIZE lastClient{};
    std::unique_ptr<ControlState> control;
    // Dialog manager
    DLGPROC dlgProc = nullptr;
    bool dialogEnded = false;
    INT_PTR dialogResult = 0;
    bool modal = false;  // runs Enter/Escape/Tab as the dialog manager does

    bool isChild() const { return (style & WS_CHILD) != 0; }
    template <class T>
    T* controlAs() const {
        return dynamic_cast<T*>(control.get());
    }
};

// A fresh handle value, never given out before (windows and remote windows share them).
HWND WIN_NewHandle();
// The window of a handle, or null for an invalid, destroyed or remote handle.
Window* WIN_Get(HWND hwnd);
// The window whose widget is `widget` or one of its ancestors.
Window* WIN_FromWidget(const QWidget* widget);
// All live top-level windows, in creation order.
std::vector<HWND> WIN_TopLevels();

// Sends a message to a window's procedure (the message is logged on channel "msg").
LRESULT WIN_Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// WM_COMMAND to a control's parent: MAKEWPARAM(id, code), lParam the control.
void WIN_CommandToParent(const Window& control, WORD code);
// WM_NOTIFY to a control's parent; fills the header and returns the parent's answer.
LRESULT WIN_NotifyParent(const Window& control, UINT code, NMHDR* header);

// Client size of a window in Windows pixels.
SIZE WIN_ClientSize(const Window& w);
// Screen position of a window's client origin.
POINT WIN_ClientOrigin(const Window& w);
// Puts the widget where `rect` says, then sends WM_SIZE (and WM_MOVE) when the
// client size (position) changed, as SetWindowPos does.
void WIN_ApplyGeometry(Window& w);
// Sends WM_SIZE with the given kind and size unless that size was the last one sent
// (SIZE_MINIMIZED is always sent).
void WIN_SendSize(Window& w, WPARAM kind, SIZE client);

// The painter of the window's paint in progress (WM_PAINT dispatched from Qt's
// paint event), or null outside a paint.
QPainter* PAINT_Current(HWND hwnd);

// Runs a nested message loop until done() is true or WM_QUIT arrives (which is
// posted again for the outer loop). Used by modal dialogs and message boxes.
void MSG_RunModalLoop(const std::function<bool()>& done);
// Removes a destroyed window's timers and queued messages.
void MSG_ForgetWindow(HWND hwnd);

// Relates each control of the parent that shows no caption of its own to the
// label in front of it, for assistive tools. Run whenever a child is created.
void LABEL_Relate(HWND parent);

// Cross-process window lookup: a top-level window of a program class listens for
// requests from other processes; remote handles carry them.
void LINK_OnTopLevelCreated(HWND hwnd, const std::string& className);
void LINK_OnDestroyed(HWND hwnd);
bool LINK_IsRemote(HWND hwnd);
HWND LINK_FindRemote(const char* className, const char* windowName);
BOOL LINK_ShowWindow(HWND remote, int cmdShow);
BOOL LINK_SetForegroundWindow(HWND remote);
}  // namespace winshim
