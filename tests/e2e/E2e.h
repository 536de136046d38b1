#pragma once
// The harness of the real-window tests: one private X session for the whole run (Xvfb,
// openbox, trayer docked at the bottom edge), the built program started in folders of the
// test's own, and the X tools a desktop user's actions and looks go through.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <stdexcept>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zarvello::e2e {

using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;
using Win = unsigned long; // an X window id

// Generous bounds for a loaded two-core machine: deadlines, never expectations.
inline constexpr Ms kStartTimeout = 20s;
inline constexpr Ms kTimeout = 5s;
inline const QString kMainTitle = QStringLiteral("Quillon Zarvello v2.1");
inline const QByteArray kHeader = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\r\n";

// Looks at `condition` until it holds or `timeout` has passed, once more at the deadline so
// that a slow machine gets the full time.
template <class Condition> bool waitUntil(Condition&& condition, Ms timeout = kTimeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;; std::this_thread::sleep_for(25ms)) {
        const bool last = std::chrono::steady_clock::now() >= deadline;
        if (condition())
            return true;
        if (last)
            return false;
    }
}

// A child in a process group of its own, killed with the test process; stopping it ends the
// whole group: SIGTERM, then SIGKILL after a grace period. Its output goes to `output`, or
// with the test's own if that is empty.
class Child
{
public:
    Child(const QString& program, const QStringList& args, const QProcessEnvironment& env,
          const QString& output = QProcess::nullDevice())
    {
        process_.setChildProcessModifier([parent = getpid()] {
            setpgid(0, 0);
            prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
            if (getppid() != parent)
                _exit(127);
        });
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(output.isEmpty() ? QProcess::ForwardedChannels
                                                        : QProcess::MergedChannels);
        process_.setStandardOutputFile(output);
        process_.start(program, args);
        if (!process_.waitForStarted())
            throw std::runtime_error("cannot start " + program.toStdString());
        pid_ = static_cast<pid_t>(process_.processId());
    }
    ~Child() { stop(); }

    long pid() const { return pid_; }
    bool running()
    {
        return process_.state() != QProcess::NotRunning && !process_.waitForFinished(0);
    }
    // Whether it ends within `timeout` with status 0.
    bool endsCleanly(Ms timeout = 10s)
    {
        return waitUntil([&] { return !running(); }, timeout) &&
               process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    void signal(int sig) { ::kill(pid_, sig); }
    bool groupGone() const { return ::kill(-pid_, 0) != 0 && errno == ESRCH; }
    void stop()
    {
        for (const int sig : {SIGTERM, SIGKILL})
            if (!groupGone()) {
                ::kill(-pid_, sig);
                waitUntil([&] { return !running() && groupGone(); }, 3s);
            }
    }

private:
    QProcess process_;
    pid_t pid_ = -1;
};

// Every number after the first '=' of an X tool's answer ("NAME(TYPE) = 0, 0x1a, -24"), or in
// all of it if it has none; a negative one as its two's complement.
inline std::vector<unsigned long> numbers(const QByteArray& text)
{
    std::vector<unsigned long> values;
    const QString tail = QString::fromUtf8(text.mid(text.indexOf('=') + 1));
    for (const auto& match : QRegularExpression("0x[0-9a-f]+|-?\\d+").globalMatch(tail))
        values.push_back(static_cast<unsigned long>(match.captured().toLong(nullptr, 0)));
    return values;
}

class Session
{
public:
    Session()
    {
        const QString xvfbOut = home_.filePath("xvfb.txt");
        xvfb_ = std::make_unique<Child>("Xvfb",
                                        QStringList{"-displayfd", "1", "-screen", "0",
                                                    "1280x800x24", "-nolisten", "tcp", "-noreset"},
                                        env(), xvfbOut);
        const auto xvfbReady = [&] {
            QFile out(xvfbOut);
            const auto number = QRegularExpression("^(\\d+)$", QRegularExpression::MultilineOption)
                                    .match(out.open(QIODevice::ReadOnly) ? out.readAll() : "");
            display_ = ":" + number.captured(1);
            return number.hasMatch() && run("xprop", {"-root"});
        };
        if (!waitUntil(xvfbReady, kStartTimeout))
            throw std::runtime_error("Xvfb did not come up");
        openbox_ = std::make_unique<Child>("openbox", QStringList{"--sm-disable"}, env());
        // A dock that starts before openbox has set up its desktops is never managed.
        const auto wmReady = [&] {
            const auto root = prop(0, "_NET_SUPPORTING_WM_CHECK");
            return !root.isEmpty() && !root.contains("not found") &&
                   !prop(0, "_NET_CURRENT_DESKTOP").contains("not found") && workArea().isValid();
        };
        if (!waitUntil(wmReady, kStartTimeout))
            throw std::runtime_error("openbox did not come up");
        // Now and then trayer's panel is never mapped; a fresh trayer then comes up normally.
        for (int attempt = 1;; ++attempt) {
            trayer_ = std::make_unique<Child>(
                "trayer",
                QStringList{"--edge", "bottom", "--align", "right", "--widthtype", "request",
                            "--height", "24", "--SetDockType", "true", "--SetPartialStrut", "true",
                            "--transparent", "false"},
                env());
            if (waitUntil([&] { return workArea().height() == 800 - 24; }))
                return;
            if (attempt == 3)
                throw std::runtime_error("trayer did not come up");
        }
    }

