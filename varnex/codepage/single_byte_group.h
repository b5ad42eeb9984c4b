#pragma once

#include <cstdint>
#include <vector>

// uchardet's own headers: nscore.h must come first.
#include "nscore.h"

#include "nsCharSetProber.h"
#include "nsSBCSGroupProber.h"
#include "nsSBCharSetProber.h"

// uchardet's single-byte group, with the same probers, answers and order,
// made cheaper: its hundred language models each walk every block byte by
// byte, though each only needs counts of bytes and of byte pairs. Those are
// counted once per block and each model reads them, a few hundred distinct
// pairs instead of thousands of bytes. A model that has a byte marked illegal
// in the block still walks it, because where it stops changes its counts.
class CSingleByteGroup : public nsSBCSGroupProber {
public:
    CSingleByteGroup();

    nsProbingState HandleData(const char* aBuf, PRUint32 aLen) override;

private:
    struct Model {
        const SequenceModel* model = nullptr;  // null: a prober walked as it is
        bool reversed = false;
        uint64_t illegal[4] = {};  // the bytes that make the model give up
    };

    uint32_t Filter(const char* data, uint32_t length);
    void Count(const unsigned char* bytes, uint32_t length);
    void Uncount();
    bool HoldsIllegal(const Model& model) const;
    nsProbingState Take(unsigned index, const unsigned char* bytes, uint32_t length);

    Model m_models[NUM_OF_SBCS_PROBERS];
    std::vector<char> m_filtered;
    uint32_t m_bytes[256] = {};
    uint64_t m_seen[4] = {};        // the block's distinct bytes, one bit each
    bool m_pairless[256] = {};      // bytes no model pairs: spaces, digits, signs
    std::vector<uint32_t> m_pairs;  // 65,536 counters, first byte high
    std::vector<uint16_t> m_seenPairs;
    struct PairCount {
        uint8_t first;
        uint8_t second;
        uint32_t n;
    };
    std::vector<PairCount> m_pairCounts;  // the block's pairs, read by every model
    std::vector<uint8_t> m_seenBytes;
};
