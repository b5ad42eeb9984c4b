#pragma once

// uchardet's own headers: nscore.h must come first.
#include "nscore.h"

#include "nsLatin1Prober.h"

// uchardet's Latin-1 prober with the same counts and answers, taken from the
// data in place: the base class first copies the words it keeps into a
// buffer it allocates for every block.
class CLatin1Prober : public nsLatin1Prober {
public:
    nsProbingState HandleData(const char* aBuf, PRUint32 aLen) override;
};