    // The environment of the helpers and tools: this display, no desktop session.
    QProcessEnvironment env() const
    {
        auto env = QProcessEnvironment::systemEnvironment();
        for (const QString& name : env.keys())
            if (name.startsWith("XDG_") || name == "XAUTHORITY" || name.startsWith("DBUS_"))
                env.remove(name);
        env.insert("HOME", home_.path());
        env.insert("DISPLAY", display_);
        return env;
    }
    // Runs an X tool on this display: its output, or nothing if it failed.
    std::optional<QByteArray> run(const QString& tool, const QStringList& args) const
    {
        QProcess process;
        process.setProcessEnvironment(env());
        process.start(tool, args);
        if (process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
            process.exitCode() == 0)
            return process.readAllStandardOutput();
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    void xdotool(const QStringList& args) const
    {
        EXPECT_TRUE(run("xdotool", args)) << args.join(' ').toStdString();
    }
    // As a click on a task-bar entry; whether the window then has the focus.
    bool activate(Win w) const
    {
        return run("xdotool", {"windowactivate", "--sync", id(w)}) &&
               run("xdotool", {"getactivewindow"}).value_or("").trimmed().toULong() == w;
    }
    // The window manager's close (Alt+F4); whether the window went.
    bool close(Win w) const
    {
        return waitUntil([&] { return activate(w); }) && run("xdotool", {"key", "alt+F4"}) &&
               waitUntil([&] { return !viewable(w); });
    }
    // A property of window `w` (0: the root) as xprop prints it.
    QByteArray prop(Win w, const QString& name) const
    {
        return run("xprop", (w ? QStringList{"-id", id(w)} : QStringList{"-root"}) << name)
            .value_or("");
    }
    QRect workArea() const
    {
        const auto v = numbers(prop(0, "_NET_WORKAREA"));
        return v.size() < 4 ? QRect() : QRect(int(v[0]), int(v[1]), int(v[2]), int(v[3]));
    }
    // The viewable windows (all if not `viewable`) of `pid` (0: any), titled `title` if given.
    std::vector<Win> windows(long pid, const QString& title = {}, bool viewable = true) const
    {
        QStringList args{"search", "--all"};
        if (pid)
            args << "--pid" << QString::number(pid);
        if (viewable)
            args << "--onlyvisible";
        if (!title.isEmpty())
            args += {"--name", "^" + title + "$"};
        std::vector<Win> found;
        for (const QByteArray& line : run("xdotool", args).value_or("").split('\n'))
            if (!line.isEmpty())
                found.push_back(line.toULong());
        return found;
    }
    // The viewable window titled `title` that openbox manages (not the tray icon); 0 if none.
    Win window(long pid, const QString& title) const
    {
        const auto managed = numbers(prop(0, "_NET_CLIENT_LIST"));
        for (const Win w : windows(pid, title))
            if (std::find(managed.begin(), managed.end(), w) != managed.end())
                return w;
        return 0;
    }
    // On screen; empty once the window is gone.
    QRect frame(Win w) const
    {
        const QByteArray text = info(w); // upper-left X and Y, relative X and Y, width, height
        const auto v = numbers(text.mid(text.indexOf("Absolute")));
        return v.size() < 6 ? QRect() : QRect(int(v[0]), int(v[1]), int(v[4]), int(v[5]));
    }
    QByteArray info(Win w) const { return run("xwininfo", {"-id", id(w)}).value_or(""); }
    static QString id(Win w) { return QString::number(w); }
    bool viewable(Win w) const { return info(w).contains("IsViewable"); }
    bool hasState(Win w, const char* state) const
    {
        return prop(w, "_NET_WM_STATE").contains(QByteArray("_NET_WM_STATE_") + state);
    }
    bool minimised(Win w) const { return prop(w, "WM_STATE").contains("Iconic"); }
    bool shown(Win w) const { return prop(w, "WM_STATE").contains("Normal") && viewable(w); }
    // The window of `pid` docked in the tray bar below the work area; 0 if none.
    Win trayIcon(long pid) const
    {
        for (const Win w : windows(pid))
            if (frame(w).y() > workArea().bottom())
                return w;
        return 0;
    }
    // Its popup menus: viewable override-redirect windows, tooltips aside.
    std::vector<Win> menus(long pid) const
    {
        std::vector<Win> found;
        for (const Win w : windows(pid))
            if (info(w).contains("Redirect State: yes") &&
                !prop(w, "_NET_WM_WINDOW_TYPE").contains("TOOLTIP"))
                found.push_back(w);
        return found;
    }
    // Raw RGB of the window's part `crop` (an X geometry); empty if it is not viewable.
    QByteArray pixels(Win w, const QString& crop = "100%x100%") const
    {
        return run("import", {"-silent", "-window", id(w), "-crop", crop, "-depth", "8", "rgb:-"})
            .value_or("");
    }

private:
    QTemporaryDir home_; // of openbox and trayer
    QString display_;
    std::unique_ptr<Child> xvfb_, openbox_, trayer_;
};

// xdotool's words for moving the pointer to `p`, then `then`.
inline QStringList at(QPoint p, const QStringList& then = {})
{
    return QStringList{"mousemove", QString::number(p.x()), QString::number(p.y())} + then;
}

// Base of the real-window tests: one X session shared by all (started by the first test), and
// private HOME and XDG folders for each; what a test started is stopped after it, and its
// windows are gone before the next test begins.
class E2eTest : public ::testing::Test
{
protected:
    static Session& x()
    {
        static Session session;
        return session;
    }
    void SetUp() override
    {
        x(); // a session that cannot start fails every test alike
        ASSERT_TRUE(root_.isValid() && QDir().mkpath(root_.filePath(".config/zarvello")));
    }
    void TearDown() override
    {
        while (!apps_.empty()) {
            const long pid = apps_.back()->pid();
            apps_.pop_back();
            EXPECT_TRUE(waitUntil([&] { return x().windows(pid, {}, false).empty(); }));
        }
    }

