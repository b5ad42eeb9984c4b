#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <future>
#include <map>
#include <thread>

#include "platform/file_api.h"
#include "platform/native_path.h"
#include "support/temp_dir.h"

namespace {

using namespace platform;
using testing_support::TempDir;

std::u16string U16(const std::string& native)
{
    return FromNativePath(native);
}

void MakeSocket(const std::string& path)
{
    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(s);  // the socket file stays
}

std::string ReadWhole(std::u16string_view path)
{
    int error = 0;
    const FileHandle h = OpenFile(path, FILE_ACCESS_READ, FILE_OPEN_EXISTING, &error);
    EXPECT_NE(h, INVALID_FILE_HANDLE) << "errno " << error;
    std::string data(1 << 16, '\0');
    size_t got = 0;
    EXPECT_TRUE(ReadFile(h, data.data(), data.size(), &got));
    CloseFile(h);
    data.resize(got);
    return data;
}

bool WriteWhole(std::u16string_view path, std::string_view data, uint32_t disposition = FILE_CREATE_ALWAYS)
{
    const FileHandle h = OpenFile(path, FILE_ACCESS_WRITE, disposition);
    size_t put = 0;
    const bool ok = h != INVALID_FILE_HANDLE && WriteFile(h, data.data(), data.size(), &put);
    return CloseFile(h) && ok && put == data.size();
}

// ---------------------------------------------------------------------------

struct Refusal {
    const char* name;
    std::string (*make)(const TempDir&);  // the path, created as it needs
    uint32_t access;
    int error;
};

const Refusal kRefusals[] = {
    {"FifoForReading",
     [](const TempDir& t) {
         mkfifo(t.File("fifo").c_str(), 0600);
         return t.File("fifo");
     },
     FILE_ACCESS_READ, ENODEV},
    {"FifoForWriting",  // no reader: the system says so at once
     [](const TempDir& t) {
         mkfifo(t.File("fifo").c_str(), 0600);
         return t.File("fifo");
     },
     FILE_ACCESS_WRITE, ENXIO},
    {"Socket",
     [](const TempDir& t) {
         MakeSocket(t.File("sock"));
         return t.File("sock");
     },
     FILE_ACCESS_READ, ENXIO},
    {"CharacterDevice", [](const TempDir&) { return std::string("/dev/null"); }, FILE_ACCESS_READ, ENODEV},
    {"DirectoryForReading", [](const TempDir& t) { return t.Path(); }, FILE_ACCESS_READ, EISDIR},
    {"DirectoryForWriting", [](const TempDir& t) { return t.Path(); }, FILE_ACCESS_WRITE, EISDIR},
    {"Missing", [](const TempDir& t) { return t.File("missing"); }, FILE_ACCESS_READ, ENOENT},
};

TEST(FileApi, RefusesWhatIsNotARegularFileWithoutBlocking)
{
    for (const auto& row : kRefusals) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = row.make(dir);
        auto opened = std::async(std::launch::async, [&] {
            int error = 0;
            const FileHandle h = OpenFile(U16(path), row.access, FILE_OPEN_EXISTING, &error);
            CloseFile(h);
            return std::make_pair(h, error);
        });
        if (opened.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "the open blocks";
            close(open(path.c_str(), O_RDWR));  // a FIFO's other end releases it
        }
        const auto [handle, error] = opened.get();
        EXPECT_EQ(handle, INVALID_FILE_HANDLE);
        EXPECT_EQ(error, row.error) << std::strerror(error);
    }
}

struct Disposition {
    const char* name;
    bool exists;  // a file with "old" is there first
    uint32_t access;
    uint32_t disposition;
    int error;          // 0: opens
    const char* after;  // content afterwards, null: no file
};

