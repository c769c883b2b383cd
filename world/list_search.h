#pragma once

#include <functional>
#include <iterator>

// First element whose key no later element beats (ties go to the earliest); end() when empty.
template <typename List, typename KeyOf, typename Beats>
auto firstWithBestKey(List& list, KeyOf keyOf, Beats beats)
{
    auto best = std::begin(list);
    for (auto it = std::begin(list); it != std::end(list); ++it) {
        if (beats(keyOf(*it), keyOf(*best))) {
            best = it;
        }
    }
    return best;
}

// First element with the smallest key (ties go to the earliest); end() when empty.
template <typename List, typename KeyOf>
auto firstWithSmallest(List& list, KeyOf keyOf)
{
    return firstWithBestKey(list, keyOf, std::less<>());
}

// First element with the largest key (ties go to the earliest); end() when empty.
template <typename List, typename KeyOf>
auto firstWithLargest(List& list, KeyOf keyOf)
{
    return firstWithBestKey(list, keyOf, std::greater<>());
}
