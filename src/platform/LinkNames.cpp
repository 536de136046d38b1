#include "platform/LinkNames.h"

#include <algorithm>

namespace zarvello {

template <class Entries> auto LinkNames::lowerBound(Entries& entries, std::uint32_t index)
{
    return std::lower_bound(entries.begin(), entries.end(), index,
                            [](const Entry& e, std::uint32_t i) { return e.info.index < i; });
}

const LinkInfo* LinkNames::find(std::uint32_t index) const
{
    const auto it = lowerBound(entries_, index);
    return it != entries_.end() && it->info.index == index ? &it->info : nullptr;
}

void LinkNames::update(const LinkInfo& info)
{
    const auto it = lowerBound(entries_, info.index);
    if (it != entries_.end() && it->info.index == info.index) {
        if (it->info == info) {
            return;
        }
        it->info = info;
    } else {
        entries_.insert(it, Entry{info, nextOrder_++});
    }
    ++generation_;
}

void LinkNames::remove(std::uint32_t index)
{
    const auto it = lowerBound(entries_, index);
    if (it != entries_.end() && it->info.index == index) {
        entries_.erase(it);
        ++generation_;
    }
}

void LinkNames::assign(const std::vector<LinkInfo>& links)
{
    if (links == inKernelOrder()) {
        return;
    }
    entries_.clear();
    for (const LinkInfo& info : links) {
        update(info);
    }
    ++generation_;
}

void LinkNames::clear()
{
    entries_.clear();
    ++generation_;
}

std::vector<LinkInfo> LinkNames::inKernelOrder() const
{
    std::vector<const Entry*> order;
    order.reserve(entries_.size());
    for (const Entry& e : entries_) {
        order.push_back(&e);
    }
    std::sort(order.begin(), order.end(),
              [](const Entry* a, const Entry* b) { return a->order < b->order; });
    std::vector<LinkInfo> links;
    links.reserve(order.size());
    for (const Entry* e : order) {
        links.push_back(e->info);
    }
    return links;
}

} // namespace zarvello
