#include "support/FakeLinkOpener.h"

#include <utility>

namespace zarvello::test {

FakeLinkOpener::FakeLinkOpener(std::set<QString> openableSchemes)
    : openable(std::move(openableSchemes))
{
}

bool FakeLinkOpener::canOpen(const QString& scheme)
{
    asked.append(scheme);
    return openable.count(scheme) != 0;
}

void FakeLinkOpener::open(const QString& link)
{
    opened.append(link);
}

} // namespace zarvello::test
