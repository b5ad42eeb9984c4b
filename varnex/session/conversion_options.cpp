#include "varnex/session/conversion_options.h"

#include <utility>

#include "varnex/convert/file_job.h"

CVarnexBatchJobFilter::CVarnexBatchJobFilter(bool regex, const char16_t* expression)
    : m_enabled(true),
      m_regex(regex),
      m_expression(expression ? expression : u"")
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

void ConversionOptions::SetStoredInputCodepage(int32_t stored)
{
    if (stored < 0)
        inputCodepage.reset();
    else
        inputCodepage = stored;
}

FileJobOutput FileJobOutputOf(const ConversionOptions& options)
{
    FileJobOutput output;
    output.textFormat = options.outputTextFormat;
    output.returnType = options.returnType;
    output.writeBom = options.writeBom;
    output.copyUnconverted = options.copyUnconverted;
    output.keepModeAndTime = options.keepModeAndTime;
    return output;
}
