// Which codec family converts a code page.
#include "codecs/codec_family.h"

namespace codecs::detail {

FamilyChoice ChooseFamily(unsigned codePage)
{
    FamilyChoice choice;
    if (IsDefaultCodePage(codePage)) {
        choice.family = CodecFamily::kDefault;
    } else if ((choice.table = SingleByteTableFor(codePage))) {
        choice.family = CodecFamily::kSingleByte;
    } else if (const auto scheme = SevenBitSchemeOf(codePage)) {
        choice.family = CodecFamily::kSevenBit;
        choice.scheme = *scheme;
    } else if (codePage == kJohabCodePage) {
        choice.family = CodecFamily::kJohab;
    } else if ((choice.row = FindRow(codePage))) {
        choice.family = CodecFamily::kIcu;
    }
    return choice;
}

}  // namespace codecs::detail
