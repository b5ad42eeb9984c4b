#pragma once

#include <cstdint>

#include "utils/utils_export.h"

// Elapsed time from the system's monotonic high-resolution clock.
class UTILS_API CPrecisionTimer {
public:
    virtual ~CPrecisionTimer() = default;
    CPrecisionTimer();

    void Start();
    // Seconds since Start.
    double Stop() const;
    // A counter value (ticks) as a double.
    double ToDouble(int64_t counter) const;

private:
    int64_t m_start = 0;
    int64_t m_frequency;  // counter ticks per second
};
