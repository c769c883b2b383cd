#pragma once

#include <iterator>

// First element with the smallest key (ties go to the earliest); end() when empty.
template <typename List, typename KeyOf>
auto firstWithSmallest(List& list, KeyOf keyOf)
{
    auto best = std::begin(list);
    for (auto it = std::begin(list); it != std::end(list); ++it) {
        if (keyOf(*it) < keyOf(*best)) {
            best = it;
        }
    }
    return best;
}

// First element with the largest key (ties go to the earliest); end() when empty.
template <typename List, typename KeyOf>
auto firstWithLargest(List& list, KeyOf keyOf)
{
    auto best = std::begin(list);
    for (auto it = std::begin(list); it != std::end(list); ++it) {
        if (keyOf(*best) < keyOf(*it)) {
            best = it;
        }
    }
    return best;
}
