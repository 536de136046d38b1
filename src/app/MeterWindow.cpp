#include "app/MeterWindow.h"

#include "app/AboutDialog.h"
#include "app/ScreenDocker.h"
#include "app/StayOnTop.h"
#include "core/AppInfo.h"
#include "meter/Figures.h"
#include "meter/SamplingTimer.h"
#include "platform/x11/GlobalHotKey.h"
#include "platform/x11/WindowStates.h"
#include "widgets/Colour.h"
#include "widgets/ColourCombo.h"
#include "widgets/GradientBar.h"
#include "widgets/TrayMeterIcon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace zarvello {
namespace {

// The window's title and caption: the maker, the program and its version.
QString captionText()
{
    return QStringLiteral("Quillon ") + kAppName + QStringLiteral(" v") + kAppVersion;
}

constexpr int kGradientSteps = 20;

struct DesignControl
{
    const char* caption;
    const char* hint;
    QPoint place;
};

// The controls as the window is designed, before the first arrangement.
const std::array<DesignControl, kMeterControls> kDesign{{
    {"In:", nullptr, {43, 54}},
    {"0 K", "Total Bytes In", {59, 55}},
    {"0.00 Kbs", "Current Bytes In per Second", {2, 3}},
    {nullptr, nullptr, {69, 3}},
    {"Out:", nullptr, {150, 52}},
    {"0 K", "Total Bytes Out", {182, 55}},
    {"0.00 Kbs", "Current Bytes Out per Second", {240, 3}},
    {nullptr, nullptr, {305, 1}},
    {"Peak Speed:", nullptr, {334, 62}},
    {"0 Kbs", "Max Transmission Speed", {476, 3}},
}};

// Pixel heights of the point sizes at 96 dpi, so the layout ignores the screen's DPI.
QFont pixelFont(const char* family, int pixels)
{
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    return font;
}
constexpr int k8pt = 11;
constexpr int k7pt = 9;
constexpr int k6pt = 8;

// The colour a combo's stored index names; black when it names none.
Colour colourOfIndex(int index)
{
    if (index < 0 || index >= static_cast<int>(kColorComboItems.size())) {
        return Colour{0};
    }
    return identToColor(kColorComboItems[static_cast<size_t>(index)]).value_or(Colour{0});
}

MeterControl controlAt(size_t i)
{
    return static_cast<MeterControl>(i);
}

bool isBar(MeterControl c)
{
    return c == MeterControl::InBar || c == MeterControl::OutBar;
}

QColor mix(const QColor& from, const QColor& to, int step, int steps)
{
    auto channel = [&](int a, int b) { return a + (b - a) * step / (steps - 1); };
    return {channel(from.red(), to.red()), channel(from.green(), to.green()),
            channel(from.blue(), to.blue())};
}

} // namespace

MeterWindow::MeterWindow(std::unique_ptr<CounterSource> counters, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), counters_(std::move(counters))
{
    setWindowTitle(captionText());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    // Below any screen until the stored position is applied.
    move(614, 5000);
    resize(104 + 2 * kBorder, 213 + 2 * kBorder + kCaption);

    createControls();
    placeClient();
    createMenu();

    threadedTimer1_ = new SamplingTimer(this);
    QObject::connect(threadedTimer1_, &SamplingTimer::timeout, threadedTimer1_,
                     [this] { Button1Click(); });
    threadedTimer1_->setThreadPriority(ThreadPriority::TimeCritical);
    threadedTimer1_->setEnabled(true);

    trayProgress_ = new TrayMeterIcon(this);
    trayProgress_->setKind(BarKind::pkVertical);
    trayProgress_->setFont(pixelFont("Arial", 8));
    trayProgress_->setFontColor(clBlack);
    trayProgress_->setForeColor(clBlue);
    trayProgress_->setBackColor(clBtnFace);
    trayProgress_->setProgressInHint(true);
    trayProgress_->setPopupMenu(popupMenu1_);
    trayProgress_->setOnDblClick([this](QObject*) { TrayProgressDblClick(); });
    trayProgress_->setActive(true);

    docker1_ = new ScreenDocker(this);
    top1_ = new StayOnTop(this);
    aboutDlg_ = new AboutDialog(this);
    globalHotKey1_ = new GlobalHotKey(this);
    QObject::connect(globalHotKey1_, &GlobalHotKey::activated, globalHotKey1_,
                     [this] { GlobalHotKey1KeyDown(); });
    globalHotKey1_->setHotKey(Qt::CTRL | Qt::Key_M);
    globalHotKey1_->setActive(true);

    setSettingsModel(new Settings(this));
    model_->setValues(firstRunSettings());
    messageBox_ = [](const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, kAppName, text, QMessageBox::Ok);
        box.exec();
    };
}

