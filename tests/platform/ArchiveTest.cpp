#include "platform/Archive.h"
#include "../TestUtil.h"
#include "data/ArchiveRecords.h"
#include "data/MrlData.h"
#include "platform/StdioFile.h"
#include "platform/SystemError.h"

#include <QBuffer>
#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <string_view>
#include <vector>

namespace {

std::string StoreString(const std::string& s) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CArchive ar(buffer);
    ar.WriteString(s);
    ar.Flush();
    return bytes.toStdString();
}

// The string item `bytes` read back.
std::string LoadString(const std::string& bytes) {
    const std::string book = ArchiveOfOneMemo(bytes);
    ArchiveRecords records(book);
    PhoneRecordView record;
    records.Next(record);
    return std::string(record.m_strMemo);
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

// Takes its first write, then fails every later one for want of space, setting errno
// as a system call does.
class DeviceThatFillsUp : public QIODevice {
public:
    DeviceThatFillsUp() { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    int writesAfterFailing = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override {
        if (m_bFirst) {
            m_bFirst = false;
            return len;
        }
        ++writesAfterFailing;
        errno = ENOSPC;
        return -1;
    }

private:
    bool m_bFirst = true;
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
            CArchive ar(full);
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
    message = IoErrorOf([&broken] { CMrlData().LoadFile(broken); });
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

TEST(ArchiveStore, LargeStoreEqualsItsStringsStoredOneByOne) {
    // Several megabytes, so that the bytes go to the device in many buffers: each string
    // in its own archive is the model. Strings of every length
    // form, fields written four at a time as records are, and one string far longer
    // than a buffer; each string has bytes of its own, so that a buffer out of order shows.
    const std::size_t lengths[] = {0, 1, 3, 7, 8, 15, 16, 17, 31, 32, 33, 100, 254, 255, 300, 65533, 65534, 70000};
    std::vector<std::string> strings;
    for (std::size_t total = 0, k = 0; total < (4u << 20); ++k) {
        const std::size_t length = k == 40 ? (1500u << 10) : lengths[k % std::size(lengths)];
        std::string text(length, '\0');
        for (std::size_t i = 0; i < length; ++i)
            text[i] = static_cast<char>(k * 31 + i);
        total += length;
        strings.push_back(std::move(text));
    }
    std::string expected;
    for (const std::string& text : strings)
        expected += StoreString(text);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CArchive ar(buffer);
    std::size_t i = 0;
    for (; i + 4 <= strings.size(); i += 4) {
        const std::string_view four[] = {strings[i], strings[i + 1], strings[i + 2], strings[i + 3]};
        ar.WriteStrings(four);
    }
    for (; i < strings.size(); ++i)
        ar.WriteString(strings[i]);
    ar.Flush(); // all of them in the device now, not only once the archive goes
    const std::string stored = bytes.toStdString();
    ASSERT_EQ(stored.size(), expected.size());
    const auto differ = std::mismatch(stored.begin(), stored.end(), expected.begin());
    EXPECT_TRUE(differ.first == stored.end()) << "first difference at byte " << (differ.first - stored.begin());
}

TEST(ArchiveStore, AWriteThatFailsGivesItsReasonAndEndsTheWriting) {
    DeviceThatFillsUp device;
    const std::string text(1000, 'x');
    const std::string message = IoErrorOf([&] {
        CArchive ar(device);
        for (int i = 0; i < 4000; ++i) // some 4 MB: many buffers
            ar.WriteString(text);
        ar.Flush();
    });
    EXPECT_EQ(message, "ファイルに書き込めません: " + SystemErrorText(ENOSPC) + "。");
    EXPECT_EQ(device.writesAfterFailing, 1);
}
