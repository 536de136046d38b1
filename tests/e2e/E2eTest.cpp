#include "E2eTest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

#include <algorithm>
#include <iostream>

namespace zarvello::e2e {

QByteArray AppProcess::output() const
{
    QFile file(outputPath_);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::optional<WindowId> AppProcess::waitForMainWindow(std::chrono::milliseconds timeout)
{
    std::optional<WindowId> found;
    waitUntil(
        [&] {
            for (WindowId window : x_.windowsOf(pid(), kMainWindowTitle))
                found = window;
            return found || !isRunning();
        },
        timeout);
    return found;
}

std::vector<pid_t> AppProcess::leftovers() const
{
    std::vector<pid_t> pids = process_.groupMembers();
    const auto strays = strayChildren();
    pids.insert(pids.end(), strays.begin(), strays.end());
    return pids;
}

X11Session& E2eTest::x()
{
    // One session for the whole run, stopped at exit; a session that cannot start fails
    // every test alike.
    static X11Session session;
    return session;
}

void E2eTest::SetUp()
{
    try {
        x();
    } catch (const std::exception& error) {
        FAIL() << "the X session did not start: " << error.what();
    }
    root_ = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(root_->isValid());
    for (const char* dir : {"home", "config", "state", "runtime"})
        ASSERT_TRUE(QDir().mkpath(root_->path() + "/" + dir));
    // The XDG rules want the runtime folder private.
    QFile::setPermissions(root_->path() + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void E2eTest::TearDown()
{
    std::vector<long> pids;
    for (const auto& app : apps_) {
        pids.push_back(app->pid());
        if (HasFailure())
            std::cerr << "output of pid " << app->pid() << ":\n" << app->output().toStdString();
    }
    apps_.clear();
    killStrayChildren();
    x().destroyTestWindows();
    // The next test must not meet this one's windows or tray icons.
    EXPECT_TRUE(waitUntil(
        [&] {
            return std::all_of(pids.begin(), pids.end(),
                               [](long pid) { return x().windowsOf(pid).empty(); });
        },
        kReactionTimeout));
    root_.reset();
}

AppProcess& E2eTest::startProgram(const QString& executable)
{
    // The program sees only the test's display, folders and locale, never the developer's.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : env.keys())
        if (name.startsWith("XDG_") || name.startsWith("LC_") ||
            QStringList{"XAUTHORITY", "WAYLAND_DISPLAY", "SESSION_MANAGER", "LANGUAGE"}.contains(
                name))
            env.remove(name);
    env.insert("DISPLAY", x().display());
    env.insert("HOME", homeDir());
    env.insert("XDG_CONFIG_HOME", configHome());
    env.insert("XDG_STATE_HOME", root_->path() + "/state");
    env.insert("XDG_RUNTIME_DIR", root_->path() + "/runtime");
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("LANG", "C.UTF-8");
    env.insert("LC_ALL", "C.UTF-8");
    // No session bus: the tray icon goes to the X tray, and no bus daemon outlives the test.
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + root_->path() + "/runtime/no-bus");
    const QString output = root_->path() + QString("/output-%1.txt").arg(apps_.size());
    apps_.push_back(std::make_unique<AppProcess>(executable.isEmpty() ? programPath() : executable,
                                                 env.toStringList(), output, x()));
    return *apps_.back();
}

QString E2eTest::copyProgram(const QString& fileName, const QString& folder)
{
    const QString target = root_->path() + "/" + folder + "/" + fileName;
    QDir().mkpath(root_->path() + "/" + folder);
    return QFile::copy(programPath(), target) &&
                   QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner)
               ? target
               : QString();
}

// Stored options in the order the program writes them: In, Out and Peak side by side, no
// docking, not on top, a task-bar entry.
QByteArray E2eTest::storedValues(int left, int top)
{
    const std::pair<const char*, int> values[] = {
        {"Left", left},         {"Top", top},        {"Dock", 0},
        {"OnTop", 0},           {"In", 1},           {"Out", 1},
        {"MaxSpeed", 1},        {"Percent", 1},      {"Horiz", 1},
        {"Shrink", 0},          {"TaskBar", 1},      {"KiloBytes", 0},
        {"KiloBits", 1},        {"TrayIcon", 1},     {"TrayIconIn", 0},
        {"TrayIconOut", 1},     {"TrayPercent", 0},  {"TrayActual", 1},
        {"SmallFont", 0},       {"LargeFont", 1},    {"InColor1", 9},
        {"InColor2", 0x11},     {"OutColor1", 2},    {"OutColor2", 0xb},
        {"TrayBakColor", 0x11}, {"TrayForColor", 0}, {"PeakSpeed", 0x40},
    };
    QByteArray text;
    for (const auto& [name, value] : values)
        text += QByteArray("\"") + name +
                "\"=dword:" + QByteArray::number(value, 16).rightJustified(8, '0') + "\n";
    return text;
}

QByteArray E2eTest::savedValues() const
{
    QFile file(optionsPath());
    QByteArray values;
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.startsWith('"'))
                values += line.trimmed() + "\n";
    return values;
}

void E2eTest::writeOptions(const QByteArray& content)
{
    ASSERT_TRUE(QDir().mkpath(configHome() + "/zarvello"));
    QFile file(optionsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(content), content.size());
}

void E2eTest::xdotool(const QStringList& args)
{
    ASSERT_TRUE(x().runTool("xdotool", args)) << args.join(' ').toStdString();
}

void E2eTest::click(const QPoint& at, int button)
{
    xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click",
             QString::number(button)});
}

} // namespace zarvello::e2e

int main(int argc, char** argv)
{
    zarvello::e2e::becomeChildSubreaper();
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
