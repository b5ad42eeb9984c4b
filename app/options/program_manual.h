#pragma once

#include <string>
#include <string_view>

// The manual page and the bash completion, written from the switch table at
// build time so that neither can drift from what -help lists.

// varnelpro(1) in roff (English).
std::string ManualPage(std::string_view version);

// A bash script defining _varnelpro and registering it for varnelpro.
// Code page names are asked of the program itself when first needed.
std::string BashCompletion();
