#include "ChildProcess.h"

#include "Poll.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <set>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zarvello::e2e {

namespace {

std::set<pid_t>& ownedPids()
{
    static std::set<pid_t> pids;
    return pids;
}

struct ProcStat
{
    pid_t pid, ppid, pgrp;
};

// /proc/*/stat, read after the command name, which may itself hold spaces and ')'.
std::vector<ProcStat> allProcesses()
{
    std::vector<ProcStat> result;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile file("/proc/" + entry + "/stat");
        if (entry.toInt() <= 0 || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = file.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2)
            result.push_back({entry.toInt(), fields[1].toInt(), fields[2].toInt()});
    }
    return result;
}

} // namespace

ChildProcess::ChildProcess(const QString& program, const QStringList& args, const QStringList& env,
                           const QString& output, int inheritFd)
{
    const pid_t parent = getpid();
    process_.setChildProcessModifier([parent, inheritFd] {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
        if (getppid() != parent)
            _exit(127);
        for (int sig = 1; sig < NSIG; ++sig)
            ::signal(sig, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (inheritFd >= 0)
            fcntl(inheritFd, F_SETFD, 0);
    });
    process_.setEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(output.isEmpty() ? QProcess::nullDevice() : output,
                                   QIODevice::Append);
    process_.start(program, args);
    if (!process_.waitForStarted())
        throw std::runtime_error("cannot start " + program.toStdString());
    pid_ = static_cast<pid_t>(process_.processId());
    ownedPids().insert(pid_);
}

bool ChildProcess::isRunning()
{
    return process_.state() != QProcess::NotRunning && !process_.waitForFinished(0);
}

std::optional<ExitStatus> ChildProcess::waitForExit(std::chrono::milliseconds timeout)
{
    if (!waitUntil([this] { return !isRunning(); }, timeout, std::chrono::milliseconds(10)))
        return std::nullopt;
    return ExitStatus{process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0};
}

void ChildProcess::signal(int sig)
{
    if (isRunning())
        ::kill(pid_, sig);
}

std::vector<pid_t> ChildProcess::groupMembers() const
{
    std::vector<pid_t> members;
    for (const auto& process : allProcesses())
        if (process.pgrp == pid_)
            members.push_back(process.pid);
    return members;
}

void ChildProcess::stop()
{
    const auto ended = [this] { return !isRunning() && ::kill(-pid_, 0) != 0 && errno == ESRCH; };
    if (pid_ <= 0 || ended())
        return;
    ::kill(-pid_, SIGTERM);
    if (!waitUntil(ended, std::chrono::milliseconds(3000), std::chrono::milliseconds(10))) {
        ::kill(-pid_, SIGKILL);
        waitUntil(ended, std::chrono::milliseconds(5000), std::chrono::milliseconds(10));
    }
}

void becomeChildSubreaper()
{
    prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
}

std::vector<pid_t> strayChildren()
{
    std::vector<pid_t> strays;
    for (const auto& process : allProcesses())
        if (process.ppid == getpid() && !ownedPids().count(process.pid))
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
