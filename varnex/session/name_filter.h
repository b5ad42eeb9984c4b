#pragma once

#include <memory>
#include <string>

#include "varnex/varnex_export.h"

// The file-name filter of a job: a wildcard list ("*.txt;*.csv", split at
// ';', tokens not trimmed, case ignored) or a regular expression (case
// ignored, matching the whole name). Expressions run in time linear in the
// name's length, so no pattern can hang a walk: the ECMAScript syntax without
// back-references and look-arounds, which such an engine cannot offer (a
// pattern using them is refused as invalid). Compiled once.
class VARNEX_API CNameFilter {
public:
    // extraSeparators also end a token (the views' filters split at CR and LF too).
    static bool PassesWildcardList(const std::u16string& name, const std::u16string& list,
                                   const char16_t* extraSeparators = u"");
    static bool MatchesWildcard(const std::u16string& name, const std::u16string& pattern);
    // Whether the expression compiles; error (optional) receives why not.
    static bool IsValidRegex(const std::u16string& expression, std::string* error = nullptr);

    CNameFilter() = default;
    CNameFilter(bool regex, const std::u16string& expression);
    // A name that cannot be matched (a bad expression, an error while
    // matching) does not pass.
    bool Passes(const std::u16string& name) const;

private:
    bool m_regex = false;
    std::u16string m_expression;
    struct Compiled;
    static std::shared_ptr<const Compiled> Compile(const std::u16string& expression, std::string* error);
    std::shared_ptr<const Compiled> m_compiled;
};
