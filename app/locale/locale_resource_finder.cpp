#include "app/locale/locale_resource_finder.h"

#include <algorithm>

#include "base/text.h"

const char16_t* const CLocaleResourceFinder::LOCALES_FOLDER = u"Locales";
const char16_t* const CLocaleResourceFinder::LOCALE_XML = u"locale.xml";

CLocaleResourceFinder::~CLocaleResourceFinder()
{
    // OnFileFound touches this class's members: the thread must end before they go.
    SetStopAndWait();
}

CLocaleResourceFinder::CLocaleResourceFinder(std::u16string programFolder)
    : CFileFinderThread(u"*"),
      m_programFolder(std::move(programFolder))
{
}

std::u16string CLocaleResourceFinder::GetLocalesFolder() const
{
    return CLongPath(m_programFolder).Append(LOCALES_FOLDER).GetPath();
}

void CLocaleResourceFinder::StartSearch()
{
    std::lock_guard<std::mutex> lock(m_searchMutex);
    StartSearchLocked();
}

void CLocaleResourceFinder::StartSearchLocked()
{
    if (m_searched)
        return;
    m_searched = true;
    const std::u16string folder = GetLocalesFolder();
    FindFiles(folder.c_str(), true, false);
    // Without a thread the search still has to happen: run it here.
    if (!CreateThread())
        ThreadHandler();
}

std::vector<CXmlLocaleResourceInfo> CLocaleResourceFinder::GetLocaleList()
{
    {
        std::lock_guard<std::mutex> lock(m_searchMutex);
        StartSearchLocked();
        WaitForThreadExit();
    }
    std::vector<CXmlLocaleResourceInfo> list;
    {
        CSingleLock lock(m_listLock.GetCriticalSection());
        list = m_list;
    }
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
        return text::AsciiLowered(a.GetLocale()) < text::AsciiLowered(b.GetLocale());
    });
    return list;
}

void CLocaleResourceFinder::OnFileFound(const CFindEntry& entry, CFileFinderJob* job)
{
    if (entry.IsDirectory() || !text::EqualsNoCase(entry.name, LOCALE_XML))
        return;
    CLongPath path(job->GetJobFolder());
    path.Append(entry.name);
    CXmlLocaleResourceInfo info(m_programFolder, path.GetPath());
    if (!info.IsParsed())
        return;
    CSingleLock lock(m_listLock.GetCriticalSection());
    m_list.push_back(std::move(info));
}
