#include "platform/RegistryFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <utility>

namespace zarvello {

namespace {

QString lockErrorText(QLockFile::LockError error)
{
    switch (error) {
    case QLockFile::NoError:
        return QStringLiteral("no error");
    case QLockFile::LockFailedError:
        return QStringLiteral("another program holds it");
    case QLockFile::PermissionError:
        return QStringLiteral("permission denied");
    case QLockFile::UnknownError:
        break;
    }
    return QStringLiteral("unknown error");
}

} // namespace

RegistryFile::RegistryFile(QString filePath) : filePath_(std::move(filePath))
{
    Snapshot snapshot = readFile();
    switch (snapshot.state) {
    case FileState::Missing:
        break;
    case FileState::Usable:
        replaceTree(std::move(snapshot.tree));
        break;
    case FileState::Unusable: {
        loadError_ = snapshot.error;
        // Kept now, so the copy exists whatever happens later; should it fail,
        // the next save tries again and will not replace the file without it.
        QString ignored;
        keepCopy(snapshot, &ignored);
        break;
    }
    case FileState::Unreadable:
        loadError_ = snapshot.error;
        break;
    }
}

QString RegistryFile::defaultFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/zarvello/registry.reg");
}

RegistryFile::Snapshot RegistryFile::readFile() const
{
    Snapshot snapshot;
    QFile file(filePath_);
    if (!file.exists()) {
        return snapshot;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        snapshot.state = FileState::Unreadable;
        snapshot.error = QStringLiteral("%1: cannot read: %2").arg(filePath_, file.errorString());
        return snapshot;
    }
    // One byte past the limit is enough to know the file is too long.
    snapshot.bytes = file.read(RegLimits::FileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        snapshot.state = FileState::Unreadable;
        snapshot.error = QStringLiteral("%1: cannot read: %2").arg(filePath_, file.errorString());
        snapshot.bytes.clear();
        return snapshot;
    }
    snapshot.oversize = snapshot.bytes.size() > RegLimits::FileBytes;
    RegParseResult parsed = parseRegFile(snapshot.bytes);
    if (!parsed.ok()) {
        snapshot.state = FileState::Unusable;
        snapshot.error =
            parsed.errorLine > 0
                ? QStringLiteral("%1:%2: %3").arg(filePath_).arg(parsed.errorLine).arg(parsed.error)
                : QStringLiteral("%1: %2").arg(filePath_, parsed.error);
        return snapshot;
    }
    snapshot.state = FileState::Usable;
    snapshot.tree = std::move(parsed.tree);
    return snapshot;
}

bool RegistryFile::keepCopy(const Snapshot& snapshot, QString* error)
{
    const qint64 size = snapshot.oversize ? QFileInfo(filePath_).size() : snapshot.bytes.size();
    if (!keptCopyPath_.isEmpty() && snapshot.bytes == keptBytes_ && size == keptSize_ &&
        QFile::exists(keptCopyPath_)) {
        return true;
    }
    const QString stem = filePath_ + QStringLiteral(".bad-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1; n <= 100; ++n) {
        const QString candidate = n == 1 ? stem : QStringLiteral("%1-%2").arg(stem).arg(n);
        if (QFile::exists(candidate)) {
            continue;
        }
        if (snapshot.oversize) {
            // Only the start of it was read; copy the file itself. Like
            // NewOnly below, QFile::copy never writes over an existing file.
            QFile original(filePath_);
            if (!original.copy(candidate)) {
                *error =
                    QStringLiteral("cannot copy to %1: %2").arg(candidate, original.errorString());
                return false;
            }
        } else {
            QFile copy(candidate);
            if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                if (QFile::exists(candidate)) {
                    continue; // someone else's copy, made just now
                }
                *error = QStringLiteral("cannot create %1: %2").arg(candidate, copy.errorString());
                return false;
            }
            const bool written =
                copy.write(snapshot.bytes) == snapshot.bytes.size() && copy.flush();
            copy.close();
            if (!written || copy.error() != QFileDevice::NoError) {
                *error = QStringLiteral("cannot write %1: %2").arg(candidate, copy.errorString());
                copy.remove();
                return false;
            }
        }
        keptCopyPath_ = candidate;
        keptBytes_ = snapshot.bytes;
        keptSize_ = size;
        return true;
    }
    *error = QStringLiteral("cannot find a free name for a copy of %1").arg(filePath_);
    return false;
}

bool RegistryFile::save(QString* error)
{
    const QFileInfo info(filePath_);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    QLockFile lock(filePath_ + QStringLiteral(".lock"));
    if (!lock.tryLock(lockTimeoutMs_)) {
        *error =
            QStringLiteral("cannot lock %1.lock: %2").arg(filePath_, lockErrorText(lock.error()));
        return false;
    }

    // What is there now, which may hold another program's saves since ours.
    Snapshot current = readFile();
    RegNode tree;
    switch (current.state) {
    case FileState::Missing:
        break;
    case FileState::Usable:
        tree = std::move(current.tree);
        break;
    case FileState::Unusable: {
        loadError_ = current.error;
        QString why;
        if (!keepCopy(current, &why)) {
            *error = QStringLiteral("%1 (%2), and it cannot be copied aside, so it is not "
                                    "replaced: %3")
                         .arg(filePath_, current.error, why);
            return false;
        }
        break;
    }
    case FileState::Unreadable:
        loadError_ = current.error;
        *error = QStringLiteral("%1, so it is not replaced").arg(current.error);
        return false;
    }

    applyPendingChanges(tree);
    const QByteArray text = writeRegFile(tree);
    // Never leave a file behind that the next start could not read.
    const RegParseResult check = parseRegFile(text);
    if (!check.ok()) {
        *error = QStringLiteral("%1: the changes would not read back (line %2: %3)")
                     .arg(filePath_)
                     .arg(check.errorLine)
                     .arg(check.error);
        return false;
    }

    QSaveFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(filePath_, file.errorString());
        return false;
    }
    if (file.write(text) != text.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(filePath_, file.errorString());
        file.cancelWriting();
        return false;
    }
    replaceTree(std::move(tree));
    clearPendingChanges();
    return true;
}

} // namespace zarvello
