#include "meter/LinkFilter.h"

#include <fnmatch.h>

#include <QStringList>

#include <algorithm>

namespace zarvello {
namespace {

bool isPattern(const std::string& item)
{
    return item.find_first_of("*?[") != std::string::npos;
}

} // namespace

LinkFilter::LinkFilter(const QString& option)
{
    for (const QString& part : option.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const bool exclude = part.startsWith(QLatin1Char('!'));
        items_.push_back({(exclude ? part.mid(1) : part).toStdString(), exclude});
    }
}

bool LinkFilter::counts(const std::string& name) const
{
    if (countsAll()) {
        return true;
    }
    const auto last = std::find_if(items_.rbegin(), items_.rend(), [&](const Item& item) {
        return ::fnmatch(item.pattern.c_str(), name.c_str(), 0) == 0;
    });
    return last != items_.rend() && !last->exclude;
}

std::vector<std::string> LinkFilter::includedNames() const
{
    std::vector<std::string> names;
    for (const Item& item : items_) {
        if (!item.exclude && !isPattern(item.pattern)) {
            names.push_back(item.pattern);
        }
    }
    return names;
}

void SelectedCounterSource::setFilter(LinkFilter filter)
{
    filter_ = std::move(filter);
    countedStale_ = true;
}

std::optional<CounterSample> SelectedCounterSource::takeSample()
{
    std::optional<CounterSample> sample = source_ ? source_->takeSample() : std::nullopt;
    if (!sample || filter_.countsAll()) {
        return sample;
    }
    const LinkNames* names = linkNames();
    const std::uint64_t generation = names != nullptr ? names->generation() : 0;
    if (countedStale_ || generation != countedGeneration_) {
        counted_.clear();
        for (const LinkInfo& link :
             names != nullptr ? names->inKernelOrder() : std::vector<LinkInfo>{}) {
            if (filter_.counts(link.name)) {
                counted_.push_back(link.index);
            }
        }
        std::sort(counted_.begin(), counted_.end());
        countedGeneration_ = generation;
        countedStale_ = false;
    }
    links_.clear();
    CounterSample selected;
    for (const LinkCounters& link : sample->links) {
        if (std::binary_search(counted_.begin(), counted_.end(), link.index)) {
            links_.push_back(link);
            selected.inOctets += static_cast<std::uint32_t>(link.inOctets);
            selected.outOctets += static_cast<std::uint32_t>(link.outOctets);
        }
    }
    selected.links = links_;
    return selected;
}

std::vector<InterfaceEntry> interfaceEntries(const LinkNames* names, const QString& option)
{
    const LinkFilter filter(option);
    std::vector<InterfaceEntry> entries;
    for (const LinkInfo& link :
         names != nullptr ? names->inKernelOrder() : std::vector<LinkInfo>{}) {
        QString text = QString::fromStdString(link.name);
        if (link.loopback) {
            text += QStringLiteral(" (loopback)");
        }
        if (!link.up) {
            text += QStringLiteral(" (down)");
        }
        entries.push_back({text, link.name, filter.counts(link.name)});
    }
    for (const std::string& name : filter.includedNames()) {
        const bool listed = std::any_of(entries.begin(), entries.end(),
                                        [&](const InterfaceEntry& e) { return e.name == name; });
        if (!listed) {
            entries.push_back({QString::fromStdString(name), name, true, false});
        }
    }
    return entries;
}

QString toggledInterfaces(const std::vector<InterfaceEntry>& entries, const std::string& name,
                          bool checked)
{
    QStringList ticked;
    QStringList unticked{QStringLiteral("*")};
    for (const InterfaceEntry& entry : entries) {
        const QString entryName = QString::fromStdString(entry.name);
        if (entry.name == name ? checked : entry.checked) {
            ticked.push_back(entryName);
        } else if (entry.present) {
            unticked.push_back(QLatin1Char('!') + entryName);
        }
    }
    if (ticked.isEmpty()) {
        return QStringLiteral("!*");
    }
    const QString list = ticked.join(QLatin1Char(','));
    return list.size() <= kLongestInterfacesOption ? list : unticked.join(QLatin1Char(','));
}

} // namespace zarvello
