#pragma once

#include "platform/Registry.h"
#include "settings/SettingsStore.h"

namespace zarvello {

// The settings key, HKEY_LOCAL_MACHINE\Software\Zarvello, opened (and created
// when missing) at the first access and closed by commit(). Where the registry
// keeps nothing this run (the user was told at start), commit() succeeds.
class RegistryHive : public SettingsHive
{
public:
    explicit RegistryHive(Registry& registry) : registry_(registry) {}

    StoredValue read(const QString& name) override;
    bool write(const QString& name, std::int32_t value) override;
    bool commit(QString* reason) override;

private:
    RegistryKey& key();

    Registry& registry_;
    RegistryKey key_;
};

} // namespace zarvello
