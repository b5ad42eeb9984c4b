#pragma once

#include <cstdint>
#include <string_view>

// The line-ending style of written text. The converter's, the encoders' and
// the filter's own enumerations are views onto this one.
enum class LineEnding : uint8_t { Keep = 0, Cr = 1, Lf = 2, CrLf = 3 };

// The units one line break is written as; empty for Keep.
constexpr std::u16string_view LineBreakUnits(LineEnding ending)
{
    switch (ending) {
    case LineEnding::Cr:
        return u"\r";
    case LineEnding::Lf:
        return u"\n";
    case LineEnding::CrLf:
        return u"\r\n";
    default:
        return {};
    }
}

// The rules every reader and rewriter of line breaks shares: a break is CR LF,
// a lone CR or a lone LF, and a CR LF pair split between two inputs is one
// break. The split is remembered from one input to the next.
class CLineBreakRewriter {
public:
    explicit CLineBreakRewriter(LineEnding target = LineEnding::Keep) : m_target(target) { }

    void SetTarget(LineEnding target) { m_target = target; }
    LineEnding GetTarget() const { return m_target; }
    [[nodiscard]] bool Rewrites() const { return m_target != LineEnding::Keep; }
    // What every break becomes.
    std::u16string_view Replacement() const { return LineBreakUnits(m_target); }

    [[nodiscard]] static bool IsBreak(char16_t u) { return u == u'\r' || u == u'\n'; }
    // The units (1 or 2) of the break starting at src[at].
    static unsigned BreakLength(const char16_t* src, unsigned at, unsigned srcLength)
    {
        return src[at] == u'\r' && at + 1 < srcLength && src[at + 1] == u'\n' ? 2 : 1;
    }

    // At the start of an input: 1 when src[0] is the LF of a CR LF whose CR
    // ended the previous input (already handled as a whole break), else 0.
    unsigned SkipSplitPair(const char16_t* src, unsigned srcLength)
    {
        if (srcLength == 0)
            return 0;
        const bool skip = m_pendingCR && src[0] == u'\n';
        m_pendingCR = false;
        return skip ? 1 : 0;
    }
    // Once a break of taken units starting with first is handled: a lone CR
    // that ended the input may be the first half of a pair.
    void Handled(char16_t first, unsigned taken, bool endedInput)
    {
        m_pendingCR = first == u'\r' && taken == 1 && endedInput;
    }
    void Reset() { m_pendingCR = false; }

private:
    LineEnding m_target;
    bool m_pendingCR = false;
};
