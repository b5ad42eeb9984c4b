#include "textrion/io/atomic_output_file.h"

#include <atomic>
#include <cerrno>
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

// Eight hex digits naming this host: with the process id and a counter, a
// name that no other run makes at the same time in a shared output tree.
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
        const bool pair =
            u >= 0xD800 && u <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF;
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
    if (m_writeThrough)
        return;
    const CLongPath path(m_final);
    m_name = path.GetFileName();
    const std::u16string folder = path.GetDirectory();
    m_folder = platform::OpenFolderAt(folder.empty() ? u"." : folder, &m_folderError);
    Restart();
}

CAtomicOutputFile::CAtomicOutputFile(platform::FolderRef folder, std::u16string name, std::u16string finalPath)
    : m_folder(std::move(folder)),
      m_name(std::move(name)),
      m_final(std::move(finalPath))
{
    if (!m_folder)
        m_folderError = ENOENT;
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
    m_temporaryName = CLongPath(m_temporary).GetFileName();
}

int CAtomicOutputFile::Create(int* error)
{
    if (m_writeThrough || !m_folder) {
        if (error)
            *error = m_writeThrough ? EINVAL : m_folderError;
        return -1;
    }
    for (int attempt = 0; m_handle < 0; ++attempt) {
        if (attempt > 0)
            Restart();
        int why = 0;
        // Named before it is made: a signal between the two must not miss it.
        m_removedOnSignal = std::make_unique<platform::TemporaryFileGuard>(
            m_folder->Handle(), m_temporaryName, platform::TemporaryFileGuard::BeforeMaking{});
        // Checked after the naming: a removal that began before it sees the name or is seen here.
        m_handle = platform::TemporaryFilesEnding() ? platform::INVALID_FILE_HANDLE
                                                    : platform::CreateFileIn(*m_folder, m_temporaryName, &why);
        if (m_handle < 0) {
            if (platform::TemporaryFilesEnding())
                why = ECANCELED;
            m_removedOnSignal.reset();
            if (error)
                *error = why;
            return -1;
        }
        m_removedOnSignal->Made();
        // Another run's clean-up may have taken the file for stale between
        // its making and the lock: it is then gone, and another name is made.
        platform::FileStatus status;
        if (!platform::LockInUse(m_handle, &why) ||
            !platform::GetFileStatusIn(*m_folder, m_temporaryName, &status, &why)) {
            platform::CloseFile(m_handle);
            m_handle = -1;
            if (attempt < 3 && why == ENOENT)
                continue;
            if (error)
                *error = why;
            return -1;
        }
    }
    const int handle = platform::DuplicateHandle(m_handle);
    if (handle < 0 && error)
        *error = errno;
    return handle;
}

bool CAtomicOutputFile::GetFinalStatus(platform::FileStatus* status) const
{
    if (!m_folder)
        return platform::GetFileStatus(m_final, status, false);
    return platform::GetFileStatusIn(*m_folder, m_name, status);
}

bool CAtomicOutputFile::CopyModeAndTime(const platform::FileStatus& from, int* error)
{
    if (m_handle < 0) {
        if (error)
            *error = EBADF;
        return false;
    }
    return platform::CopyModeAndTimeTo(m_handle, from, error);
}

bool CAtomicOutputFile::Commit(int* error)
{
    int why = m_folder ? 0 : m_folderError;
    if (!m_committed && !m_writeThrough &&
        (m_handle < 0 || !platform::RenameFileIn(*m_folder, m_temporaryName, m_name, &why))) {
        if (error)
            *error = why ? why : EBADF;
        return false;
    }
    m_committed = true;
    m_removedOnSignal.reset();
    if (m_handle >= 0)
        platform::CloseFile(m_handle);
    m_handle = -1;
    return true;
}

void CAtomicOutputFile::Discard()
{
    // A temporary file that cannot be removed now is found by its name and
    // removed by the next run into this folder.
    if (!m_committed && m_handle >= 0)
        (void)platform::RemoveFileIn(*m_folder, m_temporaryName);
    m_removedOnSignal.reset();
    if (m_handle >= 0)
        platform::CloseFile(m_handle);  // the lock goes with it
    m_handle = -1;
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

bool CAtomicOutputFile::IsTemporaryName(const std::u16string& name)
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
    return first == 8 && first != second && text::ToUnsigned(tail.substr(first + 1, second - first - 1), 19, pid) &&
           text::ToUnsigned(tail.substr(second + 1), 19, n);
}

std::vector<std::u16string> CAtomicOutputFile::RemoveStaleTemporaryFiles(const std::u16string& folder, bool recursive)
{
    std::vector<std::u16string> removed;
    std::vector<platform::FolderRef> folders;
    if (platform::FolderRef top = platform::OpenFolderAt(CLongPath(folder).RemoveBackslash().GetPath()))
        folders.push_back(std::move(top));
    while (!folders.empty()) {
        const platform::FolderRef current = std::move(folders.back());
        folders.pop_back();
        std::vector<std::u16string> names;
        {
            platform::DirectoryReader reader;
            if (!reader.Open(*current))
                continue;
            platform::DirectoryEntry entry;
            while (reader.Next(entry)) {
                // The listing's own type: a link is never followed.
                if (entry.type == platform::FileType::Directory && recursive) {
                    if (platform::FolderRef sub = platform::OpenFolderBelow(*current, entry.name))
                        folders.push_back(std::move(sub));
                } else if (entry.type == platform::FileType::Regular && IsTemporaryName(entry.name)) {
                    names.push_back(entry.name);
                }
            }
        }
        for (const std::u16string& name : names)
            if (platform::RemoveIfNotInUse(*current, name))
                removed.push_back(current->PathOf(name));
    }
    return removed;
}
