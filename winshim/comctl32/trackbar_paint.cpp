// The trackbar's picture, as Windows draws it: a sunken channel with the
// selection as a highlighted band, tick marks on the chosen sides with triangles
// at the ends of the selection, and a thumb that points at the ticks.
#include <QPainter>
#include <QPolygon>
#include <QStyleOptionFocusRect>

#include "comctl32/trackbar.h"

namespace winshim {
namespace {
constexpr int kTickLength = 4;
}  // namespace

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
}  // namespace winshim
