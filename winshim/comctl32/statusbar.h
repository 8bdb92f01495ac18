// The status bar ("msctls_statusbar32"): parts with texts, drawn as sunken panels
// (one QLabel each, so assistive tools can read them), an optional size grip, and
// the self-placement along the parent's bottom edge that Windows' status bar does.
#pragma once

#include <commctrl.h>

#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "user32/window.h"

class QLabel;
class QSizeGrip;

namespace winshim {

class StatusBarWidget : public QWidget {
public:
    StatusBarWidget(DWORD style, QWidget* parent);

    static constexpr int kMaxParts = 256;
    static constexpr int kSimplePart = 255;

    void setStyleBits(DWORD style);
    bool setParts(int count, const int* edges);
    int partCount() const { return int(edges_.size()); }
    const std::vector<int>& edges() const { return edges_; }
    // Part kSimplePart is the text of the simple mode.
    bool setText(int part, const char* text, int flags);
    const std::string* text(int part, int* flags) const;
    bool partRect(int part, QRect* out) const;
    void setSimple(bool simple);
    bool simple() const { return simple_; }
    void setMinHeight(int height);
    // The height Windows gives the bar: the font's, plus the borders.
    int naturalHeight() const;
    // The area where the size grip answers; empty without SBARS_SIZEGRIP.
    QRect gripRect() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Part {
        std::string text;
        int flags = 0;
    };
    void relayout();
    void showText(QLabel* label, const Part& part);
    QLabel* makeLabel(const QString& name);

    DWORD style_ = 0;
    std::vector<int> edges_{-1};
    std::vector<Part> parts_{Part{}};
    Part simplePart_;
    bool simple_ = false;
    int minHeight_ = 0;
    std::vector<QLabel*> labels_;
    QLabel* simpleLabel_ = nullptr;
    QSizeGrip* grip_ = nullptr;
};

struct StatusState : ControlState {
    QPointer<StatusBarWidget> widget;
    bool placing = false;  // moving itself: the WM_SIZE that follows is our own
};

}  // namespace winshim
