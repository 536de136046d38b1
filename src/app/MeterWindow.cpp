#include "app/MeterWindow.h"

#include "app/AboutDialog.h"
#include "app/FiguresPanel.h"
#include "app/MeterFrame.h"
#include "app/ScreenDocker.h"
#include "app/StayOnTop.h"
#include "meter/Figures.h"
#include "meter/SamplingTimer.h"
#include "platform/x11/GlobalHotKey.h"
#include "platform/x11/WindowStates.h"
#include "widgets/TrayMeterIcon.h"

#include <QCloseEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <memory>

namespace zarvello {

// Below any screen until the stored position is applied.
constexpr QPoint kDesignPosition(614, 5000);
constexpr QSize kDesignClientSize(104, 213);
// The virtual-key code of a letter is the letter, as Qt's key code is.
constexpr QKeyCombination kMemoryHotKey(Qt::ControlModifier, Qt::Key_M);

MeterWindow::MeterWindow(std::unique_ptr<CounterSource> counters, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint),
      counters_(std::make_unique<SelectedCounterSource>(std::move(counters)))
{
    setWindowTitle(MeterFrame::captionText());
    setAttribute(Qt::WA_OpaquePaintEvent);
    move(kDesignPosition);
    resize(MeterFrame::windowSize(kDesignClientSize));

    figures_ = new FiguresPanel(this);
    figures_->installEventFilter(this);
    for (QWidget* control : figures_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        control->installEventFilter(this);
    }
    placeFigures();
    createMenu();

    samplingTimer_ = new SamplingTimer(this);
    connect(samplingTimer_, &SamplingTimer::timeout, this, &MeterWindow::onSamplingTick);
    samplingTimer_->setThreadPriority(ThreadPriority::TimeCritical);
    samplingTimer_->setEnabled(true);

    trayIcon_ = new TrayMeterIcon(this);
    trayIcon_->setKind(BarKind::Vertical);
    trayIcon_->setTextFont(pixelFont("Arial", k6ptPixels));
    trayIcon_->setForeColour(clBlue);
    trayIcon_->setBackColour(clBtnFace);
    trayIcon_->setPercentInToolTip(true);
    trayIcon_->setPopupMenu(popupMenu_);
    connect(trayIcon_, &TrayMeterIcon::doubleClicked, this, &MeterWindow::restoreProgram);
    trayIcon_->setActive(true);

    docker_ = new ScreenDocker(this);
    stayOnTop_ = new StayOnTop(this);
    auto* hotKey = new GlobalHotKey(this);
    connect(hotKey, &GlobalHotKey::activated, this, &MeterWindow::memoryWindowRequested);
    hotKey->setHotKey(kMemoryHotKey);
    hotKey->setActive(true);

    setSettingsModel(new Settings(this));
    model_->setValues(firstRunSettings());
}

MeterWindow::~MeterWindow()
{
    stopSampling();
}

void MeterWindow::createMenu()
{
    popupMenu_ = new QMenu(this);
    auto add = [this](const char* name, const QString& caption, auto command) {
        QAction* action = popupMenu_->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, command);
    };
    add("about", QStringLiteral("About"), &MeterWindow::showAbout);
    add("settings", QStringLiteral("Settings"), &MeterWindow::showSettings);
    add("peakReset", QStringLiteral("Peak Reset"), &MeterWindow::resetPeak);
    add("maximize", QStringLiteral("Maximize"), &MeterWindow::restoreProgram);
    add("minimize", QStringLiteral("Minimize"), &MeterWindow::minimizeProgram);
    // Built as it opens, so it lists the links there are now.
    interfacesMenu_ = popupMenu_->addMenu(QStringLiteral("Interfaces"));
    interfacesMenu_->menuAction()->setObjectName(QStringLiteral("interfaces"));
    connect(interfacesMenu_, &QMenu::aboutToShow, this, &MeterWindow::fillInterfacesMenu);
    add("close", QStringLiteral("Close"), &QWidget::close);
}

void MeterWindow::fillInterfacesMenu()
{
    interfacesMenu_->clear();
    const QString option = model_->interfaces();
    QAction* all = interfacesMenu_->addAction(QStringLiteral("All interfaces"));
    all->setCheckable(true);
    all->setChecked(option.isEmpty());
    connect(all, &QAction::triggered, this, [this] { model_->setInterfaces({}); });
    interfacesMenu_->addSeparator();
    // One list for all the entries' handlers: a copy each would grow with the square of the links.
    const auto entries = std::make_shared<const std::vector<InterfaceEntry>>(
        interfaceEntries(counters_->linkNames(), option));
    for (const InterfaceEntry& entry : *entries) {
        QAction* action = interfacesMenu_->addAction(entry.text);
        action->setCheckable(true);
        action->setChecked(entry.checked);
        action->setEnabled(entry.present);
        connect(action, &QAction::triggered, this, [this, entries, name = entry.name](bool on) {
            model_->setInterfaces(toggledInterfaces(*entries, name, on));
        });
    }
}

