#include "widgets/GradientBar.h"

#include "core/MulDiv.h"
#include "widgets/StandInFonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace zarvello {
namespace {

constexpr int kMinBevelWidth = 1;
constexpr int kMaxBevelWidth = 10;
constexpr QSize kInitialSize(150, 16);

QStringList scalableFaces()
{
    QStringList faces = QFontDatabase::families();
    faces.removeIf([](const QString& family) { return !QFontDatabase::isScalable(family); });
    return faces;
}

// n / 2 rounded to the nearest integer, ties to the even neighbour.
int halveToEven(int n)
{
    return static_cast<int>(std::nearbyint(n / 2.0));
}

QRgb premultiplied(const QColor& colour)
{
    return qPremultiply(colour.rgba());
}

void fillRect(QImage& image, const QRect& rect, QRgb pixel)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line + rect.left(), line + rect.right() + 1, pixel);
    }
}

} // namespace

GradientBar::GradientBar(QWidget* parent) : GradientBar(scalableFaces(), parent) {}

GradientBar::GradientBar(QStringList faces, QWidget* parent)
    : QWidget(parent), faces_(std::move(faces))
{
    // Looked up case-insensitively, so kept in that order.
    std::sort(faces_.begin(), faces_.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });

    // The platform's UI face at a fixed pixel height, so the bar's text does
    // not grow with the screen's DPI.
    QFont face = QApplication::font();
    face.setPixelSize(k8ptPixels);
    face.setWeight(QFont::Normal);
    face.setItalic(false);
    face.setUnderline(false);
    face.setStrikeOut(false);
    setFont(face);

    // Every pixel is painted unless the bevel is off, so Qt need not paint
    // the parent beneath first.
    setAttribute(Qt::WA_OpaquePaintEvent, bevelStyle_ != BevelStyle::None);
    resize(kInitialSize);
}

void GradientBar::setBevelStyle(BevelStyle value)
{
    setAttribute(Qt::WA_OpaquePaintEvent, value != BevelStyle::None);
    change(bevelStyle_, value);
}

void GradientBar::setBevelWidth(int value)
{
    value = std::clamp(value, kMinBevelWidth, kMaxBevelWidth);
    if (value == bevelWidth_) {
        return;
    }
    if (2 * value <= height() - 4 && 2 * value <= width() - 4) {
        bevelWidth_ = value;
    }
    invalidate();
}

void GradientBar::setPosition(int value)
{
    // The meter writes the position every second; the pixels change only with
    // the filled length.
    if (value < 0) {
        return;
    }
    value = std::min(value, maxValue_);
    if (filled(value) != filled(position_)) {
        invalidate();
    }
    position_ = value;
}

void GradientBar::setMaxValue(int value)
{
    position_ = std::min(position_, value);
    change(maxValue_, value);
}

void GradientBar::stepIt()
{
    const std::int64_t next = std::int64_t{position_} + step_;
    setPosition(static_cast<int>(std::clamp<std::int64_t>(next, std::numeric_limits<int>::min(),
                                                          std::numeric_limits<int>::max())));
}

const QImage& GradientBar::image() const
{
    // A resize shows in the size: a hidden widget gets no resize event.
    if (stale_ || image_.size() != size()) {
        compose();
        stale_ = false;
    }
    return image_;
}

void GradientBar::paintEvent(QPaintEvent* event)
{
    // A bar with no area has a null image, which draws nothing.
    QPainter painter(this);
    painter.drawImage(event->rect(), image(), event->rect());
}

void GradientBar::changeEvent(QEvent* event)
{
    // The base class schedules the repaint; the image must follow.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        stale_ = true;
    }
    QWidget::changeEvent(event);
}

void GradientBar::invalidate()
{
    stale_ = true;
    update();
}

int GradientBar::filled(int position) const
{
    // Measured against the whole bar, not the inner rectangle.
    return mulDiv(position, gradientStyle_ == GradientStyle::Horizontal ? width() : height(),
                  maxValue_);
}

QRgb GradientBar::gradientColour(int line, int fill) const
{
    // Raw bits, on purpose: a system colour or clNone is not resolved here.
    const auto blend = [this](int t) {
        const auto channel = [t](int from, int to) {
            return (from + mulDiv(t, to - from, 255)) & 0xFF;
        };
        return qRgb(channel(startColour_.red(), endColour_.red()),
                    channel(startColour_.green(), endColour_.green()),
                    channel(startColour_.blue(), endColour_.blue()));
    };
    const int t = mulDiv(255, line, fill);
    if (t < 0 || t >= static_cast<int>(steps_.size())) {
        return blend(t);
    }
    // Every bar drawn blends the same colours: blend each step once.
    if (stepsFor_ != std::pair(startColour_, endColour_)) {
        for (size_t i = 0; i < steps_.size(); ++i) {
            steps_[i] = blend(static_cast<int>(i));
        }
        stepsFor_ = std::pair(startColour_, endColour_);
    }
    return steps_[static_cast<size_t>(t)];
}

