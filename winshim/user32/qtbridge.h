// The Qt widgets that stand for windows of program classes: a top-level frame
// (menu bar above the client area) and a plain client area. They turn Qt's input
// and window-state events into the Windows messages a real window gets.
#pragma once

#include <windows.h>

#include <QMargins>
#include <QWidget>

class QMenuBar;

namespace winshim {

class ClientWidget : public QWidget {
    Q_OBJECT
public:
    ClientWidget(QWidget* parent, HWND hwnd);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    HWND hwnd_;
};

class TopLevelWidget : public QWidget {
    Q_OBJECT
public:
    // `owner` (may be null) keeps an owned window above its owner.
    TopLevelWidget(HWND hwnd, HMENU menu, DWORD style, QWidget* owner);
    ClientWidget* client() const { return client_; }
    QMenuBar* menuBar() const { return menuBar_; }
    int menuHeight() const;
    // Frame the window manager draws around us; zero until the window was shown
    // with a window manager, and always zero without one.
    QMargins frame() const { return frame_; }
    // Places the widget so that its outer frame covers `outer` (Windows pixels).
    void place(const QRect& outer);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void layoutChildren();
    bool learnFrame();

    HWND hwnd_;
    QMenuBar* menuBar_ = nullptr;
    ClientWidget* client_ = nullptr;
    QMargins frame_;
    bool placing_ = false;
    bool sizable_ = true;
};

}  // namespace winshim
