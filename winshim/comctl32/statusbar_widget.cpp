// Layout and painting of the status bar's parts.
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QSizeGrip>
#include <algorithm>

#include "comctl32/statusbar.h"

namespace winshim {
namespace {
// Windows' status bar borders: none at the sides, 2 pixels above the parts, and a
// 2-pixel gap between neighbouring parts (SB_GETBORDERS answers these).
constexpr int kVertBorder = 2;
constexpr int kGap = 2;
}  // namespace

StatusBarWidget::StatusBarWidget(DWORD style, QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    simpleLabel_ = makeLabel(QStringLiteral("status"));
    simpleLabel_->hide();
    const int whole = -1;
    setParts(1, &whole);
    setStyleBits(style);
}

QLabel* StatusBarWidget::makeLabel(const QString& name) {
    auto* label = new QLabel(this);
    // The name an assistive tool reads is the part's text; which part it is goes in the description.
    label->setAccessibleDescription(name);
    label->setTextFormat(Qt::PlainText);
    label->setIndent(3);
    label->setMinimumSize(0, 0);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    return label;
}

void StatusBarWidget::setStyleBits(DWORD style) {
    style_ = style;
    const bool wantGrip = style & SBARS_SIZEGRIP;
    if (wantGrip && !grip_) {
        // The grip resizes the top-level window the bar lives in.
        grip_ = new QSizeGrip(this);
        grip_->setAccessibleName(QStringLiteral("size grip"));
    } else if (!wantGrip && grip_) {
        delete grip_;
        grip_ = nullptr;
    }
    relayout();
}

bool StatusBarWidget::setParts(int count, const int* edges) {
    if (count <= 0 || count > kMaxParts || !edges) return false;
    edges_.assign(edges, edges + count);
    // Texts of parts that remain keep their text, as on Windows.
    parts_.resize(size_t(count));
    while (int(labels_.size()) < count)
        labels_.push_back(makeLabel(QStringLiteral("status part %1").arg(labels_.size())));
    while (int(labels_.size()) > count) {
        delete labels_.back();
        labels_.pop_back();
    }
    for (int i = 0; i < count; ++i) showText(labels_[i], parts_[i]);
    relayout();
    return true;
}

bool StatusBarWidget::setText(int part, const char* text, int flags) {
    Part* target = part == kSimplePart ? &simplePart_ : (part >= 0 && part < partCount() ? &parts_[part] : nullptr);
    if (!target) return false;
    // An owner-drawn part carries the program's data, not a text.
    target->text = (text && !(flags & SBT_OWNERDRAW)) ? text : "";
    target->flags = flags;
    showText(part == kSimplePart ? simpleLabel_ : labels_[part], *target);
    return true;
}

const std::string* StatusBarWidget::text(int part, int* flags) const {
    const Part* p = part == kSimplePart ? &simplePart_ : (part >= 0 && part < partCount() ? &parts_[part] : nullptr);
    if (!p) return nullptr;
    if (flags) *flags = p->flags;
    return &p->text;
}

void StatusBarWidget::showText(QLabel* label, const Part& part) {
    // Leading tabs centre (one) or right-align (two) the text, as in Windows.
    QString text = QString::fromLocal8Bit(part.text.c_str());
    Qt::Alignment align = Qt::AlignLeft;
    if (text.startsWith(QLatin1String("\t\t"))) {
        align = Qt::AlignRight;
        text = text.mid(2);
    } else if (text.startsWith(QLatin1Char('\t'))) {
        align = Qt::AlignHCenter;
        text = text.mid(1);
    }
    label->setText(text.replace(QLatin1Char('\t'), QLatin1Char(' ')));
    label->setAlignment(align | Qt::AlignVCenter);
    if (part.flags & SBT_NOBORDERS)
        label->setFrameStyle(QFrame::NoFrame);
    else if (part.flags & SBT_POPOUT)
        label->setFrameStyle(QFrame::Panel | QFrame::Raised);
    else
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
}

bool StatusBarWidget::partRect(int part, QRect* out) const {
    const int bottom = height();
    if (simple_ || part == kSimplePart) {
        if (part != kSimplePart && part != 0) return false;
        *out = QRect(QPoint(0, kVertBorder), QPoint(width() - 1, bottom - 1));
        return true;
    }
    if (part < 0 || part >= partCount()) return false;
    int left = 0;
    for (int i = 0; i <= part; ++i) {
        int right = edges_[i] == -1 ? width() : edges_[i];
        if (i == part) {
            // QRect's right is inclusive; Windows' is exclusive.
            *out = QRect(QPoint(left, kVertBorder), QPoint(std::max(left, right) - 1, bottom - 1));
            return true;
        }
        left = right + kGap;
    }
    return false;
}

void StatusBarWidget::setSimple(bool simple) {
    simple_ = simple;
    relayout();
}

void StatusBarWidget::setMinHeight(int height) {
    minHeight_ = std::max(0, height);
}

int StatusBarWidget::naturalHeight() const {
    int text = QFontMetrics(font()).height() + 2;
    return std::max({text, 16, minHeight_}) + 2 * kVertBorder;
}

QRect StatusBarWidget::gripRect() const {
    if (!grip_) return {};
    int side = std::max(0, height() - kVertBorder);
    return QRect(width() - side, height() - side, side, side);
}

void StatusBarWidget::relayout() {
    QRect grip = gripRect();
    if (grip_) {
        grip_->setGeometry(grip);
        grip_->raise();
        grip_->show();
    }
    auto place = [&](QLabel* label, QRect r) {
        // The grip keeps its corner: a part that runs under it stops short of it.
        if (grip_ && r.right() >= grip.left()) r.setRight(std::max(r.left(), grip.left() - 1));
        label->setGeometry(r);
    };
    simpleLabel_->setVisible(simple_);
    if (simple_) place(simpleLabel_, QRect(QPoint(0, kVertBorder), QPoint(width() - 1, height() - 1)));
    for (int i = 0; i < partCount(); ++i) {
        QRect r;
        partRect(i, &r);
        labels_[i]->setVisible(!simple_ && r.width() > 0);
        if (!simple_) place(labels_[i], r);
    }
}

void StatusBarWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void StatusBarWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) relayout();
}
}  // namespace winshim
