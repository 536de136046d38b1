#include "platform/Registry.h"

#include <QStringDecoder>
#include <QtGlobal>

#include <utility>

namespace zarvello {

namespace {

QStringList splitKeyPath(const QString& path, QString* problem)
{
    if (path.isEmpty()) {
        return {};
    }
    QStringList parts = path.split(QLatin1Char('\\'));
    if (parts.size() > RegLimits::KeyDepth) {
        *problem = QStringLiteral("key path '%1' is deeper than %2 levels")
                       .arg(path)
                       .arg(RegLimits::KeyDepth);
        return {};
    }
    for (const QString& part : parts) {
        const QString why = regKeyNameProblem(part);
        if (!why.isEmpty()) {
            *problem = QStringLiteral("bad key path '%1': %2").arg(path, why);
            return {};
        }
    }
    return parts;
}

QString fullPath(RegRoot root, const QStringList& path)
{
    QStringList all{regRootName(root)};
    all += path;
    return all.join(QLatin1Char('\\'));
}

} // namespace

RegData RegData::dword(quint32 value)
{
    QByteArray bytes;
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.append(static_cast<char>((value >> shift) & 0xffU));
    }
    return {RegType::Dword, bytes};
}

RegData RegData::string(const QString& text, quint32 type)
{
    QByteArray bytes = text.toUtf8();
    bytes.append('\0');
    return {type, bytes};
}

quint32 RegData::toDword() const
{
    if (!isDword()) {
        return 0;
    }
    quint32 value = 0;
    for (qsizetype i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<quint8>(bytes[i]);
    }
    return value;
}

QString RegData::toText() const
{
    const qsizetype end = bytes.indexOf('\0');
    // A leading U+FEFF is part of the text, not a byte order mark.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(end < 0 ? QByteArrayView(bytes) : QByteArrayView(bytes).first(end));
}

