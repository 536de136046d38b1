#include "app/MeterFrame.h"

#include "core/AppInfo.h"
#include "widgets/Colour.h"
#include "widgets/StandInFonts.h"

#include <QFont>
#include <QPainter>

namespace zarvello::MeterFrame {
namespace {

constexpr int kGradientBands = 20;
constexpr int kCloseBoxSide = 12;

QColor mix(const QColor& from, const QColor& to, int step, int steps)
{
    auto channel = [&](int a, int b) { return a + (b - a) * step / (steps - 1); };
    return {channel(from.red(), to.red()), channel(from.green(), to.green()),
            channel(from.blue(), to.blue())};
}

// A raised edge: light on the top and left, shadow on the bottom and right.
void drawRaised(QPainter& p, const QRect& r, const QPalette& pal)
{
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(pal.color(QPalette::Shadow));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

} // namespace

QString captionText()
{
    return QStringLiteral("Quillon ") + kAppName + QStringLiteral(" v") + kAppVersion;
}

QRect captionRect(QSize window)
{
    return {kBorder, kBorder, window.width() - 2 * kBorder, kCaption};
}

QRect closeBoxRect(QSize window)
{
    const QRect caption = captionRect(window);
    return {caption.right() - kCloseBoxSide - 1, caption.top() + 2, kCloseBoxSide, kCloseBoxSide};
}

QRect clientRect(QSize window)
{
    return {kBorder, kBorder + kCaption, window.width() - 2 * kBorder,
            window.height() - 2 * kBorder - kCaption};
}

QSize windowSize(QSize client)
{
    return client + QSize(2 * kBorder, 2 * kBorder + kCaption);
}

QImage render(QSize window, qreal ratio, const QPalette& pal)
{
    QImage image(window * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    QPainter p(&image);
    const QRect outer(QPoint(0, 0), window);
    p.fillRect(outer, toQColor(clBtnFace, pal));
    drawRaised(p, outer, pal);
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(outer.left() + 1, outer.bottom() - 1, outer.right() - 1, outer.bottom() - 1);
    p.drawLine(outer.right() - 1, outer.top() + 1, outer.right() - 1, outer.bottom() - 1);

    // Bands from the window-text colour to the caption colour, active or not.
    const QRect caption = captionRect(window);
    const QColor from = toQColor(clWindowText, pal);
    const QColor to = toQColor(clActiveCaption, pal);
    for (int band = 0; band < kGradientBands; ++band) {
        const int x0 = caption.left() + caption.width() * band / kGradientBands;
        const int x1 = caption.left() + caption.width() * (band + 1) / kGradientBands;
        p.fillRect(QRect(x0, caption.top(), x1 - x0, caption.height()),
                   mix(from, to, band, kGradientBands));
    }
    QFont font = pixelFont("MS Sans Serif", k8ptPixels);
    font.setBold(true);
    p.setFont(font);
    p.setPen(toQColor(clCaptionText, pal));
    p.drawText(caption.adjusted(2, 0, -16, 0), Qt::AlignLeft | Qt::AlignVCenter, captionText());

    // The close box: a small raised button with a cross.
    const QRect box = closeBoxRect(window);
    p.fillRect(box, toQColor(clBtnFace, pal));
    drawRaised(p, box, pal);
    p.setPen(QPen(toQColor(clBtnText, pal), 1.5));
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect cross = box.adjusted(3, 3, -3, -3);
    p.drawLine(cross.topLeft(), cross.bottomRight());
    p.drawLine(cross.topRight(), cross.bottomLeft());
    return image;
}

} // namespace zarvello::MeterFrame
