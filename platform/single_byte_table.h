// Both directions of a single-byte code page, built once per code page and shared.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// Internal to platform/: the tables the decoder and encoder of every
// single-byte code page run on instead of a converter.
namespace platform::detail {

// Hidden: the libraries this static library goes into do not export these.
#pragma GCC visibility push(hidden)

// Built once from ICU (or glibc) with the Windows corrections applied.
// Decoding and encoding share it, so every byte the code page assigns
// round-trips.
struct SingleByteTable {
    static constexpr uint16_t kNoByte = 0xFFFF;
    std::array<char16_t, 256> units{};
    std::array<bool, 256> invalid{};
    std::vector<uint16_t> bytes = std::vector<uint16_t>(0x10000, kNoByte);  // by unit
};

// The table of a code page (a symbolic number gives its table code page's),
// or null when the code page is not single-byte or cannot be opened. Tables
// are immutable and shared by every decoder and encoder of the code page.
std::shared_ptr<const SingleByteTable> SingleByteTableFor(unsigned codePage);

#pragma GCC visibility pop

}  // namespace platform::detail
