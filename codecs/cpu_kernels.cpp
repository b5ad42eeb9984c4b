// The one place that asks the processor what it runs and chooses the vector kernels.
#include "codecs/cpu_kernels.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace codecs {

namespace {

struct Named {
    Kernel kernel;
    std::string_view name;
};
constexpr Named kNames[] = {
    {Kernel::Scalar, "scalar"}, {Kernel::Sse2, "sse2"}, {Kernel::Ssse3, "ssse3"}, {Kernel::Avx2, "avx2"}};

Kernel Detect() noexcept
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    __builtin_cpu_init();
    // The AVX2 kernels count bits with POPCNT, which every AVX2 processor has.
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt"))
        return Kernel::Avx2;
    if (__builtin_cpu_supports("ssse3"))
        return Kernel::Ssse3;
    return Kernel::Sse2;
#else
    return Kernel::Scalar;
#endif
}

// The widest kernel the processor runs up to the one wanted.
Kernel RunnableUpTo(Kernel wanted, Kernel widest) noexcept
{
    return wanted <= widest ? wanted : widest;
}

}  // namespace

namespace detail {

std::atomic<uint8_t> g_activeKernel{kUnset};

Kernel ChooseKernel() noexcept
{
    // Every thread that gets here first makes the same choice; the note is
    // written once.
    static const Kernel chosen = [] {
        std::string note;
        const Kernel kernel = KernelOfSetting(std::getenv("VARNEL_KERNEL"), WidestKernel(), note);
        if (!note.empty())
            std::fprintf(stderr, "%s\n", note.c_str());
        return kernel;
    }();
    uint8_t expected = kUnset;
    g_activeKernel.compare_exchange_strong(expected, static_cast<uint8_t>(chosen), std::memory_order_relaxed);
    return static_cast<Kernel>(g_activeKernel.load(std::memory_order_relaxed));
}

}  // namespace detail

std::string_view KernelName(Kernel kernel) noexcept
{
    for (const Named& n : kNames)
        if (n.kernel == kernel)
            return n.name;
    return "scalar";
}

std::optional<Kernel> KernelOfName(std::string_view name) noexcept
{
    for (const Named& n : kNames) {
        if (n.name.size() != name.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(name[i])) == n.name[i];
        if (same)
            return n.kernel;
    }
    return std::nullopt;
}

Kernel WidestKernel() noexcept
{
    static const Kernel widest = Detect();
    return widest;
}

bool CanRun(Kernel kernel) noexcept
{
    return kernel <= WidestKernel();
}

Kernel KernelOfSetting(const char* value, Kernel widest, std::string& note)
{
    note.clear();
    if (value == nullptr || *value == '\0')
        return widest;
    const std::optional<Kernel> named = KernelOfName(value);
    if (!named) {
        note = "VARNEL_KERNEL=" + std::string(value) + " names no kernel (scalar, sse2, ssse3, avx2): using " +
               std::string(KernelName(widest));
        return widest;
    }
    const Kernel kernel = RunnableUpTo(*named, widest);
    if (kernel != *named)
        note = "VARNEL_KERNEL=" + std::string(value) + ": this processor cannot run it, using " +
               std::string(KernelName(kernel));
    return kernel;
}

ScopedKernel::ScopedKernel(Kernel kernel) noexcept : m_before(ActiveKernel())
{
    detail::g_activeKernel.store(static_cast<uint8_t>(RunnableUpTo(kernel, WidestKernel())), std::memory_order_relaxed);
}

ScopedKernel::~ScopedKernel()
{
    detail::g_activeKernel.store(static_cast<uint8_t>(m_before), std::memory_order_relaxed);
}

}  // namespace codecs