MeterWindow::~MeterWindow()
{
    stopSampling();
}

void MeterWindow::createControls()
{
    client_ = new QWidget(this);
    client_->setAutoFillBackground(true);
    QPalette face = client_->palette();
    face.setColor(QPalette::Window, toQColor(clBtnFace));
    client_->setPalette(face);
    client_->installEventFilter(this);

    for (size_t i = 0; i < kDesign.size(); ++i) {
        const DesignControl& design = kDesign[i];
        QWidget* widget = nullptr;
        if (isBar(controlAt(i))) {
            auto* bar = new GradientBar(client_);
            bar->setStyle(GradientStyle::gsHorizontal);
            bar->setBevelStyle(BevelStyle::bsLowered);
            bar->setBevelWidth(1);
            bar->setStartColor(clBlue);
            bar->setEndColor(controlAt(i) == MeterControl::InBar ? clAqua : clRed);
            bar->setMaxValue(1);
            bar->setPosition(0);
            bar->setStep(1);
            bar->setShowPercent(false);
            bar->setBackColor(clBtnFace);
            bar->setFontColor(clWhite);
            bar->setFont(pixelFont("MS Sans Serif", k8pt));
            bar->resize(169, 16);
            (controlAt(i) == MeterControl::InBar ? inBar_ : outBar_) = bar;
            widget = bar;
        } else {
            auto* label = new QLabel(QString::fromLatin1(design.caption), client_);
            label->setTextFormat(Qt::PlainText);
            label->setFont(pixelFont("MS Sans Serif", k8pt));
            if (design.hint != nullptr) {
                label->setToolTip(QString::fromLatin1(design.hint));
            }
            label->adjustSize();
            labels_[i] = label;
            widget = label;
        }
        widget->move(design.place);
        widget->installEventFilter(this);
    }
}

void MeterWindow::createMenu()
{
    popupMenu1_ = new QMenu(this);
    auto add = [this](const char* name, const QString& caption, void (MeterWindow::*handler)()) {
        QAction* action = popupMenu1_->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
    };
    add("About1", QStringLiteral("About"), &MeterWindow::About1Click);
    add("Settings1", QStringLiteral("Settings"), &MeterWindow::Settings1Click);
    add("PeakReset1", QStringLiteral("Peak Reset"), &MeterWindow::PeakReset1Click);
    add("Maximize1", QStringLiteral("Maximize"), &MeterWindow::Maximize1Click);
    add("Minimize1", QStringLiteral("Minimize"), &MeterWindow::Minimize1Click);
    add("Close1", QStringLiteral("Close"), &MeterWindow::Close1Click);
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
}

const OptionValues& MeterWindow::settings() const
{
    return model_->values();
}

// What a change of an option does at once, whether a user or the load made it;
// the rest take effect at the next tick or arrangement.
void MeterWindow::optionChanged(Option option)
{
    using enum Option;
    constexpr std::array kArranging{In, Out, MaxSpeed, Percent, Horiz, Shrink, Dock, TaskBar};
    const bool fontChosen = (option == SmallFont || option == LargeFont) && model_->flag(option);
    if (fontChosen || std::find(kArranging.begin(), kArranging.end(), option) != kArranging.end()) {
        ArrangeForm();
    } else if (option == TrayIcon) {
        trayProgress_->setActive(model_->flag(option));
    }
}

void MeterWindow::setMessageBox(std::function<void(const QString&)> show)
{
    messageBox_ = std::move(show);
}

void MeterWindow::setCompanionWindows(std::vector<QWidget*> windows)
{
    companions_.assign(windows.begin(), windows.end());
}

void MeterWindow::setMemoryWindow(std::function<void()> show)
{
    showMemory_ = std::move(show);
}

