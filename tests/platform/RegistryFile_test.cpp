#include "platform/RegistryFile.h"
#include "settings/RegistryHive.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
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

std::optional<quint32> storedDword(const QString& file, const QString& path, const QString& name)
{
    RegistryFile reg(file);
    RegistryKey key = reg.open(HKLM, path);
    const std::optional<RegData> v = key.value(name);
    return v && v->isDword() ? std::optional<quint32>(v->toDword()) : std::nullopt;
}

// Writes bigger than `bytes` fail at once (EFBIG), as on a full disk, for root too.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

class RegistryFileTest : public testing::Test
{
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("zarvello/registry.reg"));

    QStringList folderEntries() const
    {
        return QDir(dir.filePath(QStringLiteral("zarvello")))
            .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
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

TEST_F(RegistryFileTest, AnUnusableFileIsCopiedAsideBeforeItIsReplaced)
{
    struct Case
    {
        QByteArray text;
        QString error; // what follows "<file>"
    };
    const QByteArray head =
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\n\"In\"=dword:1\n";
    const std::vector<Case> cases{
        {head + "\"Bad\"=\"C:\\x\"\n", QStringLiteral(":5: bad escape in string")},
        {head + "\"Q\"=qword:01\n", QStringLiteral(":5: unknown value type")},
        {head + "\"Long\"=\"" + QByteArray(70000, 'a') + "\"\n",
         QStringLiteral(":5: line longer than 64 KiB")},
        {"REGEDIT5\n", QStringLiteral(":1: first line is not REGEDIT4")},
    };
    for (const Case& c : cases) {
        QDir(dir.filePath(QStringLiteral("zarvello"))).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("zarvello"))));
        writeAll(file, c.text);

        RegistryFile reg(file);
        EXPECT_TRUE(reg.loadError().startsWith(file + c.error)) << reg.loadError().toStdString();
        EXPECT_TRUE(reg.tree().children().empty()) << "defaults: nothing of the file is used";
        ASSERT_FALSE(reg.keptCopyPath().isEmpty()) << c.error.toStdString();
        EXPECT_TRUE(reg.keptCopyPath().startsWith(file + QStringLiteral(".bad-")));
        EXPECT_EQ(readAll(reg.keptCopyPath()), c.text);
        EXPECT_EQ(readAll(file), c.text) << "loading alone changes nothing";

        RegistryKey key = reg.create(HKLM, kZarvello);
        ASSERT_TRUE(key.setDword(QStringLiteral("Top"), 7));
        ASSERT_TRUE(key.close()) << key.errorString().toStdString();
        EXPECT_EQ(storedDword(file, kZarvello, QStringLiteral("Top")), 7U);
        EXPECT_EQ(storedDword(file, kZarvello, QStringLiteral("In")), std::nullopt);
        EXPECT_EQ(readAll(reg.keptCopyPath()), c.text);
        EXPECT_EQ(folderEntries().size(), 2) << "one copy, however often it is saved";
    }
}

TEST_F(RegistryFileTest, ABadFileThatCannotBeCopiedIsNeverReplaced)
{
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("zarvello"))));
    const QByteArray bad =
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:zz\n" + QByteArray(8192, ';');
    writeAll(file, bad);
    FileSizeLimit limit(4096); // the copy cannot be written

    RegistryFile reg(file);
    EXPECT_EQ(reg.loadError().toStdString(),
              (file + QStringLiteral(":3: bad hex byte")).toStdString());
    EXPECT_TRUE(reg.keptCopyPath().isEmpty());
    RegistryKey key = reg.create(HKLM, kZarvello);
    ASSERT_TRUE(key.setDword(QStringLiteral("In"), 1));
    EXPECT_FALSE(key.close());
    EXPECT_TRUE(key.errorString().contains(QLatin1String("cannot be copied aside")))
        << key.errorString().toStdString();
    EXPECT_EQ(readAll(file), bad);
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("registry.reg")});
}

TEST_F(RegistryFileTest, AFailedSaveLeavesThePreviousFileAndIsReported)
{
    {
        RegistryFile reg(file);
        RegistryKey key = reg.create(HKLM, kZarvello);
        ASSERT_TRUE(key.setDword(QStringLiteral("In"), 1));
        ASSERT_TRUE(key.close());
    }
    const QByteArray before = readAll(file);

    RegistryFile reg(file);
    RegistryKey key = reg.create(HKLM, kZarvello);
    ASSERT_TRUE(key.setValue(QStringLiteral("Big"), {RegType::Binary, QByteArray(8000, 'x')}));
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(key.close());
    }
    EXPECT_TRUE(key.errorString().startsWith(QStringLiteral("cannot write ") + file))
        << key.errorString().toStdString();
    EXPECT_EQ(readAll(file), before);
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("registry.reg")})
        << "the half-written temporary file is gone";

    // The change was kept and goes with the next save that can be made.
    RegistryKey next = reg.open(HKLM, kZarvello);
    ASSERT_TRUE(next.close()) << next.errorString().toStdString();
    RegistryFile after(file);
    EXPECT_EQ(after.open(HKLM, kZarvello).value(QStringLiteral("Big"))->bytes.size(), 8000);
}

