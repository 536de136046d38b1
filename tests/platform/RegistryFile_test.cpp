#include "platform/RegistryFile.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zarvello {
namespace {

using namespace Qt::StringLiterals;
const QString kZarvello = u"HKEY_LOCAL_MACHINE\\Software\\Zarvello"_s;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Saves one dword under Software\Zarvello; the error, if any.
QString setAndSave(RegistryFile& reg, const QString& name, quint32 value)
{
    QString error;
    reg.setValue(kZarvello, name, RegData::dword(value));
    return reg.save(&error) ? QString() : error;
}

// Writes bigger than `bytes` fail at once (EFBIG), as on a full disk, for root
// too, until the returned guard goes.
std::shared_ptr<void> limitFileSize(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending the program
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limited{bytes, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limited);
    return {nullptr, [=](void*) { setrlimit(RLIMIT_FSIZE, &saved); }};
}

class RegistryFileTest : public testing::Test
{
protected:
    QTemporaryDir dir;
    QString folder = dir.filePath(u"zarvello"_s);
    QString file = folder + u"/registry.reg"_s;

    // Writes the file as another program would.
    bool put(const QByteArray& text) const
    {
        QFile out(file);
        return QDir().mkpath(folder) && out.open(QIODevice::WriteOnly) &&
               out.write(text) == text.size() && out.flush();
    }
    QStringList folderEntries() const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    }
};

TEST_F(RegistryFileTest, KeepsEveryValueAndKeyAndTheChangesOfAnotherProgram)
{
    RegistryFile a(file);
    EXPECT_TRUE(a.loadError().isEmpty()) << "a missing file is an empty registry";
    EXPECT_EQ(setAndSave(a, u"In"_s, 1), QString());
    EXPECT_EQ(folderEntries(), QStringList{u"registry.reg"_s}) << "no lock or temporary file left";

    // Names QSettings would take apart, types it does not know, and a key
    // with nothing in it, written by another program meanwhile: kept byte for byte.
    const QByteArray other =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\X]\n\"\"=dword:00000002\n\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Zarvello]\n@=\"C:\\\\\\\"x\\\"\"\n"
        "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\\\n"
        "  15,16,17,18,19,1a,1b,1c,1d\n"
        "\"In\"=dword:00000009\n\"a/b\\\\c%2F\"=hex(7):61,00,00\n\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Zarvello\\Empty/Key]\n\n";
    ASSERT_TRUE(put(other));
    EXPECT_EQ(setAndSave(a, u"top"_s, 2), QString());
    EXPECT_EQ(readAll(file).toStdString(),
              QByteArray(other)
                  .replace("\"\"=", "@=")
                  .replace("00,00\n", "00,00\n\"top\"=dword:00000002\n")
                  .toStdString());
    // Names ignore case and keep the spelling they have.
    RegistryFile b(file);
    EXPECT_EQ(setAndSave(b, u"IN"_s, 3), QString());
    EXPECT_TRUE(readAll(file).contains("\"In\"=dword:00000003"));
    EXPECT_EQ(b.valueNames(kZarvello),
              (QStringList{u""_s, u"Blob"_s, u"In"_s, u"a/b\\c%2F"_s, u"top"_s}));
    EXPECT_EQ(b.subkeyNames(kZarvello.toLower()), QStringList{u"Empty/Key"_s});
    EXPECT_TRUE(b.hasKey(kZarvello + u"\\empty/key"_s) && !b.hasKey(kZarvello + u"\\Empty"_s));
    EXPECT_EQ(b.value(kZarvello, u"A/B\\C%2f"_s), (RegData{7, QByteArray("a\0\0", 3)}));

    // Damaged by another program during the run: kept aside, then replaced.
    ASSERT_TRUE(put("garbage\n"));
    EXPECT_EQ(setAndSave(b, u"In"_s, 4), QString());
    EXPECT_TRUE(readAll(file).contains("\"In\"=dword:00000004"));
    EXPECT_EQ(readAll(b.keptCopyPath()), "garbage\n");
    // Replaced by a FIFO during the run: the save neither blocks nor writes.
    ASSERT_TRUE(QFile::remove(file) && mkfifo(QFile::encodeName(file), 0600) == 0);
    EXPECT_TRUE(setAndSave(b, u"In"_s, 5).contains(u"not a regular file (a FIFO), so it is not"));
}

// Two programs saving at once, each a new value every time: none is lost.
TEST_F(RegistryFileTest, TwoProgramsSavingAtOnceKeepEachOthersValues)
{
    const pid_t child = fork();
    RegistryFile reg(file);
    int saved = 0;
    while (saved < 25 &&
           setAndSave(reg, (child == 0 ? u"c"_s : u"p"_s) + QString::number(saved), 1).isEmpty()) {
        ++saved;
    }
    if (child == 0) {
        _exit(saved == 25 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(saved == 25 && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(RegistryFile(file).valueNames(kZarvello).size(), 50);
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
        ASSERT_TRUE(put(text));
        // The copy fails: in its first write, or past the cap in the part
        // copied from the file itself.
        auto guard = limitFileSize(text.size() - 1000);
        RegistryFile reg(file);
        EXPECT_TRUE(reg.loadError().startsWith(file + error)) << reg.loadError().toStdString();
        EXPECT_TRUE(setAndSave(reg, u"Top"_s, 6).contains(u"cannot be copied aside"));
        EXPECT_EQ(readAll(file), text);
        EXPECT_EQ(folderEntries(), QStringList{u"registry.reg"_s});
        guard.reset();
        EXPECT_EQ(setAndSave(reg, u"Next"_s, 8) + setAndSave(reg, u"Next"_s, 9), QString());
        EXPECT_TRUE(readAll(file).contains("\"Top\"=dword:00000006")) << "kept for the next save";
        EXPECT_TRUE(reg.keptCopyPath().startsWith(file + u".bad-"_s))
            << reg.keptCopyPath().toStdString();
        EXPECT_EQ(readAll(reg.keptCopyPath()), text);
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
    EXPECT_EQ(reg.copyError(), u"it is not a regular file"_s);
    // The settings save at exit is quietly skipped, as announced; any other
    // save fails and says why.
    SettingsHive hive(reg);
    QString reason;
    hive.write(u"Top"_s, 7);
    EXPECT_TRUE(hive.commit(&reason));
    EXPECT_TRUE(setAndSave(reg, u"X"_s, 1).contains(u"not a regular file"));
    EXPECT_EQ(folderEntries(), QStringList{u"registry.reg"_s});
    // A path that cannot be looked at is reported, not taken for a missing file.
    EXPECT_TRUE(
        RegistryFile(dir.filePath(QString(300, u'x'))).loadError().contains(u"cannot read"));
}

} // namespace
} // namespace zarvello
