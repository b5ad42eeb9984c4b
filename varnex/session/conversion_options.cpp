#include "varnex/session/conversion_options.h"

#include <utility>

CVarnexBatchJobFilter::CVarnexBatchJobFilter(bool regex, const char16_t* expression)
    : m_enabled(true), m_regex(regex), m_expression(expression ? expression : u"")
{
}

void CVarnexBatchJobFilter::SetFilterString(bool regex, const char16_t* expression)
{
    m_regex = regex;
    m_expression = expression ? expression : u"";
}

void CVarnexBatchJobFilter::SetFilterString(bool regex, std::u16string expression)
{
    m_regex = regex;
    m_expression = std::move(expression);
}

void VARNEXCONVERSIONOPTIONS::SetStoredInputCodepage(int32_t stored)
{
    if (stored < 0)
        inputCodepage.reset();
    else
        inputCodepage = stored;
}
