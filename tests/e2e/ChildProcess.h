#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace zarvello::e2e {

struct ExitStatus
{
    bool clean = false; // a normal exit with status 0
    bool isCleanExit() const { return clean; }
};

// A child in a process group of its own (killed with the test process), so that it and whatever
// it starts are stopped together: SIGTERM to the group, a grace period, then SIGKILL.
class ChildProcess
{
public:
    // `output` gets stdout and stderr (empty: discarded); `inheritFd` stays open in the child.
    ChildProcess(const QString& program, const QStringList& args, const QStringList& env,
                 const QString& output = {}, int inheritFd = -1);
    ~ChildProcess() { stop(); }

    pid_t pid() const { return pid_; }
    bool isRunning();
    std::optional<ExitStatus> waitForExit(std::chrono::milliseconds timeout);
    void signal(int sig);
    std::vector<pid_t> groupMembers() const;
    void stop();

private:
    QProcess process_;
    pid_t pid_ = -1;
};

// Orphans of a program under test come to this process (made a child subreaper at start-up),
// so helpers that left the program's group are still found and killed.
void becomeChildSubreaper();
std::vector<pid_t> strayChildren();
void killStrayChildren();

} // namespace zarvello::e2e
