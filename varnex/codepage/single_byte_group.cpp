#include "varnex/codepage/single_byte_group.h"

#include <array>
#include <type_traits>
#include <utility>

#include "codecs/cpu_kernels.h"

namespace {

using single_byte_lanes::kLaneWidth;
using single_byte_lanes::LaneSums;
using single_byte_lanes::LaneTables;

// The prober's counters, reached the one way the language allows from
// outside: member pointers named through a class derived from it.
struct Fields : nsSingleByteCharSetProber {
    static constexpr auto kState = &Fields::mState;
    static constexpr auto kModel = &Fields::mModel;
    static constexpr auto kReversed = &Fields::mReversed;
    static constexpr auto kLastOrder = &Fields::mLastOrder;
    static constexpr auto kTotalSeqs = &Fields::mTotalSeqs;
    static constexpr auto kSeqCounters = &Fields::mSeqCounters;
    static constexpr auto kTotalChar = &Fields::mTotalChar;
    static constexpr auto kCtrlChar = &Fields::mCtrlChar;
    static constexpr auto kFreqChar = &Fields::mFreqChar;
};

}  // namespace

CSingleByteGroup::CSingleByteGroup() : m_pairs(65536, 0)
{
    for (bool& pairless : m_pairless)
        pairless = true;
    for (unsigned i = 0; i < NUM_OF_SBCS_PROBERS; ++i) {
        auto* prober = dynamic_cast<nsSingleByteCharSetProber*>(mProbers[i]);
        if (prober == nullptr)
            continue;
        Model& model = m_models[i];
        model.model = prober->*Fields::kModel;
        model.reversed = prober->*Fields::kReversed;
        for (unsigned b = 0; b < 256; ++b) {
            const unsigned order = model.model->charToOrderMap[b];
            if (order == ILL)
                model.illegal[b / 64] |= uint64_t{1} << (b % 64);
            m_pairless[b] = m_pairless[b] && order >= static_cast<unsigned>(model.model->freqCharCount);
        }
        model.lane = static_cast<int>(m_lanes++);
    }
    m_useLanes = codecs::ActiveKernel() >= codecs::Kernel::Avx2;
    if (!m_useLanes)
        return;
    // Padding lanes have no frequent byte, so they pair nothing.
    m_lanes = (m_lanes + kLaneWidth - 1) / kLaneWidth * kLaneWidth;
    m_orders.assign(256 * m_lanes, ILL);
    m_laneFrequent.assign(m_lanes, 0);
    m_laneMatrix.assign(m_lanes, 0);
    m_laneRowStep.assign(m_lanes, 0);
    m_laneColumnStep.assign(m_lanes, 0);
    m_laneLive.assign(m_lanes, 0);
    m_laneCounts.resize(m_lanes);
    std::vector<std::pair<const PRUint8*, int32_t>> placed;
    for (const Model& model : m_models) {
        if (model.model == nullptr)
            continue;
        const auto lane = static_cast<unsigned>(model.lane);
        const int32_t frequent = model.model->freqCharCount;
        for (unsigned b = 0; b < 256; ++b)
            m_orders[b * m_lanes + lane] = model.model->charToOrderMap[b];
        m_laneFrequent[lane] = frequent;
        m_laneRowStep[lane] = model.reversed ? 1 : frequent;
        m_laneColumnStep[lane] = model.reversed ? frequent : 1;
        int32_t at = -1;
        for (const auto& [matrix, offset] : placed)
            if (matrix == model.model->precedenceMatrix)
                at = offset;
        if (at == -1) {
            at = static_cast<int32_t>(m_matrices.size());
            placed.emplace_back(model.model->precedenceMatrix, at);
            m_matrices.insert(m_matrices.end(), model.model->precedenceMatrix,
                              model.model->precedenceMatrix + frequent * frequent);
        }
        m_laneMatrix[lane] = at;
    }
    m_matrices.resize(m_matrices.size() + 3, 0);
}

void CSingleByteGroup::Count(const unsigned char* bytes, uint32_t length)
{
    ++m_bytes[bytes[0]];
    for (uint32_t i = 1; i < length; ++i) {
        ++m_bytes[bytes[i]];
        // A pair with a byte no model orders counts for none.
        if (m_pairless[bytes[i - 1]] || m_pairless[bytes[i]])
            continue;
        const auto pair = static_cast<uint16_t>(bytes[i - 1] << 8 | bytes[i]);
        if (m_pairs[pair]++ == 0)
            m_seenPairs.push_back(pair);
    }
    for (unsigned b = 0; b < 256; ++b) {
        if (m_bytes[b] != 0) {
            m_seenBytes.push_back(static_cast<uint8_t>(b));
            m_seen[b / 64] |= uint64_t{1} << (b % 64);
        }
    }
}