void MeterWindow::GlobalHotKey1KeyDown()
{
    if (showMemory_) {
        showMemory_();
    }
}

QLabel* MeterWindow::label(MeterControl control) const
{
    return labels_[static_cast<size_t>(control)];
}

QWidget* MeterWindow::control(MeterControl c) const
{
    if (c == MeterControl::InBar) {
        return inBar_;
    }
    if (c == MeterControl::OutBar) {
        return outBar_;
    }
    return label(c);
}

void MeterWindow::FormCreate()
{
    measurement_.restart();
    firstActivation_ = true;
}

// ---- The tick ----------------------------------------------------------------------------

void MeterWindow::Button1Click()
{
    const auto sample = counters_ ? counters_->takeSample() : std::nullopt;
    const OptionValues s = settings();
    if (const auto tick = measurement_.processSample(sample, s.PeakSpeed)) {
        writeFigures(*tick, s);
    }
    Q_EMIT ticked();
}

void MeterWindow::writeFigures(const TickResults& tick, const OptionValues& s)
{
    const FigureOptions options{.kiloBytes = s.KiloBytes,
                                .trayPercent = s.TrayPercent,
                                .trayIconIn = s.TrayIconIn,
                                .in = s.In,
                                .out = s.Out};
    const FigureWrites w = computeFigures(tick, options, QLocale());
    auto setCaption = [this](MeterControl c, const QString& text) {
        QLabel* l = label(c);
        if (l->text() != text) {
            l->setText(text);
            l->adjustSize();
        }
    };
    if (w.maxSpeed) {
        setCaption(MeterControl::MaxSpeed, *w.maxSpeed);
    }
    if (w.barScale) {
        inBar_->setMaxValue(*w.barScale);
        outBar_->setMaxValue(*w.barScale);
    }
    if (w.trayMax) {
        trayProgress_->setMax(*w.trayMax);
    }
    if (w.inSpeed) {
        setCaption(MeterControl::InSpeed, *w.inSpeed);
    }
    if (w.outSpeed) {
        setCaption(MeterControl::OutSpeed, *w.outSpeed);
    }
    if (w.trayPosition) {
        trayProgress_->setPosition(*w.trayPosition);
    }
    if (w.inBarPosition) {
        inBar_->setPosition(*w.inBarPosition);
    }
    if (w.outBarPosition) {
        outBar_->setPosition(*w.outBarPosition);
    }
    setCaption(MeterControl::InTotal, w.inTotal);
    setCaption(MeterControl::OutTotal, w.outTotal);
}

// ---- Arrangement -------------------------------------------------------------------------

void MeterWindow::ArrangeForm()
{
    const OptionValues before = settings();
    if (const LayoutPreset* preset =
            presetFor({before.In, before.Out, before.MaxSpeed, before.Horiz, before.Shrink})) {
        applyPreset(*preset);
    }
    MaxInOut_False();

    const OptionValues s = settings();
    applyFonts(s.LargeFont);
    inBar_->setShowPercent(s.Percent);
    outBar_->setShowPercent(s.Percent);
    applyTaskbarRule();
    docker1_->setActive(s.Dock);
    inBar_->setStartColor(colourOfIndex(s.InColor1));
    inBar_->setEndColor(colourOfIndex(s.InColor2));
    outBar_->setStartColor(colourOfIndex(s.OutColor1));
    outBar_->setEndColor(colourOfIndex(s.OutColor2));
    trayProgress_->setBackColor(colourOfIndex(s.TrayBakColor));
    trayProgress_->setForeColor(colourOfIndex(s.TrayForColor));
}

void MeterWindow::applyPreset(const LayoutPreset& preset)
{
    for (size_t i = 0; i < preset.controls.size(); ++i) {
        const Placement& place = preset.controls[i];
        QWidget* widget = control(controlAt(i));
        if (place.visible) {
            widget->move(place.left, place.top);
        }
        widget->setVisible(place.visible);
    }
    resize(preset.width, preset.height);
    placeClient(); // a hidden window gets no resize event
}

void MeterWindow::MaxInOut_False()
{
    const OptionValues s = settings();
    if (s.In || s.Out || s.MaxSpeed) {
        return;
    }
    // Like ticking In: that re-arranges, nested, before the message shows.
    model_->set(Option::In, 1);
    if (messageBox_) {
        messageBox_(QStringLiteral("You must pick at least one component!"));
    }
}

