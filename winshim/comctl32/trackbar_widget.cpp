// State, geometry and input of the trackbar. Everything is laid out in an
// oriented frame (x along the channel, y across it) and turned for TBS_VERT.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>

#include "comctl32/trackbar.h"

namespace winshim {
namespace {
constexpr int kMargin = 8;     // from each end of the control to the ends of the channel
constexpr int kTickSpace = 6;  // a row of tick marks and the gap to the thumb
constexpr int kMaxThumbLength = 20;

UINT vkOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_End:
        return VK_END;
    default:
        return 0;
    }
}
}  // namespace

TrackbarWidget::TrackbarWidget(HWND hwnd, DWORD style, QWidget* parent) : QSlider(parent), hwnd_(hwnd) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    repeat_.setSingleShot(false);
    connect(&repeat_, &QTimer::timeout, this, [this] {
        repeat_.setInterval(100);
        if (paging_) pageTowards(pageTarget_);
    });
    setStyleBits(style);
    QSlider::setRange(min_, max_);
    QSlider::setValue(pos_);
}

void TrackbarWidget::setStyleBits(DWORD style) {
    style_ = style;
    setOrientation(vertical() ? Qt::Vertical : Qt::Horizontal);
    // Windows puts the minimum of a vertical trackbar at the top.
    setInvertedAppearance(vertical());
    update();
}

bool TrackbarWidget::ticksBefore() const {
    if (style_ & TBS_NOTICKS) return false;
    return (style_ & TBS_BOTH) || (style_ & TBS_TOP);
}

bool TrackbarWidget::ticksAfter() const {
    if (style_ & TBS_NOTICKS) return false;
    return (style_ & TBS_BOTH) || !(style_ & TBS_TOP);
}

LONG TrackbarWidget::defaultPage() const {
    return std::max<LONG>(1, (max_ - min_) / 5);
}

LONG TrackbarWidget::clamp(LONG pos) const {
    if (pos < min_) pos = min_;
    if (pos > max_) pos = max_;
    return pos;
}

void TrackbarWidget::setRange(LONG min, LONG max) {
    min_ = min;
    max_ = max;
    pos_ = clamp(pos_);
    QSlider::setRange(min_, std::max(min_, max_));
    QSlider::setValue(pos_);
    update();
}

void TrackbarWidget::setPos(LONG pos) {
    pos_ = clamp(pos);
    QSlider::setValue(pos_);
    update();
}

void TrackbarWidget::setSel(LONG start, LONG end) {
    // Without TBS_ENABLESELRANGE there is no selection to keep.
    if (!(style_ & TBS_ENABLESELRANGE)) return;
    selStart_ = clamp(start);
    selEnd_ = clamp(end);
    update();
}

LONG TrackbarWidget::setPageSize(LONG page) {
    LONG old = pageSize();
    page_ = page;
    pageSet_ = true;
    QSlider::setPageStep(page);
    return old;
}

LONG TrackbarWidget::setLineSize(LONG line) {
    LONG old = line_;
    line_ = line;
    QSlider::setSingleStep(line);
    return old;
}

void TrackbarWidget::setTicFreq(LONG freq) {
    freq_ = freq;
    QSlider::setTickInterval(freq > 0 ? freq : 0);
    update();
}

bool TrackbarWidget::addTic(LONG pos) {
    if (pos < min_ || pos > max_) return false;
    tics_.push_back(pos);
    update();
    return true;
}

std::vector<LONG> TrackbarWidget::interiorTics() const {
    std::vector<LONG> list;
    if (style_ & TBS_NOTICKS) return list;
    for (LONG t : tics_)
        if (t > min_ && t < max_) list.push_back(t);
    if ((style_ & TBS_AUTOTICKS) && freq_ > 0)
        for (LONG t = min_ + freq_; t < max_; t += freq_) list.push_back(t);
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    return list;
}

int TrackbarWidget::numTics() const {
    return (style_ & TBS_NOTICKS) ? 0 : int(interiorTics().size()) + 2;
}

// --- geometry ---------------------------------------------------------------

int TrackbarWidget::length() const {
    return vertical() ? height() : width();
}
int TrackbarWidget::thickness() const {
    return vertical() ? width() : height();
}

QRect TrackbarWidget::oriented(const QRect& r) const {
    return vertical() ? r.transposed() : r;
}

int TrackbarWidget::thumbLength() const {
    int rows = int(ticksBefore()) + int(ticksAfter());
    return std::clamp(thickness() - rows * kTickSpace - 4, 8, kMaxThumbLength);
}

int TrackbarWidget::thumbTop() const {
    int rows = int(ticksBefore()) + int(ticksAfter());
    int total = thumbLength() + rows * kTickSpace;
    return std::max(0, (thickness() - total) / 2) + (ticksBefore() ? kTickSpace : 0);
}

int TrackbarWidget::pixelOf(LONG pos) const {
    int span = std::max(1, length() - 2 * kMargin - 1);
    if (max_ <= min_) return kMargin;
    double t = double(clamp(pos) - min_) / double(max_ - min_);
    return kMargin + int(t * span + 0.5);
}