// uchardet's FilterWithoutEnglishLetters into a buffer kept from block to
// block: words with a high byte, each followed by one space. Each byte is
// written as it comes; a word without a high byte is taken back at its end.
uint32_t CSingleByteGroup::Filter(const char* data, uint32_t length)
{
    // 0 ends a word, 1 an ASCII letter, 2 a high byte.
    static constexpr auto kKinds = [] {
        std::array<uint8_t, 256> kinds{};
        for (unsigned b = 0; b < 256; ++b)
            kinds[b] = b >= 0x80 ? 2 : ((b | 0x20) >= 'a' && (b | 0x20) <= 'z') ? 1 : 0;
        return kinds;
    }();
    m_filtered.resize(length);
    char* out = m_filtered.data();
    uint32_t at = 0, wordStart = 0;
    bool high = false;
    for (uint32_t i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        out[at] = static_cast<char>(b);  // at <= i: within the buffer
        if (const uint8_t kind = kKinds[b]; kind != 0) {
            high = high || kind == 2;
            ++at;
            continue;
        }
        if (high)
            out[at++] = ' ';
        else
            at = wordStart;
        wordStart = at;
        high = false;
    }
    return high ? at : wordStart;
}

void CSingleByteGroup::Uncount()
{
    for (const uint8_t b : m_seenBytes)
        m_bytes[b] = 0;
    for (const uint16_t pair : m_seenPairs)
        m_pairs[pair] = 0;
    m_pairCounts.clear();
    m_seenBytes.clear();
    m_seenPairs.clear();
    for (uint64_t& bits : m_seen)
        bits = 0;
}

bool CSingleByteGroup::HoldsIllegal(const Model& model) const
{
    return ((model.illegal[0] & m_seen[0]) | (model.illegal[1] & m_seen[1]) | (model.illegal[2] & m_seen[2]) |
            (model.illegal[3] & m_seen[3])) != 0;
}

// A model's counts for the block, one lookup after another.
CSingleByteGroup::BlockCounts CSingleByteGroup::CountModel(const Model& model) const
{
    BlockCounts counts;
    const unsigned char* order = model.model->charToOrderMap;
    const unsigned frequent = static_cast<unsigned>(model.model->freqCharCount);
    const PRUint8* matrix = model.model->precedenceMatrix;
    for (const uint8_t b : m_seenBytes) {
        const unsigned o = order[b];
        const PRUint32 n = m_bytes[b];
        if (o < SYMBOL_CAT_ORDER)
            counts.letters += n;
        else if (o == CTR)
            counts.controls += n;
        if (o < frequent)
            counts.inSample += n;
    }
    // Counted in locals, so that the loop keeps them in registers.
    PRUint32 kinds[NUMBER_OF_SEQ_CAT] = {};
    const auto countPairs = [&](auto reversed) {
        for (const PairCount& pair : m_pairCounts) {
            const unsigned o1 = order[pair.first];
            const unsigned o2 = order[pair.second];
            if (o1 >= frequent || o2 >= frequent)
                continue;
            if constexpr (decltype(reversed)::value)
                kinds[matrix[o2 * frequent + o1]] += pair.n;
            else
                kinds[matrix[o1 * frequent + o2]] += pair.n;
        }
    };
    if (model.reversed)
        countPairs(std::true_type{});
    else
        countPairs(std::false_type{});
    for (unsigned k = 0; k < NUMBER_OF_SEQ_CAT; ++k)
        counts.kinds[k] = kinds[k];
    return counts;
}

