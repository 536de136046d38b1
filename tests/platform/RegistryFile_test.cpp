#include "platform/RegistryFile.h"
#include "settings/RegistryHive.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

namespace zarvello {
namespace {

using namespace Qt::StringLiterals;
const RegRoot HKLM = RegRoot::LocalMachine;
const QString kZarvello = u"Software\\Zarvello"_s;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

quint32 storedDword(const QString& file, const QString& name)
{
    return RegistryFile(file).open(HKLM, kZarvello).value(name).value_or(RegData{}).toDword();
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
    QString folder = dir.filePath(u"zarvello"_s);
    QString file = folder + u"/registry.reg"_s;

    QStringList folderEntries() const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    }
};

TEST_F(RegistryFileTest, SavesAtCloseUnderTheLockAndKeepsOtherProgramsChanges)
{
    RegistryFile a(file);
    EXPECT_TRUE(a.loadError().isEmpty()) << "a missing file is an empty registry";
    RegistryKey key = a.create(HKLM, kZarvello);
    ASSERT_TRUE(key.setDword(u"In"_s, 1) && key.setString(u"Note"_s, u"C:\\\"x\""_s));
    ASSERT_TRUE(key.close()) << key.errorString().toStdString();
    EXPECT_EQ(readAll(file).toStdString(), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\n"
                                           "\"In\"=dword:00000001\n"
                                           "\"Note\"=\"C:\\\\\\\"x\\\"\"\n\n");
    EXPECT_EQ(folderEntries(), QStringList{u"registry.reg"_s}) << "no lock or temporary file left";

    // b has never seen a's later Top = 2; it writes only what it changed.
    RegistryFile b(file);
    ASSERT_EQ(setAndClose(a, u"Top"_s, 1), QString());
    ASSERT_EQ(setAndClose(b, u"Other"_s, 5), QString());
    ASSERT_EQ(setAndClose(a, u"Top"_s, 2), QString());
    ASSERT_EQ(setAndClose(b, u"In"_s, 3), QString());
    EXPECT_EQ(storedDword(file, u"In"_s), 3U);
    EXPECT_EQ(storedDword(file, u"Top"_s), 2U);
    EXPECT_EQ(b.open(HKLM, kZarvello).value(u"Top"_s)->toDword(), 2U) << "b now has a's saves";

    b.setLockTimeout(200);
    QLockFile other(file + u".lock"_s);
    ASSERT_TRUE(other.tryLock(0));
    EXPECT_TRUE(setAndClose(b, u"In"_s, 4).startsWith(u"cannot lock "));
    EXPECT_EQ(storedDword(file, u"In"_s), 3U);
    other.unlock();
    ASSERT_TRUE(b.open(HKLM, kZarvello).close());
    EXPECT_EQ(storedDword(file, u"In"_s), 4U) << "the change waited for the next save";
    // Replaced by a FIFO during the run: the save neither blocks nor writes.
    ASSERT_TRUE(QFile::remove(file) && mkfifo(QFile::encodeName(file), 0600) == 0);
    EXPECT_TRUE(setAndClose(b, u"In"_s, 5).contains(u"not a regular file (a FIFO), so it is not"));
}

TEST_F(RegistryFileTest, AFileOfExactlyTheSizeLimitReadsAndOneByteMoreDoesNot)
{
    ASSERT_TRUE(QDir().mkpath(folder));
    QByteArray text = "REGEDIT4\n";
    text += QByteArray(RegLimits::FileBytes - text.size(), '\n');
    for (const bool over : {false, true}) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(text + (over ? "\n" : "")) > 0);
        out.close();
        EXPECT_EQ(RegistryFile(file).loadError().isEmpty(), !over) << "one byte over: " << over;
    }
}

// A file that cannot be used is copied aside whole (past the size cap too) and
// replaced only once that copy exists.
TEST_F(RegistryFileTest, AnUnusableFileIsReplacedOnlyOnceItIsCopiedAside)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"C:\\x\"\n" + QByteArray(8192, ';'),
         u":3: bad escape in string"_s},
        {QByteArray(RegLimits::FileBytes + 99999, ';').replace(0, 9, "REGEDIT4\n"),
         u": file larger than 1024 KiB"_s},
    };
    for (const auto& [text, error] : cases) {
        SCOPED_TRACE(error.toStdString());
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(text) == text.size() &&
                    out.flush());
        // The copy fails: in its first write, or past the cap in the part
        // copied from the file itself.
        auto guard = limitFileSize(text.size() - 1000);
        RegistryFile reg(file);
        EXPECT_TRUE(reg.loadError().startsWith(file + error)) << reg.loadError().toStdString();
        EXPECT_TRUE(setAndClose(reg, u"Top"_s, 6).contains(u"cannot be copied aside"));
        EXPECT_EQ(readAll(file), text);
        EXPECT_EQ(folderEntries(), QStringList{u"registry.reg"_s});
        guard.reset();
        for (const quint32 top : {7U, 8U}) {
            EXPECT_EQ(setAndClose(reg, u"Top"_s, top), QString());
        }
        EXPECT_TRUE(QRegularExpression(QRegularExpression::escape(file) + R"(\.bad-\d{8}-\d{6}$)")
                        .match(reg.keptCopyPath())
                        .hasMatch())
            << reg.keptCopyPath().toStdString();
        EXPECT_EQ(readAll(reg.keptCopyPath()), text);
        EXPECT_EQ(storedDword(file, u"Top"_s), 8U);
        EXPECT_EQ(folderEntries().size(), 2) << "one copy, however often it is saved";
        QDir(folder).removeRecursively();
    }
}

// What is not a regular file is never read (a FIFO would block), copied or
// written, and the run saves nothing.
TEST_F(RegistryFileTest, WhatIsNotARegularFileIsLeftAlone)
{
    const QString fifo = dir.filePath(u"fifo"_s);
    ASSERT_TRUE(mkfifo(QFile::encodeName(fifo), 0600) == 0 && QDir().mkpath(folder) &&
                QFile::link(fifo, file));
    RegistryFile reg(file);
    EXPECT_TRUE(reg.loadError().startsWith(file +
                                           u": not a regular file (a symbolic link to a FIFO); "
                                           "the defaults are used and the options of this run "
                                           "will not be saved"_s))
        << reg.loadError().toStdString();
    EXPECT_TRUE(reg.keptCopyPath().isEmpty());
    EXPECT_EQ(reg.copyError(), u"it is not a regular file"_s);
    // The settings save at exit is quietly skipped, as announced; any other
    // save fails and says why.
    RegistryHive hive(reg);
    QString reason;
    ASSERT_TRUE(hive.write(u"Top"_s, 7));
    EXPECT_TRUE(hive.commit(&reason));
    EXPECT_TRUE(setAndClose(reg, u"X"_s, 1).contains(u"not a regular file"));
    EXPECT_EQ(folderEntries(), QStringList{u"registry.reg"_s});
    // A path that cannot be looked at is reported, not taken for a missing file.
    EXPECT_TRUE(
        RegistryFile(dir.filePath(QString(300, u'x'))).loadError().contains(u"cannot read"));
}

} // namespace
} // namespace zarvello
