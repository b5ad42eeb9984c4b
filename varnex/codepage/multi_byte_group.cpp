#include "varnex/codepage/multi_byte_group.h"

#include <initializer_list>

#include "nsCodingStateMachine.h"

namespace {

// The protected members, reached through member pointers named in classes
// derived from theirs, the one way the language allows from outside.
template <class Prober> struct MachineOf : Prober {
    static nsCodingStateMachine* Get(nsCharSetProber* prober)
    {
        auto* typed = dynamic_cast<Prober*>(prober);
        return typed == nullptr ? nullptr : typed->*(&MachineOf::mCodingSM);
    }
};

struct MachineFields : nsCodingStateMachine {
    static constexpr auto kState = &MachineFields::mCurrentState;
    static constexpr auto kModel = &MachineFields::mModel;
};

nsCodingStateMachine* MachineOfProber(nsCharSetProber* prober)
{
    nsCodingStateMachine* machine = nullptr;
    for (nsCodingStateMachine* found : {MachineOf<nsUTF8Prober>::Get(prober), MachineOf<nsSJISProber>::Get(prober),
                                        MachineOf<nsEUCJPProber>::Get(prober), MachineOf<nsGB18030Prober>::Get(prober),
                                        MachineOf<nsEUCKRProber>::Get(prober), MachineOf<nsBig5Prober>::Get(prober),
                                        MachineOf<nsEUCTWProber>::Get(prober)})
        machine = machine != nullptr ? machine : found;
    return machine;
}

// Whether every byte leaves the machine's error state as it is.
bool ErrorIsFinal(const nsCodingStateMachine& machine)
{
    const SMModel* model = machine.*MachineFields::kModel;
    for (PRUint32 cls = 0; cls < model->classFactor; ++cls)
        if (GETFROMPCK(eError * model->classFactor + cls, model->stateTable) != eError)
            return false;
    return true;
}

}  // namespace

CMultiByteGroup::CMultiByteGroup(PRUint32 languageFilter) : nsMBCSGroupProber(languageFilter)
{
    for (unsigned i = 0; i < NUM_OF_PROBERS; ++i) {
        nsCodingStateMachine* machine = mProbers[i] == nullptr ? nullptr : MachineOfProber(mProbers[i]);
        m_machines[i] = machine != nullptr && ErrorIsFinal(*machine) ? machine : nullptr;
    }
}

bool CMultiByteGroup::Failed(unsigned index) const
{
    return m_machines[index] != nullptr && m_machines[index]->*MachineFields::kState == eError;
}

bool CMultiByteGroup::Take(const char* run, PRUint32 length)
{
    for (unsigned i = 0; i < NUM_OF_PROBERS; ++i) {
        if (!mIsActive[i] || Failed(i))
            continue;
        if (mProbers[i]->HandleData(run, length) == eFoundIt) {
            mBestGuess = static_cast<PRInt32>(i);
            mState = eFoundIt;
            return true;
        }
    }
    return false;
}

// The group's own loop: runs of high bytes with the two bytes after each.
nsProbingState CMultiByteGroup::HandleData(const char* aBuf, PRUint32 aLen)
{
    PRUint32 start = 0;
    PRUint32 keepNext = mKeepNext;
    for (PRUint32 pos = 0; pos < aLen; ++pos) {
        if (aBuf[pos] & 0x80) {
            if (!keepNext)
                start = pos;
            keepNext = 2;
        } else if (keepNext && --keepNext == 0 && Take(aBuf + start, pos + 1 - start)) {
            return mState;
        }
    }
    if (keepNext && Take(aBuf + start, aLen - start))
        return mState;
    mKeepNext = keepNext;
    return mState;
}