    // Starts the built program (or `program`) seeing only the test's display, folders and locale,
    // with `changes` to that environment made last (an empty value removes the variable); its
    // output goes to the file `output`, or with the test's own if that is empty.
    Child& start(const QString& program = ZARVELLO_PROGRAM,
                 const std::vector<std::pair<QString, QString>>& changes = {},
                 const QString& output = QString(), const QStringList& args = {})
    {
        auto env = x().env();
        env.insert("HOME", root_.path());
        env.insert("XDG_RUNTIME_DIR", root_.path()); // private, as XDG wants
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("LC_ALL", "C.UTF-8");
        // No session bus: the icon goes to the X tray, and no bus daemon outlives the test.
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + root_.filePath("no-bus"));
        for (const auto& [name, value] : changes)
            value.isEmpty() ? env.remove(name) : env.insert(name, value);
        return *apps_.emplace_back(std::make_unique<Child>(program, args, env, output));
    }
    // The viewable window of `app` titled `title`; 0 if it does not come in time.
    Win windowOf(Child& app, const QString& title = kMainTitle, Ms timeout = kStartTimeout)
    {
        Win found = 0;
        waitUntil([&] { return (found = x().window(app.pid(), title)) || !app.running(); },
                  timeout);
        return found;
    }
    // A window of another program, as the user's work elsewhere; 0 if it does not come.
    Win otherWindow()
    {
        apps_.push_back(std::make_unique<Child>(
            "xmessage", QStringList{"-title", "other-program", "-geometry", "400x300+250+100", "x"},
            x().env()));
        Win found = 0;
        waitUntil([&] { return (found = x().window(0, "other-program")) != 0; });
        return found;
    }
    // A copy of the built program at <test folder>/`name`.
    QString path(const QString& name) const { return root_.filePath(name); }
    QString optionsPath() const { return root_.filePath(".config/zarvello/registry.reg"); }
    void writeOptions(const QByteArray& content)
    {
        QFile file(optionsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(content), content.size());
    }
    static QByteArray dword(const char* name, int value)
    {
        return "\"" + QByteArray(name) +
               "\"=dword:" + QByteArray::number(value, 16).rightJustified(8, '0');
    }
    // Whether the options file holds that place.
    bool savedAt(int left, int top) const
    {
        QFile file(optionsPath());
        const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : "";
        return text.contains(dword("Left", left)) && text.contains(dword("Top", top));
    }

private:
    QTemporaryDir root_;
    std::vector<std::unique_ptr<Child>> apps_;
};

} // namespace zarvello::e2e