const Disposition kDispositions[] = {
    {"CreateNewOnExisting", true, FILE_ACCESS_WRITE, FILE_CREATE_NEW, EEXIST, "old"},
    {"CreateNewOnMissing", false, FILE_ACCESS_WRITE, FILE_CREATE_NEW, 0, ""},
    {"CreateAlwaysTruncates", true, FILE_ACCESS_WRITE, FILE_CREATE_ALWAYS, 0, ""},
    {"OpenAlwaysKeeps", true, FILE_ACCESS_WRITE, FILE_OPEN_ALWAYS, 0, "old"},
    {"OpenAlwaysCreates", false, FILE_ACCESS_READ | FILE_ACCESS_WRITE, FILE_OPEN_ALWAYS, 0, ""},
    {"OpenExistingOnMissing", false, FILE_ACCESS_READ, FILE_OPEN_EXISTING, ENOENT, nullptr},
    {"TruncateExisting", true, FILE_ACCESS_WRITE, FILE_TRUNCATE_EXISTING, 0, ""},
    {"TruncateWithoutWriteAccess", true, FILE_ACCESS_READ, FILE_TRUNCATE_EXISTING, EINVAL, "old"},
    {"CreateAlwaysWithoutWriteAccess", true, FILE_ACCESS_READ, FILE_CREATE_ALWAYS, EINVAL, "old"},
    {"NoAccess", true, 0, FILE_OPEN_EXISTING, EINVAL, "old"},
    {"UnknownDisposition", true, FILE_ACCESS_READ, 99, EINVAL, "old"},
    {"WriteThroughAppendsToAFile", true, FILE_ACCESS_WRITE, FILE_WRITE_THROUGH, 0, "old"},
    {"WriteThroughNeverCreates", false, FILE_ACCESS_WRITE, FILE_WRITE_THROUGH, ENOENT, nullptr},
    {"WriteThroughNeedsWriteAccess", true, FILE_ACCESS_READ, FILE_WRITE_THROUGH, EINVAL, "old"},
};

TEST(FileApi, OpensAsTheDispositionSays)
{
    for (const auto& row : kDispositions) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::u16string path = dir.File16("file.txt");
        if (row.exists)
            testing_support::WriteBytes(dir.File("file.txt"), "old");
        int error = -1;
        const FileHandle h = OpenFile(path, row.access, row.disposition, &error);
        EXPECT_EQ(h != INVALID_FILE_HANDLE, row.error == 0);
        EXPECT_EQ(error, row.error);
        CloseFile(h);
        FileStatus status;
        EXPECT_EQ(GetFileStatus(path, &status), row.after != nullptr);
        if (row.after) {
            EXPECT_EQ(testing_support::ReadBytes(dir.File("file.txt")), row.after);
        }
    }
}

// The permission bits (never set-id) and the time to the nanosecond; a link
// in the file's place is not followed.
TEST(FileApi, CopiesModeAndTimeOntoTheFileItselfOnly)
{
    TempDir dir;
    testing_support::WriteBytes(dir.File("from"), "x");
    testing_support::WriteBytes(dir.File("to"), "y");
    testing_support::WriteBytes(dir.File("victim"), "z");
    ASSERT_EQ(symlink("victim", dir.File("link").c_str()), 0);
    ASSERT_EQ(chmod(dir.File("from").c_str(), 06750), 0);
    const struct timespec when[2] = {{1000000000, 5}, {1234567890, 987654321}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.File("from").c_str(), when, 0), 0);
    FileStatus from;
    ASSERT_TRUE(GetFileStatus(dir.File16("from"), &from));

    int error = 0;
    ASSERT_TRUE(CopyModeAndTime(dir.File16("to"), from, &error)) << std::strerror(error);
    struct stat st;
    ASSERT_EQ(stat(dir.File("to").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);
    EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);

    EXPECT_FALSE(CopyModeAndTime(dir.File16("link"), from, &error));
    EXPECT_EQ(error, ELOOP);
    ASSERT_EQ(stat(dir.File("victim").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 07777, 0750u);
}

// ---------------------------------------------------------------------------

TEST(FileApi, ReadsAFileWhoseNameIsNotUtf8)
{
    TempDir dir;
    const std::string native = dir.File("caf\xE9.txt");
    const int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "latin-1 name", 12), 12);
    close(fd);
    // The name as the rest of the system sees it: the byte E9 as U+DCE9.
    const std::u16string path = dir.File16("") + u"caf\xDCE9.txt";
    EXPECT_EQ(ReadWhole(path), "latin-1 name");
    FileStatus status;
    ASSERT_TRUE(GetFileStatus(path, &status));
    EXPECT_EQ(status.type, FileType::Regular);
    EXPECT_EQ(status.size, 12u);
}

