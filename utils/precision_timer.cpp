#include "utils/precision_timer.h"

#include <chrono>

namespace {

int64_t Now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CPrecisionTimer::CPrecisionTimer() : m_frequency(1000000000) {}

void CPrecisionTimer::Start()
{
    m_start = Now();
}

double CPrecisionTimer::Stop() const
{
    return ToDouble(Now() - m_start) / ToDouble(m_frequency);
}

double CPrecisionTimer::ToDouble(int64_t counter) const
{
    return static_cast<double>(counter);
}
