// The trackbar ("msctls_trackbar32"): a QSlider that keeps the Windows state
// (range, position, selection, page and line sizes, ticks), draws itself as the
// Windows control does, and turns mouse and keys into WM_HSCROLL/WM_VSCROLL.
#pragma once

#include <commctrl.h>

#include <QPointer>
#include <QSlider>
#include <QTimer>
#include <vector>

#include "user32/window.h"

namespace winshim {

class TrackbarWidget : public QSlider {
public:
    TrackbarWidget(HWND hwnd, DWORD style, QWidget* parent);

    void setStyleBits(DWORD style);
    LONG rangeMin() const { return min_; }
    LONG rangeMax() const { return max_; }
    LONG pos() const { return pos_; }
    LONG selStart() const { return selStart_; }
    LONG selEnd() const { return selEnd_; }
    LONG pageSize() const { return pageSet_ ? page_ : defaultPage(); }
    LONG lineSize() const { return line_; }
    void setRange(LONG min, LONG max);
    void setPos(LONG pos);
    void setSel(LONG start, LONG end);
    void clearSel() { setSel(0, 0); }
    LONG setPageSize(LONG page);
    LONG setLineSize(LONG line);
    void setTicFreq(LONG freq);
    bool addTic(LONG pos);
    void clearTics() {
        tics_.clear();
        update();
    }
    // Tick marks between the ends, in order (the ends always have one).
    std::vector<LONG> interiorTics() const;
    int numTics() const;

    QRect thumbRect() const;
    QRect channelRect() const;

    // Key and mouse input as Windows delivers it, in client coordinates; the Qt
    // events and the WM_* messages both come here.
    void keyDown(UINT vk);
    void keyUp(UINT vk);
    void buttonDown(QPoint at);
    void mouseMoved(QPoint at);
    void buttonUp();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    bool vertical() const { return style_ & TBS_VERT; }
    bool ticksBefore() const;  // above a horizontal bar, left of a vertical one
    bool ticksAfter() const;
    LONG defaultPage() const;
    LONG clamp(LONG pos) const;
    int length() const;                    // along the channel
    int thickness() const;                 // across it
    QRect oriented(const QRect& r) const;  // from (along, across) to client coordinates
    int along(QPoint p) const { return vertical() ? p.y() : p.x(); }
    int pixelOf(LONG pos) const;
    LONG posAt(int pixel) const;
    int thumbWidth() const { return 11; }
    int thumbLength() const;
    int thumbTop() const;  // across, in the oriented frame
    // Moves the thumb and tells the parent; false when the thumb could not move.
    bool step(LONG to, int code);
    void pageTowards(int pixel);
    void notify(int code);
    void drawThumb(QPainter& p, const QRect& r) const;

    HWND hwnd_;
    DWORD style_ = 0;
    LONG min_ = 0, max_ = 100, pos_ = 0;
    LONG selStart_ = 0, selEnd_ = 0;
    LONG page_ = 0, line_ = 1, freq_ = 1;
    bool pageSet_ = false;
    std::vector<LONG> tics_;  // set with TBM_SETTIC
    bool dragging_ = false;
    int dragOffset_ = 0;
    bool paging_ = false;
    int pageTarget_ = 0;
    QTimer repeat_;
};

struct TrackbarState : ControlState {
    QPointer<TrackbarWidget> widget;
};

}  // namespace winshim