void MeterWindow::applyFonts(bool largeFont)
{
    // The "large" choice picks the smaller faces and the shorter bars.
    const QFont text = largeFont ? pixelFont("Arial", k7pt) : pixelFont("MS Sans Serif", k8pt);
    const QFont peak = largeFont ? pixelFont("Arial", k7pt) : pixelFont("MS Sans Serif", k7pt);
    for (size_t i = 0; i < labels_.size(); ++i) {
        if (QLabel* l = labels_[i]) {
            l->setFont(controlAt(i) == MeterControl::MaxSpeed ? peak : text);
            l->adjustSize();
        }
    }
    for (GradientBar* bar : {inBar_, outBar_}) {
        bar->setFont(text);
        bar->resize(largeFont ? QSize(150, 14) : QSize(169, 16));
    }
    const QFont small = largeFont ? pixelFont("Arial", k6pt) : pixelFont("MS Sans Serif", k8pt);
    trayProgress_->setFont(small);
    Q_EMIT comboFontChanged(small);
}

void MeterWindow::applyTaskbarRule()
{
    taskbarShown_ = settings().TaskBar;
    setSkipTaskbar(this, !taskbarShown_);
}

// ---- Commands ----------------------------------------------------------------------------

void MeterWindow::About1Click()
{
    aboutDlg_->Execute();
}

void MeterWindow::Settings1Click()
{
    top1_->setOnTop(false);
    Q_EMIT settingsRequested();
}

void MeterWindow::PeakReset1Click()
{
    measurement_.resetPeak();
}

void MeterWindow::Maximize1Click()
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
    ApplicationEvents1Restore();
}

void MeterWindow::Minimize1Click()
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
    ApplicationEvents1Minimize();
}

void MeterWindow::Close1Click()
{
    close();
}

void MeterWindow::TrayProgressDblClick()
{
    Maximize1Click();
}

void MeterWindow::ApplicationEvents1Minimize()
{
    applyTaskbarRule();
}

void MeterWindow::ApplicationEvents1Restore()
{
    applyTaskbarRule();
}

void MeterWindow::bringForward()
{
    if (minimized_) {
        Maximize1Click();
    } else {
        raise();
    }
    activateWindow();
}

void MeterWindow::stopSampling()
{
    delete threadedTimer1_;
    threadedTimer1_ = nullptr;
}

void MeterWindow::openPopupMenu(const QPoint& globalPos)
{
    popupMenu1_->popup(globalPos);
}

// ---- Window events -----------------------------------------------------------------------

bool MeterWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        FormActivate();
    }
    return QWidget::event(event);
}

void MeterWindow::FormActivate()
{
    if (firstActivation_) {
        // Before the options are loaded TaskBar is off, so this hides the entry;
        // an activation that comes after the load keeps what the load chose.
        applyTaskbarRule();
        firstActivation_ = false;
    }
}

void MeterWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange) {
        // Minimised or restored by the window manager or the task bar.
        if (isMinimized() && !minimized_) {
            Minimize1Click();
        } else if (!isMinimized() && minimized_) {
            Maximize1Click();
        }
    }
    QWidget::changeEvent(event);
}

void MeterWindow::FormClose()
{
    Q_EMIT closing();
}

void MeterWindow::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
    Q_EMIT closed();
}

void MeterWindow::resizeEvent(QResizeEvent* event)
{
    placeClient();
    QWidget::resizeEvent(event);
}

void MeterWindow::placeClient()
{
    client_->setGeometry(kBorder, kBorder + kCaption, width() - 2 * kBorder,
                         height() - 2 * kBorder - kCaption);
}

// ---- The frame and caption ---------------------------------------------------------------

QRect MeterWindow::captionRect() const
{
    return {kBorder, kBorder, width() - 2 * kBorder, kCaption};
}

QRect MeterWindow::closeBoxRect() const
{
    const QRect caption = captionRect();
    return {caption.right() - 13, caption.top() + 2, 12, 12};
}

