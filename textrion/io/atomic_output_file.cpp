#include "textrion/io/atomic_output_file.h"

#include <atomic>
#include <cstdint>
#include <string_view>

#include "base/text.h"
#include "platform/file_api.h"
#include "platform/native_path.h"
#include "platform/process.h"
#include "platform/temporary_files.h"
#include "textrion/path/long_path.h"

namespace {

constexpr std::u16string_view kTemporarySuffix = u".varnel-part";

// Eight hex digits naming this host, so machines writing into one shared
// output tree never take each other's temporary files for stale ones.
const std::u16string& HostTag()
{
    static const std::u16string tag = [] {
        const std::string host = platform::ToNativePath(platform::HostName());
        uint32_t hash = 2166136261u;  // FNV-1a
        for (const char c : host)
            hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        static const char16_t kHex[] = u"0123456789abcdef";
        std::u16string out;
        for (int shift = 28; shift >= 0; shift -= 4)
            out += kHex[(hash >> shift) & 15];
        return out;
    }();
    return tag;
}

// The longest start of a file name that takes at most maxBytes bytes on disk
// (UTF-8; a surrogate pair is never cut in two).
std::u16string_view NamePrefix(std::u16string_view name, size_t maxBytes)
{
    size_t bytes = 0;
    size_t i = 0;
    while (i < name.size()) {
        const char16_t u = name[i];
        const bool pair = u >= 0xD800 && u <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
                          name[i + 1] <= 0xDFFF;
        const size_t size = pair ? 4 : u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        i += pair ? 2 : 1;
    }
    return name.substr(0, i);
}

bool IsFifoOrDevice(platform::FileType type)
{
    return type == platform::FileType::Fifo || type == platform::FileType::CharDevice ||
           type == platform::FileType::BlockDevice || type == platform::FileType::Socket;
}

}  // namespace

CAtomicOutputFile::CAtomicOutputFile(std::u16string finalPath, bool followNamed) : m_final(std::move(finalPath))
{
    platform::FileStatus own, reached;
    if (followNamed && platform::GetFileStatus(m_final, &own, false)) {
        const bool reachable = platform::GetFileStatus(m_final, &reached, true);
        m_writeThrough = reachable && (IsFifoOrDevice(reached.type) || platform::IsStandardHandleFile(reached));
        // Renaming onto a link would replace the link, not the file it names.
        if (own.type == platform::FileType::Symlink && !m_writeThrough &&
            (!reachable || reached.type == platform::FileType::Regular))
            m_final = platform::ResolvePath(m_final);
    }
    Restart();
}

int CAtomicOutputFile::OpenWriteThrough(int* error) const
{
    return platform::OpenFile(m_final, platform::FILE_ACCESS_WRITE, platform::FILE_WRITE_THROUGH, error);
}

CAtomicOutputFile::~CAtomicOutputFile()
{
    Discard();
}

void CAtomicOutputFile::Restart()
{
    Discard();
    m_committed = false;
    if (m_writeThrough) {
        m_temporary.clear();
        return;
    }
    m_temporary = TemporaryPathFor(m_final);
    m_removedOnSignal = std::make_unique<platform::TemporaryFileGuard>(m_temporary);
}

bool CAtomicOutputFile::Commit(int* error)
{
    int why = 0;
    if (!m_committed && !m_writeThrough && !platform::RenameFile(m_temporary, m_final, &why)) {
        if (error)
            *error = why;
        return false;
    }
    m_committed = true;
    m_removedOnSignal.reset();
    return true;
}

void CAtomicOutputFile::Discard()
{
    if (!m_committed && !m_temporary.empty())
        platform::RemoveFile(m_temporary);
    m_removedOnSignal.reset();
}

// A name of our own in the final file's folder, so the rename stays on one file system.
std::u16string CAtomicOutputFile::TemporaryPathFor(const std::u16string& finalPath)
{
    static std::atomic<unsigned> counter{0};
    CLongPath path(finalPath);
    std::u16string temp = path.GetDirectory();
    temp += u".";
    // File names end at 255 bytes, not units: keep room for the suffix.
    temp += NamePrefix(path.GetFileName(), 200);
    temp += u".";
    temp += HostTag();
    temp += u"-";
    temp += text::FromUnsigned(platform::ProcessId());
    temp += u"-";
    temp += text::FromUnsigned(counter.fetch_add(1));
    temp += kTemporarySuffix;
    return temp;
}

bool CAtomicOutputFile::IsStaleTemporaryName(const std::u16string& name)
{
    const std::u16string_view view(name);
    if (view.size() <= kTemporarySuffix.size() + 1 || view[0] != u'.' ||
        view.substr(view.size() - kTemporarySuffix.size()) != kTemporarySuffix)
        return false;
    const std::u16string_view stem = view.substr(0, view.size() - kTemporarySuffix.size());
    const size_t dot = stem.rfind(u'.');
    if (dot == 0 || dot == std::u16string_view::npos)
        return false;
    // <host>-<pid>-<n>
    const std::u16string_view tail = stem.substr(dot + 1);
    const size_t first = tail.find(u'-'), second = tail.rfind(u'-');
    unsigned long long pid = 0, n = 0;
    if (first == std::u16string_view::npos || first == second || tail.substr(0, first) != HostTag() ||
        !text::ToUnsigned(tail.substr(first + 1, second - first - 1), 19, pid) ||
        !text::ToUnsigned(tail.substr(second + 1), 19, n))
        return false;
    return pid != 0 && pid <= 0x7FFFFFFF && pid != platform::ProcessId() && !platform::ProcessExists(pid);
}

std::vector<std::u16string> CAtomicOutputFile::RemoveStaleTemporaryFiles(const std::u16string& folder, bool recursive)
{
    std::vector<std::u16string> removed;
    std::vector<std::u16string> folders{CLongPath(folder).RemoveBackslash().GetPath()};
    while (!folders.empty()) {
        const std::u16string current = std::move(folders.back());
        folders.pop_back();
        platform::DirectoryReader reader;
        if (!reader.Open(current))
            continue;
        platform::DirectoryEntry entry;
        while (reader.Next(entry)) {
            const std::u16string path = CLongPath(current).Append(entry.name).GetPath();
            // The listing's own type: a link is never followed.
            if (entry.type == platform::FileType::Directory && recursive)
                folders.push_back(path);
            else if (entry.type == platform::FileType::Regular && IsStaleTemporaryName(entry.name) &&
                     platform::RemoveFile(path))
                removed.push_back(path);
        }
    }
    return removed;
}
