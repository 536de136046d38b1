#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace zarvello {
namespace {

std::array<int, 2> gPipe{-1, -1};

extern "C" void onTerminationSignal(int signalNumber)
{
    // Only async-signal-safe work here: one byte down the pipe.
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const auto written = ::write(gPipe[0], &byte, 1);
}

void handleSignals(void (*handler)(int), int flags)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gPipe.data()) != 0) {
        qWarning("zarvello: cannot watch for termination signals");
        return;
    }
    notifier_ = new QSocketNotifier(gPipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(gPipe[1], &byte, 1);
        Q_EMIT terminationRequested();
    });
    handleSignals(onTerminationSignal, SA_RESTART);
}

TerminationSignals::~TerminationSignals()
{
    handleSignals(SIG_DFL, 0);
    delete notifier_;
    for (int& fd : gPipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

} // namespace zarvello
