#pragma once

#include <cstddef>
#include <cstdint>

#include "varnex/varnex_export.h"

// What a sample holds beyond the code page a statistical finding names, so
// that the finding is read with the widest compatible code page the data
// needs: windows-1252 for ISO-8859-1 is the model.
class VARNEX_API CSupersetScan {
public:
    void Reset() { *this = CSupersetScan(); }
    // Data in pieces as read; sequences cut between pieces are followed.
    void Feed(const char* data, size_t length);
    // Only what reading a single-byte finding needs (C1 bytes, zero bytes,
    // KOI8-U letters): a fraction of the work of Feed.
    void FeedLetters(const char* data, size_t length);
    // Whether Widen needs the multi-byte pairs of Feed for this finding.
    [[nodiscard]] static bool ReadsPairs(int codepage);
    // What Widen and DecodesToC1 need for that finding and no more: its own
    // pairs and the letters. Not for ByStructure.
    void FeedPairsOf(int codepage, const char* data, size_t length);

    // The code page to read a finding with. reportGB18030 keeps deciding only
    // the name of GBK text: four-byte sequences always need 54936.
    int Widen(int codepage, bool reportGB18030) const;

    // Whether some byte 80..9F of the sample decodes to a C1 control in the
    // code page, which text never holds on purpose.
    [[nodiscard]] bool DecodesToC1(int codepage) const;

    // A code page the byte structure alone shows where the statistics name
    // none: Johab (Hangul pairs whose trail bytes EUC-KR never has) or
    // Big5-HKSCS (valid pairs, HKSCS leads, the rest Big5's common
    // characters); -1 otherwise. strong: enough pairs that chance cannot
    // have made the structure.
    int ByStructure(bool* strong = nullptr) const;

    [[nodiscard]] bool HasGb18030FourByte() const { return m_gbFourByte; }
    [[nodiscard]] bool HasUhcExtension() const { return m_uhc; }
    [[nodiscard]] bool HasHkscsExtension() const { return m_hkscs; }
    unsigned UkrainianLetters() const { return m_ukrainian; }

private:
    void FeedByte(unsigned char b);
    void FeedLetter(unsigned char b);
    void FeedGb(unsigned char b);
    void FeedUhc(unsigned char b);
    void FeedBig5(unsigned char b);

    // GBK / GB18030: 0 nothing, 1 after a lead, 2 lead and digit, 3 lead, digit, lead.
    int m_gbState = 0;
    bool m_gbFourByte = false;
    // EUC-KR / UHC and Big5: a lead byte waiting for its trail, 0 for none.
    unsigned char m_uhcLead = 0;
    unsigned char m_big5Lead = 0;
    bool m_uhc = false;
    bool m_hkscs = false;
    unsigned m_big5Pairs = 0;
    unsigned m_big5Common = 0;  // leads A1..C6: symbols and the frequent characters
    unsigned m_hkscsPairs = 0;
    unsigned m_big5Bad = 0;
    unsigned char m_johabLead = 0;
    unsigned m_johabPairs = 0;
    unsigned m_johabHangul = 0;
    unsigned m_johabLowTrail = 0;  // Hangul pairs with a trail below 80
    unsigned m_johabBad = 0;
    unsigned m_zeros = 0;
    // KOI8-U letters the Ukrainian alphabet adds, next to other letters.
    unsigned char m_prev = 0;
    unsigned char m_prevPrev = 0;
    unsigned m_ukrainian = 0;
    // Bytes 80..9F seen, bit n for byte 0x80 + n.
    uint32_t m_c1Bytes = 0;
};
