// Which vector kernels the byte paths run: chosen once per process, forced by VARNEL_KERNEL or, in tests, a scope.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Every path that has vector code asks ActiveKernel() which to run and takes
// the widest it has up to that one: a path without an AVX2 form runs its
// SSSE3 form under Kernel::Avx2, one with nothing but scalar code runs that
// under every kernel. Each kernel gives the same output, byte for byte, and
// the same counts; only the speed differs.
//
// The choice is made the first time it is asked for: the widest kernel the
// processor runs, unless the environment variable VARNEL_KERNEL names one
// (scalar, sse2, ssse3 or avx2, in any case). A kernel the processor cannot
// run is never used: the widest it can run below the one named is taken
// instead, and a note says so on standard error, as it does for a value that
// names no kernel (which leaves the widest).
namespace codecs {

// In the order of what they need: each runs on any processor that runs the
// one after it. Sse2 is the x86-64 baseline.
enum class Kernel : uint8_t { Scalar, Sse2, Ssse3, Avx2 };

inline constexpr Kernel kAllKernels[] = {Kernel::Scalar, Kernel::Sse2, Kernel::Ssse3, Kernel::Avx2};

// "scalar", "sse2", "ssse3", "avx2".
std::string_view KernelName(Kernel kernel) noexcept;
// The kernel a name means, case aside; nullopt for anything else.
std::optional<Kernel> KernelOfName(std::string_view name) noexcept;

// Whether this processor, and this build, runs the kernel.
bool CanRun(Kernel kernel) noexcept;
// The widest kernel this processor runs.
Kernel WidestKernel() noexcept;

// The kernel a VARNEL_KERNEL value chooses on a processor whose widest is
// widest (null or empty: not set). note receives why the value was not
// taken as it stands, and stays empty when it was.
Kernel KernelOfSetting(const char* value, Kernel widest, std::string& note);

namespace detail {
// kUnset until the first ActiveKernel(); read on every call of a vector path,
// so it is a plain load in the callers.
inline constexpr uint8_t kUnset = 0xFF;
extern std::atomic<uint8_t> g_activeKernel;
Kernel ChooseKernel() noexcept;
}  // namespace detail

// The kernel the vector paths run. Any thread may ask.
inline Kernel ActiveKernel() noexcept
{
    const uint8_t kernel = detail::g_activeKernel.load(std::memory_order_relaxed);
    if (kernel == detail::kUnset) [[unlikely]]
        return detail::ChooseKernel();
    return static_cast<Kernel>(kernel);
}

// For tests and benchmarks: runs every path on the kernel given for as long
// as it lives, then goes back to the one before. Nothing may be converting
// meanwhile (a path reads the kernel more than once per call). The kernel
// must be one the processor runs (CanRun); scopes nest.
class ScopedKernel {
public:
    explicit ScopedKernel(Kernel kernel) noexcept;
    ~ScopedKernel();
    ScopedKernel(const ScopedKernel&) = delete;
    ScopedKernel& operator=(const ScopedKernel&) = delete;

private:
    Kernel m_before;
};

}  // namespace codecs
