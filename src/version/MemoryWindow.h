#pragma once

#include "version/CentredToolWindow.h"

#include <cstdint>

class QLabel;

namespace zarvello {

class AllocatorStats;
class SamplingTimer;

// "Memory": a tiny always-on-top window showing the bytes the program has
// allocated, refreshed every second once the hot key has opened it.
class MemoryWindow : public CentredToolWindow
{
    Q_OBJECT
public:
    static constexpr int kClientWidth = 145;
    static constexpr int kClientHeight = 25;
    static constexpr std::uint16_t kRefreshMs = 1000;

    // stats: where the figure comes from; the C library's statistics when
    // null. It must outlive the window.
    explicit MemoryWindow(QWidget* parent = nullptr, AllocatorStats* stats = nullptr);

    // What the hot key does: switch the refresh on, then show the window
    // (raised). Showing again changes nothing else.
    void open();

    // Shows the allocated bytes now; the timer calls it every second.
    void refresh();

private:
    AllocatorStats* stats_;
    QLabel* figure_;
    SamplingTimer* timer_;
};

} // namespace zarvello