// Every model still fed and without illegal bytes in the block, eight at a time.
void CSingleByteGroup::CountLanes()
{
    for (unsigned i = 0; i < NUM_OF_SBCS_PROBERS; ++i) {
        const Model& model = m_models[i];
        if (model.lane >= 0)
            m_laneLive[static_cast<unsigned>(model.lane)] = mIsActive[i] && !HoldsIllegal(model);
    }
    const LaneTables tables{
        m_orders.data(),         m_lanes,          m_laneFrequent.data(), m_laneMatrix.data(), m_laneRowStep.data(),
        m_laneColumnStep.data(), m_matrices.data()};
    for (unsigned first = 0; first < m_lanes; first += kLaneWidth) {
        bool live = false;
        for (unsigned lane = first; lane < first + kLaneWidth; ++lane)
            live = live || m_laneLive[lane] != 0;
        if (!live)
            continue;
        LaneSums sums;
        single_byte_lanes::SumLanesAvx2(tables, first, m_seenBytes.data(), m_bytes, m_seenBytes.size(),
                                        m_pairCounts.data(), m_pairCounts.size(), sums);
        for (unsigned l = 0; l < kLaneWidth; ++l) {
            BlockCounts& counts = m_laneCounts[first + l];
            counts.letters = sums.letters[l];
            counts.controls = sums.controls[l];
            counts.inSample = sums.inSample[l];
            for (unsigned k = 0; k < NUMBER_OF_SEQ_CAT; ++k)
                counts.kinds[k] = sums.kinds[k][l];
        }
    }
}

// What the prober's own byte loop does to its counters, from the counts.
nsProbingState CSingleByteGroup::Take(unsigned index, const unsigned char* bytes, uint32_t length)
{
    const Model& model = m_models[index];
    nsCharSetProber* prober = mProbers[index];
    if (model.model == nullptr || HoldsIllegal(model))
        return prober->HandleData(reinterpret_cast<const char*>(bytes), length);

    auto* p = static_cast<nsSingleByteCharSetProber*>(prober);
    const unsigned char* order = model.model->charToOrderMap;
    const unsigned frequent = static_cast<unsigned>(model.model->freqCharCount);
    const PRUint8* matrix = model.model->precedenceMatrix;
    PRUint32* seq = p->*Fields::kSeqCounters;

    const BlockCounts counts = m_useLanes ? m_laneCounts[static_cast<unsigned>(model.lane)] : CountModel(model);
    PRUint32 pairs = 0;
    // The first byte pairs with the last of the previous block.
    const unsigned last = p->*Fields::kLastOrder;
    const unsigned first = order[bytes[0]];
    if (first < frequent && last < frequent) {
        ++pairs;
        ++seq[model.reversed ? matrix[first * frequent + last] : matrix[last * frequent + first]];
    }
    for (unsigned k = 0; k < NUMBER_OF_SEQ_CAT; ++k) {
        seq[k] += counts.kinds[k];
        pairs += counts.kinds[k];
    }
    p->*Fields::kTotalChar += counts.letters;
    p->*Fields::kCtrlChar += counts.controls;
    p->*Fields::kFreqChar += counts.inSample;
    p->*Fields::kTotalSeqs += pairs;
    p->*Fields::kLastOrder = static_cast<unsigned char>(order[bytes[length - 1]]);

    nsProbingState& state = p->*Fields::kState;
    if (state == eDetecting && p->*Fields::kTotalSeqs > SB_ENOUGH_REL_THRESHOLD) {
        const float confidence = p->GetConfidence();
        if (confidence > POSITIVE_SHORTCUT_THRESHOLD)
            state = eFoundIt;
        else if (confidence < NEGATIVE_SHORTCUT_THRESHOLD)
            state = eNotMe;
    }
    return state;
}

// The group's own loop, with Take in place of each prober's byte walk.
nsProbingState CSingleByteGroup::HandleData(const char* aBuf, PRUint32 aLen)
{
    const uint32_t length = Filter(aBuf, aLen);
    if (length == 0)
        return mState;
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_filtered.data());
    Count(bytes, length);
    for (const uint16_t pair : m_seenPairs)
        m_pairCounts.push_back({static_cast<uint8_t>(pair >> 8), static_cast<uint8_t>(pair & 0xFF), m_pairs[pair]});
    if (m_useLanes)
        CountLanes();
    for (unsigned i = 0; i < NUM_OF_SBCS_PROBERS; ++i) {
        if (!mIsActive[i])
            continue;
        const nsProbingState st = Take(i, bytes, length);
        if (st == eFoundIt) {
            mBestGuess = static_cast<PRInt32>(i);
            mState = eFoundIt;
            break;
        }
        if (st == eNotMe) {
            mIsActive[i] = PR_FALSE;
            if (--mActiveNum <= 0) {
                mState = eNotMe;
                break;
            }
        }
    }
    Uncount();
    return mState;
}
