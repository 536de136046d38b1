#include "E2eTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <algorithm>
#include <cstdlib>
#include <iostream>

namespace zarvello::e2e {

namespace {

QString artifactsRoot()
{
    const QByteArray fromEnv = qgetenv("ZARVELLO_E2E_ARTIFACTS");
    return fromEnv.isEmpty() ? QStringLiteral(ZARVELLO_E2E_ARTIFACTS)
                             : QString::fromLocal8Bit(fromEnv);
}

bool isDroppedFromProgramEnvironment(const QString& name)
{
    // The program must see only the test's display, folders and locale, never the
    // developer's session.
    static const QStringList exact = {"DISPLAY",         "HOME",
                                      "XAUTHORITY",      "WAYLAND_DISPLAY",
                                      "SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS",
                                      "QT_QPA_PLATFORM", "LANG",
                                      "LANGUAGE"};
    return exact.contains(name) || name.startsWith("XDG_") || name.startsWith("LC_");
}

} // namespace

AppProcess::AppProcess(std::unique_ptr<ChildProcess> process, X11Session& session,
                       QString outputPath)
    : process_(std::move(process)), session_(session), outputPath_(std::move(outputPath))
{
}

QString AppProcess::output() const
{
    QFile file(outputPath_);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll());
}

std::optional<WindowId> AppProcess::waitForMainWindow(std::chrono::milliseconds timeout)
{
    std::optional<WindowId> found;
    waitUntil(
        [&] {
            for (WindowId window : session_.findVisibleWindows(kMainWindowTitle))
                if (session_.pid(window) == static_cast<long>(pid()))
                    found = window;
            return found.has_value() || !isRunning();
        },
        timeout);
    return found;
}

std::vector<pid_t> AppProcess::leftovers() const
{
    std::vector<pid_t> pids = process_->groupMembers();
    for (pid_t stray : strayChildren())
        if (std::find(pids.begin(), pids.end(), stray) == pids.end())
            pids.push_back(stray);
    return pids;
}

QString E2eTest::programPath()
{
    return QStringLiteral(ZARVELLO_PROGRAM);
}

void E2eTest::SetUp()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    artifacts_ = artifactsRoot() + "/" + info->test_suite_name() + "." + info->name();
    QDir(artifacts_).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(artifacts_)) << artifacts_.toStdString();

    root_ = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(root_->isValid());
    for (const QString& dir : {homeDir(), configHome(), stateHome(), runtimeDir()})
        ASSERT_TRUE(QDir().mkpath(dir)) << dir.toStdString();
    // The XDG base directory rules require the runtime folder to be private.
    ASSERT_TRUE(QFile::setPermissions(runtimeDir(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    try {
        session_ = std::make_unique<X11Session>(artifacts_);
    } catch (const std::exception& error) {
        FAIL() << "the X session did not start: " << error.what();
    }
}

void E2eTest::TearDown()
{
    if (HasFailure() && session_) {
        saveScreenshot("at-failure");
        QFile tree(artifacts_ + "/windows.txt");
        if (tree.open(QIODevice::WriteOnly))
            tree.write(session_->describe().toUtf8());
    }
    apps_.clear();
    killStrayChildren();
    session_.reset();
    root_.reset();
    if (HasFailure())
        std::cerr << "e2e: record of the failed test kept in " << artifacts_.toStdString() << "\n";
    else
        QDir(artifacts_).removeRecursively();
}

std::vector<std::string> E2eTest::programEnvironment(const std::map<QString, QString>& extra) const
{
    std::map<QString, QString> vars;
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    for (const QString& name : system.keys())
        if (!isDroppedFromProgramEnvironment(name))
            vars[name] = system.value(name);
    vars["DISPLAY"] = session_->display();
    vars["HOME"] = homeDir();
    vars["XDG_CONFIG_HOME"] = configHome();
    vars["XDG_STATE_HOME"] = stateHome();
    vars["XDG_RUNTIME_DIR"] = runtimeDir();
    vars["QT_QPA_PLATFORM"] = "xcb";
    // A fixed locale keeps date and time texts predictable.
    vars["LANG"] = "C.UTF-8";
    vars["LC_ALL"] = "C.UTF-8";
    // No session bus: the tray icon then goes to the X tray (trayer), and nothing can start
    // a bus daemon that outlives the test.
    vars["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + runtimeDir() + "/no-session-bus";
    for (const auto& [name, value] : extra)
        vars[name] = value;
    std::vector<std::string> env;
    for (const auto& [name, value] : vars)
        env.push_back((name + "=" + value).toStdString());
    return env;
}

AppProcess& E2eTest::startProgram(const QString& executable,
                                  const std::map<QString, QString>& extraEnv)
{
    const QString path = executable.isEmpty() ? programPath() : executable;
    const QString output =
        artifacts_ +
        QString("/program-%1-%2.log").arg(apps_.size() + 1).arg(QFileInfo(path).fileName());
    ChildProcess::Options options;
    options.program = path.toStdString();
    options.env = programEnvironment(extraEnv);
    options.outputPath = output.toStdString();
    apps_.push_back(
        std::make_unique<AppProcess>(std::make_unique<ChildProcess>(options), *session_, output));
    return *apps_.back();
}

QString E2eTest::copyProgram(const QString& fileName, const QString& folder)
{
    const QString dir = root_->path() + "/" + folder;
    QDir().mkpath(dir);
    const QString target = dir + "/" + fileName;
    QFile::remove(target);
    if (!QFile::copy(programPath(), target))
        return {};
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return target;
}

QString E2eTest::saveScreenshot(const QString& name)
{
    const QString path = artifacts_ + "/" + name + ".png";
    return session_ && session_->screenshot(path) ? path : QString();
}

} // namespace zarvello::e2e
