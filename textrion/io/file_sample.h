#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "textrion/io/binary_file.h"
#include "textrion/textrion_export.h"

// The start of one file, read once and shared by every detection test: each
// test asks for the bytes it needs and only what no test asked for before is
// read. A file under 64 KiB is read whole at once; a larger one in reads that
// double from one block up to 64 KiB, so a test that decides on its first
// block reads little and a large sample is read in steps that a stop request
// can come between.
//
// One object serves file after file (a worker keeps it); opening the next
// file forgets everything of the last. Not for use by several threads at once.
class TEXTRION_API CFileSample {
public:
    CFileSample();
    ~CFileSample();
    CFileSample(const CFileSample&) = delete;
    CFileSample& operator=(const CFileSample&) = delete;

    // Opens path and forgets the previous file's bytes; reads nothing yet.
    // firstRead: the bytes of the first read (a test's block); limit: the
    // sample size in bytes, which reads stay within unless a test asks for
    // more. False when the file cannot be opened.
    [[nodiscard]] bool Open(const char16_t* path, unsigned firstRead, uint64_t limit);
    // Takes bytes already read from the start of a stream instead of a file;
    // whole: they are all of it. Nothing is read past them.
    void Hold(const unsigned char* bytes, uint64_t size, bool whole);
    // Closes the file; the bytes read stay until the next Open.
    void Close();

    // Makes the file's first `end` bytes available (all of a shorter file).
    // False when some of them are missing: a read failed, or no file is open.
    [[nodiscard]] bool Fill(uint64_t end);

    const unsigned char* Data() const { return m_bytes.data(); }
    const char* Chars() const { return reinterpret_cast<const char*>(m_bytes.data()); }
    // Bytes held, from the start of the file.
    uint64_t Size() const { return m_size; }
    // The bytes held are the whole file.
    [[nodiscard]] bool AtEnd() const { return m_atEnd; }
    [[nodiscard]] bool HasReadError() const { return m_readError; }

    // The largest single read; tests that stream through the sample ask
    // whether to go on at the same distance.
    static constexpr unsigned kLargestRead = 64 * 1024;

private:
    std::optional<CBinaryFileReader> m_reader;  // the open file
    std::vector<unsigned char> m_bytes;         // grows, and its capacity serves the next file
    uint64_t m_size = 0;
    unsigned m_firstRead = 1;
    uint64_t m_limit = 0;
    bool m_atEnd = false;
    bool m_readError = false;
};
