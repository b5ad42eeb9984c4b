#include "textrion/finder/sync_file_finder.h"

#include <algorithm>

#include "base/text.h"
#include "platform/file_api.h"
#include "textrion/finder/file_finder.h"
#include "textrion/finder/find_entry.h"
#include "textrion/io/text_file_reader.h"

using textrion_detail::DescribeEntry;

void CFileFinder::CFindOpts::Reset()
{
    baseFolder.clear();
    fileMask = u"*.*";
    subfolders = false;
    options = 0;
    attributeMask = 0;
    minSize = maxSize = 0;
    const std::time_t now = std::time(nullptr);
    minCreated = maxCreated = minModified = maxModified = minAccessed = maxAccessed = now;
}

CFileFinder::CFileFinder() = default;
CFileFinder::~CFileFinder() = default;

void CFileFinder::SetCallback(ProgressCallback progress, CompletionCallback completion, void* parameter)
{
    m_progress = std::move(progress);
    m_completion = std::move(completion);
    m_parameter = parameter;
}

void CFileFinder::SetCallback(ProgressCallback progress, void* parameter)
{
    SetCallback(std::move(progress), nullptr, parameter);
}

void CFileFinder::Report(CallbackCode code)
{
    if (m_progress)
        m_progress(this, code, m_parameter);
}

int CFileFinder::FindFiles(const char16_t* folder, const char16_t* mask, int subFolders)
{
    CFindOpts opts;
    opts.baseFolder = folder ? folder : u"";
    opts.fileMask = mask && *mask ? mask : u"*.*";
    opts.subfolders = subFolders != 0;
    opts.FindAllFiles();
    return Find(opts);
}

int CFileFinder::Find(CFindOpts& opts)
{
    m_baseFolder = opts.baseFolder;
    m_stop = false;
    Search(opts);
    if (m_completion)
        m_completion(this, m_parameter);
    return GetFileCount();
}

void CFileFinder::Search(const CFindOpts& opts)
{
    const std::u16string folder = AddBackSlash(opts.baseFolder.c_str());
    platform::DirectoryReader reader;
    platform::DirectoryEntry listed;
    if (opts.subfolders && reader.Open(folder)) {
        std::vector<std::u16string> subfolders;
        while (reader.Next(listed) && CanContinue()) {
            CFindEntry entry;
            if (!IsDotsName(listed.name) && DescribeEntry(folder, listed, entry) && entry.IsDirectory())
                subfolders.push_back(folder + listed.name);
        }
        reader.Close();
        for (const auto& sub : subfolders) {
            if (!CanContinue())
                return;
            CFindOpts inner = opts;
            inner.baseFolder = sub;
            Search(inner);
        }
    }
    m_searchingFolder = folder;
    Report(FF_FOLDER);
    if (!reader.Open(folder))
        return;
    // "*.*" is the classic "everything", names without a dot included.
    const std::u16string mask = opts.fileMask == u"*.*" ? u"*" : opts.fileMask;
    while (reader.Next(listed) && CanContinue()) {
        CFindEntry entry;
        if (IsDotsName(listed.name) || !DescribeEntry(folder, listed, entry) || entry.IsDirectory())
            continue;
        if (!CFileFinderThread::MatchesWildcard(mask, listed.name))
            continue;
        bool pass = true;
        if ((opts.options & FIND_ATTRIBUTES) && (entry.attributes & opts.attributeMask) == 0)
            pass = false;
        if (pass && (opts.options & FIND_SIZE) && (entry.size < opts.minSize || entry.size > opts.maxSize))
            pass = false;
        if (pass && (opts.options & FIND_DATE_MODIFIED) &&
            (entry.modified < opts.minModified || entry.modified > opts.maxModified))
            pass = false;
        if (pass && (opts.options & (FIND_DATE_CREATED | FIND_DATE_ACCESSED))) {
            std::time_t created = 0, accessed = 0, modified = 0;
            // Times that cannot be read stay 0 and are judged as 0.
            (void)CBinaryFileReader::GetFileTime((folder + listed.name).c_str(), created, accessed, modified);
            if ((opts.options & FIND_DATE_CREATED) && (created < opts.minCreated || created > opts.maxCreated))
                pass = false;
            if ((opts.options & FIND_DATE_ACCESSED) && (accessed < opts.minAccessed || accessed > opts.maxAccessed))
                pass = false;
        }
        if (pass && (opts.options & FIND_TEXT) && !FindTextInFile(folder + listed.name, opts.textToFind))
            pass = false;
        if (!pass) {
            Report(FF_DISCARDED);
            continue;
        }
        m_paths.push_back(folder + listed.name);
        Report(FF_FOUND);
    }
}

std::u16string CFileFinder::GetFilePath(int index) const
{
    if (index < 0 || index >= GetFileCount())
        return {};
    return m_paths[static_cast<size_t>(index)];
}

int CFileFinder::FindPathItem(const std::u16string& path) const
{
    for (size_t i = 0; i < m_paths.size(); ++i)
        if (text::EqualsNoCase(m_paths[i], path))
            return static_cast<int>(i);
    return -1;
}

void CFileFinder::RemoveAt(int index)
{
    if (index >= 0 && index < GetFileCount())
        m_paths.erase(m_paths.begin() + index);
}

std::u16string CFileFinder::AddBackSlash(const char16_t* path, int useSlash)
{
    std::u16string result = path ? path : u"";
    if (!result.empty() && result.back() != u'/' && result.back() != u'\\')
        result.push_back(useSlash ? u'/' : u'\\');
    return result;
}

int CFileFinder::FindTextInFile(const std::u16string& path, const std::u16string& textToFind)
{
    if (textToFind.empty())
        return 0;
    CTextFileReader reader(path.c_str(), 65536);
    if (!reader.IsOpen())
        return 0;
    const std::u16string wanted = text::AsciiLowered(textToFind);
    // Blocks overlap by the text's length so a match across two blocks is found.
    const size_t block = std::max<size_t>(wanted.size() * 2, 4096);
    std::u16string window;
    std::u16string portion;
    unsigned blocks = 0;
    while (reader.Read(portion, static_cast<unsigned>(block)) > 0) {
        window += text::AsciiLowered(portion);
        window.erase(std::remove(window.begin(), window.end(), u'\0'), window.end());
        if (window.find(wanted) != std::u16string::npos)
            return 1;
        if (window.size() > wanted.size())
            window.erase(0, window.size() - wanted.size());
        if (++blocks % 10 == 0)
            Report(FF_FINDTEXT);
        if (!CanContinue())
            break;
    }
    return 0;
}
