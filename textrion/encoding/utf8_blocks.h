// The vector UTF-8 kernels (SSSE3, chosen at run time) behind CUTFProcessor's scalar paths.
#pragma once

#include <cstdint>

// Internal to textrion/encoding/: each kernel converts whole blocks while
// they hold only what it can take, then leaves the rest (and the decisions on
// bad input) to the scalar code of utf_processor.cpp and utf_processor_write.cpp.
namespace textrion::detail {

#if defined(__x86_64__) || defined(__i386__)

// SSSE3 is in every x86-64 processor of the last fifteen years, but not in the
// baseline the code is built for: the kernels are used only when this is set.
extern const bool kUtf8Blocks;

// Decodes well-formed characters of one to three bytes a block at a time and
// leaves at the first block that holds anything else (a NUL, a four-byte
// character, an ill-formed sequence) or that the input or output cannot hold.
// Reads 16 bytes and writes 16 units ahead, past what it takes and gives.
[[gnu::target("ssse3")]] void DecodeUtf8Blocks(const unsigned char*& pIO, const unsigned char* end, char16_t*& qIO,
                                               char16_t* qEnd);

// Encodes eight units at a time while none is a surrogate (nor, with line
// breaks converted, one of the control characters up to CR), and leaves at the
// first block with one. Needs 32 bytes of room (stores run past the output).
// Instantiated for both values in utf8_blocks.cpp.
template <bool kConvertBreaks>
[[gnu::target("ssse3")]] void EncodeUtf8Blocks(const char16_t*& pIO, const char16_t* end, unsigned char*& qIO,
                                               unsigned char* qEnd);

#else

constexpr bool kUtf8Blocks = false;

inline void DecodeUtf8Blocks(const unsigned char*&, const unsigned char*, char16_t*&, char16_t*) {}

template <bool kConvertBreaks>
void EncodeUtf8Blocks(const char16_t*&, const char16_t*, unsigned char*&, unsigned char*)
{
}

#endif

}  // namespace textrion::detail
