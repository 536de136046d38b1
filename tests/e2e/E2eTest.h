#pragma once

#include "ChildProcess.h"
#include "Poll.h"
#include "X11Session.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

// Readable values in failure messages.
inline void PrintTo(const QPoint& p, std::ostream* os)
{
    *os << "(" << p.x() << ", " << p.y() << ")";
}
inline void PrintTo(const QSize& s, std::ostream* os)
{
    *os << s.width() << " x " << s.height();
}
inline void PrintTo(const QRect& r, std::ostream* os)
{
    *os << r.width() << " x " << r.height() << " at (" << r.x() << ", " << r.y() << ")";
}
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace zarvello::e2e {

// Generous bounds for a loaded two-core machine; they are deadlines, never expectations.
inline constexpr std::chrono::milliseconds kWindowTimeout = std::chrono::milliseconds(20000);
inline constexpr std::chrono::milliseconds kExitTimeout = std::chrono::milliseconds(10000);
inline constexpr std::chrono::milliseconds kReactionTimeout = std::chrono::milliseconds(5000);

inline const QString kMainWindowTitle = QStringLiteral("Quillon Zarvello v2.1");

// One started copy of the program. Stopped (SIGTERM to its group, then SIGKILL) when destroyed.
class AppProcess
{
public:
    AppProcess(std::unique_ptr<ChildProcess> process, X11Session& session, QString outputPath);

    pid_t pid() const { return process_->pid(); }
    ChildProcess& process() { return *process_; }
    bool isRunning() { return process_->isRunning(); }
    QString outputPath() const { return outputPath_; }
    // What the program wrote on stdout and stderr so far.
    QString output() const;

    // The program's main window once it is viewable; empty if it does not appear in time or
    // the program ends first.
    std::optional<WindowId> waitForMainWindow(std::chrono::milliseconds timeout = kWindowTimeout);
    std::optional<ExitStatus> waitForExit(std::chrono::milliseconds timeout = kExitTimeout)
    {
        return process_->waitForExit(timeout);
    }
    void sendSignal(int sig) { process_->signal(sig); }
    // Processes left in the program's process group, and orphans it left to the test process.
    std::vector<pid_t> leftovers() const;

private:
    std::unique_ptr<ChildProcess> process_;
    X11Session& session_;
    QString outputPath_;
};

// Base of the real-window tests: each test gets its own X session (see X11Session), private
// HOME and XDG folders for the program, and a folder for what it records. That folder is
// deleted when the test passes and kept, with a screenshot and the window tree, when it fails.
//
//     class Tray : public E2eTest {};
//     TEST_F(Tray, Something)
//     {
//         AppProcess& app = startProgram();
//         const auto window = app.waitForMainWindow();
//         ASSERT_TRUE(window) << app.output().toStdString();
//         ASSERT_TRUE(waitUntil([&] { return x().isViewable(*window); }, kReactionTimeout));
//     }
class E2eTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    X11Session& x() { return *session_; }

    // Starts the program (the built one unless `executable` names a copy) in the test's
    // environment; `extraEnv` adds or overrides variables.
    AppProcess& startProgram(const QString& executable = {},
                             const std::map<QString, QString>& extraEnv = {});
    // Copies the built program to <test folder>/<folder>/<fileName> and returns the path.
    QString copyProgram(const QString& fileName, const QString& folder = QStringLiteral("copies"));
    static QString programPath();

    QString homeDir() const { return root_->path() + "/home"; }
    QString configHome() const { return root_->path() + "/config"; }
    QString stateHome() const { return root_->path() + "/state"; }
    QString runtimeDir() const { return root_->path() + "/runtime"; }
    QString runLogPath() const { return stateHome() + "/zarvello/Log.txt"; }
    QString artifactsDir() const { return artifacts_; }

    // Saves a screenshot under the test's record folder; returns its path, empty on failure.
    QString saveScreenshot(const QString& name);

private:
    std::vector<std::string> programEnvironment(const std::map<QString, QString>& extra) const;

    QString artifacts_;
    std::unique_ptr<QTemporaryDir> root_;
    std::unique_ptr<X11Session> session_;
    std::vector<std::unique_ptr<AppProcess>> apps_;
};

} // namespace zarvello::e2e
