#include "textrion/finder/find_entry.h"

#include <cerrno>

#include "textrion/path/long_path.h"

namespace textrion_detail {

bool DescribeEntry(const std::u16string& folder, const platform::DirectoryEntry& listed, CFindEntry& entry,
                   CSkippedEntry* skipped)
{
    CLongPath path(folder);
    path.Append(listed.name);
    platform::FileStatus st;
    int error = 0;
    if (!platform::GetFileStatus(path.GetPath(), &st, true, &error)) {
        if (skipped) {
            skipped->path = path.GetPath();
            skipped->error = error;
            skipped->isFolder = listed.type == platform::FileType::Directory;
            skipped->kind = u"";
            if (listed.type == platform::FileType::Symlink && error == ENOENT)
                skipped->reason = CSkippedEntry::REASON_DANGLING_LINK;
            else if (error == ELOOP)
                skipped->reason = CSkippedEntry::REASON_LINK_LOOP;
            else
                skipped->reason = CSkippedEntry::REASON_UNREACHABLE;
        }
        return false;
    }
    entry.name = listed.name;
    entry.isLink = listed.type == platform::FileType::Symlink;
    entry.size = st.size;
    entry.modified = st.modified;
    entry.device = st.device;
    entry.inode = st.inode;
    entry.attributes = 0;
    if (!listed.name.empty() && listed.name[0] == u'.')
        entry.attributes |= CFileFinderThread::ATTRIBUTE_HIDDEN;
    if ((st.mode & 0222) == 0)
        entry.attributes |= CFileFinderThread::ATTRIBUTE_READONLY;
    if (st.type == platform::FileType::Directory) {
        entry.type = CFindEntry::TYPE_DIRECTORY;
        entry.attributes |= CFileFinderThread::ATTRIBUTE_DIRECTORY;
        return true;
    }
    if (st.type == platform::FileType::Regular) {
        entry.type = CFindEntry::TYPE_FILE;
        entry.attributes |= CFileFinderThread::ATTRIBUTE_ARCHIVE;
        return true;
    }
    if (skipped) {
        skipped->path = path.GetPath();
        skipped->reason = CSkippedEntry::REASON_NOT_REGULAR;
        skipped->error = 0;
        skipped->isFolder = false;
        skipped->kind = st.type == platform::FileType::Fifo     ? u"FIFO"
                        : st.type == platform::FileType::Socket ? u"socket"
                        : st.type == platform::FileType::CharDevice || st.type == platform::FileType::BlockDevice
                            ? u"device"
                            : u"special file";
    }
    return false;
}

}  // namespace textrion_detail