RegistryKey::RegistryKey(Registry* registry, RegRoot root, QStringList path)
    : registry_(registry), root_(root), path_(std::move(path))
{
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : registry_(std::exchange(other.registry_, nullptr)), root_(other.root_),
      path_(std::move(other.path_)), error_(std::move(other.error_))
{
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept
{
    if (this != &other) {
        if (isOpen() && !close()) {
            qWarning("registry: closing a key failed: %s", qUtf8Printable(error_));
        }
        registry_ = std::exchange(other.registry_, nullptr);
        root_ = other.root_;
        path_ = std::move(other.path_);
        error_ = std::move(other.error_);
    }
    return *this;
}

RegistryKey::~RegistryKey()
{
    if (isOpen() && !close()) {
        qWarning("registry: closing a key failed: %s", qUtf8Printable(error_));
    }
}

std::optional<RegData> RegistryKey::value(const QString& name) const
{
    const RegNode* node = isOpen() ? registry_->find(root_, path_) : nullptr;
    const RegValue* v = node != nullptr ? node->value(name) : nullptr;
    if (v == nullptr) {
        return std::nullopt;
    }
    return RegData{v->type, v->data};
}

bool RegistryKey::setValue(const QString& name, const RegData& data)
{
    if (!isOpen()) {
        error_ = QStringLiteral("cannot write '%1': the key is not open").arg(name);
        return false;
    }
    const QString problem = regValueNameProblem(name);
    if (!problem.isEmpty()) {
        error_ = QStringLiteral("cannot write '%1': %2").arg(name, problem);
        return false;
    }
    if (data.bytes.size() > RegLimits::ValueBytes) {
        error_ = QStringLiteral("cannot write '%1': more than %2 bytes of data")
                     .arg(name)
                     .arg(RegLimits::ValueBytes);
        return false;
    }
    // The key is added again if something removed it since it was opened.
    RegNode& node = registry_->ensure(root_, path_);
    node.setValue(name, data.type, data.bytes);
    registry_->pending_.push_back({root_, path_, node.value(name)->name});
    return true;
}

bool RegistryKey::setDword(const QString& name, quint32 value)
{
    return setValue(name, RegData::dword(value));
}

bool RegistryKey::setString(const QString& name, const QString& text)
{
    return setValue(name, RegData::string(text));
}

QStringList RegistryKey::subkeyNames() const
{
    QStringList names;
    if (const RegNode* node = isOpen() ? registry_->find(root_, path_) : nullptr) {
        for (const RegNode& child : node->children()) {
            names.append(child.name());
        }
    }
    return names;
}

QStringList RegistryKey::valueNames() const
{
    QStringList names;
    if (const RegNode* node = isOpen() ? registry_->find(root_, path_) : nullptr) {
        for (const RegValue& v : node->values()) {
            names.append(v.name);
        }
    }
    return names;
}

bool RegistryKey::close()
{
    Registry* registry = std::exchange(registry_, nullptr);
    if (registry == nullptr) {
        return true;
    }
    QString error;
    if (!registry->commit(&error)) {
        error_ = error;
        return false;
    }
    return true;
}

Registry::~Registry() = default;

RegistryKey Registry::create(RegRoot root, const QString& path)
{
    RegistryKey key;
    QString problem;
    const QStringList parts = splitKeyPath(path, &problem);
    if (!problem.isEmpty()) {
        key.error_ = problem;
        return key;
    }
    // Keys already there keep their spelling; the path has to fit a key line
    // as it will be written.
    QStringList stored;
    const RegNode* node = tree_.child(regRootName(root));
    qsizetype bytes = regRootName(root).size();
    bool adds = false;
    for (const QString& part : parts) {
        node = node != nullptr ? node->child(part) : nullptr;
        adds = adds || node == nullptr;
        stored.append(node != nullptr ? node->name() : part);
        bytes += 1 + stored.back().toUtf8().size();
    }
    if (bytes > RegLimits::KeyPathBytes) {
        key.error_ = QStringLiteral("key path '%1' is longer than %2 bytes")
                         .arg(path)
                         .arg(RegLimits::KeyPathBytes);
        return key;
    }
    if (adds) {
        ensure(root, stored);
        pending_.push_back({root, stored, std::nullopt});
    }
    return RegistryKey(this, root, stored);
}

RegistryKey Registry::open(RegRoot root, const QString& path)
{
    RegistryKey key;
    QString problem;
    const QStringList parts = splitKeyPath(path, &problem);
    if (!problem.isEmpty()) {
        key.error_ = problem;
        return key;
    }
    QStringList stored;
    const RegNode* node = tree_.child(regRootName(root));
    for (const QString& part : parts) {
        node = node != nullptr ? node->child(part) : nullptr;
        if (node == nullptr) {
            key.error_ = QStringLiteral("no key %1").arg(fullPath(root, parts));
            return key;
        }
        stored.append(node->name());
    }
    // A root key always exists, held or not.
    return RegistryKey(this, root, stored);
}

void Registry::applyPendingChanges(RegNode& other) const
{
    for (const Change& change : pending_) {
        RegNode* target = &other.ensureChild(regRootName(change.root));
        for (const QString& part : change.path) {
            target = &target->ensureChild(part);
        }
        if (!change.valueName) {
            continue;
        }
        const RegNode* mine = find(change.root, change.path);
        const RegValue* v = mine != nullptr ? mine->value(*change.valueName) : nullptr;
        if (v != nullptr) {
            target->setValue(v->name, v->type, v->data);
        }
    }
}

const RegNode* Registry::find(RegRoot root, const QStringList& path) const
{
    const RegNode* node = tree_.child(regRootName(root));
    for (const QString& part : path) {
        if (node == nullptr) {
            return nullptr;
        }
        node = node->child(part);
    }
    return node;
}

RegNode& Registry::ensure(RegRoot root, const QStringList& path)
{
    RegNode* node = &tree_.ensureChild(regRootName(root));
    for (const QString& part : path) {
        node = &node->ensureChild(part);
    }
    return *node;
}

bool Registry::commit(QString* error)
{
    if (pending_.empty()) {
        return true;
    }
    return save(error);
}

} // namespace zarvello
