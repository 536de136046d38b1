#pragma once

#include "platform/CounterSource.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace zarvello {

// As long as the Interfaces option may be.
inline constexpr qsizetype kLongestInterfacesOption = 1024;

// Which links count, from the Interfaces option: comma-separated names and
// shell patterns ("enp*"), each excluding what it matches when it starts with
// '!'. The last item that matches a link decides; a link no item matches does
// not count. No items at all means every link counts.
class LinkFilter
{
public:
    LinkFilter() = default;
    explicit LinkFilter(const QString& option);

    [[nodiscard]] bool countsAll() const { return items_.empty(); }
    [[nodiscard]] bool counts(const std::string& name) const;
    // The plain names the option includes, in its order.
    [[nodiscard]] std::vector<std::string> includedNames() const;

private:
    struct Item
    {
        std::string pattern;
        bool exclude = false;
    };
    std::vector<Item> items_;
};

// A source that passes on only the links the filter counts, their counters'
// low 32 bits summed modulo 2^32 as the kernel's sums are. A link without a
// known name counts only when every link does.
class SelectedCounterSource final : public CounterSource
{
public:
    explicit SelectedCounterSource(std::unique_ptr<CounterSource> source)
        : source_(std::move(source))
    {
    }

    void setFilter(LinkFilter filter);

    [[nodiscard]] std::optional<CounterSample> takeSample() override;
    [[nodiscard]] const LinkNames* linkNames() const override
    {
        return source_ ? source_->linkNames() : nullptr;
    }

private:
    LinkFilter filter_;
    std::unique_ptr<CounterSource> source_;
    // The indexes the filter counts, sorted, as of the names' generation.
    std::vector<std::uint32_t> counted_;
    std::uint64_t countedGeneration_ = 0;
    bool countedStale_ = true;
    std::vector<LinkCounters> links_;
};

// One entry of the Interfaces menu below "All interfaces".
struct InterfaceEntry
{
    QString text; // the name, with "(loopback)" or "(down)" after it
    std::string name;
    bool checked = false;
    bool present = true; // false: named in the option, not there now
};

// The entries for the links in `names` (in the kernel's order), then the names
// the option includes that no link has now.
[[nodiscard]] std::vector<InterfaceEntry> interfaceEntries(const LinkNames* names,
                                                           const QString& option);

// The option that the entries mean once `name` is ticked or unticked: the
// ticked names, or everything but the unticked ones where that list would be
// too long to keep. Nothing ticked is "!*".
[[nodiscard]] QString toggledInterfaces(const std::vector<InterfaceEntry>& entries,
                                        const std::string& name, bool checked);

} // namespace zarvello
