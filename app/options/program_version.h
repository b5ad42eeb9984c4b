#pragma once

#include <string>

// The program's version as the build names it ("2.0.0").
std::u16string ProgramVersion();
