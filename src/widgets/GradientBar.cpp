#include "widgets/GradientBar.h"

#include "core/MulDiv.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace zarvello {
namespace {

constexpr int kMinBevelWidth = 1;
constexpr int kMaxBevelWidth = 10;

QStringList scalableFaces()
{
    QStringList faces;
    const QStringList families = QFontDatabase::families();
    for (const QString& family : families) {
        if (QFontDatabase::isScalable(family)) {
            faces.append(family);
        }
    }
    return faces;
}

// n / 2 rounded to the nearest integer, ties to the even neighbour.
constexpr int halveToEven(int n)
{
    int q = n >= 0 ? n / 2 : -((-n + 1) / 2); // floor
    if (n % 2 != 0 && q % 2 != 0) {
        ++q;
    }
    return q;
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
    : QWidget(parent), m_faces(std::move(faces))
{
    // Looked up case-insensitively, so kept in that order.
    std::sort(m_faces.begin(), m_faces.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });

    // The platform's UI face at a fixed pixel height, so the bar's text does
    // not grow with the screen's DPI.
    QFont face = QApplication::font();
    face.setPixelSize(11);
    face.setWeight(QFont::Normal);
    face.setItalic(false);
    face.setUnderline(false);
    face.setStrikeOut(false);
    setFont(face);

    // Every pixel is painted unless the bevel is off, so Qt need not paint
    // the parent beneath first.
    setAttribute(Qt::WA_OpaquePaintEvent, m_bevelStyle != BevelStyle::bsNone);
    resize(150, 16);
    takeChannels();
}

GradientBar::~GradientBar() = default;

void GradientBar::setStyle(GradientStyle value)
{
    if (value == m_style) {
        return;
    }
    m_style = value;
    invalidate();
}

void GradientBar::setBevelStyle(BevelStyle value)
{
    if (value == m_bevelStyle) {
        return;
    }
    m_bevelStyle = value;
    setAttribute(Qt::WA_OpaquePaintEvent, m_bevelStyle != BevelStyle::bsNone);
    invalidate();
}

void GradientBar::setBevelWidth(int value)
{
    value = std::clamp(value, kMinBevelWidth, kMaxBevelWidth);
    if (value == m_bevelWidth) {
        return;
    }
    if (2 * value <= height() - 4 && 2 * value <= width() - 4) {
        m_bevelWidth = value;
    }
    invalidate();
}

void GradientBar::setStartColor(Colour value)
{
    if (value == m_startColor) {
        return;
    }
    m_startColor = value;
    takeChannels();
    invalidate();
}

void GradientBar::setEndColor(Colour value)
{
    if (value == m_endColor) {
        return;
    }
    m_endColor = value;
    takeChannels();
    invalidate();
}

void GradientBar::setPosition(int value)
{
    if (value < 0) {
        return;
    }
    value = std::min(value, m_maxValue);
    // The meter writes the position every second, mostly unchanged.
    if (value == m_position) {
        return;
    }
    m_position = value;
    invalidate();
}

void GradientBar::setMaxValue(int value)
{
    if (value == m_maxValue) {
        return;
    }
    m_maxValue = value;
    m_position = std::min(m_position, m_maxValue);
    invalidate();
}

void GradientBar::setStep(int value)
{
    // Only Stepit reads it; nothing on screen changes.
    m_step = value;
}

void GradientBar::setShowPercent(bool value)
{
    if (value == m_showPercent) {
        return;
    }
    m_showPercent = value;
    invalidate();
}

void GradientBar::setBackColor(Colour value)
{
    if (value == m_backColor) {
        return;
    }
    m_backColor = value;
    invalidate();
}

void GradientBar::setFontColor(Colour value)
{
    if (value == m_fontColor) {
        return;
    }
    m_fontColor = value;
    invalidate();
}

void GradientBar::Stepit()
{
    const std::int64_t next = std::int64_t{m_position} + m_step;
    setPosition(static_cast<int>(std::clamp<std::int64_t>(next, std::numeric_limits<int>::min(),
                                                          std::numeric_limits<int>::max())));
}

const QImage& GradientBar::image() const
{
    // A hidden widget is resized without a resize event, so check the size too.
    if (m_stale || m_image.size() != size()) {
        compose();
        m_stale = false;
    }
    return m_image;
}

void GradientBar::paintEvent(QPaintEvent* event)
{
    const QImage& bar = image();
    if (bar.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawImage(event->rect(), bar, event->rect());
}

void GradientBar::resizeEvent(QResizeEvent* event)
{
    m_stale = true;
    QWidget::resizeEvent(event);
}

void GradientBar::changeEvent(QEvent* event)
{
    // The base class schedules the repaint; the image must follow.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        m_stale = true;
    }
    QWidget::changeEvent(event);
}

void GradientBar::invalidate()
{
    m_stale = true;
    update();
}

void GradientBar::takeChannels()
{
    // Raw bits, on purpose: a system colour or clNone is not resolved here.
    m_start = {m_startColor.red(), m_startColor.green(), m_startColor.blue()};
    m_delta = {m_endColor.red() - m_start[0], m_endColor.green() - m_start[1],
               m_endColor.blue() - m_start[2]};
}

QRgb GradientBar::gradientColour(int line, int fill) const
{
    const int t = mulDiv(255, line, fill);
    std::array<int, 3> channel{};
    for (std::size_t c = 0; c < channel.size(); ++c) {
        channel[c] = (m_start[c] + mulDiv(t, m_delta[c], 255)) & 0xFF;
    }
    return qRgb(channel[0], channel[1], channel[2]);
}

void GradientBar::compose() const
{
    const int w = width();
    const int h = height();
    if (m_image.width() != w || m_image.height() != h) {
        m_image = w > 0 && h > 0 ? QImage(w, h, QImage::Format_ARGB32_Premultiplied) : QImage();
    }
    if (m_image.isNull()) {
        return;
    }

    const QPalette& pal = palette();
    const bool framed = m_bevelStyle != BevelStyle::bsNone;
    // Without a frame the outermost ring shows the parent; with one, start
    // opaque so a bar too small for its rings still covers its area.
    m_image.fill(framed ? premultiplied(toQColor(m_backColor, pal)) : QRgb{0});

    if (framed) {
        const QRgb shadow = premultiplied(toQColor(clBtnShadow, pal));
        const QRgb light = premultiplied(toQColor(clBtnHighlight, pal));
        if (m_bevelStyle == BevelStyle::bsLowered) {
            drawBevel(shadow, light);
        } else {
            drawBevel(light, shadow);
        }
    }

    const int inset = framed ? m_bevelWidth : 1;
    const QRect inner(QPoint(inset, inset), QPoint(w - inset - 1, h - inset - 1));
    if (inner.isEmpty()) {
        return;
    }
    // Measured against the whole bar, not the inner rectangle.
    const int fill = mulDiv(m_position, m_style == GradientStyle::gsHorizontal ? w : h, m_maxValue);
    drawFill(inner, fill);
    if (m_showPercent) {
        drawPercent(inner, fill);
    }
}

void GradientBar::drawBevel(QRgb topLeft, QRgb bottomRight) const
{
    const int w = width();
    const int h = height();
    for (int k = 0; k < m_bevelWidth; ++k) {
        const int right = w - k - 1;
        const int bottom = h - k - 1;
        if (right < k || bottom < k) {
            break;
        }
        // The bottom and right sides own the bottom-left and top-right corners.
        auto* top = reinterpret_cast<QRgb*>(m_image.scanLine(k));
        std::fill(top + k, top + right, topLeft);
        for (int y = k; y < bottom; ++y) {
            reinterpret_cast<QRgb*>(m_image.scanLine(y))[k] = topLeft;
        }
        auto* base = reinterpret_cast<QRgb*>(m_image.scanLine(bottom));
        std::fill(base + k, base + right + 1, bottomRight);
        for (int y = k; y <= bottom; ++y) {
            reinterpret_cast<QRgb*>(m_image.scanLine(y))[right] = bottomRight;
        }
    }
}

void GradientBar::drawFill(const QRect& inner, int fill) const
{
    const QRgb back = premultiplied(toQColor(m_backColor, palette()));
    if (m_style == GradientStyle::gsHorizontal) {
        // Gradient columns 0..fill, but the back colour starts at column
        // fill, so the last gradient column is never seen.
        const int split =
            fill < 0 ? inner.left() : std::clamp(fill, inner.left(), inner.right() + 1);
        auto* first = reinterpret_cast<QRgb*>(m_image.scanLine(inner.top()));
        for (int x = inner.left(); x < split; ++x) {
            first[x] = gradientColour(x, fill);
        }
        std::fill(first + split, first + inner.right() + 1, back);
        const auto bytes = static_cast<std::size_t>(inner.width()) * sizeof(QRgb);
        for (int y = inner.top() + 1; y <= inner.bottom(); ++y) {
            std::memcpy(reinterpret_cast<QRgb*>(m_image.scanLine(y)) + inner.left(),
                        first + inner.left(), bytes);
        }
        return;
    }
    // Vertical: gradient row i is Height − i, growing up from the bottom
    // edge; the back colour ends above row Height − fill, which stays visible.
    const int h = height();
    const int split =
        fill < 0 ? inner.bottom() + 1 : std::clamp(h - fill, inner.top(), inner.bottom() + 1);
    if (split > inner.top()) {
        fillRect(m_image,
                 QRect(QPoint(inner.left(), inner.top()), QPoint(inner.right(), split - 1)), back);
    }
    for (int y = split; y <= inner.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(y));
        std::fill(line + inner.left(), line + inner.right() + 1, gradientColour(h - y, fill));
    }
}

