#pragma once

#include "platform/LinkOpener.h"

#include <QStringList>

namespace zarvello::test {

// Scripted availability per scheme; records every opened link.
struct FakeLinkOpener : LinkOpener
{
    explicit FakeLinkOpener(QStringList schemes = {}) : openable(std::move(schemes)) {}
    bool canOpen(const QString& scheme) override { return openable.contains(scheme); }
    void open(const QString& link) override { opened << link; }

    QStringList openable;
    QStringList opened;
};

} // namespace zarvello::test
