#include "platform/Archive.h"
#include "../TestUtil.h"
#include "platform/StdioFile.h"

#include <QBuffer>
#include <QFile>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <functional>

namespace {

std::string StoreString(const std::string& s) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CArchive ar(buffer, CArchive::store);
    ar.WriteString(s);
    ar.Flush();
    return bytes.toStdString();
}

std::string LoadString(const std::string& bytes) {
    QByteArray data = QByteArray::fromStdString(bytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    CArchive ar(buffer, CArchive::load);
    return ar.ReadString();
}

ArchiveError::Kind LoadStringError(const std::string& bytes) {
    try {
        LoadString(bytes);
    } catch (const ArchiveError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "no error for " << ToHex(bytes);
    return ArchiveError::Kind::Io;
}

// Claims four bytes and fails to give any, as a device that is not a file might.
class FailingDevice : public QIODevice {
public:
    FailingDevice() { open(QIODevice::ReadOnly); }
    qint64 size() const override { return 4; }

protected:
    qint64 readData(char*, qint64) override {
        setErrorString(QStringLiteral("装置が応答しません"));
        return -1;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
};

// The message of the ArchiveError that `act` throws.
std::string IoErrorOf(const std::function<void()>& act) {
    try {
        act();
    } catch (const ArchiveError& e) {
        EXPECT_EQ(e.kind(), ArchiveError::Kind::Io);
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return {};
}

} // namespace

TEST(DeviceErrors, TheSystemsReasonInJapaneseOrTheDevicesOwn) {
    // A full disk: the write itself fails.
    if (QFile::exists("/dev/full")) {
        QFile full("/dev/full");
        ASSERT_TRUE(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const std::string message = IoErrorOf([&full] {
            CArchive ar(full, CArchive::store);
            ar.WriteString("abc");
            ar.Flush();
        });
        EXPECT_NE(message.find("ディスクの空き領域が足りません"), std::string::npos) << message;
    }
    // A folder opens, but reading it fails.
    TempWorkDir dir;
    const int fd = ::open(dir.Path("").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    QFile folder;
    ASSERT_TRUE(folder.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle));
    std::string message = IoErrorOf([&folder] {
        CStdioFile text(folder);
        std::string line;
        text.ReadString(line);
    });
    EXPECT_NE(message.find("フォルダーです"), std::string::npos) << message;
    // A device that fails without a system call says why itself; an errno left from
    // before is not its reason.
    FailingDevice broken;
    errno = ENOSPC;
    message = IoErrorOf([&broken] {
        CArchive ar(broken, CArchive::load);
        ar.ReadByte();
    });
    EXPECT_EQ(message, "ファイルを読み込めません: 装置が応答しません。");
}

TEST(ArchiveString, LengthPrefixesAtEachBoundary) {
    const struct {
        std::size_t length;
        const char* prefix;
    } cases[] = {
        {0, "00"},
        {1, "01"},
        {254, "FE"},
        {255, "FF FF 00"},
        {65533, "FF FD FF"},
        {65534, "FF FF FF FE FF 00 00"},
        {65535, "FF FF FF FF FF 00 00"},
        {70000, "FF FF FF 70 11 01 00"},
    };
    for (const auto& c : cases) {
        const std::string text(c.length, 'x');
        const std::string stored = StoreString(text);
        const std::string prefix = Hex(c.prefix);
        ASSERT_EQ(stored.size(), prefix.size() + c.length) << c.length;
        EXPECT_EQ(ToHex(stored.substr(0, prefix.size())), ToHex(prefix)) << c.length;
        EXPECT_EQ(LoadString(stored), text) << c.length;
    }
}

TEST(ArchiveString, ReaderAcceptsEveryPrefixForm) {
    // Short lengths in a longer form than needed are still read correctly.
    EXPECT_EQ(LoadString(Hex("FF 03 00 61 62 63")), "abc");
    EXPECT_EQ(LoadString(Hex("FF FF FF 02 00 00 00 61 62")), "ab");
    // Bytes are kept exactly: NUL, CR LF, invalid code page bytes.
    EXPECT_EQ(LoadString(Hex("05 00 0D 0A 80 FF")), std::string("\0\r\n\x80\xFF", 5));
}

TEST(ArchiveString, WideFormIsConvertedToCodePage932) {
    // FF FE FF, then the length in UTF-16 units, then UTF-16LE: "aあ".
    EXPECT_EQ(LoadString(Hex("FF FE FF 02 61 00 42 30")), "a\x82\xA0");
    // The inner length may itself use the longer forms.
    EXPECT_EQ(LoadString(Hex("FF FE FF FF 01 00 61 00")), "a");
    // Text code page 932 cannot hold is refused, never replaced.
    EXPECT_EQ(LoadStringError(Hex("FF FE FF 02 3D D8 00 DE")), ArchiveError::Kind::BadFormat); // U+1F600
}

TEST(ArchiveString, LengthsBeyondTheFileFailBeforeAllocating) {
    EXPECT_EQ(LoadStringError(Hex("05 61 62")), ArchiveError::Kind::EndOfFile);
    EXPECT_EQ(LoadStringError(Hex("FF FF FF FF FF FF FF 61")), ArchiveError::Kind::EndOfFile); // 4 GB claimed
    EXPECT_EQ(LoadStringError(Hex("FF FE FF FF FF FF FF FF FF 7F")), ArchiveError::Kind::EndOfFile);
    EXPECT_EQ(LoadStringError(Hex("FF")), ArchiveError::Kind::EndOfFile);
    EXPECT_EQ(LoadStringError(""), ArchiveError::Kind::EndOfFile);
}

TEST(ArchiveString, StringsLongerThanTheBuffer) {
    // Reading and writing cross the archive's internal buffer many times.
    std::string text(300000, '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>(i * 7);
    EXPECT_EQ(LoadString(StoreString(text)), text);
}
