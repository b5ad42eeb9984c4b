#include "varnex/session/file_info_filter.h"

#include <algorithm>

#include "varnex/session/name_filter.h"

namespace {

// The lists the user types into a multi-line box: a line break ends a
// pattern as a ';' does.
constexpr const char16_t* kLineSeparators = u"\r\n";

}  // namespace

CFileInfoFilter::CFileInfoFilter(const CFileInfoFilter& other)
    : m_bomFilterEnabled(other.m_bomFilterEnabled),
      m_pathFilterEnabled(other.m_pathFilterEnabled),
      m_fileNameFilterEnabled(other.m_fileNameFilterEnabled),
      m_codepageFilterEnabled(other.m_codepageFilterEnabled),
      m_statusFilterEnabled(other.m_statusFilterEnabled),
      m_attentionFilterEnabled(other.m_attentionFilterEnabled),
      m_bomFilter(other.m_bomFilter),
      m_pathFilters(other.m_pathFilters),
      m_fileNameFilters(other.m_fileNameFilters),
      m_codepageFilters(other.m_codepageFilters),
      m_statusFilter(other.m_statusFilter)
{
}

CFileInfoFilter& CFileInfoFilter::operator=(const CFileInfoFilter& other)
{
    if (this != &other)
        CopyProperties(&other);
    return *this;
}

void CFileInfoFilter::CopyProperties(const CFileInfoFilter* source)
{
    if (source == nullptr || source == this)
        return;
    m_bomFilterEnabled = source->m_bomFilterEnabled;
    m_pathFilterEnabled = source->m_pathFilterEnabled;
    m_fileNameFilterEnabled = source->m_fileNameFilterEnabled;
    m_codepageFilterEnabled = source->m_codepageFilterEnabled;
    m_statusFilterEnabled = source->m_statusFilterEnabled;
    m_attentionFilterEnabled = source->m_attentionFilterEnabled;
    m_bomFilter = source->m_bomFilter;
    m_fileNameFilters = source->m_fileNameFilters;
    m_pathFilters = source->m_pathFilters;
    m_statusFilter = source->m_statusFilter;
    m_codepageFilters = source->m_codepageFilters;
    CopyCustomProperties(source);
}

bool CFileInfoFilter::operator()(CVarnexFileInfo* record) const
{
    if (record == nullptr)
        return false;
    if (m_bomFilterEnabled && !PassBomFilter(record))
        return false;
    if (m_pathFilterEnabled && !PassFilePathFilter(record))
        return false;
    if (m_fileNameFilterEnabled && !PassFileNameFilter(record))
        return false;
    if (m_codepageFilterEnabled && !PassCodepageFilter(record))
        return false;
    if (m_statusFilterEnabled && !PassStatusFilter(record))
        return false;
    if (m_attentionFilterEnabled && !PassAttentionFilter(record))
        return false;
    return PassCustomFilter(record);
}

bool CFileInfoFilter::ValidateFilters()
{
    if (m_bomFilter == FilterInfoBomBoth)
        m_bomFilterEnabled = false;
    if (m_pathFilters.empty())
        m_pathFilterEnabled = false;
    if (m_fileNameFilters.empty())
        m_fileNameFilterEnabled = false;
    if (m_bomFilterEnabled || m_pathFilterEnabled || m_fileNameFilterEnabled || m_codepageFilterEnabled ||
        m_statusFilterEnabled || m_attentionFilterEnabled)
        return true;
    return HasCustomFilters();
}

void CFileInfoFilter::SetCodepageFilters(const unsigned int* list, unsigned int count)
{
    m_codepageFilters.clear();
    if (list != nullptr)
        m_codepageFilters.assign(list, list + count);
}

bool CFileInfoFilter::PassBomFilter(CVarnexFileInfo* record) const
{
    switch (m_bomFilter) {
    case FilterInfoBomWith:
        return record->GetHasBom();
    case FilterInfoBomWithout:
        return !record->GetHasBom();
    default:
        return true;
    }
}

bool CFileInfoFilter::PassFilePathFilter(CVarnexFileInfo* record) const
{
    return CNameFilter::PassesWildcardList(record->GetInputFile(), m_pathFilters, kLineSeparators);
}

bool CFileInfoFilter::PassFileNameFilter(CVarnexFileInfo* record) const
{
    return CNameFilter::PassesWildcardList(record->GetInputFileName(), m_fileNameFilters, kLineSeparators);
}

bool CFileInfoFilter::PassCodepageFilter(CVarnexFileInfo* record) const
{
    const CCodepageInfo* info = record->GetCodepageInfo();
    // -1 stands for "no code page" as for the Binary entry; the list holds it as unsigned.
    const unsigned codepage = static_cast<unsigned>(info ? info->GetCodepage() : -1);
    return std::find(m_codepageFilters.begin(), m_codepageFilters.end(), codepage) != m_codepageFilters.end();
}

bool CFileInfoFilter::PassStatusFilter(CVarnexFileInfo* record) const
{
    const VARNEXRESULTSTATE state = record->GetResultState();
    switch (m_statusFilter) {
    case FileInfoStatusNormal:
        return state == VARNEXRESULTSTATE_OK;
    case FileInfoStatusNotDetermined:
        return state == VARNEXRESULTSTATE_NONE;
    case FileInfoStatusWarning:
        return state == VARNEXRESULTSTATE_WARNING;
    case FileInfoStatusError:
        return state == VARNEXRESULTSTATE_FAILED || state == VARNEXRESULTSTATE_ERROR ||
               state == VARNEXRESULTSTATE_CONVERSION_ERROR || state == VARNEXRESULTSTATE_NOT_SUPPORTED ||
               state == VARNEXRESULTSTATE_WRITE_ERROR;
    case FileInfoStatusConverted:
        return state == VARNEXRESULTSTATE_OK && record->GetResultOperation() == VARNEXRESULTOPERATION_CONVERTED;
    case FileInfoStatusCopied:
        return state == VARNEXRESULTSTATE_OK && record->GetResultOperation() == VARNEXRESULTOPERATION_COPIED;
    case FileInfoStatusCancelled:
        return state == VARNEXRESULTSTATE_CANCELLED;
    default:
        return true;
    }
}

bool CFileInfoFilter::NeedsAttention(const CVarnexFileInfo* record)
{
    if (record == nullptr)
        return false;
    switch (record->GetResultState()) {
    case VARNEXRESULTSTATE_NONE:
    case VARNEXRESULTSTATE_CANCELLED:
        return false;
    case VARNEXRESULTSTATE_OK:
        break;
    default:
        return true;  // warnings and every kind of failure
    }
    if (record->GetReplacedCount() != 0)
        return true;
    // Reasons an OK record may still carry (a repaired double encoding, a
    // kept finding about the text).
    for (OutcomeReason reason :
         {OutcomeReason::DetectionUnsure, OutcomeReason::UnknownText, OutcomeReason::ReplacedCharacters,
          OutcomeReason::DoubleEncoded, OutcomeReason::C1Controls, OutcomeReason::ReplacementInText,
          OutcomeReason::ChangedWhileConverted, OutcomeReason::ChangedWhileCopied})
        if (record->HasReason(reason))
            return true;
    return false;
}
