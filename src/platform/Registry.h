#pragma once

#include "platform/RegFormat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace zarvello {

// One value as read: its type and its bytes as stored.
struct RegData
{
    quint32 type = RegType::None;
    QByteArray bytes;

    [[nodiscard]] static RegData dword(quint32 value);
    // The text in UTF-8 with a terminating 0, as REG_SZ or REG_EXPAND_SZ hold it.
    [[nodiscard]] static RegData string(const QString& text, quint32 type = RegType::Sz);

    // A REG_DWORD of exactly 4 bytes.
    [[nodiscard]] bool isDword() const { return type == RegType::Dword && bytes.size() == 4; }
    // The number of a REG_DWORD (little-endian); 0 for anything else.
    [[nodiscard]] quint32 toDword() const;
    [[nodiscard]] bool isString() const { return type == RegType::Sz || type == RegType::ExpandSz; }
    // The bytes up to the first 0, read as UTF-8.
    [[nodiscard]] QString toText() const;

    friend bool operator==(const RegData&, const RegData&) = default;
};

class Registry;

// An open key, as an HKEY is. A write shows at once to every read through the
// same registry; the key's close() is what makes it last. Must not outlive its
// registry.
class RegistryKey
{
public:
    RegistryKey() = default;
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    // Closes the key if still open. A failure there can only be logged:
    // call close() to hear about it.
    ~RegistryKey();

    [[nodiscard]] bool isOpen() const { return registry_ != nullptr; }
    // Why the last open, write or close failed.
    [[nodiscard]] const QString& errorString() const { return error_; }

    // nullopt when there is no such value or the key is not open.
    [[nodiscard]] std::optional<RegData> value(const QString& name) const;
    // "" names the default value. Fails on a key that is not open, a name
    // the registry cannot hold, or more than RegLimits::ValueBytes of data.
    bool setValue(const QString& name, const RegData& data);
    bool setDword(const QString& name, quint32 value);
    bool setString(const QString& name, const QString& text);

    // In the order they were added; empty when the key is not open.
    [[nodiscard]] QStringList subkeyNames() const;
    [[nodiscard]] QStringList valueNames() const;

    // Saves every change the registry holds unsaved, this key's writes among
    // them. False, with errorString(), when that failed: the changes then stay
    // pending and the next close tries again. The key is closed either way.
    // Closing a key that is not open does nothing and succeeds.
    bool close();

private:
    friend class Registry;
    RegistryKey(Registry* registry, RegRoot root, QStringList path);

    Registry* registry_ = nullptr;
    RegRoot root_ = RegRoot::LocalMachine;
    QStringList path_; // below the root
    QString error_;
};

// Keys, subkeys and typed values as the registry has them: names compare
// ignoring case and keep their case, and lists keep the order in which things
// were added. The tree lives in memory; a subclass decides where changes go
// and is asked to save them when a key is closed, so a run of writes to one
// key costs one save. Not thread-safe.
class Registry
{
public:
    Registry() = default;
    virtual ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;
    Registry(Registry&&) = delete;
    Registry& operator=(Registry&&) = delete;

    // Opens `path` below `root` ("Software\\Zarvello"; "" is the root itself),
    // adding every key on the way that is missing.
    [[nodiscard]] RegistryKey create(RegRoot root, const QString& path);
    // Opens a key that exists; a key that is not open otherwise.
    [[nodiscard]] RegistryKey open(RegRoot root, const QString& path);

    // Everything held, the root keys being the children of this nameless node.
    [[nodiscard]] const RegNode& tree() const { return tree_; }
    [[nodiscard]] bool hasPendingChanges() const { return !pending_.empty(); }
    // False when this run's changes are not to be kept at all (and the user
    // was told so): a failed save is then no news.
    [[nodiscard]] virtual bool savesChanges() const { return true; }

protected:
    // A key that was added, or a value that was written, since the last save.
    struct Change
    {
        RegRoot root;
        QStringList path;
        std::optional<QString> valueName;
    };

    // Make the pending changes last; say why not when that fails. On success
    // call clearPendingChanges().
    virtual bool save(QString* error) = 0;

    [[nodiscard]] const std::vector<Change>& pendingChanges() const { return pending_; }
    void clearPendingChanges() { pending_.clear(); }
    // Puts this registry's pending changes onto `other`, such as a newer copy
    // of what is stored: the keys they add and the values they write, nothing else.
    void applyPendingChanges(RegNode& other) const;
    // Takes `tree` as everything held, as loaded or as saved.
    void replaceTree(RegNode tree) { tree_ = std::move(tree); }

private:
    friend class RegistryKey;

    [[nodiscard]] const RegNode* find(RegRoot root, const QStringList& path) const;
    RegNode& ensure(RegRoot root, const QStringList& path);
    bool commit(QString* error);

    RegNode tree_;
    std::vector<Change> pending_;
};

} // namespace zarvello
