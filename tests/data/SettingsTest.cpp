#include "data/Settings.h"
#include "../TestUtil.h"

#include "platform/SystemError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

using namespace std::string_literals;

namespace {

/// Makes a file or folder unwritable while it lives: by its permission bits, or,
/// where those do not stop the user (root), by the file system's immutable flag.
class Unwritable {
public:
    explicit Unwritable(std::string path) : m_path(std::move(path)) {
        struct stat st {};
        if (::stat(m_path.c_str(), &st) != 0)
            return;
        m_mode = st.st_mode & 07777;
        if (::geteuid() != 0) {
            m_bChmod = ::chmod(m_path.c_str(), m_mode & ~mode_t(0222)) == 0;
            return;
        }
#ifdef __linux__
        m_bImmutable = SetImmutable(true);
#endif
    }
    ~Unwritable() {
        if (m_bChmod)
            ::chmod(m_path.c_str(), m_mode);
#ifdef __linux__
        if (m_bImmutable)
            SetImmutable(false);
#endif
    }
    Unwritable(const Unwritable&) = delete;
    Unwritable& operator=(const Unwritable&) = delete;
    bool ok() const {
        return m_bChmod || m_bImmutable;
    }

private:
#ifdef __linux__
    bool SetImmutable(bool bOn) const {
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool bDone = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (bDone) {
            flags = bOn ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            bDone = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return bDone;
    }
#endif
    std::string m_path;
    mode_t m_mode = 0;
    bool m_bChmod = false;
    bool m_bImmutable = false;
};

} // namespace

TEST(SettingsFile, FirstLineValue) {
    TempWorkDir dir;
    const struct {
        std::string bytes;
        int value;
    } cases[] = {
        {"25", 25},
        {"25\r\n99\r\n", 25},
        {" 7abc\r\n", 7},
        {"abc\r\n", 0},
        {"\r\n30\r\n", 0}, // an empty first line
        {"", 0},
        {"-3\r\n", -3},
        {"5\0"
         "0\r\n"s,
         5}, // digits after the NUL are left from an earlier, longer value
        {"100\0\r\n"s, 100},
        {"\x1A"
         "77",
         0},                // Ctrl-Z ends the text before the digits
        {"12\r34\r\n", 12}, // a lone CR does not end the line, but ends the number
        {"99999999999\r\n", 2147483647},
        {std::string(4000, ' ') + "42\r\n", 42}, // blanks before the number, within the bytes read
    };
    for (const auto& c : cases) {
        WriteAll(dir.Path("profile"), c.bytes);
        const std::optional<int> value = ReadMaxHits(dir.Path("profile"));
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(*value, c.value) << "bytes: " << ToHex(c.bytes);
    }
}

TEST(SettingsFile, MissingFileGivesNoValue) {
    TempWorkDir dir;
    EXPECT_FALSE(ReadMaxHits(dir.Path("profile")).has_value());
}

TEST(SettingsFile, WriteKeepsTheBytesAfterTheNumber) {
    const struct {
        std::optional<std::string> before; // nullopt: no file yet
        int value;
        std::string after; // hex
    } cases[] = {
        {std::nullopt, 0, "30 00"},
        {std::nullopt, 100, "31 30 30 00"},
        {"100\r\n99\r\n", 5, "35 00 30 0D 0A 39 39 0D 0A"},
        {"100\r\n99\r\n", 1000, "31 30 30 30 00 39 39 0D 0A"},
        {"7", 9999, "39 39 39 39 00"}, // a shorter file grows
        {"", -3, "2D 33 00"},
    };
    for (const auto& c : cases) {
        TempWorkDir dir;
        const std::string path = dir.Path("profile");
        if (c.before)
            WriteAll(path, *c.before);
        const SettingsWriteResult result = WriteMaxHits(path, c.value);
        EXPECT_TRUE(result.ok()) << result.Reason();
        EXPECT_EQ(ToHex(ReadAll(path)), c.after) << "value " << c.value;
        EXPECT_EQ(ReadMaxHits(path), c.value);
    }
}

TEST(SettingsFile, WriteThatFailsSaysWhy) {
    TempWorkDir dir;
    // A folder where the file should be.
    ASSERT_EQ(::mkdir(dir.Path("profile").c_str(), 0777), 0);
    SettingsWriteResult result = WriteMaxHits(dir.Path("profile"), 5);
    EXPECT_EQ(result.nError, EISDIR);
    EXPECT_EQ(result.Reason(), SystemErrorText(EISDIR));
    // A file where a folder should be.
    WriteAll(dir.Path("file"), "x");
    result = WriteMaxHits(dir.Path("file") + "/profile", 5);
    EXPECT_EQ(result.nError, ENOTDIR);
    EXPECT_EQ(ReadAll(dir.Path("file")), "x");
    // The open succeeds, the write does not: the file system refuses bytes past the second.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 2;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    result = WriteMaxHits(dir.Path("small"), 12345);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result.Reason(), SystemErrorText(EFBIG));
}

TEST(SettingsFile, OnlyARegularFileIsReadOrWritten) {
    TempWorkDir dir;
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    {
        // Someone holds both ends: the pipe holds a number, and it still is no settings file.
        const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "5\r\n", 3), 3);
        EXPECT_FALSE(ReadMaxHits(fifo).has_value());
        const SettingsWriteResult result = WriteMaxHits(fifo, 7);
        EXPECT_TRUE(result.bNotRegular);
        EXPECT_EQ(result.Reason(), "通常のファイルではありません");
        char buffer[16];
        EXPECT_EQ(::read(fd, buffer, sizeof buffer), 3) << "nothing was written into the pipe";
        ::close(fd);
    }
    // Nobody at the other end: neither the start-up nor the search waits for a writer,
    // and the write is refused at once instead of waiting for a reader.
    EXPECT_FALSE(ReadMaxHits(fifo).has_value());
    EXPECT_TRUE(WriteMaxHits(fifo, 5).bNotRegular);
    // A link to an endless device is neither read to the end nor written.
    ASSERT_EQ(::symlink("/dev/zero", dir.Path("profile").c_str()), 0);
    EXPECT_FALSE(ReadMaxHits(dir.Path("profile")).has_value());
    EXPECT_TRUE(WriteMaxHits(dir.Path("profile"), 5).bNotRegular);
    // A link to a regular file is followed both ways.
    WriteAll(dir.Path("real"), "30\r\n");
    ASSERT_EQ(::symlink("real", dir.Path("link").c_str()), 0);
    EXPECT_EQ(ReadMaxHits(dir.Path("link")), 30);
    EXPECT_TRUE(WriteMaxHits(dir.Path("link"), 8).ok());
    EXPECT_EQ(ToHex(ReadAll(dir.Path("real"))), "38 00 0D 0A");
}

TEST(SettingsFile, UnwritableFileIsLeftAsItWas) {
    TempWorkDir dir;
    const std::string path = dir.Path("profile");
    WriteAll(path, "100\r\n");
    Unwritable readOnly(path);
    if (!readOnly.ok())
        GTEST_SKIP() << "cannot make a file unwritable here";
    const SettingsWriteResult result = WriteMaxHits(path, 5);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.Reason(), SystemErrorText(EACCES)); // EPERM for an immutable file reads the same
    EXPECT_EQ(ReadAll(path), "100\r\n");
}

TEST(SettingsFile, UnwritableFolderGetsNoFile) {
    TempWorkDir dir;
    const std::string folder = dir.Path("ro");
    ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
    Unwritable readOnly(folder);
    if (!readOnly.ok())
        GTEST_SKIP() << "cannot make a folder unwritable here";
    const SettingsWriteResult result = WriteMaxHits(folder + "/profile", 5);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.Reason(), SystemErrorText(EACCES));
    EXPECT_FALSE(ReadMaxHits(folder + "/profile").has_value());
}