void MeterWindow::applyInterfaces()
{
    counters_->setFilter(LinkFilter(model_->interfaces()));
    // Other links' sums would make the next rate jump: start as the first tick does.
    measurement_.restartHistory();
}

void MeterWindow::setSettingsModel(Settings* model)
{
    if (model_ != nullptr) {
        disconnect(model_, nullptr, this, nullptr);
        if (model_->parent() == this) {
            delete model_;
        }
    }
    model_ = model;
    connect(model_, &Settings::changed, this, &MeterWindow::optionChanged);
    connect(model_, &Settings::interfacesChanged, this, &MeterWindow::applyInterfaces);
    applyInterfaces();
}

// What a change of an option does at once, whether a user or the load made it;
// the rest take effect at the next tick or arrangement.
void MeterWindow::optionChanged(Option option)
{
    using enum Option;
    constexpr std::array kArranging{In, Out, MaxSpeed, Percent, Horiz, Shrink, Dock, TaskBar};
    const bool fontChosen = (option == SmallFont || option == LargeFont) && model_->flag(option);
    if (fontChosen || std::find(kArranging.begin(), kArranging.end(), option) != kArranging.end()) {
        arrange();
    } else if (option == TrayIcon) {
        trayIcon_->setActive(model_->flag(option));
    }
}

void MeterWindow::setCompanionWindows(const std::vector<QWidget*>& windows)
{
    companions_.assign(windows.begin(), windows.end());
}

void MeterWindow::onSamplingTick()
{
    const auto sample = counters_->takeSample();
    const OptionValues& s = model_->values();
    if (const auto tick = measurement_.processSample(sample, s.PeakSpeed)) {
        const FigureOptions options{.kiloBytes = s.KiloBytes,
                                    .trayPercent = s.TrayPercent,
                                    .trayIconIn = s.TrayIconIn,
                                    .in = s.In,
                                    .out = s.Out};
        const FigureWrites figures = computeFigures(*tick, options, QLocale());
        figures_->showFigures(figures);
        if (figures.trayMax) {
            trayIcon_->setMaximum(*figures.trayMax);
        }
        if (figures.trayPosition) {
            trayIcon_->setPosition(*figures.trayPosition);
        }
    }
    Q_EMIT ticked();
}

void MeterWindow::arrange()
{
    // The model's live values: the guard below may change them and re-arrange.
    const OptionValues& s = model_->values();
    if (const LayoutPreset* preset = presetFor({s.In, s.Out, s.MaxSpeed, s.Horiz, s.Shrink})) {
        figures_->applyPreset(*preset);
        resize(preset->width, preset->height);
        placeFigures(); // a hidden window gets no resize event
    }
    ensureAGroupIsShown();

    const QFont small = figures_->applyFontSet(s.LargeFont);
    trayIcon_->setTextFont(small);
    Q_EMIT comboFontChanged(small);
    figures_->applyBarOptions(s);
    applyTaskbarRule();
    docker_->setActive(s.Dock);
    trayIcon_->setBackColour(comboColour(s.TrayBakColor));
    trayIcon_->setForeColour(comboColour(s.TrayForColor));
}

void MeterWindow::ensureAGroupIsShown()
{
    const OptionValues& s = model_->values();
    if (s.In || s.Out || s.MaxSpeed) {
        return;
    }
    // Like ticking In: that re-arranges, nested, before the message shows.
    model_->set(Option::In, 1);
    Q_EMIT messageRequested(QStringLiteral("You must pick at least one component!"));
}

void MeterWindow::applyTaskbarRule()
{
    taskbarShown_ = model_->values().TaskBar;
    setSkipTaskbar(this, !taskbarShown_);
}

// ---- Commands ----------------------------------------------------------------------------

void MeterWindow::showAbout()
{
    AboutDialog dialog;
    dialog.exec();
}

void MeterWindow::showSettings()
{
    stayOnTop_->setOnTop(false);
    Q_EMIT settingsRequested();
}

void MeterWindow::resetPeak()
{
    measurement_.resetPeak();
}

