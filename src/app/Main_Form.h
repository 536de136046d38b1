#pragma once

#include "meter/Statistics.h"
#include "platform/CounterSource.h"
#include "settings/Settings.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace zarvello {

class TThreadedTimer;

// The meter window, the program's main window. It owns the sampling timer and
// the measurement state; the other windows live beside it.
class TForm_Main : public QWidget
{
    Q_OBJECT
public:
    // Creating the window starts sampling: the first tick follows one interval later.
    explicit TForm_Main(std::unique_ptr<CounterSource> counters, QWidget* parent = nullptr);
    ~TForm_Main() override;

    // Where the tick and the arrangement read the options, at the moment they need them.
    void setSettingsSource(std::function<TSettings()> source);
    [[nodiscard]] TSettings settings() const;

    void FormCreate();
    void Button1Click(); // the sampling tick
    void Close1Click();
    void PeakReset1Click();

    // Asked by a second copy of the program: restore if minimised, raise otherwise.
    void bringForward();

    // Stops the sampling timer and joins its thread; no tick runs afterwards.
    void stopSampling();

    [[nodiscard]] TThreadedTimer* ThreadedTimer1() const { return threadedTimer1_; }
    [[nodiscard]] const MeasurementState& measurement() const { return measurement_; }
    [[nodiscard]] bool firstActivation() const { return firstActivation_; }

Q_SIGNALS:
    // The window has closed for good; the program ends.
    void closed();
    // A tick has been processed (with or without a sample).
    void ticked();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormActivate();
    void FormClose();

    std::unique_ptr<CounterSource> counters_;
    std::function<TSettings()> settingsSource_;
    MeasurementState measurement_;
    TThreadedTimer* threadedTimer1_ = nullptr;
    bool firstActivation_ = true;
};

} // namespace zarvello
