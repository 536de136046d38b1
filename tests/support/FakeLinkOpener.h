#pragma once

#include "platform/LinkOpener.h"

#include <QString>
#include <QStringList>

#include <set>

namespace zarvello::test {

// Scripted availability per scheme; records every question and every opened link.
class FakeLinkOpener : public LinkOpener
{
public:
    explicit FakeLinkOpener(std::set<QString> openable = {});

    bool canOpen(const QString& scheme) override;
    void open(const QString& link) override;

    std::set<QString> openable;
    QStringList asked;
    QStringList opened;
};

} // namespace zarvello::test
