// Tests run once per vector kernel: a fixture that forces the kernel for the test, and the values to instantiate with.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "codecs/cpu_kernels.h"

namespace codecs {
// Test names and failures show the kernel's name.
inline void PrintTo(Kernel kernel, std::ostream* os)
{
    *os << KernelName(kernel);
}
}  // namespace codecs

namespace testing_support {

// Each test of a suite derived from this runs on the kernel it is given,
// and is skipped on a processor that lacks the kernel.
//   class MyKernels : public testing_support::KernelTest {};
//   TEST_P(MyKernels, ...) { ... }
//   INSTANTIATE_TEST_SUITE_P(Kernels, MyKernels, testing_support::AllKernels(), testing_support::KernelName());
class KernelTest : public testing::TestWithParam<codecs::Kernel> {
protected:
    void SetUp() override
    {
        if (!codecs::CanRun(GetParam()))
            GTEST_SKIP() << "this processor cannot run " << codecs::KernelName(GetParam());
        m_kernel.emplace(GetParam());
    }
    void TearDown() override { m_kernel.reset(); }

private:
    std::optional<codecs::ScopedKernel> m_kernel;
};

inline auto AllKernels()
{
    return testing::ValuesIn(codecs::kAllKernels);
}

struct KernelName {
    std::string operator()(const testing::TestParamInfo<codecs::Kernel>& info) const
    {
        return std::string(codecs::KernelName(info.param));
    }
};

}  // namespace testing_support
