#include "widgets/FigureLabel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QtMath>

namespace zarvello {

void FigureLabel::layOut() const
{
    if (!stale_ && glyphs_.text() == text()) {
        return;
    }
    glyphs_.setTextFormat(Qt::PlainText);
    glyphs_.setText(text());
    const QFont deviceFont(font(), this);
    glyphs_.prepare(QTransform(), deviceFont);
    // Centred as QPainter::drawText centres a line: on its unrounded height.
    const QFontMetricsF metrics(deviceFont);
    lineHeight_ = metrics.ascent() + metrics.descent();
    stale_ = false;
}

QSize FigureLabel::sizeHint() const
{
    layOut();
    const QSizeF size = glyphs_.size();
    return QSize(qCeil(size.width()), qCeil(size.height()));
}

void FigureLabel::paintEvent(QPaintEvent* /*event*/)
{
    layOut();
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    painter.setClipRect(area);
    painter.drawStaticText(QPointF(area.x(), area.y() + (area.height() - lineHeight_) / 2),
                           glyphs_);
}

void FigureLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        stale_ = true;
    }
    QLabel::changeEvent(event);
}

} // namespace zarvello
