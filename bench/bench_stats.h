#pragma once

#include <algorithm>
#include <vector>

namespace vantiro::bench {

// The middle value of the rounds measured.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace vantiro::bench
