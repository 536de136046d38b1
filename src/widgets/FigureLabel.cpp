#include "widgets/FigureLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QtMath>

namespace zarvello {
namespace {

// Wider than any line: QTextLine caps it at its own maximum.
constexpr qreal kUnbounded = 0x01000000;

} // namespace

const QTextLayout& FigureLabel::layout() const
{
    if (stale_ || layout_.text() != text()) {
        // Lines as QPainter::drawText lays them: unbounded width, each placed
        // on a whole pixel, the font's leading between them.
        const QFont deviceFont(font(), this);
        const qreal leading = QFontMetricsF(deviceFont).leading();
        layout_.setText(text());
        layout_.setFont(deviceFont);
        layout_.setCacheEnabled(true);
        qreal width = 0;
        qreal height = -leading;
        layout_.beginLayout();
        for (QTextLine line = layout_.createLine(); line.isValid(); line = layout_.createLine()) {
            line.setLineWidth(kUnbounded);
            height = qCeil(height + leading);
            line.setPosition(QPointF(0, height));
            height += line.ascent() + line.descent(); // height() is rounded up
            width = qMax(width, line.naturalTextWidth());
        }
        layout_.endLayout();
        size_ = QSizeF(width, qMax(height, 0.0));
        stale_ = false;
    }
    return layout_;
}

QSize FigureLabel::sizeHint() const
{
    layout();
    return QSize(qCeil(size_.width()), qCeil(size_.height()));
}

void FigureLabel::paintEvent(QPaintEvent* /*event*/)
{
    const QTextLayout& laidOut = layout();
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    painter.setClipRect(area);
    laidOut.draw(&painter, QPointF(area.x(), area.y() + (area.height() - size_.height()) / 2));
}

void FigureLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        stale_ = true;
    }
    QLabel::changeEvent(event);
}

} // namespace zarvello
