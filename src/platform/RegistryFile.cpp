#include "platform/RegistryFile.h"

#include "core/XdgPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QHash>
#include <QMutex>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvello {

namespace {

// QSettings keys are "/"-separated and drop empty parts, while a key or value
// name may hold "/" or be empty (the default value): each part is percent-encoded.
constexpr QLatin1StringView kEmptyName("%");
// Stands for a key that has neither values nor subkeys, so that it is kept.
constexpr QLatin1StringView kKeyItself("%%");

QString escaped(const QString& name)
{
    return name.isEmpty() ? kEmptyName : QString::fromLatin1(QUrl::toPercentEncoding(name));
}

QString unescaped(const QString& part)
{
    return part == kEmptyName ? QString() : QUrl::fromPercentEncoding(part.toLatin1());
}

bool sameName(const QString& stored, const QString& name)
{
    return unescaped(stored).toCaseFolded() == name.toCaseFolded();
}

void flatten(const RegNode& node, const QString& prefix, QSettings::SettingsMap& map)
{
    for (const RegValue& v : node.values()) {
        map.insert(prefix + escaped(v.name), QVariant::fromValue(RegData{v.type, v.data}));
    }
    if (node.values().empty() && node.children().empty()) {
        map.insert(prefix + kKeyItself, QVariant::fromValue(RegData{}));
    }
    for (const RegNode& child : node.children()) {
        flatten(child, prefix + escaped(child.name()) + u'/', map);
    }
}

RegNode unflatten(const QSettings::SettingsMap& map)
{
    RegNode tree;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        QStringList parts = it.key().split(u'/');
        const QString last = parts.takeLast();
        RegNode* node = &tree;
        for (const QString& part : parts) {
            node = &node->ensureChild(unescaped(part));
        }
        if (last != kKeyItself) {
            const auto data = it.value().value<RegData>();
            node->setValue(unescaped(last), data.type, data.bytes);
        }
    }
    return tree;
}

QString kindOf(mode_t mode)
{
    static constexpr std::pair<mode_t, const char*> kKinds[] = {
        {S_IFDIR, "a directory"},        {S_IFIFO, "a FIFO"},         {S_IFSOCK, "a socket"},
        {S_IFCHR, "a character device"}, {S_IFBLK, "a block device"},
    };
    for (const auto& [type, kind] : kKinds) {
        if ((mode & S_IFMT) == type) {
            return QLatin1String(kind);
        }
    }
    return QStringLiteral("not a regular file");
}

enum class FileState { Missing, Usable, Unusable, Unreadable, NotRegular };

// The file at a path as it is now, read without blocking.
struct Snapshot
{
    FileState state = FileState::Missing;
    QByteArray bytes; // no more than one byte past the size limit
    qint64 size = 0;  // of the whole file
    QString error;
};

