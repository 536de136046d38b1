#include "version/MemoryWindow.h"

#include "meter/SamplingTimer.h"
#include "platform/AllocatorStats.h"
#include "version/FormPlacement.h"

#include <QLabel>

namespace zarvello {

MemoryWindow::MemoryWindow(QWidget* parent, AllocatorStats* stats)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      stats_(stats != nullptr ? stats : &systemAllocatorStats()), mem_(new QLabel(this)),
      timer_(new SamplingTimer(this))
{
    setWindowTitle(QStringLiteral("Memory"));
    applyDialogLook(*this);
    setFixedSize(kClientWidth, kClientHeight);

    mem_->setTextFormat(Qt::PlainText);
    mem_->setText(QStringLiteral("Mem"));
    mem_->move(7, 5);
    mem_->adjustSize();

    // Idle until the hot key: the window is created hidden at start-up.
    timer_->setEnabled(false);
    timer_->setInterval(1000);
    timer_->setThreadPriority(tpNormal);
    timer_->setOnTimer([this](SamplingTimer*) { TimerTimer(); });
}

void MemoryWindow::Open()
{
    timer_->setEnabled(true);
    show();
    raise();
}

void MemoryWindow::TimerTimer()
{
    mem_->setText(QStringLiteral("Mem Allocated: ") + QString::number(stats_->allocatedBytes()));
    mem_->adjustSize();
}

void MemoryWindow::showEvent(QShowEvent* event)
{
    if (!placed_) {
        placed_ = true;
        centreOnScreen(*this);
    }
    QWidget::showEvent(event);
}

} // namespace zarvello
