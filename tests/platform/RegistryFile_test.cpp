#include "platform/RegistryFile.h"
#include "settings/RegistryHive.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>

namespace zarvello {
namespace {

const RegRoot HKLM = RegRoot::LocalMachine;
constexpr QLatin1String kZarvello("Software\\Zarvello");

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

std::optional<quint32> storedDword(const QString& file, const QString& name)
{
    const std::optional<RegData> v = RegistryFile(file).open(HKLM, kZarvello).value(name);
    return v && v->isDword() ? std::optional<quint32>(v->toDword()) : std::nullopt;
}

// Sets one dword under Software\Zarvello and closes the key; the error, if any.
QString setAndClose(Registry& reg, const QString& name, quint32 value)
{
    RegistryKey key = reg.create(HKLM, kZarvello);
    return key.setDword(name, value) && key.close() ? QString() : key.errorString();
}

// Writes bigger than `bytes` fail at once (EFBIG), as on a full disk, for root
// too, until the returned guard goes.
std::shared_ptr<void> limitFileSize(rlim_t bytes)
{
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
    return {nullptr, [=](void*) {
                setrlimit(RLIMIT_FSIZE, &saved);
                std::signal(SIGXFSZ, previousHandler);
            }};
}

class RegistryFileTest : public testing::Test
{
protected:
    QTemporaryDir dir;
    QString folder = dir.filePath(QStringLiteral("zarvello"));
    QString file = folder + QStringLiteral("/registry.reg");

    QStringList folderEntries() const
    {
        return QDir(folder).entryList(
            QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
};

TEST_F(RegistryFileTest, SavesAtCloseAndReadsBackInANewProgram)
{
    {
        RegistryFile reg(file);
        EXPECT_TRUE(reg.loadError().isEmpty()) << "a missing file is an empty registry";
        RegistryKey key = reg.create(HKLM, kZarvello);
        ASSERT_TRUE(key.setDword(QStringLiteral("In"), 1));
        ASSERT_TRUE(key.setString(QStringLiteral("Note"), QStringLiteral("C:\\\"x\"")));
        EXPECT_FALSE(QFile::exists(file)) << "nothing is written before the close";
        ASSERT_TRUE(key.close()) << key.errorString().toStdString();
    }
    EXPECT_EQ(readAll(file).toStdString(), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\n"
                                           "\"In\"=dword:00000001\n"
                                           "\"Note\"=\"C:\\\\\\\"x\\\"\"\n\n");
    RegistryFile again(file);
    RegistryKey key = again.open(HKLM, QStringLiteral("software\\zarvello"));
    EXPECT_EQ(key.value(QStringLiteral("note"))->toText(), QStringLiteral("C:\\\"x\""));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("registry.reg")})
        << "no lock or temporary file is left behind";
}

// The copy fails in its first write, or (for a file past the size cap) in the
// part copied from the file itself.
TEST_F(RegistryFileTest, ABadFileThatCannotBeCopiedIsNeverReplaced)
{
    const std::tuple<QByteArray, rlim_t, QString> cases[] = {
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:zz\n" + QByteArray(8192, ';'), 4096,
         QStringLiteral(":3: bad hex byte")},
        {QByteArray(RegLimits::FileBytes + 99999, ';').replace(0, 9, "REGEDIT4\n"),
         RegLimits::FileBytes + 50000, QStringLiteral(": file larger than 1024 KiB")},
    };
    for (const auto& [bad, limit, error] : cases) {
        SCOPED_TRACE(error.toStdString());
        ASSERT_TRUE(QDir().mkpath(folder));
        writeAll(file, bad);
        const auto guard = limitFileSize(limit); // the copy cannot be written
        RegistryFile reg(file);
        EXPECT_TRUE(reg.loadError().startsWith(file + error)) << reg.loadError().toStdString();
        EXPECT_TRUE(reg.keptCopyPath().isEmpty());
        EXPECT_TRUE(setAndClose(reg, QStringLiteral("In"), 1).contains(u"cannot be copied aside"));
        EXPECT_EQ(readAll(file), bad);
        EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("registry.reg")});
    }
}

TEST_F(RegistryFileTest, AFailedSaveLeavesThePreviousFileAndIsRetried)
{
    RegistryFile reg(file);
    ASSERT_EQ(setAndClose(reg, QStringLiteral("In"), 1), QString());
    const QByteArray before = readAll(file);

    RegistryKey key = reg.create(HKLM, kZarvello);
    ASSERT_TRUE(key.setValue(QStringLiteral("Big"), {RegType::Binary, QByteArray(8000, 'x')}));
    {
        const auto limit = limitFileSize(4096);
        EXPECT_FALSE(key.close());
    }
    EXPECT_TRUE(key.errorString().startsWith(QStringLiteral("cannot write ") + file))
        << key.errorString().toStdString();
    EXPECT_EQ(readAll(file), before);
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("registry.reg")})
        << "the half-written temporary file is gone";

    // The change was kept and goes with the next save that can be made.
    ASSERT_TRUE(reg.open(HKLM, kZarvello).close());
    EXPECT_EQ(RegistryFile(file).open(HKLM, kZarvello).value(QStringLiteral("Big"))->bytes.size(),
              8000);
}

