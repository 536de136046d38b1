#pragma once

#include "widgets/Colour.h"

#include <QElapsedTimer>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>
#include <utility>

namespace zarvello {

// Scoped: the gradient bar has its own BevelStyle::None.
enum class BarKind { Horizontal = 0, Vertical = 1 };
enum class BorderStyle { None = 0, Single = 1 };

// Everything the 16 x 16 drawing depends on.
struct TrayProgressLook
{
    int min = 0;
    int max = 100;
    int position = 0;
    BarKind kind = BarKind::Horizontal;
    bool textVisible = true;
    BorderStyle borderStyle = BorderStyle::Single;
    Colour foreColour = clHighlight;
    Colour backColour = clHighlightText;
    Colour borderColour = clBlack;
    QFont font; // used as given: pass it through trayDrawingFont()
    Colour textColour = clBlack;
    int scale = 1; // device pixels per icon pixel: 2 on a doubled screen
};

inline constexpr int kTrayIconSize = 16;
inline constexpr int kTrayToolTipLength = 62; // what the component keeps of its tool tip
inline constexpr int kTrayTipLength = 63;     // what the tray is given after formatting

// Filled columns 0..columns: round half to even of (position - min) * columns / (max - min);
// 1 when min == max. Exact integer arithmetic, so ties are ties and the full int range works.
[[nodiscard]] int trayFilledColumns(int min, int max, int position, int columns = kTrayIconSize);
// Percent 0..100, truncated; 100 when min == max.
[[nodiscard]] int trayPercent(int min, int max, int position);
// The font the figure is drawn with: glyph pixels must come out in exactly the pen colour,
// because the fill tells figure from background by exact colour.
[[nodiscard]] QFont trayDrawingFont(const QFont& font);
// The 16 x 16 progress image, Format_RGB32; at a scale of 2, the same rules drawn on
// 32 x 32 device pixels (a two-pixel border, a figure twice the size).
[[nodiscard]] QImage drawTrayProgress(const TrayProgressLook& look);
// The tip: with percentInToolTip, each "%s" (either case) becomes "<percent>%" and "%%" a "%";
// otherwise the text unchanged. At most kTrayTipLength characters.
[[nodiscard]] QString trayTip(const QString& toolTip, bool percentInToolTip, int percent);

// A notification-area icon drawn as a small progress bar with its percent figure.
// Setters do nothing for an unchanged value (except the tool tip), so a once-a-second tick that
// writes the same Max and Position costs no drawing.
class TrayMeterIcon : public QObject
{
    Q_OBJECT

public:
    using ErrorReporter = std::function<void(const QString& text)>;

    explicit TrayMeterIcon(QObject* owner = nullptr);

    [[nodiscard]] bool isActive() const { return active_; }
    void setActive(bool value);
    // There is no form designer, so this is always run time and the value is ignored.
    [[nodiscard]] bool isShownWhileDesigning() const { return false; }
    void setShownWhileDesigning(bool /*value*/) {}
    // Kept to its first kTrayToolTipLength characters; a pattern with percentInToolTip.
    [[nodiscard]] const QString& toolTip() const { return toolTip_; }
    void setToolTip(const QString& value);

    [[nodiscard]] QMenu* popupMenu() const { return popupMenu_; }
    void setPopupMenu(QMenu* menu) { popupMenu_ = menu; }

    // A minimum above the maximum, or a maximum below the minimum, is reported and refused.
    [[nodiscard]] int minimum() const { return look_.min; }
    void setMinimum(int value);
    [[nodiscard]] int maximum() const { return look_.max; }
    void setMaximum(int value);
    [[nodiscard]] int position() const { return look_.position; }
    void setPosition(int value);
    [[nodiscard]] BarKind kind() const { return look_.kind; }
    void setKind(BarKind value) { change(look_.kind, value); }
    // Shown instead of the drawing while the bar is full.
    [[nodiscard]] const QIcon& maxIcon() const { return maxIcon_; }
    void setMaxIcon(const QIcon& value);
    // The figure's font; sizes are pixel heights so the icon does not change with DPI.
    [[nodiscard]] const QFont& textFont() const { return font_; }
    void setTextFont(const QFont& value);
    [[nodiscard]] Colour textColour() const { return look_.textColour; }
    void setTextColour(Colour value) { change(look_.textColour, value); }
    [[nodiscard]] bool isTextVisible() const { return look_.textVisible; }
    void setTextVisible(bool value) { change(look_.textVisible, value); }
    [[nodiscard]] BorderStyle borderStyle() const { return look_.borderStyle; }
    void setBorderStyle(BorderStyle value) { change(look_.borderStyle, value); }
    [[nodiscard]] Colour foreColour() const { return look_.foreColour; }
    void setForeColour(Colour value) { change(look_.foreColour, value); }
    [[nodiscard]] Colour backColour() const { return look_.backColour; }
    void setBackColour(Colour value) { change(look_.backColour, value); }
    [[nodiscard]] Colour borderColour() const { return look_.borderColour; }
    void setBorderColour(Colour value);
    [[nodiscard]] bool isPercentInToolTip() const { return percentInToolTip_; }
    void setPercentInToolTip(bool value) { change(percentInToolTip_, value); }

    // Shows the range error; the default is a modal critical message box.
    void setErrorReporter(ErrorReporter reporter) { errorReporter_ = std::move(reporter); }

    // The last drawn image (kept while maxIcon stands in), the icon and tip the tray holds.
    [[nodiscard]] const QImage& iconImage() const { return image_; }
    [[nodiscard]] QIcon icon() const { return tray_.icon(); }
    [[nodiscard]] QString tip() const { return tray_.toolTip(); }
    // The tray icon underneath; its activated signal drives the mouse events.
    [[nodiscard]] QSystemTrayIcon* trayIcon() { return &tray_; }

Q_SIGNALS:
    void clicked();
    // Double click reads click, double click, click; any slot may end the icon's owner.
    void doubleClicked();
    // After the popup menu, if any, has run; at the cursor's place.
    void rightClicked(QPoint at);

private:
    template <typename T> void change(T& field, T value)
    {
        if (field != value) {
            field = value;
            refresh();
        }
    }
    void refresh();
    // Refused when the new bounds would cross: reported, and the old ones stay.
    void changeRange(int min, int max, bool refused);
    void activated(QSystemTrayIcon::ActivationReason reason);

    TrayProgressLook look_;
    QFont font_;
    QIcon maxIcon_;
    QImage image_;
    QIcon drawnIcon_; // of image_
    QString toolTip_;
    bool active_ = false;
    bool percentInToolTip_ = false;
    QPointer<QMenu> popupMenu_;
    ErrorReporter errorReporter_;
    QElapsedTimer sinceClick_; // tells whether a double click's first click was reported
    QSystemTrayIcon tray_;
};

} // namespace zarvello
