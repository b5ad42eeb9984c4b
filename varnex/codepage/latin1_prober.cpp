#include "varnex/codepage/latin1_prober.h"

namespace {

// uchardet's Latin-1 character classes and how likely each follows each
// (nsLatin1Prober.cpp keeps both to itself). Classes: undefined, other,
// ASCII capital, ASCII small, accented capital vowel, accented capital
// other, accented small vowel, accented small other.
enum : unsigned char { UDF, OTH, ASC, ASS, ACV, ACO, ASV, ASO, kClasses };

constexpr unsigned char kClassOf[256] = {
    OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH,  // 00
    OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH,  // 10
    OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH,  // 20
    OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH,  // 30
    OTH, ASC, ASC, ASC, ASC, ASC, ASC, ASC, ASC, ASC, ASC, ASC, ASC, ASC, ASC, ASC,  // 40
    ASC, ASC, ASC, ASC, ASC, ASC, ASC, ASC, ASC, ASC, ASC, OTH, OTH, OTH, OTH, OTH,  // 50
    OTH, ASS, ASS, ASS, ASS, ASS, ASS, ASS, ASS, ASS, ASS, ASS, ASS, ASS, ASS, ASS,  // 60
    ASS, ASS, ASS, ASS, ASS, ASS, ASS, ASS, ASS, ASS, ASS, OTH, OTH, OTH, OTH, OTH,  // 70
    OTH, UDF, OTH, ASO, OTH, OTH, OTH, OTH, OTH, OTH, ACO, OTH, ACO, UDF, ACO, UDF,  // 80
    UDF, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, ASO, OTH, ASO, UDF, ASO, ACO,  // 90
    OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH,  // A0
    OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH, OTH,  // B0
    ACV, ACV, ACV, ACV, ACV, ACV, ACO, ACO, ACV, ACV, ACV, ACV, ACV, ACV, ACV, ACV,  // C0
    ACO, ACO, ACV, ACV, ACV, ACV, ACV, OTH, ACV, ACV, ACV, ACV, ACV, ACO, ACO, ACO,  // D0
    ASV, ASV, ASV, ASV, ASV, ASV, ASO, ASO, ASV, ASV, ASV, ASV, ASV, ASV, ASV, ASV,  // E0
    ASO, ASO, ASV, ASV, ASV, ASV, ASV, OTH, ASV, ASV, ASV, ASV, ASV, ASO, ASO, ASO,  // F0
};

// 0 illegal, 1 very unlikely, 2 normal, 3 very likely; row: the class before.
constexpr unsigned char kFollows[kClasses * kClasses] = {
    0, 0, 0, 0, 0, 0, 0, 0,  // UDF
    0, 3, 3, 3, 3, 3, 3, 3,  // OTH
    0, 3, 3, 3, 3, 3, 3, 3,  // ASC
    0, 3, 3, 3, 1, 1, 3, 3,  // ASS
    0, 3, 3, 3, 1, 2, 1, 2,  // ACV
    0, 3, 3, 3, 3, 3, 3, 3,  // ACO
    0, 3, 1, 3, 1, 1, 1, 3,  // ASV
    0, 3, 1, 3, 1, 1, 3, 3,  // ASO
};

bool InWord(unsigned char b)
{
    return b >= 0x80 || ((b | 0x20) >= 'a' && (b | 0x20) <= 'z');
}

}  // namespace

// FilterWithEnglishLetters walked in place: runs of letters and high bytes,
// each kept with a space after it unless a tag is open where it ends (the
// '<' that ends a run opens one first, so the run before it goes too). A
// run is counted as it goes and its counts added only once it is kept.
nsProbingState CLatin1Prober::HandleData(const char* aBuf, PRUint32 aLen)
{
    // Once ruled out the answer is fixed and the counts are no longer read.
    if (mState == eNotMe)
        return mState;
    const auto* data = reinterpret_cast<const unsigned char*>(aBuf);
    // Kept so far, and the run now: counts up to its first illegal pair.
    unsigned last = static_cast<unsigned char>(mLastCharClass);
    PRUint32 counts[4] = {};
    unsigned runLast = last;
    PRUint32 run[4] = {};
    bool runIllegal = false;
    bool inTag = false;
    PRUint32 start = 0;
    const auto keepRun = [&](bool space) {
        for (unsigned k = 1; k < 4; ++k)
            counts[k] += run[k];
        if (runIllegal)
            return false;
        last = runLast;
        if (space) {
            // Every class but the undefined one, which is illegal, takes a space.
            ++counts[kFollows[last * kClasses + OTH]];
            last = OTH;
        }
        return true;
    };
    bool ok = true;
    for (PRUint32 i = 0; i < aLen; ++i) {
        const unsigned char b = data[i];
        if (InWord(b)) {
            const unsigned cls = kClassOf[b];
            const unsigned char freq = kFollows[runLast * kClasses + cls];
            const bool counted = !runIllegal;
            runIllegal = runIllegal || freq == 0;
            run[1] += counted && freq == 1;
            run[2] += counted && freq == 2;
            run[3] += counted && freq == 3;
            // An illegal run is never kept: where it ends matters no more.
            runLast = cls;
            continue;
        }
        if (b == '>')
            inTag = false;
        else if (b == '<')
            inTag = true;
        if (i > start && !inTag && !keepRun(true)) {
            ok = false;
            break;
        }
        run[1] = run[2] = run[3] = 0;
        runIllegal = false;
        runLast = last;
        start = i + 1;
    }
    if (ok && !inTag && aLen > start)
        ok = keepRun(false);
    for (unsigned k = 1; k < 4; ++k)
        mFreqCounter[k] += counts[k];
    mLastCharClass = static_cast<char>(last);
    if (!ok)
        mState = eNotMe;
    return mState;
}