TEST_F(RegistryFileTest, ASaveWaitsForTheLockAndFailsWhenItStaysTaken)
{
    RegistryFile reg(file);
    reg.setLockTimeout(200);
    ASSERT_TRUE(QDir().mkpath(folder));
    QLockFile other(file + QStringLiteral(".lock"));
    ASSERT_TRUE(other.tryLock(0));
    EXPECT_TRUE(setAndClose(reg, QStringLiteral("In"), 1).startsWith(u"cannot lock "));
    EXPECT_FALSE(QFile::exists(file));
    other.unlock();

    ASSERT_TRUE(reg.create(HKLM, kZarvello).close());
    EXPECT_EQ(storedDword(file, QStringLiteral("In")), 1U);
}

TEST_F(RegistryFileTest, ProgramsSavingAtOnceKeepEachOthersChanges)
{
    RegistryFile a(file);
    RegistryFile b(file);
    ASSERT_EQ(setAndClose(a, QStringLiteral("Left"), 1), QString());
    ASSERT_EQ(setAndClose(a, QStringLiteral("Top"), 1), QString());
    ASSERT_EQ(setAndClose(b, QStringLiteral("Other"), 5), QString());
    // b has never seen a's Top = 1; it writes only what it changed.
    ASSERT_EQ(setAndClose(a, QStringLiteral("Top"), 2), QString());
    ASSERT_EQ(setAndClose(b, QStringLiteral("Left"), 3), QString());
    EXPECT_EQ(storedDword(file, QStringLiteral("Left")), 3U);
    EXPECT_EQ(storedDword(file, QStringLiteral("Top")), 2U);
    EXPECT_EQ(storedDword(file, QStringLiteral("Other")), 5U);
    EXPECT_TRUE(b.open(HKLM, kZarvello).value(QStringLiteral("Top")).has_value())
        << "a save also brings in what the others saved";

    constexpr int kSaves = 25;
    auto saver = [this](const QString& prefix) {
        RegistryFile reg(file);
        reg.setLockTimeout(30000);
        for (int i = 0; i < kSaves; ++i) {
            EXPECT_EQ(setAndClose(reg, prefix + QString::number(i), i), QString());
        }
    };
    std::thread first(saver, QStringLiteral("a"));
    std::thread second(saver, QStringLiteral("b"));
    first.join();
    second.join();
    EXPECT_EQ(RegistryFile(file).open(HKLM, kZarvello).valueNames().size(), 3 + 2 * kSaves);
}

