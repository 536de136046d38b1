#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace zarvello::e2e {

// How a child ended.
struct ExitStatus
{
    bool exited = false; // true: normal exit with `code`; false: killed by `signal`
    int code = 0;
    int signal = 0;

    bool isCleanExit() const { return exited && code == 0; }
    std::string describe() const;
};

// A child process in a process group of its own (and killed if the test process dies), so that it
// and everything it starts can be signalled and stopped together. The destructor stops the whole
// group: SIGTERM, a short grace period, then SIGKILL, and reaps the child.
class ChildProcess
{
public:
    struct Options
    {
        std::string program;           // looked up in PATH when it has no '/'
        std::vector<std::string> args; // without the program name
        std::vector<std::string> env;  // complete environment, "NAME=value" each
        std::string outputPath;        // stdout and stderr are appended here; empty: /dev/null
        std::vector<std::pair<int, int>> passFds; // parent fd -> fd number in the child (the same
                                                  // number: passed as it is)
    };

    // Throws std::runtime_error when the program cannot be started.
    explicit ChildProcess(const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& program() const { return program_; }

    // Reaps the child if it has ended. Never blocks.
    bool isRunning();
    // The exit status once the child has ended and been reaped.
    std::optional<ExitStatus> exitStatus() const { return status_; }
    // Polls until the child has ended or the timeout has passed.
    std::optional<ExitStatus> waitForExit(std::chrono::milliseconds timeout);

    // Sends `sig` to the child alone.
    void signal(int sig);
    // Whether any process is left in the child's process group (the child itself included
    // while it runs or is unreaped).
    bool groupHasProcesses() const;
    // Pids of the processes in the child's group, read from /proc.
    std::vector<pid_t> groupMembers() const;

    // SIGTERM to the group, up to `grace` for it to end, then SIGKILL; reaps the child.
    void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));

private:
    std::string program_;
    pid_t pid_ = -1;
    std::optional<ExitStatus> status_;
};

// Processes whose parent is this test process and that no ChildProcess owns: orphans of a
// program under test end up here because the test process is made a child subreaper.
std::vector<pid_t> strayChildren();
// Call once at start-up: orphaned descendants are then re-parented to this process, which lets
// strayChildren() find helpers a program left behind even if they left its process group.
void becomeChildSubreaper();
// Last resort when the test process must end at once: SIGKILL to every owned group.
void killAllChildGroups();
// Kills and reaps whatever strayChildren() finds, so that nothing outlives the test.
void killStrayChildren();

} // namespace zarvello::e2e