TEST_F(RegistryFileTest, ASaveWaitsForTheLockAndFailsWhenItStaysTaken)
{
    RegistryFile reg(file);
    reg.setLockTimeout(200);
    RegistryKey key = reg.create(HKLM, kZarvello);
    ASSERT_TRUE(key.setDword(QStringLiteral("In"), 1));

    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("zarvello"))));
    QLockFile other(file + QStringLiteral(".lock"));
    ASSERT_TRUE(other.tryLock(0));
    EXPECT_FALSE(key.close());
    EXPECT_TRUE(key.errorString().startsWith(QStringLiteral("cannot lock ")))
        << key.errorString().toStdString();
    EXPECT_FALSE(QFile::exists(file));
    other.unlock();

    ASSERT_TRUE(reg.create(HKLM, kZarvello).close());
    EXPECT_EQ(storedDword(file, kZarvello, QStringLiteral("In")), 1U);
}

TEST_F(RegistryFileTest, TwoProgramsSavingKeepEachOthersChanges)
{
    RegistryFile a(file);
    RegistryFile b(file);
    RegistryKey ka = a.create(HKLM, kZarvello);
    ASSERT_TRUE(ka.setDword(QStringLiteral("Left"), 1));
    ASSERT_TRUE(ka.setDword(QStringLiteral("Top"), 1));
    ASSERT_TRUE(ka.close());

    RegistryKey kb =
        b.create(HKLM, QStringLiteral("System\\CurrentControlSet\\Services\\VxD\\MSTCP"));
    ASSERT_TRUE(kb.setString(QStringLiteral("DefaultTTL"), QStringLiteral("128")));
    ASSERT_TRUE(kb.close());

    // b has never seen a's Top = 1; it writes only what it changed.
    ka = a.create(HKLM, kZarvello);
    ASSERT_TRUE(ka.setDword(QStringLiteral("Top"), 2));
    ASSERT_TRUE(ka.close());
    kb = b.create(HKLM, kZarvello);
    ASSERT_TRUE(kb.setDword(QStringLiteral("Left"), 3));
    ASSERT_TRUE(kb.close());

    EXPECT_EQ(storedDword(file, kZarvello, QStringLiteral("Left")), 3U);
    EXPECT_EQ(storedDword(file, kZarvello, QStringLiteral("Top")), 2U);
    RegistryFile c(file);
    EXPECT_EQ(c.open(HKLM, QStringLiteral("System\\CurrentControlSet\\Services\\VxD\\MSTCP"))
                  .value(QStringLiteral("DefaultTTL"))
                  ->toText(),
              QStringLiteral("128"));
    EXPECT_TRUE(b.open(HKLM, kZarvello).value(QStringLiteral("Top")).has_value())
        << "a save also brings in what the others saved";
}

TEST_F(RegistryFileTest, SavesRacingFromTwoThreadsLoseNothing)
{
    constexpr int kSaves = 25;
    auto saver = [this](const QString& prefix) {
        RegistryFile reg(file);
        reg.setLockTimeout(30000);
        for (int i = 0; i < kSaves; ++i) {
            RegistryKey key = reg.create(HKLM, kZarvello);
            key.setDword(prefix + QString::number(i), static_cast<quint32>(i));
            if (!key.close()) {
                ADD_FAILURE() << key.errorString().toStdString();
            }
        }
    };
    std::thread first(saver, QStringLiteral("a"));
    std::thread second(saver, QStringLiteral("b"));
    first.join();
    second.join();

    RegistryFile reg(file);
    EXPECT_EQ(reg.open(HKLM, kZarvello).valueNames().size(), 2 * kSaves);
}

