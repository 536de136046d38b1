#pragma once

#include <QLabel>
#include <QTextLayout>

namespace zarvello {

// A plain-text label that lays its text out once per change of text or font.
// The figures change every tick, and QLabel shapes the text afresh for its
// size hint and again for every paint; this one keeps the shaped line and
// draws it where QLabel draws it (left, vertically centred), pixel for pixel.
// It has no frame, margin or indent, as the figures have none.
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
    const QTextLayout& layout() const;

    mutable QTextLayout layout_;
    mutable QSizeF size_; // of the laid-out lines, unrounded
    mutable bool stale_ = true;
};

} // namespace zarvello
