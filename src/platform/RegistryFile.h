#pragma once

#include "platform/Registry.h"

#include <QByteArray>
#include <QString>

namespace zarvello {

// The registry kept in one REGEDIT4 text file (UTF-8) that people can read,
// edit, diff and import. Read once when made; a save takes the file's lock,
// reads the file again, puts this program's unsaved changes onto what it
// found and replaces the file in one step, so two programs saving at once
// keep each other's keys and a reader never sees half a file.
//
// A file that cannot be used (does not parse, too long, unknown value type)
// is copied aside to "<file>.bad-<date>-<time>" and this registry starts
// empty; the file is replaced only once such a copy exists. A file that
// cannot even be read is never replaced. A path that is not a regular file
// (a FIFO, socket, device or folder, or a link to one) is never read from,
// copied or written: the registry starts empty and saves nothing this run.
class RegistryFile final : public Registry
{
public:
    explicit RegistryFile(QString filePath);

    // registry.reg in the program's XDG config folder.
    [[nodiscard]] static QString defaultFilePath();

    [[nodiscard]] const QString& filePath() const { return filePath_; }
    // "<file>:<line>: <what>" (or "<file>: <what>") for the last time the file
    // could not be used; empty while it always could.
    [[nodiscard]] const QString& loadError() const { return loadError_; }
    // The copy of the last unusable file; empty when none was made.
    [[nodiscard]] const QString& keptCopyPath() const { return keptCopyPath_; }
    // Why no copy was made of the file loadError() is about; empty when one was.
    [[nodiscard]] const QString& copyError() const { return copyError_; }
    // False when the path was not a regular file at start: this run saves nothing.
    [[nodiscard]] bool savesChanges() const override { return !refusesSaves_; }

    // How long a save waits for another program's save to finish.
    void setLockTimeout(int milliseconds) { lockTimeoutMs_ = milliseconds; }

protected:
    bool save(QString* error) override;

private:
    enum class FileState { Missing, Usable, Unusable, Unreadable, NotRegular };
    struct Snapshot
    {
        FileState state = FileState::Missing;
        QByteArray bytes; // no more than one byte past the size limit
        bool oversize = false;
        qint64 size = 0; // of the whole file
        RegNode tree;
        QString error;
    };

    [[nodiscard]] Snapshot readFile() const;
    bool keepCopy(const Snapshot& snapshot, QString* error);

    QString filePath_;
    QString loadError_;
    QString keptCopyPath_;
    QString copyError_;
    bool refusesSaves_ = false;
    // What the last copy holds, so that one bad file is copied once.
    QByteArray keptBytes_;
    qint64 keptSize_ = 0;
    int lockTimeoutMs_ = 5000;
};

} // namespace zarvello