TEST(FileApi, ListsNamesThatAreNotUtf8WithTheirTypes)
{
    TempDir dir;
    testing_support::WriteBytes(dir.File("plain.txt"), "x");
    testing_support::WriteBytes(dir.File("caf\xE9"), "y");
    ASSERT_EQ(mkdir(dir.File("sub\xFF").c_str(), 0755), 0);
    ASSERT_EQ(symlink("plain.txt", dir.File("link").c_str()), 0);
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    MakeSocket(dir.File("sock"));
    ASSERT_EQ(mkdir(dir.File(".hidden").c_str(), 0755), 0);

    DirectoryReader reader;
    ASSERT_TRUE(reader.Open(dir.File16("")));
    std::map<std::u16string, FileType> listed;
    DirectoryEntry entry;
    while (reader.Next(entry))
        listed[entry.name] = entry.type;
    EXPECT_EQ(reader.Error(), 0);
    const std::map<std::u16string, FileType> expected = {
        {u"plain.txt", FileType::Regular}, {u"caf\xDCE9", FileType::Regular}, {u"sub\xDCFF", FileType::Directory},
        {u"link", FileType::Symlink},      {u"fifo", FileType::Fifo},         {u"sock", FileType::Socket},
        {u".hidden", FileType::Directory},
    };
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(ReadWhole(dir.File16("") + u"caf\xDCE9"), "y");
}

TEST(FileApi, ReportsWhyAListingCannotOpen)
{
    TempDir dir;
    testing_support::WriteBytes(dir.File("file"), "x");
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    const std::pair<const char*, int> rows[] = {{"file", ENOTDIR}, {"fifo", ENOTDIR}, {"missing", ENOENT}};
    for (const auto& [name, error] : rows) {
        DirectoryReader reader;
        int got = 0;
        EXPECT_FALSE(reader.Open(dir.File16(name), &got)) << name;
        EXPECT_EQ(got, error) << name;
        DirectoryEntry entry;
        EXPECT_FALSE(reader.Next(entry));
    }
}

// ---------------------------------------------------------------------------

// Removes a tree whose paths are too long for the path-taking calls.
void RemoveTreeAt(int parent, const char* name)
{
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd >= 0) {
        DIR* d = fdopendir(fd);
        while (const dirent* e = readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                RemoveTreeAt(fd, e->d_name);
        }
        closedir(d);
        unlinkat(parent, name, AT_REMOVEDIR);
    } else {
        unlinkat(parent, name, 0);
    }
}