// Files past a cap are set aside whole; what is not a regular file is never
// read (a FIFO would block), copied or written, and the run saves nothing.
TEST_F(RegistryFileTest, HostileFilesCostLittleAndAreReportedAsWhatTheyAre)
{
    auto lines = [](int count, const char* pattern) {
        QByteArray text = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n";
        for (int i = 0; i < count; ++i) {
            text += QByteArray(pattern).replace("%", QByteArray::number(i)) + '\n';
        }
        return text;
    };
    QByteArray deep = "REGEDIT4\n[HKEY_LOCAL_MACHINE";
    for (int i = 0; i <= RegLimits::KeyDepth; ++i) {
        deep += "\\k" + QByteArray::number(i);
    }
    deep += "]\n";
    const QString elsewhere = dir.filePath(QStringLiteral("dotfiles.reg"));
    writeAll(elsewhere, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\n\"In\"=dword:1\n");

    struct Case
    {
        QByteArray text; // written to the file when `make` is empty
        std::function<bool(const QString&)> make;
        QString error; // what follows "<file>"; empty: the file is fine
        bool regular;
    };
    const std::vector<Case> cases{
        {deep, {}, QStringLiteral(":2: key path deeper than 64 levels"), true},
        {lines(RegLimits::Keys - 1, "[HKEY_LOCAL_MACHINE\\k%]"),
         {},
         QStringLiteral(":10001: more than 10000 keys"),
         true},
        {lines(RegLimits::Values + 1, "\"v%\"=dword:1"),
         {},
         QStringLiteral(":10003: more than 10000 values"),
         true},
        {QByteArray(RegLimits::FileBytes + 99999, ';').replace(0, 9, "REGEDIT4\n"),
         {},
         QStringLiteral(": file larger than 1024 KiB"),
         true},
        {{},
         [](const QString& f) { return mkfifo(QFile::encodeName(f), 0600) == 0; },
         QStringLiteral(": not a regular file (a FIFO)"),
         false},
        {{},
         [](const QString& f) { return QDir().mkpath(f); },
         QStringLiteral(": not a regular file (a directory)"),
         false},
        // A zero device of the test's own: a faulty save must not replace the system's.
        {{},
         [&](const QString& f) {
             const QString zero = dir.filePath(QStringLiteral("zero"));
             return (QFile::exists(zero) || mknod(QFile::encodeName(zero).constData(),
                                                  S_IFCHR | 0666, makedev(1, 5)) == 0) &&
                    QFile::link(zero, f);
         },
         QStringLiteral(": not a regular file (a symbolic link to a character device)"),
         false},
        {{}, [&](const QString& f) { return QFile::link(elsewhere, f); }, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error.isEmpty() ? "link to a regular file" : c.error.toStdString());
        QDir(dir.filePath(QStringLiteral("zarvello"))).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("zarvello"))));
        if (c.make) {
            ASSERT_TRUE(c.make(file));
        } else {
            writeAll(file, c.text);
        }
        const QFileInfo before(file);

        RegistryFile reg(file);
        RegistryHive hive(reg);
        if (c.error.isEmpty()) {
            EXPECT_TRUE(reg.loadError().isEmpty()) << reg.loadError().toStdString();
            EXPECT_EQ(hive.read(QStringLiteral("In")).value, 1);
            ASSERT_TRUE(hive.write(QStringLiteral("Top"), 7));
            QString reason;
            EXPECT_TRUE(hive.commit(&reason)) << reason.toStdString();
            EXPECT_TRUE(QFileInfo(file).isSymLink()) << "the link is kept";
            EXPECT_EQ(storedDword(elsewhere, kZarvello, QStringLiteral("Top")), 7U);
            // Replaced by a FIFO during the run: the save neither blocks nor writes.
            ASSERT_TRUE(QFile::remove(file));
            ASSERT_EQ(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
            ASSERT_TRUE(hive.write(QStringLiteral("Top"), 8));
            EXPECT_FALSE(hive.commit(&reason));
            EXPECT_TRUE(reason.contains(QLatin1String("not a regular file (a FIFO)")))
                << reason.toStdString();
            continue;
        }
        EXPECT_TRUE(reg.loadError().startsWith(file + c.error)) << reg.loadError().toStdString();
        EXPECT_TRUE(reg.tree().children().empty()) << "defaults: nothing of the file is used";
        if (c.regular) {
            ASSERT_FALSE(reg.keptCopyPath().isEmpty());
            EXPECT_EQ(readAll(reg.keptCopyPath()), c.text) << "the whole file, past the cap too";
            ASSERT_TRUE(hive.write(QStringLiteral("Top"), 7));
            QString reason;
            EXPECT_TRUE(hive.commit(&reason)) << reason.toStdString();
            EXPECT_EQ(storedDword(file, kZarvello, QStringLiteral("Top")), 7U);
            continue;
        }
        EXPECT_TRUE(reg.keptCopyPath().isEmpty());
        EXPECT_FALSE(reg.copyError().isEmpty()) << "the message says no copy was made";
        EXPECT_TRUE(reg.loadError().contains(QLatin1String("will not be saved")));
        // The settings save at exit is quietly skipped, as announced; any other
        // save fails and says why.
        ASSERT_TRUE(hive.write(QStringLiteral("Top"), 7));
        QString reason;
        EXPECT_TRUE(hive.commit(&reason));
        RegistryKey key = reg.create(HKLM, QStringLiteral("Other"));
        EXPECT_FALSE(key.close());
        EXPECT_TRUE(key.errorString().contains(QLatin1String("not a regular file")))
            << key.errorString().toStdString();
        const QFileInfo after(file);
        EXPECT_EQ(after.isSymLink(), before.isSymLink());
        EXPECT_EQ(after.isDir(), before.isDir());
        EXPECT_EQ(after.isFile(), before.isFile());
        EXPECT_EQ(
            QDir(dir.filePath(QStringLiteral("zarvello")))
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("registry.reg")})
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

} // namespace
} // namespace zarvello
