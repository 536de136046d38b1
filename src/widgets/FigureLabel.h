#pragma once

#include <QLabel>
#include <QStaticText>

namespace zarvello {

// A plain-text label that lays its text out once per change of text or font.
// The figures change every tick, and QLabel shapes the text afresh for its
// size hint and again for every paint; this one keeps the shaped glyphs (a
// static text) and draws them where QLabel draws its text (left, vertically
// centred), pixel for pixel. It has no frame, margin or indent, as the figures have none.
class FigureLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void layOut() const;

    mutable QStaticText glyphs_;
    mutable qreal lineHeight_ = 0;
    mutable bool stale_ = true;
};

} // namespace zarvello
