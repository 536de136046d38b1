#pragma once

#include "widgets/Colour.h"

#include <QElapsedTimer>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>
#include <utility>

namespace zarvello {

// Scoped: the gradient bar has its own bsNone.
enum class BarKind { pkHorizontal = 0, pkVertical = 1 };
enum class BorderStyle { bsNone = 0, bsSingle = 1 };

// Everything the 16 x 16 drawing depends on.
struct TrayProgressLook
{
    int min = 0;
    int max = 100;
    int position = 0;
    BarKind kind = BarKind::pkHorizontal;
    bool showText = true;
    BorderStyle borderStyle = BorderStyle::bsSingle;
    Colour foreColor = clHighlight;
    Colour backColor = clHighlightText;
    Colour borderColor = clBlack;
    QFont font; // used as given: pass it through trayDrawingFont()
    Colour fontColor = clBlack;
    int scale = 1; // device pixels per icon pixel: 2 on a doubled screen
};

inline constexpr int kTrayIconSize = 16;
inline constexpr int kTrayToolTipLength = 62; // what the component keeps of ToolTip
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
// The tip: with progressInHint, each "%s" (either case) becomes "<percent>%" and "%%" a "%";
// otherwise the text unchanged. At most kTrayTipLength characters.
[[nodiscard]] QString trayTip(const QString& toolTip, bool progressInHint, int percent);

// A notification-area icon drawn as a small progress bar with its percent figure.
// Setters do nothing for an unchanged value (except ToolTip), so a once-a-second tick that
// writes the same Max and Position costs no drawing.
class TrayMeterIcon : public QObject
{
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(QObject* sender)>;
    using TMouseEvent = std::function<void(QObject* sender, Qt::MouseButton button,
                                           Qt::KeyboardModifiers shift, int x, int y)>;
    using TErrorReporter = std::function<void(const QString& text)>;

    explicit TrayMeterIcon(QObject* owner = nullptr);
    ~TrayMeterIcon() override;

    TrayMeterIcon(const TrayMeterIcon&) = delete;
    TrayMeterIcon& operator=(const TrayMeterIcon&) = delete;

    [[nodiscard]] bool Active() const { return active_; }
    void setActive(bool value);
    // There is no form designer, so this is always run time and the value is ignored.
    [[nodiscard]] bool ShowDesigning() const { return false; }
    void setShowDesigning(bool /*value*/) {}
    [[nodiscard]] const QString& ToolTip() const { return toolTip_; }
    void setToolTip(const QString& value);

    [[nodiscard]] const TNotifyEvent& OnClick() const { return onClick_; }
    void setOnClick(TNotifyEvent handler) { onClick_ = std::move(handler); }
    [[nodiscard]] const TNotifyEvent& OnDblClick() const { return onDblClick_; }
    void setOnDblClick(TNotifyEvent handler) { onDblClick_ = std::move(handler); }
    [[nodiscard]] const TMouseEvent& OnRightClick() const { return onRightClick_; }
    void setOnRightClick(TMouseEvent handler) { onRightClick_ = std::move(handler); }
    [[nodiscard]] QMenu* PopupMenu() const { return popupMenu_; }
    void setPopupMenu(QMenu* menu) { popupMenu_ = menu; }

    [[nodiscard]] int Min() const { return look_.min; }
    void setMin(int value);
    [[nodiscard]] int Max() const { return look_.max; }
    void setMax(int value);
    [[nodiscard]] int Position() const { return look_.position; }
    void setPosition(int value);
    [[nodiscard]] BarKind Kind() const { return look_.kind; }
    void setKind(BarKind value);
    [[nodiscard]] const QIcon& MaxIcon() const { return maxIcon_; }
    void setMaxIcon(const QIcon& value);
    // The figure's font; sizes are pixel heights so the icon does not change with DPI.
    [[nodiscard]] const QFont& Font() const { return font_; }
    void setFont(const QFont& value);
    [[nodiscard]] Colour FontColor() const { return look_.fontColor; }
    void setFontColor(Colour value);
    [[nodiscard]] bool ShowText() const { return look_.showText; }
    void setShowText(bool value);
    [[nodiscard]] BorderStyle borderStyle() const { return look_.borderStyle; }
    void setBorderStyle(BorderStyle value);
    [[nodiscard]] Colour ForeColor() const { return look_.foreColor; }
    void setForeColor(Colour value);
    [[nodiscard]] Colour BackColor() const { return look_.backColor; }
    void setBackColor(Colour value);
    [[nodiscard]] Colour BorderColor() const { return look_.borderColor; }
    void setBorderColor(Colour value);
    [[nodiscard]] bool ProgressInHint() const { return progressInHint_; }
    void setProgressInHint(bool value);

    // Shows the range error; the default is a modal critical message box.
    void setErrorReporter(TErrorReporter reporter) { errorReporter_ = std::move(reporter); }

    // The last drawn image (kept while MaxIcon stands in), the icon and tip the tray holds.
    [[nodiscard]] const QImage& iconImage() const { return image_; }
    [[nodiscard]] QIcon icon() const { return tray_.icon(); }
    [[nodiscard]] QString tip() const { return tray_.toolTip(); }
    // The tray icon underneath; its activated signal drives the mouse events.
    [[nodiscard]] QSystemTrayIcon* trayIcon() { return &tray_; }

private:
    void refresh();
    void rangeError();
    void activated(QSystemTrayIcon::ActivationReason reason);
    void rightClick();

    TrayProgressLook look_;
    QFont font_;
    QIcon maxIcon_;
    QImage image_;
    QString toolTip_;
    bool active_ = false;
    bool progressInHint_ = false;
    TNotifyEvent onClick_;
    TNotifyEvent onDblClick_;
    TMouseEvent onRightClick_;
    QPointer<QMenu> popupMenu_;
    TErrorReporter errorReporter_;
    QElapsedTimer sinceClick_; // tells whether a double click's first click was reported
    QSystemTrayIcon tray_;
};

} // namespace zarvello