// A file that cannot be used is copied aside whole (past a cap too) and
// replaced at the next save; what is not a regular file is never read (a FIFO
// would block), copied or written, and the run saves nothing.
TEST_F(RegistryFileTest, HostileFilesCostLittleAndAreReportedAsWhatTheyAre)
{
    auto lines = [](int count, const char* pattern) {
        QByteArray text = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n";
        for (int i = 0; i < count; ++i) {
            text += QByteArray(pattern).replace("%", QByteArray::number(i)) + '\n';
        }
        return text;
    };
    const QString elsewhere = dir.filePath(QStringLiteral("dotfiles.reg"));
    const QByteArray usable =
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\n\"In\"=dword:1\n";
    writeAll(elsewhere, usable);
    const auto link = [](const QString& target) {
        return [target](const QString& f) { return QFile::link(target, f); };
    };
    const QString zero = dir.filePath(QStringLiteral("zero")); // a device of the test's own
    ASSERT_EQ(mknod(QFile::encodeName(zero).constData(), S_IFCHR | 0666, makedev(1, 5)), 0);

    struct Case
    {
        QByteArray text; // written to the file when `make` is empty
        std::function<bool(const QString&)> make;
        QString error; // what follows "<file>"; empty: the file is fine
    };
    const std::vector<Case> cases{
        {usable + "\"Bad\"=\"C:\\x\"\n", {}, QStringLiteral(":4: bad escape in string")},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE" + QByteArray("\\k").repeated(RegLimits::KeyDepth + 1) +
             "]\n",
         {},
         QStringLiteral(":2: key path deeper than 64 levels")},
        {lines(RegLimits::Keys - 1, "[HKEY_LOCAL_MACHINE\\k%]"),
         {},
         QStringLiteral(":10001: more than 10000 keys")},
        {lines(RegLimits::Values + 1, "\"v%\"=dword:1"),
         {},
         QStringLiteral(":10003: more than 10000 values")},
        {QByteArray(RegLimits::FileBytes + 99999, ';').replace(0, 9, "REGEDIT4\n"),
         {},
         QStringLiteral(": file larger than 1024 KiB")},
        {{},
         [](const QString& f) { return mkfifo(QFile::encodeName(f), 0600) == 0; },
         QStringLiteral(": not a regular file (a FIFO)")},
        {{},
         [](const QString& f) { return QDir().mkpath(f); },
         QStringLiteral(": not a regular file (a directory)")},
        {{},
         link(zero),
         QStringLiteral(": not a regular file (a symbolic link to a character device)")},
        {{}, link(elsewhere), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error.isEmpty() ? "link to a regular file" : c.error.toStdString());
        QDir(folder).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder));
        if (c.make) {
            ASSERT_TRUE(c.make(file));
        } else {
            writeAll(file, c.text);
        }
        const QFileInfo before(file);
        RegistryFile reg(file);
        RegistryHive hive(reg);
        QString reason;
        if (c.error.isEmpty()) {
            EXPECT_EQ(reg.loadError(), QString());
            EXPECT_EQ(hive.read(QStringLiteral("In")).value, 1);
            ASSERT_TRUE(hive.write(QStringLiteral("Top"), 7));
            EXPECT_TRUE(hive.commit(&reason)) << reason.toStdString();
            EXPECT_TRUE(QFileInfo(file).isSymLink()) << "the link is kept";
            EXPECT_EQ(storedDword(elsewhere, QStringLiteral("Top")), 7U);
            // Replaced by a FIFO during the run: the save neither blocks nor writes.
            ASSERT_TRUE(QFile::remove(file));
            ASSERT_EQ(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
            ASSERT_TRUE(hive.write(QStringLiteral("Top"), 8));
            EXPECT_FALSE(hive.commit(&reason));
            EXPECT_TRUE(reason.contains(u"not a regular file (a FIFO)")) << reason.toStdString();
            continue;
        }
        EXPECT_TRUE(reg.loadError().startsWith(file + c.error)) << reg.loadError().toStdString();
        EXPECT_TRUE(reg.tree().children().empty()) << "defaults: nothing of the file is used";
        if (!c.text.isEmpty()) {
            EXPECT_TRUE(
                QRegularExpression(QRegularExpression::escape(file) + R"(\.bad-\d{8}-\d{6}$)")
                    .match(reg.keptCopyPath())
                    .hasMatch())
                << reg.keptCopyPath().toStdString();
            EXPECT_EQ(readAll(reg.keptCopyPath()), c.text);
            EXPECT_EQ(readAll(file), c.text) << "loading alone changes nothing";
            for (const int top : {7, 8}) {
                ASSERT_TRUE(hive.write(QStringLiteral("Top"), top));
                EXPECT_TRUE(hive.commit(&reason)) << reason.toStdString();
            }
            EXPECT_EQ(storedDword(file, QStringLiteral("Top")), 8U);
            EXPECT_EQ(storedDword(file, QStringLiteral("In")), std::nullopt);
            EXPECT_EQ(readAll(reg.keptCopyPath()), c.text);
            EXPECT_EQ(folderEntries().size(), 2) << "one copy, however often it is saved";
            continue;
        }
        EXPECT_TRUE(reg.keptCopyPath().isEmpty());
        EXPECT_FALSE(reg.copyError().isEmpty()) << "the message says no copy was made";
        EXPECT_TRUE(reg.loadError().contains(u"will not be saved"));
        // The settings save at exit is quietly skipped, as announced; any other
        // save fails and says why.
        ASSERT_TRUE(hive.write(QStringLiteral("Top"), 7));
        EXPECT_TRUE(hive.commit(&reason));
        EXPECT_TRUE(setAndClose(reg, QStringLiteral("X"), 1).contains(u"not a regular file"));
        const QFileInfo after(file);
        EXPECT_EQ(std::tuple(after.isSymLink(), after.isDir(), after.isFile()),
                  std::tuple(before.isSymLink(), before.isDir(), before.isFile()));
        EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("registry.reg")})
            << "no copy, no lock file";
    }
}

TEST(RegistryFilePath, FollowsXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/cfg");
    EXPECT_EQ(RegistryFile::defaultFilePath(), QStringLiteral("/tmp/cfg/zarvello/registry.reg"));
    const QString fallback = QDir::homePath() + QStringLiteral("/.config/zarvello/registry.reg");
    qputenv("XDG_CONFIG_HOME", "relative/cfg");
    EXPECT_EQ(RegistryFile::defaultFilePath(), fallback);
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegistryFile::defaultFilePath(), fallback);
    if (!saved.isNull()) {
        qputenv("XDG_CONFIG_HOME", saved);
    }
}

TEST_F(RegistryFileTest, APathThatCannotBeLookedAtIsReportedNotTakenForMissing)
{
    const RegistryFile reg(dir.filePath(QString(300, u'x')));
    EXPECT_TRUE(reg.loadError().contains(u": cannot read: ")) << reg.loadError().toStdString();
}

} // namespace
} // namespace zarvello
