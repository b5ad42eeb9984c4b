#include "app/options/program_version.h"

#include "base/text.h"

std::u16string ProgramVersion()
{
    return text::FromUtf8(VARNELPRO_VERSION);
}
