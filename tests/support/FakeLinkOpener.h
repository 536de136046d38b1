#pragma once

#include "platform/LinkOpener.h"

#include <QStringList>

#include <set>
#include <utility>

namespace zarvello::test {

// Scripted availability per scheme; records every question and every opened link.
struct FakeLinkOpener : LinkOpener
{
    explicit FakeLinkOpener(std::set<QString> schemes = {}) : openable(std::move(schemes)) {}
    bool canOpen(const QString& scheme) override
    {
        asked << scheme;
        return openable.count(scheme) != 0;
    }
    void open(const QString& link) override { opened << link; }

    std::set<QString> openable;
    QStringList asked;
    QStringList opened;
};

} // namespace zarvello::test