Snapshot inspect(const QString& path)
{
    Snapshot snapshot;
    const QByteArray name = QFile::encodeName(path);
    const auto fail = [&](FileState state, const QString& error) {
        snapshot.state = state;
        snapshot.error = error;
        return snapshot;
    };
    const auto unreadable = [&](int error) {
        return fail(FileState::Unreadable,
                    QStringLiteral("%1: cannot read: %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    };
    // Anything but a regular file could block the read (a FIFO) or never end
    // (a device), so the type is known before anything is opened.
    const auto notRegular = [&](mode_t mode) {
        struct stat link = {};
        const bool viaLink = ::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode);
        return fail(FileState::NotRegular,
                    QStringLiteral("%1: not a regular file (%2%3)")
                        .arg(path, viaLink ? QStringLiteral("a symbolic link to ") : QString(),
                             kindOf(mode)));
    };
    struct stat info = {};
    if (::stat(name.constData(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? snapshot : unreadable(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return notRegular(info.st_mode);
    }
    // Non-blocking and checked again once open: the path may have been replaced since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return unreadable(errno);
    }
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return S_ISREG(info.st_mode) ? unreadable(errno) : notRegular(info.st_mode);
    }
    // One byte past the limit is enough to know the file is too long.
    snapshot.bytes = file.read(RegLimits::FileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        return unreadable(EIO);
    }
    snapshot.size = info.st_size;
    const RegParseResult parsed = parseRegFile(snapshot.bytes);
    if (!parsed.ok()) {
        return fail(
            FileState::Unusable,
            parsed.errorLine > 0
                ? QStringLiteral("%1:%2: %3").arg(path).arg(parsed.errorLine).arg(parsed.error)
                : QStringLiteral("%1: %2").arg(path, parsed.error));
    }
    snapshot.state = FileState::Usable;
    return snapshot;
}

// What this program did about the file at a path, across the QSettings that
// open it: the read and write functions only get the open file.
struct FileRecord
{
    QString keptCopy;     // the copy of the unusable file, if one was made
    QByteArray keptBytes; // the start of what it holds, to copy one file once
    qint64 keptSize = 0;
};

struct Records
{
    QMutex mutex;
    QHash<QString, FileRecord> byPath;
};
Records& records()
{
    static Records all;
    return all;
}

// Appends the file at `path` to `to`, as long as it is still the regular file
// of `size` bytes that was read.
bool copyFile(const QString& path, qint64 size, QFile& to)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    QFile from;
    from.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != size) {
        return false;
    }
    qint64 done = 0;
    for (QByteArray chunk; done < size; done += chunk.size()) {
        chunk = from.read(qint64{64} * 1024);
        if (chunk.isEmpty() || to.write(chunk) != chunk.size()) {
            break;
        }
    }
    return done == size;
}

// Copies the file to "<file>.bad-<date>-<time>", once for each unusable content.
bool keepCopy(const QString& path, const Snapshot& snapshot, QString* error)
{
    const QMutexLocker lock(&records().mutex);
    FileRecord& record = records().byPath[path];
    if (!record.keptCopy.isEmpty() && record.keptBytes == snapshot.bytes &&
        record.keptSize == snapshot.size && QFile::exists(record.keptCopy)) {
        return true;
    }
    const QString stem = path + QStringLiteral(".bad-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1; n <= 100; ++n) {
        const QString candidate = n == 1 ? stem : QStringLiteral("%1-%2").arg(stem).arg(n);
        QFile copy(candidate);
        if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFile::exists(candidate)) {
                continue; // someone else's copy
            }
            *error = QStringLiteral("cannot create %1: %2").arg(candidate, copy.errorString());
            return false;
        }
        const bool written = copyFile(path, snapshot.size, copy) && copy.flush();
        copy.close();
        if (!written || copy.error() != QFileDevice::NoError) {
            *error = copy.error() != QFileDevice::NoError
                         ? QStringLiteral("cannot write %1: %2").arg(candidate, copy.errorString())
                         : QStringLiteral("%1 changed while it was copied").arg(path);
            copy.remove();
            return false;
        }
        record = {candidate, snapshot.bytes, snapshot.size};
        return true;
    }
    *error = QStringLiteral("cannot find a free name for a copy of %1").arg(path);
    return false;
}

// Whether the file at `path` may be replaced now; why not in `refusal`.
bool mayReplace(const QString& path, QString* refusal)
{
    const Snapshot now = inspect(path);
    switch (now.state) {
    case FileState::Missing:
    case FileState::Usable:
        return true;
    case FileState::Unusable: {
        QString why;
        if (keepCopy(path, now, &why)) {
            return true;
        }
        *refusal =
            QStringLiteral("%1 (%2), and it cannot be copied aside, so it is not replaced: %3")
                .arg(path, now.error, why);
        return false;
    }
    case FileState::Unreadable:
    case FileState::NotRegular:
        break;
    }
    *refusal = QStringLiteral("%1, so it is not replaced").arg(now.error);
    return false;
}

bool readRegSettings(QIODevice& device, QSettings::SettingsMap& map)
{
    const RegParseResult parsed = parseRegFile(device.read(RegLimits::FileBytes + 1));
    for (const RegNode& root : parsed.tree.children()) {
        flatten(root, escaped(root.name()) + u'/', map);
    }
    return parsed.ok();
}

// Runs under QSettings' lock, after it read the file again.
bool writeRegSettings(QIODevice& device, const QSettings::SettingsMap& map)
{
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    const QByteArray text = writeRegFile(unflatten(map));
    QString refusal;
    // Never leave a file behind that the next start could not read.
    return file != nullptr && parseRegFile(text).ok() && mayReplace(file->fileName(), &refusal) &&
           device.write(text) == text.size();
}

} // namespace