void MeterWindow::restoreProgram()
{
    if (!minimized_) {
        return;
    }
    minimized_ = false;
    showNormal();
    for (const auto& window : hiddenByMinimize_) {
        if (window) {
            window->show();
        }
    }
    hiddenByMinimize_.clear();
    applyTaskbarRule();
}

void MeterWindow::minimizeProgram()
{
    if (minimized_) {
        return;
    }
    minimized_ = true;
    // The whole program goes: the other windows hide until the restore.
    hiddenByMinimize_.clear();
    for (const auto& window : companions_) {
        if (window && window->isVisible()) {
            hiddenByMinimize_.push_back(window);
            window->hide();
        }
    }
    if (!isMinimized()) {
        showMinimized();
    }
    applyTaskbarRule();
}

void MeterWindow::bringForward()
{
    if (minimized_) {
        restoreProgram();
    } else {
        raise();
    }
    activateWindow();
}

void MeterWindow::stopSampling()
{
    delete samplingTimer_;
    samplingTimer_ = nullptr;
}

// ---- Window events -----------------------------------------------------------------------

bool MeterWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && firstActivation_) {
        // Before the options are loaded TaskBar is off, so this hides the entry;
        // an activation that comes after the load keeps what the load chose.
        applyTaskbarRule();
        firstActivation_ = false;
    }
    return QWidget::event(event);
}

void MeterWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange) {
        // Minimised or restored by the window manager or the task bar.
        if (isMinimized() && !minimized_) {
            minimizeProgram();
        } else if (!isMinimized() && minimized_) {
            restoreProgram();
        }
    }
    QWidget::changeEvent(event);
}

void MeterWindow::closeEvent(QCloseEvent* event)
{
    Q_EMIT closing();
    event->accept();
    Q_EMIT closed();
}

void MeterWindow::resizeEvent(QResizeEvent* event)
{
    placeFigures();
    QWidget::resizeEvent(event);
}

void MeterWindow::placeFigures()
{
    figures_->setGeometry(MeterFrame::clientRect(size()));
}

void MeterWindow::paintEvent(QPaintEvent* /*event*/)
{
    QPainter p(this);
    p.drawImage(0, 0, MeterFrame::render(size(), devicePixelRatioF(), palette()));
}

// ---- The caption -------------------------------------------------------------------------

void MeterWindow::mousePressEvent(QMouseEvent* event)
{
    // Only the frame and caption reach here; the client area has its own handling.
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        captionRightPressed_ = true; // swallowed; the release opens the menu
    } else if (event->button() == Qt::LeftButton && MeterFrame::captionRect(size()).contains(pos) &&
               !MeterFrame::closeBoxRect(size()).contains(pos)) {
        captionDragging_ = true;
        captionGrab_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    event->accept();
}

void MeterWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (!captionDragging_) {
        return;
    }
    // The window manager's move stands in here, so every step goes through the docker.
    const QPoint topLeft = event->globalPosition().toPoint() - captionGrab_;
    const Rect proposed{topLeft.x(), topLeft.y(), topLeft.x() + width(), topLeft.y() + height()};
    const Rect snapped = docker_->moving(proposed);
    move(snapped.left, snapped.top);
}

void MeterWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton && captionRightPressed_) {
        captionRightPressed_ = false;
        captionDragging_ = false;
        popupMenu_->popup(event->globalPosition().toPoint());
    } else if (event->button() == Qt::LeftButton) {
        if (!captionDragging_ &&
            MeterFrame::closeBoxRect(size()).contains(event->position().toPoint())) {
            close();
        }
        captionDragging_ = false;
    }
}

// ---- The client area ---------------------------------------------------------------------

bool MeterWindow::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick) {
        return QWidget::eventFilter(watched, event);
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint global = mouse->globalPosition().toPoint();
    const bool releasedRight =
        type == QEvent::MouseButtonRelease && mouse->button() == Qt::RightButton;
    if (watched != figures_) {
        // A label or bar starts no drag, but its right click still opens the menu.
        if (releasedRight) {
            popupMenu_->popup(global);
        }
        return true;
    }
    const QPoint pos = figures_->mapFromGlobal(global);
    if (type == QEvent::MouseMove) {
        if (dragging_) {
            // Left first, then top; a position set here is never snapped.
            move(x() + (pos.x() - grab_.x()), y());
            move(x(), y() + (pos.y() - grab_.y()));
        }
    } else if (type == QEvent::MouseButtonRelease) {
        dragging_ = false;
        if (releasedRight) {
            popupMenu_->popup(global);
        }
    } else {
        dragging_ = true;
        grab_ = pos;
    }
    return true;
}

} // namespace zarvello
