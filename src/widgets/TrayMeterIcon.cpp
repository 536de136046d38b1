#include "widgets/TrayMeterIcon.h"

#include "core/AppInfo.h"
#include "widgets/StandInFonts.h"

#include <QCursor>
#include <QFontInfo>
#include <QGuiApplication>
#include <QIconEngine>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QStyleHints>
#include <QTimer>
#include <QtMath>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace zarvello {
namespace {

// Shows a drawn image as an icon made from a pixmap would, but without that icon's
// entries in the pixmap cache: the tray gets a new icon whenever the bar moves,
// and each would stay cached.
class ImageIconEngine final : public QIconEngine
{
public:
    explicit ImageIconEngine(QImage image) : image_(std::move(image)) {}

    QSize actualSize(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/) override
    {
        QSize actual = image_.size();
        if (actual.width() > size.width() || actual.height() > size.height()) {
            actual.scale(size, Qt::KeepAspectRatio);
        }
        return actual;
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return QPixmap::fromImage(sized(actualSize(size, mode, state)));
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode /*mode*/,
               QIcon::State /*state*/) override
    {
        // The rectangle is in logical pixels, the image in the device's own.
        const QPaintDevice* device = painter->device();
        painter->drawImage(rect, sized(rect.size() * (device ? device->devicePixelRatio() : 1)));
    }
    [[nodiscard]] QIconEngine* clone() const override { return new ImageIconEngine(image_); }

private:
    [[nodiscard]] QImage sized(const QSize& size) const
    {
        return size == image_.size()
                   ? image_
                   : image_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }

    QImage image_;
};

constexpr QRgb kYellow = 0xFFFFFF00u;
constexpr QRgb kLime = 0xFF00FF00u;

// Offset of the position into the range and the range's width, both non-negative; the
// width is 0 for an empty (or reversed) range. 64 bits, so the full int range fits.
struct Span
{
    std::int64_t offset;
    std::int64_t width;
};

Span spanOf(int min, int max, int position)
{
    const std::int64_t width = std::max<std::int64_t>(std::int64_t{max} - min, 0);
    const std::int64_t offset = std::clamp<std::int64_t>(std::int64_t{position} - min, 0, width);
    return {offset, width};
}

// Cuts without splitting a surrogate pair.
QString leftChars(const QString& text, qsizetype count)
{
    if (text.size() <= count) {
        return text;
    }
    if (count > 0 && text.at(count - 1).isHighSurrogate()) {
        --count;
    }
    return text.left(count);
}

} // namespace

int trayFilledColumns(int min, int max, int position, int columns)
{
    const auto [offset, width] = spanOf(min, max, position);
    if (width == 0) {
        return 1;
    }
    const std::int64_t scaled = offset * columns;
    std::int64_t filled = scaled / width;
    const std::int64_t twiceRest = 2 * (scaled % width);
    if (twiceRest > width || (twiceRest == width && (filled & 1) != 0)) {
        ++filled;
    }
    return static_cast<int>(filled);
}

int trayPercent(int min, int max, int position)
{
    const auto [offset, width] = spanOf(min, max, position);
    if (width == 0) {
        return 100;
    }
    return static_cast<int>(offset * 100 / width);
}

QFont trayDrawingFont(const QFont& font)
{
    QFont drawing = font;
    drawing.setStyleStrategy(QFont::NoAntialias);
    return drawing;
}

QImage drawTrayProgress(const TrayProgressLook& look)
{
    const int scale = std::max(look.scale, 1);
    const int side = kTrayIconSize * scale;
    const int filled = trayFilledColumns(look.min, look.max, look.position, side);
    const QColor fontColour = toQColor(look.textColour);
    // The marker only has to differ from the figure's colour.
    const QRgb marker = fontColour.rgb() == kYellow ? kLime : kYellow;

    QImage image(side, side, QImage::Format_RGB32);
    image.fill(marker);
    if (look.textVisible) {
        QPainter painter(&image);
        QFont font = look.font;
        if (scale > 1) {
            font.setPixelSize(QFontInfo(look.font).pixelSize() * scale);
        }
        painter.setFont(font);
        painter.setPen(fontColour);
        painter.drawText(QRect(0, 0, side, side),
                         Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip,
                         QString::number(trayPercent(look.min, look.max, look.position)));
    }

    // Every pixel is read before it is written, so fore or back colours equal to the
    // marker cannot confuse the test.
    const QRgb fore = toQColor(look.foreColour).rgb();
    const QRgb back = toQColor(look.backColour).rgb();
    const bool vertical = look.kind == BarKind::Vertical;
    const int last = side - 1;
    for (int c = 0; c < side; ++c) {
        for (int r = 0; r < side; ++r) {
            const int x = vertical ? last - r : c;
            const int y = vertical ? last - c : r;
            auto* pixel = reinterpret_cast<QRgb*>(image.scanLine(y)) + x;
            if (c < filled) {
                *pixel = *pixel == marker ? fore : back;
            } else if (*pixel == marker) {
                *pixel = back;
            }
        }
    }

    if (look.borderStyle == BorderStyle::Single) {
        const QRgb border = toQColor(look.borderColour).rgb();
        for (int ring = 0; ring < scale; ++ring) {
            for (int i = 0; i < side; ++i) {
                image.setPixel(i, ring, border);
                image.setPixel(i, last - ring, border);
                image.setPixel(ring, i, border);
                image.setPixel(last - ring, i, border);
            }
        }
    }
    image.setDevicePixelRatio(scale);
    return image;
}

