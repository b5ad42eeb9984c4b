#pragma once

#include <string>

#include "varnex/varnex_export.h"

// The target of a file found under baseFolder, mirrored into outputFolder;
// empty when there is no output folder or the target would not lie inside it
// (a ".." component, a file outside the base folder).
VARNEX_API std::u16string MirroredTargetPath(const char16_t* file, const char16_t* baseFolder,
                                             const char16_t* outputFolder);
// The file's name in outputFolder; empty when there is no output folder.
VARNEX_API std::u16string TargetPathInFolder(const char16_t* file, const char16_t* outputFolder);
