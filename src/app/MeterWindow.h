#pragma once

#include "meter/LinkFilter.h"
#include "meter/MeasurementState.h"
#include "platform/CounterSource.h"
#include "settings/Settings.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class QMenu;

namespace zarvello {

class FiguresPanel;
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
    // Creating the window starts sampling (the first tick follows one interval
    // later) and adds the tray icon.
    explicit MeterWindow(std::unique_ptr<CounterSource> counters, QWidget* parent = nullptr);
    ~MeterWindow() override;

    // The options the tick and the arrangement read and whose changes the
    // window follows. Until one is given, the window keeps its own, holding
    // the first-run values.
    void setSettingsModel(Settings* model);
    [[nodiscard]] Settings* settingsModel() const { return model_; }
    // The other windows that minimise and restore with this one.
    void setCompanionWindows(const std::vector<QWidget*>& windows);

    // Takes a sample and shows its figures.
    void onSamplingTick();
    // Applies the options' layout, fonts, colours, docking and task-bar rule.
    void arrange();
    void showAbout();
    // Drops always-on-top, then asks for the settings dialog.
    void showSettings();
    void resetPeak();
    // Minimises or restores the whole program: the companions hide and come back.
    void minimizeProgram();
    void restoreProgram();
    // Asked by a second copy of the program: restore if minimised, raise otherwise.
    void bringForward();
    // Stops the sampling timer and joins its thread; no tick runs afterwards.
    void stopSampling();

    [[nodiscard]] FiguresPanel* figures() const { return figures_; }
    [[nodiscard]] TrayMeterIcon* trayIcon() const { return trayIcon_; }
    [[nodiscard]] SamplingTimer* samplingTimer() const { return samplingTimer_; }
    [[nodiscard]] ScreenDocker* docker() const { return docker_; }
    [[nodiscard]] StayOnTop* stayOnTop() const { return stayOnTop_; }
    [[nodiscard]] QMenu* popupMenu() const { return popupMenu_; }
    [[nodiscard]] QMenu* interfacesMenu() const { return interfacesMenu_; }
    [[nodiscard]] bool isTaskbarShown() const { return taskbarShown_; }

Q_SIGNALS:
    // The "Settings" command, once always-on-top is off.
    void settingsRequested();
    // Ctrl+M, anywhere on the desktop.
    void memoryWindowRequested();
    // A plain message box is due ("You must pick at least one component!").
    void messageRequested(const QString& text);
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
    void ensureAGroupIsShown();
    void applyTaskbarRule();
    void placeFigures();
    void createMenu();
    void fillInterfacesMenu();
    void applyInterfaces();

    std::unique_ptr<SelectedCounterSource> counters_;
    Settings* model_ = nullptr;
    std::vector<QPointer<QWidget>> companions_;
    std::vector<QPointer<QWidget>> hiddenByMinimize_;
    MeasurementState measurement_;

    FiguresPanel* figures_ = nullptr;
    TrayMeterIcon* trayIcon_ = nullptr;
    SamplingTimer* samplingTimer_ = nullptr;
    ScreenDocker* docker_ = nullptr;
    StayOnTop* stayOnTop_ = nullptr;
    QMenu* popupMenu_ = nullptr;
    QMenu* interfacesMenu_ = nullptr;

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
