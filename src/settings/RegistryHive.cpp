#include "settings/RegistryHive.h"

namespace zarvello {

RegistryKey& RegistryHive::key()
{
    if (!key_.isOpen()) {
        key_ = registry_.create(RegRoot::LocalMachine, QStringLiteral("Software\\Zarvello"));
    }
    return key_;
}

StoredValue RegistryHive::read(const QString& name)
{
    const auto data = key().value(name);
    if (!data) {
        return {};
    }
    if (data->isDword()) {
        return {StoredValue::Dword, static_cast<std::int32_t>(data->toDword())};
    }
    return {data->bytes.size() <= 4 ? StoredValue::WrongSmall : StoredValue::WrongLarge, 0};
}

bool RegistryHive::write(const QString& name, std::int32_t value)
{
    return key().setDword(name, static_cast<quint32>(value));
}

bool RegistryHive::commit(QString* reason)
{
    RegistryKey& k = key();
    if (k.close() || !registry_.savesChanges()) {
        return true;
    }
    *reason = k.errorString();
    return false;
}

} // namespace zarvello
