#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "codecs/cpu_kernels.h"

namespace {

using codecs::Kernel;

TEST(CpuKernels, TakesTheKernelTheSettingNamesWhereTheProcessorRunsIt)
{
    struct Row {
        const char* value;
        Kernel widest;
        Kernel chosen;
        const char* note;  // a part of the note, or null for none
    };
    const Row rows[] = {
        {nullptr, Kernel::Avx2, Kernel::Avx2, nullptr},
        {"", Kernel::Ssse3, Kernel::Ssse3, nullptr},
        {"scalar", Kernel::Avx2, Kernel::Scalar, nullptr},
        {"sse2", Kernel::Avx2, Kernel::Sse2, nullptr},
        {"SSSE3", Kernel::Avx2, Kernel::Ssse3, nullptr},
        {"avx2", Kernel::Avx2, Kernel::Avx2, nullptr},
        // Never a kernel the processor lacks: the widest below the one named.
        {"avx2", Kernel::Ssse3, Kernel::Ssse3, "cannot run it, using ssse3"},
        {"ssse3", Kernel::Sse2, Kernel::Sse2, "cannot run it, using sse2"},
        {"sse2", Kernel::Scalar, Kernel::Scalar, "cannot run it, using scalar"},
        // A value that names no kernel leaves the widest.
        {"avx512", Kernel::Avx2, Kernel::Avx2, "names no kernel"},
        {"avx2 ", Kernel::Avx2, Kernel::Avx2, "names no kernel"},
        {"fast", Kernel::Sse2, Kernel::Sse2, "names no kernel"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.value ? row.value : "(unset)") + " on " +
                     std::string(codecs::KernelName(row.widest)));
        std::string note = "stale";
        EXPECT_EQ(codecs::KernelOfSetting(row.value, row.widest, note), row.chosen);
        if (row.note == nullptr)
            EXPECT_EQ(note, "");
        else
            EXPECT_NE(note.find(row.note), std::string::npos) << note;
    }
}

TEST(CpuKernels, NamesRoundTrip)
{
    for (const Kernel kernel : codecs::kAllKernels)
        EXPECT_EQ(codecs::KernelOfName(codecs::KernelName(kernel)), kernel);
    EXPECT_FALSE(codecs::KernelOfName("").has_value());
}

TEST(CpuKernels, RunsTheWidestKernelAndEveryNarrowerOne)
{
    const Kernel widest = codecs::WidestKernel();
    for (const Kernel kernel : codecs::kAllKernels)
        EXPECT_EQ(codecs::CanRun(kernel), kernel <= widest) << codecs::KernelName(kernel);
    EXPECT_TRUE(codecs::CanRun(Kernel::Scalar));
}

TEST(CpuKernels, AScopeForcesAKernelAndGivesTheOneBeforeBack)
{
    const Kernel before = codecs::ActiveKernel();
    {
        const codecs::ScopedKernel scalar(Kernel::Scalar);
        EXPECT_EQ(codecs::ActiveKernel(), Kernel::Scalar);
        {
            const codecs::ScopedKernel widest(codecs::WidestKernel());
            EXPECT_EQ(codecs::ActiveKernel(), codecs::WidestKernel());
        }
        EXPECT_EQ(codecs::ActiveKernel(), Kernel::Scalar);
    }
    EXPECT_EQ(codecs::ActiveKernel(), before);
}

// The environment is read in a fresh process: the kernel is chosen the first
// time one is asked for, and later changes to the variable do not move it.
TEST(CpuKernelsDeathTest, ReadsVarnelKernelOnceAtTheFirstAsk)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Row {
        const char* value;
        std::string output;  // the note, if any, then the kernel chosen
    };
    const std::string widest(codecs::KernelName(codecs::WidestKernel()));
    const Row rows[] = {
        {"scalar", "scalar then scalar"},
        {"Sse2", "sse2 then sse2"},
        {"turbo", "names no kernel.*using " + widest + "\n" + widest + " then " + widest},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        ASSERT_EQ(setenv("VARNEL_KERNEL", row.value, 1), 0);
        EXPECT_EXIT(
            {
                const std::string first(codecs::KernelName(codecs::ActiveKernel()));
                setenv("VARNEL_KERNEL", "avx2", 1);
                std::fprintf(stderr, "%s then %s", first.c_str(), codecs::KernelName(codecs::ActiveKernel()).data());
                std::exit(0);
            },
            testing::ExitedWithCode(0), row.output);
    }
    unsetenv("VARNEL_KERNEL");
}

}  // namespace
