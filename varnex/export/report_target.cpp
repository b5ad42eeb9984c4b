#include "varnex/export/report_target.h"

#include <cerrno>
#include <vector>

#include "platform/file_api.h"
#include "textrion/io/atomic_output_file.h"

CReportTarget::CReportTarget(std::u16string path) : m_path(std::move(path))
{
}

CReportTarget::~CReportTarget()
{
    Abandon();
}

bool CReportTarget::Prepare(int* error)
{
    if (m_handle >= 0)
        return true;
    Abandon();
    m_file = std::make_unique<CAtomicOutputFile>(m_path, true);
    platform::FileStatus status;
    if (!m_file->IsWriteThrough() && m_file->GetFinalStatus(&status) && status.type == platform::FileType::Directory) {
        m_file.reset();
        if (error)
            *error = EISDIR;  // nothing could be renamed onto it at the end
        return false;
    }
    m_handle = m_file->IsWriteThrough() ? m_file->OpenWriteThrough(error) : m_file->Create(error);
    if (m_handle < 0)
        m_file.reset();
    return m_handle >= 0;
}

int CReportTarget::Begin(bool append, uint64_t* carried, int* error)
{
    if (carried)
        *carried = 0;
    if (!Prepare(error))
        return -1;
    const int handle = m_handle;
    m_handle = -1;
    if (!append || m_file->IsWriteThrough())
        return handle;
    // The report goes on from what the file holds.
    const platform::FileHandle older =
        platform::OpenFile(m_file->GetFinalPath(), platform::FILE_ACCESS_READ, platform::FILE_OPEN_EXISTING);
    if (older == platform::INVALID_FILE_HANDLE)
        return handle;
    std::vector<unsigned char> block(1u << 16);
    uint64_t copied = 0;
    int why = 0;
    for (;;) {
        size_t got = 0, put = 0;
        if (!platform::ReadFile(older, block.data(), block.size(), &got, &why) ||
            (got > 0 && !platform::WriteFile(handle, block.data(), got, &put, &why))) {
            platform::CloseFile(older);
            platform::CloseFile(handle);
            Abandon();
            if (error)
                *error = why;
            return -1;
        }
        if (got == 0)
            break;
        copied += got;
    }
    platform::CloseFile(older);
    if (carried)
        *carried = copied;
    return handle;
}

bool CReportTarget::End(int* error)
{
    if (!m_file) {
        if (error)
            *error = EBADF;
        return false;
    }
    const bool ok = m_file->Commit(error);
    m_file.reset();
    return ok;
}

void CReportTarget::Abandon()
{
    if (m_handle >= 0)
        platform::CloseFile(m_handle);
    m_handle = -1;
    m_file.reset();
}

bool CReportTarget::IsWrittenInto() const
{
    return m_file && m_file->IsWriteThrough();
}
