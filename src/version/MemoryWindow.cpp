#include "version/MemoryWindow.h"

#include "meter/SamplingTimer.h"
#include "platform/AllocatorStats.h"
#include "version/CentredToolWindow.h"

#include <QLabel>

namespace zarvello {

MemoryWindow::MemoryWindow(QWidget* parent, AllocatorStats* stats)
    : CentredToolWindow(parent,
                        Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                            Qt::WindowTitleHint | Qt::WindowCloseButtonHint,
                        {kClientWidth, kClientHeight}),
      stats_(stats != nullptr ? stats : &systemAllocatorStats()), figure_(new QLabel(this)),
      timer_(new SamplingTimer(this))
{
    setWindowTitle(QStringLiteral("Memory"));

    figure_->setTextFormat(Qt::PlainText);
    figure_->setText(QStringLiteral("Mem"));
    figure_->move(7, 5);
    figure_->adjustSize();

    // Idle until the hot key: the window is created hidden at start-up.
    timer_->setInterval(kRefreshMs);
    timer_->setThreadPriority(ThreadPriority::Normal);
    connect(timer_, &SamplingTimer::timeout, this, &MemoryWindow::refresh);
}

void MemoryWindow::open()
{
    timer_->setEnabled(true);
    show();
    raise();
}

void MemoryWindow::refresh()
{
    figure_->setText(QStringLiteral("Mem Allocated: ") + QString::number(stats_->allocatedBytes()));
    figure_->adjustSize();
}

} // namespace zarvello
