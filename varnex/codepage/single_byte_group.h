#pragma once

#include <cstdint>
#include <vector>

// uchardet's own headers: nscore.h must come first.
#include "nscore.h"

#include "nsCharSetProber.h"
#include "nsSBCSGroupProber.h"
#include "nsSBCharSetProber.h"
#include "varnex/codepage/single_byte_lanes.h"

// uchardet's single-byte group, with the same probers, answers and order,
// made cheaper: its hundred language models each walk every block byte by
// byte, though each only needs counts of bytes and of byte pairs. Those are
// counted once per block and each model reads them, a few hundred distinct
// pairs instead of thousands of bytes. A model that has a byte marked illegal
// in the block still walks it, because where it stops changes its counts.
class CSingleByteGroup : public nsSBCSGroupProber {
public:
    // Eight models at a time under the AVX2 kernel (codecs/cpu_kernels.h),
    // one model after another under the others.
    CSingleByteGroup();

    nsProbingState HandleData(const char* aBuf, PRUint32 aLen) override;

private:
    struct Model {
        const SequenceModel* model = nullptr;  // null: a prober walked as it is
        bool reversed = false;
        int lane = -1;             // its column in the tables read eight models at a time
        uint64_t illegal[4] = {};  // the bytes that make the model give up
    };
    // What one block adds to a model's counters.
    struct BlockCounts {
        PRUint32 letters = 0;
        PRUint32 controls = 0;
        PRUint32 inSample = 0;
        PRUint32 kinds[NUMBER_OF_SEQ_CAT] = {};
    };

    uint32_t Filter(const char* data, uint32_t length);
    void Count(const unsigned char* bytes, uint32_t length);
    void Uncount();
    [[nodiscard]] bool HoldsIllegal(const Model& model) const;
    BlockCounts CountModel(const Model& model) const;
    void CountLanes();
    nsProbingState Take(unsigned index, const unsigned char* bytes, uint32_t length);

    Model m_models[NUM_OF_SBCS_PROBERS];
    std::vector<char> m_filtered;
    uint32_t m_bytes[256] = {};
    uint64_t m_seen[4] = {};        // the block's distinct bytes, one bit each
    bool m_pairless[256] = {};      // bytes no model pairs: spaces, digits, signs
    std::vector<uint32_t> m_pairs;  // 65,536 counters, first byte high
    std::vector<uint16_t> m_seenPairs;
    using PairCount = single_byte_lanes::PairCount;
    std::vector<PairCount> m_pairCounts;  // the block's pairs, read by every model
    std::vector<uint8_t> m_seenBytes;

    // The models side by side, so that a byte or pair is looked up in eight
    // at once: each byte's order in every model (a row of m_lanes bytes), and
    // per model its frequent count, matrix place and row and column steps
    // (a reversed model reads its matrix transposed).
    bool m_useLanes = false;
    unsigned m_lanes = 0;
    std::vector<uint8_t> m_orders;
    std::vector<int32_t> m_laneFrequent, m_laneMatrix, m_laneRowStep, m_laneColumnStep;
    std::vector<uint8_t> m_matrices;  // every model's matrix once, and slack for four-byte reads
    std::vector<uint8_t> m_laneLive;  // per block: the lane's model is still being fed
    std::vector<BlockCounts> m_laneCounts;
};
