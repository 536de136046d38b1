#include "ChildProcess.h"

#include "Poll.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zarvello::e2e {

namespace {

// Children that a ChildProcess owns; strayChildren() reports every other child.
std::set<pid_t>& ownedPids()
{
    static std::set<pid_t> pids;
    return pids;
}

std::string errnoText(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

struct ProcStat
{
    pid_t pid = 0;
    pid_t ppid = 0;
    pid_t pgrp = 0;
    char state = '?';
};

// Fields of /proc/<pid>/stat after the command name, which may itself hold spaces and ')'.
std::optional<ProcStat> readProcStat(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line))
        return std::nullopt;
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream rest(line.substr(close + 1));
    ProcStat stat;
    stat.pid = pid;
    rest >> stat.state >> stat.ppid >> stat.pgrp;
    if (!rest)
        return std::nullopt;
    return stat;
}

std::vector<ProcStat> allProcesses()
{
    std::vector<ProcStat> result;
    DIR* dir = opendir("/proc");
    if (!dir)
        return result;
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || pid <= 0)
            continue;
        if (auto stat = readProcStat(static_cast<pid_t>(pid)))
            result.push_back(*stat);
    }
    closedir(dir);
    return result;
}

ExitStatus decode(int wstatus)
{
    ExitStatus status;
    if (WIFEXITED(wstatus)) {
        status.exited = true;
        status.code = WEXITSTATUS(wstatus);
    } else if (WIFSIGNALED(wstatus)) {
        status.signal = WTERMSIG(wstatus);
    }
    return status;
}

} // namespace

std::string ExitStatus::describe() const
{
    if (exited)
        return "exit status " + std::to_string(code);
    return "killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
}

namespace {

std::string findInPath(const std::string& program)
{
    if (program.find('/') != std::string::npos)
        return program;
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return program;
}

} // namespace

ChildProcess::ChildProcess(const Options& options) : program_(options.program)
{
    // Everything the child needs is prepared here: between fork and exec only system calls.
    const std::string executable = findInPath(options.program);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(options.program.c_str()));
    for (const auto& arg : options.args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& entry : options.env)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    const std::string output = options.outputPath.empty() ? "/dev/null" : options.outputPath;
    const pid_t parent = getpid();

    // The child reports a failed exec through this pipe; it closes unread on success.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        throw std::runtime_error(errnoText("pipe2", errno));

    pid_ = fork();
    if (pid_ < 0) {
        const int error = errno;
        close(report[0]);
        close(report[1]);
        throw std::runtime_error(errnoText("fork", error));
    }
    if (pid_ == 0) {
        // A group of its own so that the whole group can be stopped; killed with the test
        // process, so that nothing outlives a test run that is killed on a timeout.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
        if (getppid() != parent)
            _exit(127);
        struct sigaction defaults
        {
        };
        defaults.sa_handler = SIG_DFL;
        for (int sig = 1; sig < NSIG; ++sig)
            sigaction(sig, &defaults, nullptr);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (const auto& [from, to] : options.passFds) {
            const int result = from == to ? fcntl(from, F_SETFD, 0) : dup2(from, to);
            if (result < 0)
                goto failed;
        }
        {
            const int in = open("/dev/null", O_RDONLY);
            const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0)
                goto failed;
        }
        execve(executable.c_str(), argv.data(), envp.data());
    failed:
        const int error = errno;
        [[maybe_unused]] const auto written = write(report[1], &error, sizeof error);
        _exit(127);
    }

    close(report[1]);
    int childError = 0;
    ssize_t got;
    do {
        got = read(report[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got > 0) {
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        throw std::runtime_error(
            errnoText(("cannot start " + options.program).c_str(), childError));
    }
    ownedPids().insert(pid_);
}

ChildProcess::~ChildProcess()
{
    stop();
}

bool ChildProcess::isRunning()
{
    if (status_)
        return false;
    int wstatus = 0;
    const pid_t result = waitpid(pid_, &wstatus, WNOHANG);
    if (result == pid_) {
        status_ = decode(wstatus);
        ownedPids().erase(pid_);
        return false;
    }
    if (result < 0 && errno == ECHILD) {
        // Someone else reaped it; the status is lost.
        status_ = ExitStatus{false, -1, 0};
        ownedPids().erase(pid_);
        return false;
    }
    return true;
}

std::optional<ExitStatus> ChildProcess::waitForExit(std::chrono::milliseconds timeout)
{
    waitUntil([this] { return !isRunning(); }, timeout, std::chrono::milliseconds(10));
    return status_;
}

void ChildProcess::signal(int sig)
{
    if (isRunning())
        ::kill(pid_, sig);
}

bool ChildProcess::groupHasProcesses() const
{
    return ::kill(-pid_, 0) == 0 || errno != ESRCH;
}

std::vector<pid_t> ChildProcess::groupMembers() const
{
    std::vector<pid_t> members;
    for (const auto& process : allProcesses())
        if (process.pgrp == pid_)
            members.push_back(process.pid);
    return members;
}

void ChildProcess::stop(std::chrono::milliseconds grace)
{
    if (pid_ <= 0)
        return;
    if (isRunning() || groupHasProcesses()) {
        ::kill(-pid_, SIGTERM);
        const bool ended = waitUntil(
            [this] {
                isRunning();
                return status_ && !groupHasProcesses();
            },
            grace, std::chrono::milliseconds(10));
        if (!ended) {
            ::kill(-pid_, SIGKILL);
            waitUntil(
                [this] {
                    isRunning();
                    return status_ && !groupHasProcesses();
                },
                std::chrono::milliseconds(5000), std::chrono::milliseconds(10));
        }
    }
}

void killAllChildGroups()
{
    for (pid_t pid : ownedPids())
        ::kill(-pid, SIGKILL);
}

void becomeChildSubreaper()
{
    prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
}

std::vector<pid_t> strayChildren()
{
    std::vector<pid_t> strays;
    const pid_t self = getpid();
    for (const auto& process : allProcesses())
        if (process.ppid == self && !ownedPids().count(process.pid))
            strays.push_back(process.pid);
    return strays;
}

void killStrayChildren()
{
    for (pid_t pid : strayChildren()) {
        ::kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

} // namespace zarvello::e2e
