#pragma once

#include "platform/RegFormat.h"

#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace zarvello {

// The registry kept in one REGEDIT4 text file (UTF-8) that people can read,
// edit, diff and import, through QSettings: its lock, its re-read of the file
// before a save and its atomic replacement let two programs save at once
// without losing each other's values. Every value keeps its type and bytes,
// whatever the type; keys and values come back sorted by name.
//
// What QSettings would not do is done here: names ignore case (Qt 6 does not
// fold them for a custom format); a file that cannot be used (does not parse,
// too long) is copied aside to "<file>.bad-<date>-<time>" and replaced only
// once such a copy exists; a file that cannot be read is never replaced; and a
// path that is not a regular file (a FIFO, socket, device or folder, or a link
// to one) is never opened, read, copied or written, as QSettings would block
// on a FIFO: the registry is then empty and saves nothing this run.
class RegistryFile
{
public:
    explicit RegistryFile(QString filePath);
    ~RegistryFile();
    Q_DISABLE_COPY_MOVE(RegistryFile)

    // registry.reg in the program's XDG config folder.
    [[nodiscard]] static QString defaultFilePath();
    // The REGEDIT4 format for QSettings, its values RegData.
    [[nodiscard]] static QSettings::Format format();

    // "<file>:<line>: <what>" (or "<file>: <what>") when the file could not be
    // used at start; empty when it could.
    [[nodiscard]] const QString& loadError() const { return loadError_; }
    // The copy of the last unusable file; empty when none was made.
    [[nodiscard]] QString keptCopyPath() const;
    // Why no copy was made of the file loadError() is about; empty when one was.
    [[nodiscard]] const QString& copyError() const { return copyError_; }
    // False when the path was not a regular file at start: this run saves nothing.
    [[nodiscard]] bool savesChanges() const { return settings_ != nullptr; }

    // `key` is a whole path, "HKEY_LOCAL_MACHINE\Software\Zarvello"; "" names
    // a key's default value.
    [[nodiscard]] bool hasKey(const QString& key) const;
    [[nodiscard]] std::optional<RegData> value(const QString& key, const QString& name) const;
    [[nodiscard]] QStringList subkeyNames(const QString& key) const { return names(key, true); }
    [[nodiscard]] QStringList valueNames(const QString& key) const { return names(key, false); }
    // Held until save(); the key is added when missing.
    void setValue(const QString& key, const QString& name, const RegData& data);
    // Saves the values set since the last save. False, with the reason, when
    // that failed: they then stay to be saved by the next save.
    bool save(QString* error);

private:
    // The QSettings key of `parts` (key names, then a value name when
    // `endsInValue`): each part in its stored spelling where there is one
    // (names ignore case), escaped as given past that; whether all are there.
    [[nodiscard]] QString storedKey(const QStringList& parts, bool endsInValue, bool* exists) const;
    [[nodiscard]] QStringList names(const QString& key, bool subkeys) const;

    QString filePath_;
    QString loadError_;
    QString copyError_;
    std::unique_ptr<QSettings> settings_;
    std::vector<std::pair<QStringList, RegData>> pending_; // key parts + value name
};

} // namespace zarvello
