// The vector UTF-8 kernels (SSSE3, chosen at run time) behind CUTFProcessor's scalar paths.
#pragma once

#include "codecs/cpu_kernels.h"

// Internal to textrion/encoding/: each kernel converts whole blocks while
// they hold only what it can take, then leaves the rest (and the decisions on
// bad input) to the scalar code of utf_processor.cpp and utf_processor_write.cpp.
namespace textrion::detail {

// Where a kernel stopped: the first input it did not take and the first
// output it did not fill. Returned rather than written through references,
// so that the callers' positions never have their address taken and stay in
// registers.
template <typename In, typename Out> struct BlocksDone {
    const In* in;
    Out* out;
};

#if defined(__x86_64__) || defined(__i386__)

// Hidden already where they are declared, so that callers reach them directly
// rather than through the global offset table.
#pragma GCC visibility push(hidden)

// SSSE3 is in every x86-64 processor of the last fifteen years, but not in the
// baseline the code is built for: the kernels (utf8_blocks_ssse3.cpp) run only
// when the active kernel has it. Read once per call of a caller.
inline bool UseUtf8Blocks() noexcept
{
    return codecs::ActiveKernel() >= codecs::Kernel::Ssse3;
}

// Decodes well-formed characters of one to three bytes a block at a time and
// leaves at the first block that holds anything else (a NUL, a four-byte
// character, an ill-formed sequence) or that the input or output cannot hold.
// Reads 16 bytes and writes 16 units ahead, past what it takes and gives.
[[gnu::target("ssse3")]] BlocksDone<unsigned char, char16_t> DecodeUtf8Blocks(const unsigned char* p,
                                                                              const unsigned char* end, char16_t* q,
                                                                              char16_t* qEnd);

// Encodes eight units at a time while none is a surrogate (nor, with line
// breaks converted, one of the control characters up to CR), and leaves at the
// first block with one. Needs 32 bytes of room (stores run past the output).
// Instantiated for both values in utf8_blocks_ssse3.cpp.
template <bool kConvertBreaks>
[[gnu::target("ssse3")]] BlocksDone<char16_t, unsigned char> EncodeUtf8Blocks(const char16_t* p, const char16_t* end,
                                                                              unsigned char* q, unsigned char* qEnd);

#pragma GCC visibility pop

#else

inline bool UseUtf8Blocks() noexcept
{
    return false;
}

inline BlocksDone<unsigned char, char16_t> DecodeUtf8Blocks(const unsigned char* p, const unsigned char*, char16_t* q,
                                                            char16_t*)
{
    return {p, q};
}

template <bool kConvertBreaks>
BlocksDone<char16_t, unsigned char> EncodeUtf8Blocks(const char16_t* p, const char16_t*, unsigned char* q,
                                                     unsigned char*)
{
    return {p, q};
}

#endif

}  // namespace textrion::detail
