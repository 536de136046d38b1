#pragma once

#include "platform/Registry.h"

namespace zarvello {

// A registry that lives in memory only: a save succeeds (and is counted)
// unless the test says it fails, in which case the changes stay pending as
// they would with a file that could not be written.
struct MemoryRegistry final : Registry
{
    QString failSavesWith; // non-empty: every save fails with this text
    int saves = 0;

    bool save(QString* error) override
    {
        if (!failSavesWith.isEmpty()) {
            *error = failSavesWith;
            return false;
        }
        ++saves;
        clearPendingChanges();
        return true;
    }
};

} // namespace zarvello