void GradientBar::drawPercent(const QRect& inner, int fill) const
{
    const bool horizontal = m_style == GradientStyle::gsHorizontal;
    // An empty bar (fill −1 when MaxValue is 0) reads 0 %, not −1 %.
    const int percent = std::max(0, mulDiv(fill, 100, horizontal ? width() : height()));
    const QString text = QString::number(percent) + QLatin1Char('%');

    QPainter painter(&m_image);
    painter.setClipRect(inner);
    painter.setPen(toQColor(m_fontColor, palette()));
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
    if (width() - 6 - 2 * m_bevelWidth >= cx) {
        painter.drawText(inner, kCentred, text);
        return;
    }
    // Rotated a quarter turn clockwise: the text runs downward with the
    // glyph tops facing right. A face that may not rotate well is swapped
    // for the first listed scalable one; with none listed, keep our own.
    QFont rotated = font();
    if (!m_faces.isEmpty() && !m_faces.contains(rotated.family(), Qt::CaseInsensitive)) {
        rotated.setFamily(m_faces.first());
    }
    painter.setFont(rotated);
    painter.translate(halveToEven(width() + cy - 3), halveToEven(height() - cx + 3));
    painter.rotate(90);
    painter.drawText(0, painter.fontMetrics().ascent(), text);
}

} // namespace zarvello
