#include "varnex/session/name_filter.h"

#include <re2/re2.h>

#include "base/text.h"
#include "textrion/finder/file_finder.h"

bool CNameFilter::MatchesWildcard(const std::u16string& name, const std::u16string& pattern)
{
    return CFileFinderThread::MatchesWildcard(pattern, name);
}

bool CNameFilter::PassesWildcardList(const std::u16string& name, const std::u16string& list,
                                     const char16_t* extraSeparators)
{
    if (name.empty() || list.empty())
        return false;
    const std::u16string separators = std::u16string(u";") + (extraSeparators ? extraSeparators : u"");
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find_first_of(separators, start);
        if (end == std::u16string::npos)
            end = list.size();
        if (end > start && MatchesWildcard(name, list.substr(start, end - start)))
            return true;
        start = end + 1;
    }
    return false;
}

struct CNameFilter::Compiled {
    explicit Compiled(const std::string& pattern) : expression(pattern, Options()) { }
    static RE2::Options Options()
    {
        RE2::Options options;
        options.set_case_sensitive(false);
        options.set_log_errors(false);
        return options;
    }
    RE2 expression;
};

std::shared_ptr<const CNameFilter::Compiled> CNameFilter::Compile(const std::u16string& expression, std::string* error)
{
    auto compiled = std::make_shared<const CNameFilter::Compiled>(text::ToUtf8(expression));
    if (compiled->expression.ok())
        return compiled;
    if (error)
        *error = compiled->expression.error();
    return nullptr;
}

bool CNameFilter::IsValidRegex(const std::u16string& expression, std::string* error)
{
    return Compile(expression, error) != nullptr;
}

CNameFilter::CNameFilter(bool regex, const std::u16string& expression) : m_regex(regex), m_expression(expression)
{
    if (m_regex)
        m_compiled = Compile(expression, nullptr);
}

bool CNameFilter::Passes(const std::u16string& name) const
{
    if (!m_regex)
        return PassesWildcardList(name, m_expression);
    if (!m_compiled)
        return false;  // an expression that does not compile lets nothing pass
    // A byte of a name that is not UTF-8 matches as U+FFFD.
    return RE2::FullMatch(text::ToUtf8(name), m_compiled->expression);
}