QString trayTip(const QString& toolTip, bool percentInToolTip, int percent)
{
    if (!percentInToolTip || !toolTip.contains(QLatin1String("%s"), Qt::CaseInsensitive)) {
        return leftChars(toolTip, kTrayTipLength);
    }
    const QString figure = QString::number(percent) + u'%';
    QString tip;
    for (qsizetype i = 0; i < toolTip.size(); ++i) {
        const QChar next = i + 1 < toolTip.size() ? toolTip[i + 1] : QChar();
        if (toolTip[i] == u'%' && (next == u's' || next == u'S' || next == u'%')) {
            tip += next == u'%' ? QString(next) : figure;
            ++i;
        } else {
            tip += toolTip[i];
        }
    }
    return leftChars(tip, kTrayTipLength);
}

TrayMeterIcon::TrayMeterIcon(QObject* owner)
    : QObject(owner), font_(pixelFont("Arial", k8ptPixels)),
      errorReporter_([](const QString& text) { QMessageBox::critical(nullptr, kAppName, text); })
{
    look_.font = trayDrawingFont(font_);
    connect(&tray_, &QSystemTrayIcon::activated, this, &TrayMeterIcon::activated);
    refresh();
}

void TrayMeterIcon::setActive(bool value)
{
    if (value == active_) {
        return;
    }
    active_ = value;
    if (!active_) {
        tray_.hide();
        return;
    }
    refresh();
    // Shown even without a tray host: Qt adds the icon once one appears.
    tray_.show();
    if (toolTip_.isEmpty()) {
        QTimer::singleShot(0, this, [this] { setToolTip(toolTip_); });
    }
}

void TrayMeterIcon::setToolTip(const QString& value)
{
    toolTip_ = leftChars(value, kTrayToolTipLength);
    refresh();
}

void TrayMeterIcon::setMinimum(int value)
{
    if (value != look_.min) {
        changeRange(value, look_.max, value > look_.max);
    }
}

void TrayMeterIcon::setMaximum(int value)
{
    if (value != look_.max) {
        changeRange(look_.min, value, value < look_.min);
    }
}

void TrayMeterIcon::changeRange(int min, int max, bool refused)
{
    if (refused) {
        if (errorReporter_) {
            errorReporter_(QStringLiteral("Trayscrollbar property out of range!"));
        }
    } else {
        look_.min = min;
        look_.max = max;
    }
    look_.position = std::clamp(look_.position, look_.min, look_.max);
    refresh();
}

void TrayMeterIcon::setPosition(int value)
{
    // Compared unclamped: writing a value beyond the range again redraws again.
    if (value != look_.position) {
        look_.position = std::clamp(value, look_.min, look_.max);
        refresh();
    }
}

void TrayMeterIcon::setMaxIcon(const QIcon& value)
{
    maxIcon_ = value;
    if (look_.position == look_.max) {
        refresh();
    }
}

void TrayMeterIcon::setTextFont(const QFont& value)
{
    if (value != font_) {
        font_ = value;
        look_.font = trayDrawingFont(font_);
        refresh();
    }
}

void TrayMeterIcon::setBorderColour(Colour value)
{
    // Without a frame there is nothing to redraw.
    if (look_.borderStyle == BorderStyle::Single) {
        change(look_.borderColour, value);
    } else {
        look_.borderColour = value;
    }
}

// Hands a new icon and tip to the tray; while the icon is hidden Qt only keeps them.
void TrayMeterIcon::refresh()
{
    int percent = 100;
    if (look_.position == look_.max && !maxIcon_.isNull()) {
        if (tray_.icon().cacheKey() != maxIcon_.cacheKey()) {
            tray_.setIcon(maxIcon_);
        }
    } else {
        // Drawn at the tray's device pixels, so a doubled screen gets a sharp icon.
        const QScreen* screen = QGuiApplication::primaryScreen();
        look_.scale = screen != nullptr ? qCeil(screen->devicePixelRatio()) : 1;
        QImage image = drawTrayProgress(look_);
        percent = trayPercent(look_.min, look_.max, look_.position);
        // The position moves with every tick, the pixels far less often.
        if (image != image_ || tray_.icon().cacheKey() != drawnIcon_.cacheKey()) {
            image_ = std::move(image);
            drawnIcon_ = QIcon(new ImageIconEngine(image_));
            tray_.setIcon(drawnIcon_);
        }
    }
    if (QString tip = trayTip(toolTip_, percentInToolTip_, percent); tip != tray_.toolTip()) {
        tray_.setToolTip(tip);
    }
}

void TrayMeterIcon::activated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        sinceClick_.start();
        Q_EMIT clicked();
        break;
    case QSystemTrayIcon::DoubleClick: {
        // A double click is click, double click, click. Qt does not always report the
        // first click before the double click, so supply it when it did not.
        const bool firstReported =
            sinceClick_.isValid() &&
            sinceClick_.elapsed() <= QGuiApplication::styleHints()->mouseDoubleClickInterval();
        sinceClick_.invalidate();
        const QPointer<TrayMeterIcon> self(this);
        if (!firstReported) {
            Q_EMIT clicked();
        }
        if (self) {
            Q_EMIT doubleClicked();
        }
        if (self) {
            Q_EMIT clicked();
        }
        break;
    }
    case QSystemTrayIcon::Context: {
        const QPoint at = QCursor::pos();
        if (popupMenu_) {
            // exec runs the menu's commands before it returns; one of them may end the owner.
            const QPointer<TrayMeterIcon> self(this);
            popupMenu_->exec(at);
            if (!self) {
                return;
            }
        }
        Q_EMIT rightClicked(at);
        break;
    }
    default:
        break;
    }
}

} // namespace zarvello
