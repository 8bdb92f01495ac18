// comctl32's window classes, which the library registers itself when the
// program calls InitCommonControls or InitCommonControlsEx, and what each of
// them keeps in its window: a State with (at least) its widget.
#pragma once

#include <memory>
#include <utility>

#include "user32/window.h"

namespace winshim {

void LISTVIEW_Register();
void STATUS_Register();
void TRACKBAR_Register();

// The control's state in the window `hwnd`; null when it is gone, or not one.
template <class State>
State* CTL_StateOf(HWND hwnd) {
    Window* w = WIN_Get(hwnd);
    return w ? w->controlAs<State>() : nullptr;
}

// Registers a control class whose windows keep a State holding the widget that
// `make(window, parent)` builds.
template <class State, class Make>
void CTL_RegisterWidgetClass(const char* name, UINT style, WNDPROC proc, Make make) {
    CTL_RegisterClass(name, style, proc, [make = std::move(make)](Window& window, QWidget* parent) -> QWidget* {
        auto* widget = make(window, parent);
        auto state = std::make_unique<State>();
        state->widget = widget;
        window.control = std::move(state);
        return widget;
    });
}

}  // namespace winshim