void GradientBar::compose() const
{
    const int w = width();
    const int h = height();
    if (image_.width() != w || image_.height() != h) {
        image_ = w > 0 && h > 0 ? QImage(w, h, QImage::Format_ARGB32_Premultiplied) : QImage();
    }
    if (image_.isNull()) {
        return;
    }

    const QPalette& pal = palette();
    const bool framed = bevelStyle_ != BevelStyle::None;
    // Without a frame the outermost ring shows the parent; with one, start
    // opaque so a bar too small for its rings still covers its area.
    image_.fill(framed ? premultiplied(toQColor(backColour_, pal)) : QRgb{0});

    if (framed) {
        const QRgb shadow = premultiplied(toQColor(clBtnShadow, pal));
        const QRgb light = premultiplied(toQColor(clBtnHighlight, pal));
        if (bevelStyle_ == BevelStyle::Lowered) {
            drawBevel(shadow, light);
        } else {
            drawBevel(light, shadow);
        }
    }

    const int inset = framed ? bevelWidth_ : 1;
    const QRect inner(QPoint(inset, inset), QPoint(w - inset - 1, h - inset - 1));
    if (inner.isEmpty()) {
        return;
    }
    const int fill = filled(position_);
    drawFill(inner, fill);
    if (textVisible_) {
        drawPercent(inner, fill);
    }
}

void GradientBar::drawBevel(QRgb topLeft, QRgb bottomRight) const
{
    const int w = width();
    const int h = height();
    for (int k = 0; k < bevelWidth_; ++k) {
        const int right = w - k - 1;
        const int bottom = h - k - 1;
        if (right < k || bottom < k) {
            break;
        }
        // The bottom and right sides own the bottom-left and top-right corners.
        fillRect(image_, QRect(QPoint(k, k), QPoint(right - 1, k)), topLeft);
        fillRect(image_, QRect(QPoint(k, k), QPoint(k, bottom - 1)), topLeft);
        fillRect(image_, QRect(QPoint(k, bottom), QPoint(right, bottom)), bottomRight);
        fillRect(image_, QRect(QPoint(right, k), QPoint(right, bottom)), bottomRight);
    }
}

void GradientBar::drawFill(const QRect& inner, int fill) const
{
    const QRgb back = premultiplied(toQColor(backColour_, palette()));
    if (gradientStyle_ == GradientStyle::Horizontal) {
        // Gradient columns 0..fill, but the back colour starts at column
        // fill, so the last gradient column is never seen. An empty bar (fill −1) clamps to none.
        const int split = std::clamp(fill, inner.left(), inner.right() + 1);
        auto* first = reinterpret_cast<QRgb*>(image_.scanLine(inner.top()));
        for (int x = inner.left(); x < split; ++x) {
            first[x] = gradientColour(x, fill);
        }
        std::fill(first + split, first + inner.right() + 1, back);
        const auto bytes = static_cast<std::size_t>(inner.width()) * sizeof(QRgb);
        for (int y = inner.top() + 1; y <= inner.bottom(); ++y) {
            std::memcpy(reinterpret_cast<QRgb*>(image_.scanLine(y)) + inner.left(),
                        first + inner.left(), bytes);
        }
        return;
    }
    // Vertical: gradient row i is Height − i, growing up from the bottom
    // edge; the back colour ends above row Height − fill, which stays visible.
    const int h = height();
    const int split = std::clamp(h - fill, inner.top(), inner.bottom() + 1);
    fillRect(image_, QRect(QPoint(inner.left(), inner.top()), QPoint(inner.right(), split - 1)),
             back);
    for (int y = split; y <= inner.bottom(); ++y) {
        fillRect(image_, QRect(inner.left(), y, inner.width(), 1), gradientColour(h - y, fill));
    }
}

void GradientBar::drawPercent(const QRect& inner, int fill) const
{
    const bool horizontal = gradientStyle_ == GradientStyle::Horizontal;
    // An empty bar (fill −1 when the maximum is 0) reads 0 %, not −1 %.
    const int percent = std::max(0, mulDiv(fill, 100, horizontal ? width() : height()));
    const QString text = QString::number(percent) + QLatin1Char('%');

    QPainter painter(&image_);
    painter.setClipRect(inner);
    painter.setPen(toQColor(textColour_, palette()));
    painter.setFont(font());
    constexpr int kCentred = Qt::AlignCenter | Qt::TextSingleLine;
    if (horizontal) {
        painter.drawText(inner, kCentred, text);
        return;
    }

    // Measured with the UI font rather than the bar's, which decides whether
    // the text still fits across the bar.
    const QFontMetrics ui(QApplication::font());
    const int cx = ui.horizontalAdvance(text);
    const int cy = ui.height();
    if (width() - 6 - 2 * bevelWidth_ >= cx) {
        painter.drawText(inner, kCentred, text);
        return;
    }
    // Rotated a quarter turn clockwise: the text runs downward with the
    // glyph tops facing right. A face that may not rotate well is swapped
    // for the first listed scalable one; with none listed, keep our own.
    QFont rotated = font();
    if (!faces_.isEmpty() && !faces_.contains(rotated.family(), Qt::CaseInsensitive)) {
        rotated.setFamily(faces_.first());
    }
    painter.setFont(rotated);
    painter.translate(halveToEven(width() + cy - 3), halveToEven(height() - cx + 3));
    painter.rotate(90);
    painter.drawText(0, painter.fontMetrics().ascent(), text);
}

} // namespace zarvello
