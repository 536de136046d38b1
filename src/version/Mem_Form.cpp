#include "version/Mem_Form.h"

#include "meter/ThdTimer.h"
#include "platform/AllocatorStats.h"
#include "version/FormPlacement.h"

#include <QLabel>

namespace zarvello {

TForm_Mem::TForm_Mem(QWidget* parent, AllocatorStats* stats)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      stats_(stats != nullptr ? stats : &systemAllocatorStats()), mem_(new QLabel(this)),
      timer_(new TThreadedTimer(this))
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
    timer_->setOnTimer([this](TThreadedTimer*) { TimerTimer(); });
}

void TForm_Mem::Open()
{
    timer_->setEnabled(true);
    show();
    raise();
}

void TForm_Mem::TimerTimer()
{
    mem_->setText(QStringLiteral("Mem Allocated: ") + QString::number(stats_->allocatedBytes()));
    mem_->adjustSize();
}

void TForm_Mem::showEvent(QShowEvent* event)
{
    if (!placed_) {
        placed_ = true;
        centreOnScreen(*this);
    }
    QWidget::showEvent(event);
}

} // namespace zarvello
