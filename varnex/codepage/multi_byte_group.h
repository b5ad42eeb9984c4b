#pragma once

// uchardet's own headers: nscore.h must come first.
#include "nscore.h"

#include "nsCharSetProber.h"
#include "nsMBCSGroupProber.h"

class nsCodingStateMachine;

// uchardet's multi-byte group, with the same probers, answers and order,
// without the calls that change nothing: a prober whose byte machine has
// failed stays failed, yet the group hands it every later run of high bytes
// (the UTF-8 prober even walks each one to the end).
class CMultiByteGroup : public nsMBCSGroupProber {
public:
    explicit CMultiByteGroup(PRUint32 languageFilter);

    nsProbingState HandleData(const char* aBuf, PRUint32 aLen) override;

private:
    // Hands one run to the probers in order; true once one is sure.
    [[nodiscard]] bool Take(const char* run, PRUint32 length);
    [[nodiscard]] bool Failed(unsigned index) const;

    // Null where a prober's machine could leave its error state.
    nsCodingStateMachine* m_machines[NUM_OF_PROBERS] = {};
};
