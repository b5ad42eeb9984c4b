#pragma once

#include <cstdint>
#include <memory>

class CTextFileReader;
class CTextFileWriter;

// What the converter counts in the text it writes, as UTF-16 units.
struct UnitCounts {
    uint64_t c1 = 0;     // C1 controls, U+0080..U+009F
    uint64_t marks = 0;  // U+FFFD
    uint64_t cr = 0;
    uint64_t lf = 0;
    uint64_t crlf = 0;
    bool endsWithCr = false;  // a pair may straddle two calls
};

// Converts text straight from its bytes where that gives exactly what
// decoding with the reader and encoding with the writer give: single-byte
// code pages and UTF-8 into UTF-8, UTF-8 into UTF-16 LE and BE (where the
// processor has SSSE3), line breaks rewritten as the writer would.
// It takes the reader's bytes as Read would take them and fills the writer's
// blocks as its encoder would, so the output, the counts, the bytes reported
// between chunks and the reads and writes made on the way are all the same.
class ByteTranscoder {
public:
    virtual ~ByteTranscoder() = default;

    // For the reader's text as it is set up (its mark or its code page) and
    // the writer's form and line ending; null where only the UTF-16 way
    // gives the exact result. Both must be open, with nothing read or
    // written yet but the marks, and write-behind on.
    static std::unique_ptr<ByteTranscoder> For(CTextFileReader& reader, CTextFileWriter& writer);

    // Converts and writes what one reader.Read(out, capacity, consumed) would
    // decode, and adds its units to counts; returns how many units that is,
    // 0 at the end of the text, with the input bytes taken in *consumed.
    virtual unsigned Chunk(unsigned capacity, unsigned* consumed, UnitCounts& counts) = 0;

    // Input sequences replaced by U+FFFD so far: what the reader would count.
    uint64_t GetReplacementCount() const { return m_replaced; }
    // The file offset of the first of them, as the reader would give it
    // (CTextFileReader::GetFirstUncoveredOffset); kNoOffset: none yet.
    static constexpr uint64_t kNoOffset = UINT64_MAX;
    uint64_t GetFirstUncoveredOffset() const { return m_firstUncovered; }

protected:
    uint64_t m_replaced = 0;
    uint64_t m_firstUncovered = kNoOffset;
};
