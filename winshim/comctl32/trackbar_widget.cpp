// Geometry, painting and input of the trackbar. Everything is laid out in an
// oriented frame (x along the channel, y across it) and turned for TBS_VERT.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>
#include <algorithm>

#include "comctl32/trackbar.h"

namespace winshim {
namespace {
constexpr int kMargin = 8;     // from each end of the control to the ends of the channel
constexpr int kTickSpace = 6;  // a row of tick marks and the gap to the thumb
constexpr int kTickLength = 4;
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

// --- painting ---------------------------------------------------------------

void TrackbarWidget::drawThumb(QPainter& p, const QRect& r) const {
    // The thumb points at the ticks when they are on one side only, as on Windows.
    QRect o = vertical() ? r.transposed() : r;
    const int x0 = o.left(), x1 = o.right(), y0 = o.top(), y1 = o.bottom(), mid = (x0 + x1) / 2, tip = thumbWidth() / 2;
    QPolygon shape;
    if (ticksBefore() && !ticksAfter())
        shape << QPoint(x0, y1) << QPoint(x0, y0 + tip) << QPoint(mid, y0) << QPoint(x1, y0 + tip) << QPoint(x1, y1);
    else if (ticksAfter() && !ticksBefore())
        shape << QPoint(x0, y0) << QPoint(x1, y0) << QPoint(x1, y1 - tip) << QPoint(mid, y1) << QPoint(x0, y1 - tip);
    else
        shape << QPoint(x0, y0) << QPoint(x1, y0) << QPoint(x1, y1) << QPoint(x0, y1);
    if (vertical())
        for (QPoint& pt : shape) pt = pt.transposed();

    const QPalette& pal = palette();
    QColor face = pal.color(QPalette::Button);
    if (!isEnabled())
        face = pal.color(QPalette::Window);
    else if (dragging_)
        face = face.darker(108);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(pal.color(isEnabled() ? QPalette::Shadow : QPalette::Mid), 1));
    p.setBrush(face);
    p.drawPolygon(QPolygonF(shape).translated(0.5, 0.5));
    p.setRenderHint(QPainter::Antialiasing, false);
}

void TrackbarWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Window));

    // The channel: a sunken groove, with the selection as a highlighted band in it.
    QRect ch = channelRect();
    p.fillRect(ch, pal.color(QPalette::Base));
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(ch.topLeft(), ch.topRight());
    p.drawLine(ch.topLeft(), ch.bottomLeft());
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(ch.bottomLeft(), ch.bottomRight());
    p.drawLine(ch.topRight(), ch.bottomRight());
    const bool hasSel = (style_ & TBS_ENABLESELRANGE) && selEnd_ > selStart_;
    if (hasSel) {
        int a = pixelOf(selStart_), b = pixelOf(selEnd_);
        QRect chO = vertical() ? ch.transposed() : ch;
        p.fillRect(oriented(QRect(a, chO.top() + 2, b - a + 1, chO.height() - 4)),
                   pal.color(isEnabled() ? QPalette::Highlight : QPalette::Mid));
    }

    // Tick marks: the ends always, the interior ones by frequency or TBM_SETTIC;
    // the ends of the selection get the small triangles Windows draws.
    std::vector<int> ticks{pixelOf(min_), pixelOf(max_)};
    for (LONG t : interiorTics()) ticks.push_back(pixelOf(t));
    const int top = thumbTop(), bottom = thumbTop() + thumbLength() - 1;
    p.setPen(pal.color(QPalette::WindowText));
    auto drawRow = [&](int from, int dir) {
        for (int x : ticks) {
            QRect line = oriented(QRect(x, dir > 0 ? from : from - kTickLength + 1, 1, kTickLength));
            p.fillRect(line, pal.color(QPalette::WindowText));
        }
        if (!hasSel) return;
        for (LONG s : {selStart_, selEnd_}) {
            int x = pixelOf(s);
            int base = dir > 0 ? from + kTickLength - 1 : from - kTickLength + 1;
            QPolygon tri;
            tri << QPoint(x - 3, base) << QPoint(x + 3, base) << QPoint(x, base - 3 * dir);
            if (vertical())
                for (QPoint& pt : tri) pt = pt.transposed();
            p.setBrush(pal.color(QPalette::WindowText));
            p.drawPolygon(tri);
        }
    };
    if (ticksBefore()) drawRow(top - 2, -1);
    if (ticksAfter()) drawRow(bottom + 2, +1);

    if (!(style_ & TBS_NOTHUMB)) drawThumb(p, thumbRect());

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(0, 0, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
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