RegistryFile::RegistryFile(QString filePath) : filePath_(std::move(filePath))
{
    const Snapshot snapshot = inspect(filePath_);
    switch (snapshot.state) {
    case FileState::Missing:
    case FileState::Usable:
        break;
    case FileState::Unusable:
        loadError_ = snapshot.error;
        // Kept now, so the copy exists whatever happens later; should it fail,
        // the next save tries again and will not replace the file without it.
        keepCopy(filePath_, snapshot, &copyError_);
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
        return;
    }
    settings_ = std::make_unique<QSettings>(filePath_, format());
}

RegistryFile::~RegistryFile() = default;

QString RegistryFile::defaultFilePath()
{
    return XdgPaths::configFolder() + QStringLiteral("/registry.reg");
}

QSettings::Format RegistryFile::format()
{
    // Qt 6 ignores the case sensitivity of a custom format: lookups here fold case.
    static const QSettings::Format registered = QSettings::registerFormat(
        QStringLiteral("reg"), readRegSettings, writeRegSettings, Qt::CaseInsensitive);
    return registered;
}

QString RegistryFile::keptCopyPath() const
{
    const QMutexLocker lock(&records().mutex);
    return records().byPath.value(filePath_).keptCopy;
}

QString RegistryFile::storedKey(const QStringList& parts, bool endsInValue, bool* exists) const
{
    QString key;
    *exists = settings_ != nullptr;
    for (qsizetype i = 0; i < parts.size() && settings_ != nullptr; ++i) {
        settings_->beginGroup(key);
        const QStringList names = endsInValue && i + 1 == parts.size() ? settings_->childKeys()
                                                                       : settings_->childGroups();
        settings_->endGroup();
        const auto it = std::find_if(names.cbegin(), names.cend(), [&](const QString& n) {
            return n != kKeyItself && sameName(n, parts[i]);
        });
        *exists = *exists && it != names.cend();
        key += (i == 0 ? QString() : QStringLiteral("/")) +
               (it != names.cend() ? *it : escaped(parts[i]));
    }
    return key;
}

bool RegistryFile::hasKey(const QString& key) const
{
    bool exists = false;
    (void)storedKey(key.split(u'\\'), false, &exists);
    return exists;
}

std::optional<RegData> RegistryFile::value(const QString& key, const QString& name) const
{
    bool exists = false;
    const QString stored = storedKey(key.split(u'\\') << name, true, &exists);
    return exists ? std::optional(settings_->value(stored).value<RegData>()) : std::nullopt;
}

QStringList RegistryFile::names(const QString& key, bool subkeys) const
{
    bool exists = false;
    const QString stored = storedKey(key.split(u'\\'), false, &exists);
    QStringList names;
    if (exists) {
        settings_->beginGroup(stored);
        for (const QString& n : subkeys ? settings_->childGroups() : settings_->childKeys()) {
            if (n != kKeyItself) {
                names.append(unescaped(n));
            }
        }
        settings_->endGroup();
    }
    return names;
}

void RegistryFile::setValue(const QString& key, const QString& name, const RegData& data)
{
    pending_.emplace_back(key.split(u'\\') << name, data);
}

bool RegistryFile::save(QString* error)
{
    if (settings_ == nullptr) {
        *error = QStringLiteral("%1 was not a regular file at start, so nothing is saved in "
                                "this run")
                     .arg(filePath_);
        return false;
    }
    if (pending_.empty()) {
        return true;
    }
    // Before QSettings opens anything: it would block on a FIFO in the file's place.
    if (!mayReplace(filePath_, error)) {
        return false;
    }
    const QString folder = QFileInfo(filePath_).absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    // A QSettings of its own, as a status once set stays: the contents it
    // works on are settings_', as QSettings shares them within a program.
    QSettings::Status status = QSettings::NoError;
    {
        QSettings file(filePath_, format());
        for (const auto& [parts, data] : pending_) {
            bool exists = false;
            file.setValue(storedKey(parts, true, &exists), QVariant::fromValue(data));
        }
        file.sync();
        status = file.status();
    }
    // A FormatError is the file that was there: fine once it was replaced.
    if (status == QSettings::NoError ||
        (status == QSettings::FormatError && inspect(filePath_).state == FileState::Usable)) {
        pending_.clear();
        return true;
    }
    // Say why, as the write did not.
    QString refusal;
    *error = mayReplace(filePath_, &refusal) ? QStringLiteral("cannot write %1").arg(filePath_)
                                             : refusal;
    return false;
}

} // namespace zarvello