LONG TrackbarWidget::posAt(int pixel) const {
    int span = std::max(1, length() - 2 * kMargin - 1);
    if (max_ <= min_) return min_;
    double t = double(pixel - kMargin) / span;
    return clamp(min_ + LONG(t * (max_ - min_) + (t < 0 ? -0.5 : 0.5)));
}

QRect TrackbarWidget::thumbRect() const {
    return oriented(QRect(pixelOf(pos_) - thumbWidth() / 2, thumbTop(), thumbWidth(), thumbLength()));
}

QRect TrackbarWidget::channelRect() const {
    const bool pointsBefore = ticksBefore() && !ticksAfter();
    const bool pointsAfter = ticksAfter() && !ticksBefore();
    int centre = thumbTop() + thumbLength() / 2 + (pointsBefore ? 2 : 0) - (pointsAfter ? 2 : 0);
    int across = (style_ & TBS_ENABLESELRANGE) ? 8 : 4;
    return oriented(QRect(kMargin - 2, centre - across / 2, length() - 2 * kMargin + 3, across));
}

// --- input ------------------------------------------------------------------

void TrackbarWidget::notify(int code) {
    Window* w = WIN_Get(hwnd_);
    if (!w) {
        // The parent destroyed us in a handler: no more paging or dragging.
        repeat_.stop();
        paging_ = dragging_ = false;
        return;
    }
    WORD high = (code == TB_THUMBTRACK || code == TB_THUMBPOSITION) ? WORD(pos_) : 0;
    WIN_Send(w->parent ? w->parent : w->owner, vertical() ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, high),
             reinterpret_cast<LPARAM>(hwnd_));
}

bool TrackbarWidget::step(LONG to, int code) {
    to = clamp(to);
    if (to == pos_) return false;
    setPos(to);
    notify(code);
    return true;
}

void TrackbarWidget::pageTowards(int pixel) {
    // Paging stops once the thumb has reached the place that was clicked.
    int centre = pixelOf(pos_);
    if (std::abs(pixel - centre) <= thumbWidth() / 2) return;
    if (pixel < centre)
        step(pos_ - pageSize(), TB_PAGEUP);
    else
        step(pos_ + pageSize(), TB_PAGEDOWN);
}

void TrackbarWidget::keyDown(UINT vk) {
    switch (vk) {
    case VK_LEFT:
    case VK_UP:
        step(pos_ - line_, TB_LINEUP);
        break;
    case VK_RIGHT:
    case VK_DOWN:
        step(pos_ + line_, TB_LINEDOWN);
        break;
    case VK_PRIOR:
        step(pos_ - pageSize(), TB_PAGEUP);
        break;
    case VK_NEXT:
        step(pos_ + pageSize(), TB_PAGEDOWN);
        break;
    case VK_HOME:
        step(min_, TB_TOP);
        break;
    case VK_END:
        step(max_, TB_BOTTOM);
        break;
    }
}

void TrackbarWidget::keyUp(UINT vk) {
    switch (vk) {
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
        notify(TB_ENDTRACK);
        break;
    }
}

void TrackbarWidget::buttonDown(QPoint at) {
    setFocus(Qt::MouseFocusReason);
    if (!(style_ & TBS_NOTHUMB) && thumbRect().contains(at)) {
        dragging_ = true;
        dragOffset_ = along(at) - pixelOf(pos_);
        setSliderDown(true);
        update();
        return;
    }
    paging_ = true;
    pageTarget_ = along(at);
    repeat_.start(400);
    pageTowards(pageTarget_);
}

void TrackbarWidget::mouseMoved(QPoint at) {
    if (!dragging_) return;
    LONG to = posAt(along(at) - dragOffset_);
    if (to == pos_) return;
    setPos(to);
    notify(TB_THUMBTRACK);
}

void TrackbarWidget::buttonUp() {
    if (dragging_) {
        dragging_ = false;
        setSliderDown(false);
        update();
        notify(TB_THUMBPOSITION);
        if (WIN_Get(hwnd_)) notify(TB_ENDTRACK);
    } else if (paging_) {
        paging_ = false;
        repeat_.stop();
        notify(TB_ENDTRACK);
    }
}

void TrackbarWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return event->ignore();
    buttonDown(event->position().toPoint());
}

void TrackbarWidget::mouseMoveEvent(QMouseEvent* event) {
    mouseMoved(event->position().toPoint());
}

void TrackbarWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return event->ignore();
    buttonUp();
}

void TrackbarWidget::keyPressEvent(QKeyEvent* event) {
    UINT vk = vkOf(event->key());
    if (!vk) return event->ignore();
    keyDown(vk);
}

void TrackbarWidget::keyReleaseEvent(QKeyEvent* event) {
    UINT vk = vkOf(event->key());
    if (!vk) return event->ignore();
    if (!event->isAutoRepeat()) keyUp(vk);
}

void TrackbarWidget::wheelEvent(QWheelEvent* event) {
    // Each notch is a line, as the arrow keys move it; the move ends with the notch.
    int notches = event->angleDelta().y() / 120;
    if (notches == 0) return event->ignore();
    step(pos_ + (notches > 0 ? -line_ : line_) * std::abs(notches), notches > 0 ? TB_LINEUP : TB_LINEDOWN);
    if (WIN_Get(hwnd_)) notify(TB_ENDTRACK);
}
}  // namespace winshim