QImage MeterWindow::renderFrame() const
{
    // At the screen's device pixels: a doubled screen gets a sharp caption, not a blown-up one.
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    QPainter p(&image);
    const QPalette& pal = palette();
    const QRect outer = rect();
    p.fillRect(outer, toQColor(clBtnFace, pal));
    // A raised three-pixel border.
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(outer.topLeft(), outer.topRight());
    p.drawLine(outer.topLeft(), outer.bottomLeft());
    p.setPen(pal.color(QPalette::Shadow));
    p.drawLine(outer.bottomLeft(), outer.bottomRight());
    p.drawLine(outer.topRight(), outer.bottomRight());
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(outer.left() + 1, outer.bottom() - 1, outer.right() - 1, outer.bottom() - 1);
    p.drawLine(outer.right() - 1, outer.top() + 1, outer.right() - 1, outer.bottom() - 1);

    // Twenty bands from the window-text colour to the caption colour, active or not.
    const QRect caption = captionRect();
    const QColor from = toQColor(clWindowText, pal);
    const QColor to = toQColor(clActiveCaption, pal);
    for (int band = 0; band < kGradientSteps; ++band) {
        const int x0 = caption.left() + caption.width() * band / kGradientSteps;
        const int x1 = caption.left() + caption.width() * (band + 1) / kGradientSteps;
        p.fillRect(QRect(x0, caption.top(), x1 - x0, caption.height()),
                   mix(from, to, band, kGradientSteps));
    }
    QFont font = pixelFont("MS Sans Serif", k8pt);
    font.setBold(true);
    p.setFont(font);
    p.setPen(toQColor(clCaptionText, pal));
    p.drawText(caption.adjusted(2, 0, -16, 0), Qt::AlignLeft | Qt::AlignVCenter, captionText());

    // The close box: a small raised button with a cross.
    const QRect box = closeBoxRect();
    p.fillRect(box, toQColor(clBtnFace, pal));
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(box.topLeft(), box.topRight());
    p.drawLine(box.topLeft(), box.bottomLeft());
    p.setPen(pal.color(QPalette::Shadow));
    p.drawLine(box.bottomLeft(), box.bottomRight());
    p.drawLine(box.topRight(), box.bottomRight());
    p.setPen(QPen(toQColor(clBtnText, pal), 1.5));
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect cross = box.adjusted(3, 3, -3, -3);
    p.drawLine(cross.topLeft(), cross.bottomRight());
    p.drawLine(cross.topRight(), cross.bottomLeft());
    return image;
}

void MeterWindow::paintEvent(QPaintEvent* /*event*/)
{
    QPainter p(this);
    p.drawImage(0, 0, renderFrame());
}

void MeterWindow::mousePressEvent(QMouseEvent* event)
{
    // Only the frame and caption reach here; the client area has its own handling.
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        captionRightPressed_ = true; // swallowed; the release opens the menu
    } else if (event->button() == Qt::LeftButton && captionRect().contains(pos) &&
               !closeBoxRect().contains(pos)) {
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
    const Rect snapped = docker1_->moving(proposed);
    move(snapped.left, snapped.top);
}

void MeterWindow::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton && captionRightPressed_) {
        captionRightPressed_ = false;
        captionDragging_ = false;
        openPopupMenu(event->globalPosition().toPoint());
    } else if (event->button() == Qt::LeftButton) {
        if (!captionDragging_ && closeBoxRect().contains(pos)) {
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
    if (watched != client_) {
        // A label or bar starts no drag, but its right click still opens the menu.
        if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::RightButton) {
            openPopupMenu(global);
        }
        return true;
    }
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        FormMouseDown(client_->mapFromGlobal(global));
        break;
    case QEvent::MouseMove:
        FormMouseMove(client_->mapFromGlobal(global));
        break;
    default:
        FormMouseUp();
        if (mouse->button() == Qt::RightButton) {
            openPopupMenu(global);
        }
        break;
    }
    return true;
}

void MeterWindow::FormMouseDown(const QPoint& clientPos)
{
    dragging_ = true;
    grab_ = clientPos;
}

void MeterWindow::FormMouseMove(const QPoint& clientPos)
{
    if (!dragging_) {
        return;
    }
    // Left first, then top; a position set here is never snapped.
    move(x() + (clientPos.x() - grab_.x()), y());
    move(x(), y() + (clientPos.y() - grab_.y()));
}

void MeterWindow::FormMouseUp()
{
    dragging_ = false;
}

} // namespace zarvello
