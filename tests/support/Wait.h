#pragma once

#include <QtCore/qtestsupport_core.h>

namespace zarvello {

// Pumps events until the condition holds or the deadline passes.
template <typename Condition> bool waitUntil(Condition condition, int timeoutMs = 5000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

} // namespace zarvello
