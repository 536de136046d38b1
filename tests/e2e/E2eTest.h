#pragma once

#include "ChildProcess.h"
#include "Poll.h"
#include "X11Session.h"

#include <QByteArray>
#include <QPoint>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

namespace zarvello::e2e {

// Generous bounds for a loaded two-core machine; deadlines, never expectations.
inline constexpr std::chrono::milliseconds kWindowTimeout = std::chrono::milliseconds(20000);
inline constexpr std::chrono::milliseconds kExitTimeout = std::chrono::milliseconds(10000);
inline constexpr std::chrono::milliseconds kReactionTimeout = std::chrono::milliseconds(5000);

inline const QByteArray kOptionsHeader =
    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\r\n";
inline const QString kMainWindowTitle = QStringLiteral("Quillon Zarvello v2.1");

// One started copy of the program; its whole process group is stopped when it is destroyed.
class AppProcess
{
public:
    AppProcess(const QString& program, const QStringList& env, const QString& output, X11Session& x)
        : process_(program, {}, env, output), x_(x), outputPath_(output)
    {
    }
    long pid() const { return process_.pid(); }
    bool isRunning() { return process_.isRunning(); }
    QByteArray output() const;
    // The viewable main window; empty if it does not come in time or the program ends first.
    std::optional<WindowId> waitForMainWindow(std::chrono::milliseconds timeout = kWindowTimeout);
    std::optional<ExitStatus> waitForExit(std::chrono::milliseconds timeout = kExitTimeout)
    {
        return process_.waitForExit(timeout);
    }
    void signal(int sig) { process_.signal(sig); }
    // Processes left in its group, and orphans it left to the test process.
    std::vector<pid_t> leftovers() const;

private:
    ChildProcess process_;
    X11Session& x_;
    QString outputPath_;
};

// Base of the real-window tests. All of them share one X session (started by the first test);
// each gets private HOME and XDG folders, and the programs it started are stopped after it,
// their windows gone before the next test begins.
class E2eTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    static X11Session& x();
    // Starts the program (the built one unless `executable` names another) in the test's folders.
    AppProcess& startProgram(const QString& executable = {});
    // A copy of the built program at <test folder>/<folder>/<fileName>.
    QString copyProgram(const QString& fileName, const QString& folder);
    static QString programPath() { return QStringLiteral(ZARVELLO_PROGRAM); }

    QString homeDir() const { return root_->path() + "/home"; }
    QString configHome() const { return root_->path() + "/config"; }
    QString optionsPath() const { return configHome() + "/zarvello/registry.reg"; }
    QString runLogPath() const { return root_->path() + "/state/zarvello/Log.txt"; }
    void writeOptions(const QByteArray& content);
    // All values, as the program writes them (the header's line ends are the writer's
    // business): In, Out and Peak side by side, no docking, not on top, a task-bar entry.
    static QByteArray storedValues(int left, int top);
    QByteArray savedValues() const; // the value lines of the options file

    // xdotool on the test display; fails the test when it does.
    void xdotool(const QStringList& args);
    void click(const QPoint& at, int button);

private:
    std::unique_ptr<QTemporaryDir> root_;
    std::vector<std::unique_ptr<AppProcess>> apps_;
};

} // namespace zarvello::e2e
