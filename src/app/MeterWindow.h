#pragma once

#include "app/Layout.h"
#include "meter/MeasurementState.h"
#include "platform/CounterSource.h"
#include "settings/Settings.h"

#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QMenu;
class QAction;

namespace zarvello {

class AboutDialog;
class GlobalHotKey;
class GradientBar;
class ScreenDocker;
class SamplingTimer;
class StayOnTop;
class TrayMeterIcon;

// The meter window, the program's main window: a small tool window whose frame
// and caption it draws itself, holding the figures, owning the sampling timer,
// the tray icon, the popup menu, docking and always-on-top.
class MeterWindow : public QWidget
{
    Q_OBJECT
public:
    // The frame the window draws around its client area.
    static constexpr int kBorder = 3;
    static constexpr int kCaption = 16;

    // Creating the window starts sampling (the first tick follows one interval
    // later) and adds the tray icon.
    explicit MeterWindow(std::unique_ptr<CounterSource> counters, QWidget* parent = nullptr);
    ~MeterWindow() override;

    // The options the tick and the arrangement read and whose changes the
    // window follows. Until one is given, the window keeps its own, holding
    // the first-run values.
    void setSettingsModel(Settings* model);
    [[nodiscard]] Settings* settingsModel() const { return model_; }
    [[nodiscard]] const OptionValues& settings() const;

    // Plain message boxes ("You must pick at least one component!"); tests replace them.
    void setMessageBox(std::function<void(const QString&)> show);
    // The other windows that minimise and restore with this one.
    void setCompanionWindows(std::vector<QWidget*> windows);
    // What Ctrl+M opens (the memory window, with its timer running).
    void setMemoryWindow(std::function<void()> show);

    void FormCreate();
    void Button1Click(); // the sampling tick
    void ArrangeForm();
    void MaxInOut_False();

    void About1Click();
    void Settings1Click();
    void PeakReset1Click();
    void Maximize1Click();
    void Minimize1Click();
    void Close1Click();
    void TrayProgressDblClick();
    void ApplicationEvents1Minimize();
    void ApplicationEvents1Restore();
    void GlobalHotKey1KeyDown();

    // Asked by a second copy of the program: restore if minimised, raise otherwise.
    void bringForward();
    // Stops the sampling timer and joins its thread; no tick runs afterwards.
    void stopSampling();
    // Whether the whole program is minimised.
    [[nodiscard]] bool programMinimized() const { return minimized_; }

    void openPopupMenu(const QPoint& globalPos);

    [[nodiscard]] SamplingTimer* ThreadedTimer1() const { return threadedTimer1_; }
    [[nodiscard]] GradientBar* InBar() const { return inBar_; }
    [[nodiscard]] GradientBar* OutBar() const { return outBar_; }
    [[nodiscard]] TrayMeterIcon* TrayProgress() const { return trayProgress_; }
    [[nodiscard]] ScreenDocker* Docker1() const { return docker1_; }
    [[nodiscard]] StayOnTop* Top1() const { return top1_; }
    [[nodiscard]] QMenu* PopupMenu1() const { return popupMenu1_; }
    [[nodiscard]] AboutDialog* AboutDlg() const { return aboutDlg_; }
    [[nodiscard]] GlobalHotKey* GlobalHotKey1() const { return globalHotKey1_; }
    [[nodiscard]] QLabel* label(MeterControl control) const;
    [[nodiscard]] QWidget* control(MeterControl control) const;
    [[nodiscard]] QWidget* clientArea() const { return client_; }
    [[nodiscard]] const MeasurementState& measurement() const { return measurement_; }
    [[nodiscard]] bool firstActivation() const { return firstActivation_; }
    [[nodiscard]] bool taskbarShown() const { return taskbarShown_; }
    [[nodiscard]] QRect closeBoxRect() const;
    [[nodiscard]] QRect captionRect() const;

    // The caption drawn into an image, as paintEvent puts it on screen.
    [[nodiscard]] QImage renderFrame() const;

Q_SIGNALS:
    // The "Settings" command, once always-on-top is off.
    void settingsRequested();
    // The font set's small face, which the settings dialog's colour combos follow.
    void comboFontChanged(const QFont& font);
    // The window is closing, before the program ends (the settings save).
    void closing();
    // The window has closed for good; the program ends.
    void closed();
    // A tick has been processed (with or without a sample).
    void ticked();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void optionChanged(Option option);
    void FormActivate();
    void FormClose();
    void FormMouseDown(const QPoint& clientPos);
    void FormMouseMove(const QPoint& clientPos);
    void FormMouseUp();
    void applyTaskbarRule();
    void placeClient();
    void applyPreset(const LayoutPreset& preset);
    void applyFonts(bool largeFont);
    void writeFigures(const TickResults& tick, const OptionValues& s);
    void createControls();
    void createMenu();

    std::unique_ptr<CounterSource> counters_;
    Settings* model_ = nullptr;
    std::function<void(const QString&)> messageBox_;
    std::vector<QPointer<QWidget>> companions_;
    std::vector<QPointer<QWidget>> hiddenByMinimize_;
    MeasurementState measurement_;

    QWidget* client_ = nullptr;
    std::array<QLabel*, kMeterControls> labels_{};
    GradientBar* inBar_ = nullptr;
    GradientBar* outBar_ = nullptr;
    TrayMeterIcon* trayProgress_ = nullptr;
    SamplingTimer* threadedTimer1_ = nullptr;
    ScreenDocker* docker1_ = nullptr;
    StayOnTop* top1_ = nullptr;
    QMenu* popupMenu1_ = nullptr;
    AboutDialog* aboutDlg_ = nullptr;
    GlobalHotKey* globalHotKey1_ = nullptr;
    std::function<void()> showMemory_;

    bool firstActivation_ = true;
    bool minimized_ = false;
    bool taskbarShown_ = true;
    // Client-area drag: the grab point in client coordinates.
    bool dragging_ = false;
    QPoint grab_;
    // Caption drag: the cursor's offset from the window's top-left corner.
    bool captionDragging_ = false;
    QPoint captionGrab_;
    bool captionRightPressed_ = false;
};

} // namespace zarvello
