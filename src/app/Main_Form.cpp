#include "app/Main_Form.h"

#include "meter/ThdTimer.h"
#include "platform/X11Window.h"

#include <QCloseEvent>
#include <QCoreApplication>

namespace zarvello {

TForm_Main::TForm_Main(std::unique_ptr<CounterSource> counters, QWidget* parent)
    : QWidget(parent), counters_(std::move(counters)), settingsSource_(firstRunSettings)
{
    setWindowTitle(QStringLiteral("Quillon Zarvello v2.1"));
    // Below any screen until the stored position is applied.
    move(614, 5000);
    resize(104, 213);

    threadedTimer1_ = new TThreadedTimer(this);
    threadedTimer1_->setOnTimer([this](TThreadedTimer*) { Button1Click(); });
    threadedTimer1_->setThreadPriority(tpTimeCritical);
    threadedTimer1_->setEnabled(true);
}

TForm_Main::~TForm_Main()
{
    stopSampling();
}

void TForm_Main::setSettingsSource(std::function<TSettings()> source)
{
    settingsSource_ = std::move(source);
}

TSettings TForm_Main::settings() const
{
    return settingsSource_();
}

void TForm_Main::FormCreate()
{
    measurement_.setUp();
    firstActivation_ = true;
}

void TForm_Main::Button1Click()
{
    const auto sample = counters_ ? counters_->takeSample() : std::nullopt;
    measurement_.processSample(sample, settings().PeakSpeed);
    Q_EMIT ticked();
}

void TForm_Main::Close1Click()
{
    close();
}

void TForm_Main::PeakReset1Click()
{
    measurement_.resetPeak();
}

void TForm_Main::bringForward()
{
    if (isMinimized()) {
        showNormal();
    } else {
        raise();
    }
    activateWindow();
}

void TForm_Main::stopSampling()
{
    delete threadedTimer1_;
    threadedTimer1_ = nullptr;
}

bool TForm_Main::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        FormActivate();
    }
    return QWidget::event(event);
}

void TForm_Main::FormActivate()
{
    if (firstActivation_) {
        setSkipTaskbar(this, true);
        firstActivation_ = false;
    }
}

void TForm_Main::FormClose()
{
    // The settings save joins here.
}

void TForm_Main::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
    Q_EMIT closed();
}

} // namespace zarvello
