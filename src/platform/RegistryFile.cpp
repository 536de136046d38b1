#include "platform/RegistryFile.h"

#include "core/XdgPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zarvello {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode)) {
        return QStringLiteral("a directory");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("a FIFO");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("a socket");
    }
    if (S_ISCHR(mode)) {
        return QStringLiteral("a character device");
    }
    if (S_ISBLK(mode)) {
        return QStringLiteral("a block device");
    }
    return QStringLiteral("not a regular file");
}

// Reads up to `limit` bytes; false, with errno, when a read fails.
bool readUpTo(int fd, qsizetype limit, QByteArray* out)
{
    out->resize(limit);
    qsizetype done = 0;
    while (done < limit) {
        const ssize_t n = ::read(fd, out->data() + done, static_cast<size_t>(limit - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    out->resize(done);
    return true;
}

// Appends the bytes of the file at `path` from `offset` on to `to`, as long
// as it is still the regular file of `size` bytes that was read.
bool appendRest(const QString& path, qint64 offset, qint64 size, QFile& to, QString* why)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info = {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != size ||
        ::lseek(fd, offset, SEEK_SET) != offset) {
        *why = QStringLiteral("%1 changed while it was copied").arg(path);
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    QByteArray chunk;
    qint64 done = offset;
    while (done < size && readUpTo(fd, qsizetype{64} * 1024, &chunk) && !chunk.isEmpty()) {
        if (to.write(chunk) != chunk.size()) {
            ::close(fd);
            return false; // the caller names the write's error
        }
        done += chunk.size();
    }
    ::close(fd);
    if (done != size) {
        *why = QStringLiteral("%1 changed while it was copied").arg(path);
        return false;
    }
    return true;
}

QString lockErrorText(QLockFile::LockError error)
{
    switch (error) {
    case QLockFile::NoError:
        return QStringLiteral("no error");
    case QLockFile::LockFailedError:
        return QStringLiteral("another program holds it");
    case QLockFile::PermissionError:
        return QStringLiteral("Permission denied");
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
    case FileState::Unusable:
        loadError_ = snapshot.error;
        // Kept now, so the copy exists whatever happens later; should it fail,
        // the next save tries again and will not replace the file without it.
        keepCopy(snapshot, &copyError_);
        break;
    case FileState::Unreadable:
        loadError_ = snapshot.error;
        copyError_ = QStringLiteral("it cannot be read");
        break;
    case FileState::NotRegular:
        loadError_ = snapshot.error +
                     QStringLiteral("; the defaults are used and the options of this run will "
                                    "not be saved");
        copyError_ = QStringLiteral("it is not a regular file");
        refusesSaves_ = true;
        break;
    }
}

QString RegistryFile::defaultFilePath()
{
    return XdgPaths::configFolder() + QStringLiteral("/registry.reg");
}

RegistryFile::Snapshot RegistryFile::readFile() const
{
    Snapshot snapshot;
    const QByteArray path = QFile::encodeName(filePath_);
    auto unreadable = [&](int error) {
        snapshot.state = FileState::Unreadable;
        snapshot.error = QStringLiteral("%1: cannot read: %2").arg(filePath_, systemError(error));
        return snapshot;
    };
    // Anything but a regular file could block the read (a FIFO) or never end
    // (a device), so the type is known before anything is opened.
    auto notRegular = [&](mode_t mode) {
        struct stat linkInfo = {};
        const bool viaLink = ::lstat(path.constData(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode);
        snapshot.state = FileState::NotRegular;
        snapshot.error =
            QStringLiteral("%1: not a regular file (%2%3)")
                .arg(filePath_, viaLink ? QStringLiteral("a symbolic link to ") : QString(),
                     kindOf(mode));
        return snapshot;
    };
    struct stat info = {};
    if (::stat(path.constData(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? snapshot : unreadable(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return notRegular(info.st_mode);
    }
    // Non-blocking and checked again once open: the path may have been
    // replaced since.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return unreadable(errno);
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = errno;
        ::close(fd);
        return S_ISREG(info.st_mode) ? unreadable(error) : notRegular(info.st_mode);
    }
    // One byte past the limit is enough to know the file is too long.
    const bool complete = readUpTo(fd, RegLimits::FileBytes + 1, &snapshot.bytes);
    const int readError = errno;
    ::close(fd);
    if (!complete) {
        snapshot.bytes.clear();
        return unreadable(readError);
    }
    snapshot.size = info.st_size;
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
    const qint64 size = snapshot.oversize ? snapshot.size : snapshot.bytes.size();
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
        QFile copy(candidate);
        if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFile::exists(candidate)) {
                continue; // someone else's copy, made just now
            }
            *error = QStringLiteral("cannot create %1: %2").arg(candidate, copy.errorString());
            return false;
        }
        QString why;
        bool written = copy.write(snapshot.bytes) == snapshot.bytes.size();
        if (written && snapshot.oversize) {
            // Only the start of it was read: the rest comes from the file itself.
            written = appendRest(filePath_, snapshot.bytes.size(), size, copy, &why);
        }
        written = written && copy.flush();
        copy.close();
        if (!written || copy.error() != QFileDevice::NoError) {
            *error = why.isEmpty()
                         ? QStringLiteral("cannot write %1: %2").arg(candidate, copy.errorString())
                         : why;
            copy.remove();
            return false;
        }
        keptCopyPath_ = candidate;
        copyError_.clear();
        keptBytes_ = snapshot.bytes;
        keptSize_ = size;
        return true;
    }
    *error = QStringLiteral("cannot find a free name for a copy of %1").arg(filePath_);
    return false;
}

bool RegistryFile::save(QString* error)
{
    if (refusesSaves_) {
        *error = QStringLiteral("%1 was not a regular file at start, so nothing is saved in "
                                "this run")
                     .arg(filePath_);
        return false;
    }
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
    case FileState::NotRegular:
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
