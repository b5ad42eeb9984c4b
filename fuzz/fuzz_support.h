#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// What the fuzz targets share: a folder of this process for the files a
// target needs, and a reader for the parameter bytes at the front of an input.
namespace fuzz {

// A folder of this process under $VARNEL_FUZZ_TMP, else /dev/shm (else /tmp),
// made on first use and removed at exit.
const std::string& TempFolder();
// Writes bytes to name (folders made as needed) inside that folder; returns
// the path in the form the system's APIs take.
std::u16string WriteTempFile(std::string_view name, std::string_view bytes);

// The parameter bytes at the front of an input; a byte past the end reads as 0.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(reinterpret_cast<const char*>(data)), m_size(size) { }
    uint8_t Byte() { return m_pos < m_size ? static_cast<uint8_t>(m_data[m_pos++]) : 0; }
    std::string_view Rest() const { return {m_data + m_pos, m_size - m_pos}; }

private:
    const char* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Ends the run like a crash: a broken promise of the code is a finding too.
[[noreturn]] void Fail(const char* condition, const char* file, int line);

}  // namespace fuzz

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : fuzz::Fail(#condition, __FILE__, __LINE__))