TEST(FileApi, ReachesPathsLongerThanPathMax)
{
    TempDir dir;
    const std::string component(200, 'd');
    std::string native = dir.Path();
    int fd = open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    while (native.size() <= PATH_MAX + 300) {
        ASSERT_EQ(mkdirat(fd, component.c_str(), 0755), 0);
        const int sub = openat(fd, component.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = sub;
        native += "/" + component;
    }
    close(fd);
    const std::u16string deep = U16(native);
    const std::u16string leaf = deep + u"/leaf";

    int error = 0;
    ASSERT_TRUE(CreateDirectoryOne(leaf, &error)) << std::strerror(error);
    EXPECT_FALSE(CreateDirectoryOne(leaf, &error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_TRUE(IsWritableDirectory(leaf));
    ASSERT_TRUE(WriteWhole(leaf + u"/file.txt", "deep", FILE_CREATE_NEW));
    FileStatus status;
    ASSERT_TRUE(GetFileStatus(leaf + u"/file.txt", &status));
    EXPECT_EQ(status.type, FileType::Regular);
    EXPECT_EQ(status.size, 4u);
    ASSERT_TRUE(RenameFile(leaf + u"/file.txt", leaf + u"/renamed.txt", &error)) << std::strerror(error);
    EXPECT_FALSE(GetFileStatus(leaf + u"/file.txt", &status, true, &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(ReadWhole(leaf + u"/renamed.txt"), "deep");

    DirectoryReader reader;
    ASSERT_TRUE(reader.Open(leaf, &error)) << std::strerror(error);
    DirectoryEntry entry;
    ASSERT_TRUE(reader.Next(entry));
    EXPECT_EQ(entry.name, u"renamed.txt");
    EXPECT_EQ(entry.type, FileType::Regular);
    EXPECT_FALSE(reader.Next(entry));
    reader.Close();

    EXPECT_TRUE(RemoveFile(leaf + u"/renamed.txt"));
    EXPECT_TRUE(RemoveDirectoryOne(leaf));
    EXPECT_FALSE(GetFileStatus(leaf, &status));
    RemoveTreeAt(AT_FDCWD, (dir.Path() + "/" + component).c_str());
}

// ---------------------------------------------------------------------------

TEST(FileApi, ReadsALargeFileWhole)
{
    TempDir dir;
    std::string data(8 << 20, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 2654435761u >> 13);
    ASSERT_TRUE(WriteWhole(dir.File16("big"), data));
    const FileHandle h = OpenFile(dir.File16("big"), FILE_ACCESS_READ, FILE_OPEN_EXISTING);
    uint64_t size = 0;
    ASSERT_TRUE(GetFileSizeOf(h, &size));
    EXPECT_EQ(size, data.size());
    std::string back(data.size() + 100, '\0');
    size_t got = 0;
    ASSERT_TRUE(ReadFile(h, back.data(), back.size(), &got));  // asks past the end
    EXPECT_EQ(got, data.size());
    back.resize(got);
    EXPECT_TRUE(back == data);
    // At the end a read succeeds with nothing.
    ASSERT_TRUE(ReadFile(h, back.data(), 10, &got));
    EXPECT_EQ(got, 0u);
    uint64_t pos = 0;
    ASSERT_TRUE(SeekFile(h, -5, SeekOrigin::End, &pos));
    EXPECT_EQ(pos, data.size() - 5);
    EXPECT_FALSE(SeekFile(h, -1, SeekOrigin::Begin, &pos));
    CloseFile(h);
}

// SIGUSR1 without SA_RESTART, so that a blocked read or write is interrupted.
class InterruptingSignal {
public:
    InterruptingSignal()
    {
        struct sigaction action { };
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(SIGUSR1, &action, &m_saved);
    }
    ~InterruptingSignal() { sigaction(SIGUSR1, &m_saved, nullptr); }

private:
    struct sigaction m_saved { };
};

std::string Pattern(size_t size)
{
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>(i % 251);
    return data;
}

// A stream socket hands out what its writer has sent so far, so a large read
// comes in short pieces, and a large write goes out in pieces as the reader
// drains; signals in between interrupt the blocked call. Each side closes its
// end when done, so a call that gives up early ends the test instead of
// leaving the other side waiting.
TEST(FileApi, ReadFileGathersShortAndInterruptedReads)
{
    InterruptingSignal signal;
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    const std::string data = Pattern(1 << 20);
    std::string back(data.size(), '\0');
    size_t got = 0;
    bool ok = false;
    std::thread reader([&] {
        ok = ReadFile(fds[0], back.data(), back.size(), &got);
        close(fds[0]);
    });
    for (size_t pos = 0; pos < data.size(); pos += 4096) {
        pthread_kill(reader.native_handle(), SIGUSR1);
        if (send(fds[1], data.data() + pos, 4096, MSG_NOSIGNAL) != 4096)
            break;  // the reader has gone
    }
    reader.join();
    close(fds[1]);
    EXPECT_TRUE(ok);
    EXPECT_EQ(got, data.size());
    EXPECT_TRUE(back == data);
}

TEST(FileApi, WriteFileFinishesShortAndInterruptedWrites)
{
    InterruptingSignal signal;
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    const std::string data = Pattern(1 << 20);
    size_t put = 0;
    bool ok = false;
    std::thread writer([&] {
        ok = WriteFile(fds[1], data.data(), data.size(), &put);
        close(fds[1]);
    });
    std::string back;
    char chunk[4096];
    for (;;) {
        pthread_kill(writer.native_handle(), SIGUSR1);
        const ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;  // the writer has gone
        back.append(chunk, static_cast<size_t>(n));
    }
    writer.join();
    close(fds[0]);
    EXPECT_TRUE(ok);
    EXPECT_EQ(put, data.size());
    EXPECT_TRUE(back == data);
}

class FailingDevice : public FileFaultInjector {
public:
    int BeforeRead(FileHandle, size_t) override { return EIO; }
    int BeforeWrite(FileHandle, size_t) override { return ENOSPC; }
    int BeforeFlush(FileHandle) override { return EIO; }
};

TEST(FileApi, ReportsInjectedFailures)
{
    TempDir dir;
    const FileHandle h = OpenFile(dir.File16("f"), FILE_ACCESS_READ | FILE_ACCESS_WRITE, FILE_CREATE_NEW);
    ASSERT_NE(h, INVALID_FILE_HANDLE);
    FailingDevice device;
    SetFileFaultInjector(&device);
    char buffer[16] = "0123456789";
    size_t count = 99;
    int error = 0;
    const bool wrote = WriteFile(h, buffer, 10, &count, &error);
    const int writeError = error;
    const size_t written = count;
    const bool read = ReadFile(h, buffer, 10, &count, &error);
    const int readError = error;
    const bool flushed = FlushFile(h, &error);
    SetFileFaultInjector(nullptr);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(writeError, ENOSPC);
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(read);
    EXPECT_EQ(readError, EIO);
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(flushed);
    EXPECT_EQ(error, EIO);
    EXPECT_TRUE(FlushFile(h, &error));
    CloseFile(h);
}

// A real write failure: the file size limit stops the write part way.
TEST(FileApi, ReportsAWriteThatHitsTheFileSizeLimit)
{
    TempDir dir;
    const FileHandle h = OpenFile(dir.File16("f"), FILE_ACCESS_WRITE, FILE_CREATE_NEW);
    ASSERT_NE(h, INVALID_FILE_HANDLE);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string data(4000, 'x');
    size_t put = 0;
    int error = 0;
    const bool ok = WriteFile(h, data.data(), data.size(), &put, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);
    CloseFile(h);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(put, 1000u);
}

// ---------------------------------------------------------------------------

TEST(FileApi, ManagesDirectoriesAndNames)
{
    TempDir dir;
    int error = 0;
    ASSERT_TRUE(CreateDirectoryOne(dir.File16("sub"), &error));
    EXPECT_FALSE(CreateDirectoryOne(dir.File16("sub"), &error));
    EXPECT_EQ(error, EEXIST);
    testing_support::WriteBytes(dir.File("sub/inner"), "x");
    EXPECT_FALSE(CreateDirectoryOne(dir.File16("sub/inner"), &error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_FALSE(CreateDirectoryOne(dir.File16("missing/sub"), &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(RemoveDirectoryOne(dir.File16("sub"), &error));
    EXPECT_EQ(error, ENOTEMPTY);
    EXPECT_TRUE(IsWritableDirectory(dir.File16("sub")));
    EXPECT_FALSE(IsWritableDirectory(dir.File16("sub/inner")));
    EXPECT_FALSE(IsWritableDirectory(dir.File16("missing")));
    if (geteuid() != 0) {  // root may write anywhere
        ASSERT_EQ(chmod(dir.File("sub").c_str(), 0555), 0);
        EXPECT_FALSE(IsWritableDirectory(dir.File16("sub")));
        chmod(dir.File("sub").c_str(), 0755);
    }

    testing_support::WriteBytes(dir.File("from"), "new");
    testing_support::WriteBytes(dir.File("to"), "old");
    ASSERT_TRUE(RenameFile(dir.File16("from"), dir.File16("to"), &error));
    EXPECT_EQ(testing_support::ReadBytes(dir.File("to")), "new");
    FileStatus status;
    EXPECT_FALSE(GetFileStatus(dir.File16("from"), &status, true, &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(RenameFile(dir.File16("from"), dir.File16("to"), &error));
    EXPECT_EQ(error, ENOENT);

    ASSERT_EQ(symlink("to", dir.File("link").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", dir.File("dangling").c_str()), 0);
    ASSERT_TRUE(GetFileStatus(dir.File16("link"), &status, false));
    EXPECT_EQ(status.type, FileType::Symlink);
    ASSERT_TRUE(GetFileStatus(dir.File16("link"), &status, true));
    EXPECT_EQ(status.type, FileType::Regular);
    EXPECT_EQ(status.size, 3u);
    EXPECT_FALSE(GetFileStatus(dir.File16("dangling"), &status, true, &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_TRUE(RemoveFile(dir.File16("dangling")));
    EXPECT_FALSE(RemoveFile(dir.File16("dangling"), &error));
    EXPECT_EQ(error, ENOENT);
}

TEST(PathResolution, ResolvesLinksDotsAndTheMissingRestAndTellsWhatLiesInside)
{
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("real").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(dir.File("real/sub").c_str(), 0777), 0);
    ASSERT_EQ(symlink("real", dir.File("link").c_str()), 0);
    ASSERT_EQ(symlink("real/new", dir.File("ahead").c_str()), 0);  // leads where nothing is yet
    const std::string root = ToNativePath(ResolvePath(dir.File16("")));
    struct Case {
        std::string path, resolved;
    };
    const Case cases[] = {
        {"ahead/r.csv", "/real/new/r.csv"},
        {"ahead", "/real/new"},
        {"link", "/real"},
        {"link/./sub/../sub/", "/real/sub"},
        {"link/new/deeper", "/real/new/deeper"},
        {"link/new/../other", "/real/other"},
        {"real/sub/../../link", "/real"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ToNativePath(ResolvePath(dir.File16(c.path))), root + c.resolved);
    }
    EXPECT_TRUE(IsSameOrInside(dir.File16("link/sub"), dir.File16("real")));
    EXPECT_TRUE(IsSameOrInside(dir.File16("real/./"), dir.File16("link")));
    EXPECT_TRUE(IsSameOrInside(dir.File16("link/not/yet"), dir.File16("real/")));
    EXPECT_FALSE(IsSameOrInside(dir.File16("real"), dir.File16("real/sub")));
    EXPECT_FALSE(IsSameOrInside(dir.File16("realm"), dir.File16("real")));  // a prefix of the name is not a folder
}

TEST(FolderChain, MakesFoldersBelowTheRootButNeverThroughALink)
{
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("outside").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(dir.File("real").c_str(), 0777), 0);
    ASSERT_EQ(symlink("real", dir.File("root").c_str()), 0);  // the root itself may be a link
    int error = 0;
    EXPECT_TRUE(CreateFolderChain(dir.File16("root"), u"a/b/c", &error)) << error;
    EXPECT_TRUE(CreateFolderChain(dir.File16("root"), u"a/b/c", &error)) << "existing folders are fine";
    EXPECT_TRUE(CreateFolderChain(dir.File16("fresh/root"), u"x", &error)) << "a missing root is made";
    FileStatus status;
    EXPECT_TRUE(GetFileStatus(dir.File16("real/a/b/c"), &status) && status.type == FileType::Directory);

    ASSERT_EQ(symlink("../../outside", dir.File("real/a/jump").c_str()), 0);
    testing_support::WriteBytes(dir.File("real/a/file"), "x");
    struct Case {
        const char16_t* relative;
        int error;
    };
    for (const Case& c : {Case{u"a/jump", ELOOP}, Case{u"a/jump/new", ELOOP}, Case{u"a/file/new", ENOTDIR},
                          Case{u"a/../../outside", EINVAL}}) {
        EXPECT_FALSE(CreateFolderChain(dir.File16("root"), c.relative, &error));
        EXPECT_EQ(error, c.error);
    }
    EXPECT_FALSE(GetFileStatus(dir.File16("outside/new"), &status)) << "nothing was made outside the root";
}

// Files made in a folder held open land there, whatever its path leads to
// by the time they are made, renamed or removed.
TEST(FolderChain, FilesOfAnOpenFolderStayThereWhenItsPathIsSwappedForALink)
{
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("out").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(dir.File("victim").c_str(), 0777), 0);
    testing_support::WriteBytes(dir.File("victim/a.txt"), "keep");
    int error = 0;
    const FolderRef root = OpenFolderAt(dir.File16("out"), &error);
    ASSERT_TRUE(root) << error;
    const FolderRef sub = CreateFolderChain(*root, u"d1", &error);
    ASSERT_TRUE(sub) << error;
    ASSERT_EQ(rename(dir.File("out/d1").c_str(), dir.File("moved").c_str()), 0);
    ASSERT_EQ(symlink("../victim", dir.File("out/d1").c_str()), 0);

    const FileHandle file = CreateFileIn(*sub, u"tmp", &error);
    ASSERT_NE(file, INVALID_FILE_HANDLE) << error;
    size_t written = 0;
    ASSERT_TRUE(WriteFile(file, "new", 3, &written));
    CloseFile(file);
    ASSERT_TRUE(RenameFileIn(*sub, u"tmp", u"a.txt", &error)) << error;
    EXPECT_EQ(testing_support::ReadBytes(dir.File("victim/a.txt")), "keep");
    EXPECT_EQ(testing_support::ReadBytes(dir.File("moved/a.txt")), "new");
    EXPECT_EQ(CreateFileIn(*sub, u"a.txt", &error), INVALID_FILE_HANDLE) << "made new, never replaced";
    EXPECT_EQ(error, EEXIST);

    // Opened again from the root, the link is refused.
    EXPECT_FALSE(OpenFolderBelow(*root, u"d1", &error));
    EXPECT_EQ(error, ELOOP);
    EXPECT_FALSE(OpenFolderBelow(*root, u"missing", &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(CreateFolderChain(*root, u"d1/deeper", &error));
    EXPECT_EQ(error, ELOOP);
}

TEST(FolderChain, FoldersTakeTheInputFoldersPermissionBitsWithTheOwnersAccess)
{
    TempDir dir;
    const mode_t umaskWas = umask(022);
    for (const char* folder : {"in", "in/private", "in/private/open", "in/readonly"})
        ASSERT_EQ(mkdir(dir.File(folder).c_str(), 0777), 0);
    chmod(dir.File("in/private").c_str(), 0700);
    chmod(dir.File("in/private/open").c_str(), 0777);
    chmod(dir.File("in/readonly").c_str(), 0555);
    const FolderModeSource modes{dir.File16("in")};
    int error = 0;
    EXPECT_TRUE(CreateFolderChain(dir.File16("out"), u"private/open", &error, &modes)) << error;
    EXPECT_TRUE(CreateFolderChain(dir.File16("out"), u"readonly", &error, &modes)) << error;
    EXPECT_TRUE(CreateFolderChain(dir.File16("out"), u"private/unknown", &error, &modes)) << error;
    umask(umaskWas);
    struct Case {
        const char* folder;
        mode_t mode;
    };
    for (const Case& c : {Case{"out", 0755}, Case{"out/private", 0700}, Case{"out/private/open", 0755},
                          Case{"out/readonly", 0755}, Case{"out/private/unknown", 0755}}) {
        struct stat st;
        ASSERT_EQ(stat(dir.File(c.folder).c_str(), &st), 0) << c.folder;
        EXPECT_EQ(st.st_mode & 0777, c.mode) << c.folder;
    }
}

// The lock says "in use" to another process, whatever its process id means
// there; a file whose lock is free is removed, a locked one is kept.
TEST(InUseLock, OnlyFilesWhoseLockIsFreeAreRemoved)
{
    TempDir dir;
    int error = 0;
    const FolderRef folder = OpenFolderAt(dir.File16(""), &error);
    ASSERT_TRUE(folder) << error;
    const FileHandle held = CreateFileIn(*folder, u"held", &error);
    ASSERT_NE(held, INVALID_FILE_HANDLE);
    ASSERT_TRUE(LockInUse(held, &error)) << error;
    testing_support::WriteBytes(dir.File("left"), "x");
    const pid_t child = fork();
    if (child == 0)
        _exit(RemoveIfNotInUse(*folder, u"held") ? 1 : RemoveIfNotInUse(*folder, u"left") ? 0 : 2);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(access(dir.File("held").c_str(), F_OK), 0);
    EXPECT_NE(access(dir.File("left").c_str(), F_OK), 0);
    CloseFile(held);
    EXPECT_TRUE(RemoveIfNotInUse(*folder, u"held")) << "free once its writer closed it";
    EXPECT_FALSE(RemoveIfNotInUse(*folder, u"held")) << "gone";
}

}  // namespace
