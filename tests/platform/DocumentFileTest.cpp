// The document's reads and saves at the edges of the file system: what is not a
// regular file, pipes and /proc files, names that are not UTF-8, and a file's mode,
// owner and hard links.

#include "../TestUtil.h"
#include "data/MarloDoc.h"
#include "platform/Archive.h"
#include "platform/FileSystem.h"
#include "platform/StdioFile.h"

#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Names = std::vector<std::string>;

// The archive of a phone book whose records have only a romaji name.
std::string Book(const Names& names) {
    std::string bytes = Hex("FF FF 01 00 08 00 43 4D 72 6C 44 61 74 61");
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>((names.size() >> (8 * i)) & 0xFF));
    for (const std::string& name : names)
        bytes += std::string(1, static_cast<char>(name.size())) + name + Hex("00 00 00");
    return bytes;
}

// Reads by the path's bytes: the helpers of TestUtil go through QString.
std::string Contents(const std::string& path) {
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return "<missing>";
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return bytes;
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

// Every name in `folder`, hidden ones too, sorted.
Names Entries(const std::string& folder = ".") {
    Names names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string WorkingDirectory() {
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) ? buffer : "";
}

struct DocumentFile : ::testing::Test {
    TempWorkDir dir;
    RecordingReporter reporter;
    CMarloDoc doc;
    DocumentFile() {
        doc.SetReporter(&reporter);
        Load({"new"});
    }
    // The document's book becomes these records, as an open of a plain file makes it.
    void Load(const Names& names) {
        WriteAll(dir.Path(".load"), Book(names));
        EXPECT_TRUE(doc.OnOpenDocument(".load"));
        ::unlink(".load");
    }
    // The document's book as a save writes it.
    std::string Saved() {
        EXPECT_TRUE(doc.OnSaveDocument(".saved"));
        const std::string bytes = Contents(".saved");
        ::unlink(".saved");
        return bytes;
    }
    std::string OnlyError() const {
        EXPECT_EQ(reporter.errors.size(), 1u);
        return reporter.errors.empty() ? std::string() : reporter.errors.back();
    }
};

} // namespace

TEST_F(DocumentFile, SaveReplacesNothingButARegularFile) {
    ASSERT_EQ(::mkfifo("fifo", 0644), 0);
    ASSERT_EQ(::symlink("loop", "loop"), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, "sock");
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::vector<std::pair<std::string, std::string>> cases = {
        {"fifo", "通常のファイルではありません (名前付きパイプ)"},
        {"sock", "通常のファイルではありません (ソケット)"},
        {"loop", "シンボリックリンクが循環しています"},
    };
    if (::geteuid() == 0) {
        ASSERT_EQ(::mknod("chr", S_IFCHR | 0666, makedev(1, 3)), 0);
        ASSERT_EQ(::mknod("blk", S_IFBLK | 0600, makedev(7, 0)), 0);
        cases.push_back({"chr", "通常のファイルではありません (文字デバイス)"});
        cases.push_back({"blk", "通常のファイルではありません (ブロックデバイス)"});
    }
    const Names before = Entries();
    for (const auto& [name, reason] : cases) {
        const mode_t type = StatOf(name).st_mode & S_IFMT;
        reporter.errors.clear();
        EXPECT_FALSE(doc.OnSaveDocument(name)) << name;
        const std::string error = OnlyError();
        EXPECT_NE(error.find("「" + name + "」 に保存できません: " + reason + "。"), std::string::npos) << error;
        EXPECT_EQ(StatOf(name).st_mode & S_IFMT, type) << name;
    }
    EXPECT_EQ(Entries(), before) << "nothing made, nothing left behind";
    ::close(sock);

    // A dangling link still saves to the file it names.
    ASSERT_EQ(::symlink("made", "dangling"), 0);
    EXPECT_TRUE(doc.OnSaveDocument("dangling"));
    EXPECT_TRUE(S_ISLNK(StatOf("dangling").st_mode));
    EXPECT_EQ(Contents("made"), Book({"new"}));
}

TEST_F(DocumentFile, ReadsWhatAPipeOrAProcFileGives) {
    // A pipe's size says 0 whatever it carries: through /dev/fd, the way a shell's <(...) hands one over.
    const auto pipeOf = [](const std::string& bytes) {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        EXPECT_EQ(::write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fds[1]);
        return fds[0];
    };
    int fd = pipeOf(Book({"tani", "abe"}));
    EXPECT_TRUE(doc.OnOpenDocument("/dev/fd/" + std::to_string(fd)));
    ::close(fd);
    EXPECT_EQ(Saved(), Book({"tani", "abe"}));

    // The default phone book, a link to a pipe.
    fd = pipeOf(Book({"ueda"}));
    ASSERT_EQ(::symlink(("/dev/fd/" + std::to_string(fd)).c_str(), CMarloDoc::kDefaultBookName), 0);
    EXPECT_TRUE(doc.OnNewDocument());
    ::close(fd);
    EXPECT_EQ(Saved(), Book({"ueda"}));
    EXPECT_TRUE(reporter.errors.empty()) << reporter.errors[0];

    // A /proc file has bytes too: these are no phone book.
    EXPECT_FALSE(doc.OnOpenDocument("/proc/self/status"));
    EXPECT_NE(OnlyError().find("電話帳のファイルではありません"), std::string::npos) << OnlyError();

    // A device is refused without a read: /dev/zero would never end.
    reporter.errors.clear();
    EXPECT_FALSE(doc.OnOpenDocument("/dev/zero"));
    EXPECT_NE(OnlyError().find("「/dev/zero」 を開けません: 通常のファイルではありません (文字デバイス)。"),
              std::string::npos)
        << OnlyError();
}

TEST_F(DocumentFile, AFileNameIsItsBytes) {
    // 電話帳 and 電話番 in Shift_JIS: neither is UTF-8, and as text both become the same U+FFFD marks.
    const std::string first = "\x93\x64\x98\x62\x92\xA0", second = "\x93\x64\x98\x62\x94\xD4";
    ASSERT_EQ(QFile::decodeName(first.c_str()), QFile::decodeName(second.c_str()));
    // Made absolute and cleaned as text would be, on the bytes.
    doc.SetPathName("./sub//x/../" + first, false);
    EXPECT_EQ(doc.GetPathName(), WorkingDirectory() + "/sub/" + first);
    EXPECT_EQ(doc.GetTitle(), first);

    ASSERT_EQ(::mkdir("sub", 0777), 0);
    ASSERT_TRUE(doc.DoSave("sub/" + first));
    Load({"second"});
    ASSERT_TRUE(doc.DoSave("sub/" + second));
    EXPECT_EQ(Entries("sub"), (Names{first, second}));
    ASSERT_TRUE(doc.OnOpenDocument("sub/" + first));
    EXPECT_EQ(Saved(), Book({"new"}));
    EXPECT_EQ(reporter.recent.back(), WorkingDirectory() + "/sub/" + second);

    // From the toolkit's text: such a name is refused; a UTF-8 name passes as its bytes.
    EXPECT_FALSE(PathBytesOf(QFile::decodeName(first.c_str())));
    EXPECT_EQ(PathBytesOf(QString::fromUtf8("/tmp/電話帳")), "/tmp/電話帳");
    EXPECT_FALSE(IsUtf8Path("/tmp/" + first));
    EXPECT_TRUE(IsUtf8Path("/tmp/電話帳"));
}

TEST_F(DocumentFile, SaveKeepsModeAndHardLinks) {
    WriteAll(dir.Path("mode"), "old");
    ASSERT_EQ(::chmod("mode", 06750), 0);
    ASSERT_TRUE(doc.OnSaveDocument("mode"));
    EXPECT_EQ(StatOf("mode").st_mode & 07777, 06750u);
    EXPECT_EQ(Contents("mode"), Book({"new"}));

    // Another name of the file sees the new book: the file stays one file.
    WriteAll(dir.Path("one"), "old");
    ASSERT_EQ(::link("one", "two"), 0);
    const ino_t inode = StatOf("one").st_ino;
    ASSERT_TRUE(doc.OnSaveDocument("one"));
    EXPECT_EQ(Contents("two"), Book({"new"}));
    EXPECT_EQ(StatOf("one").st_ino, inode);
    EXPECT_EQ(StatOf("one").st_nlink, 2u);

    // A new file is made as any program makes one.
    const mode_t mask = ::umask(027);
    const bool saved = doc.OnSaveDocument("fresh");
    ::umask(mask);
    ASSERT_TRUE(saved);
    EXPECT_EQ(StatOf("fresh").st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(), (Names{"fresh", "mode", "one", "two"}));
}

TEST_F(DocumentFile, SaveKeepsOwnerAndGroup) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    WriteAll(dir.Path("theirs"), "old");
    ASSERT_EQ(::chown("theirs", 65534, 65534), 0);
    ASSERT_EQ(::chmod("theirs", 02444), 0);
    ASSERT_TRUE(doc.OnSaveDocument("theirs"));
    const struct stat st = StatOf("theirs");
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 02444u); // after the change of owner, which clears set-ID bits
    EXPECT_EQ(Contents("theirs"), Book({"new"}));
}

TEST_F(DocumentFile, LinkedFileWithoutRoomForTheNewBookStaysTheOldOne) {
    // A small file system with room for the new book once, not for it and its copies.
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    ASSERT_EQ(::mkdir("small", 0777), 0);
    if (::mount("tmpfs", "small", "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        ~Unmount() { ::umount2("small", MNT_DETACH); }
    } unmount;
    Names names;
    for (int i = 0; i < 400; ++i)
        names.push_back(std::string(80, static_cast<char>('a' + i % 26)));
    Load(names);
    ASSERT_GT(Book(names).size(), 32u * 1024);
    const std::string old(20 * 1024, 'o');
    WriteAll(dir.Path("small/book"), old);
    ASSERT_EQ(::link("small/book", "small/other"), 0);

    EXPECT_FALSE(doc.OnSaveDocument("small/book"));
    const std::string error = OnlyError();
    EXPECT_NE(error.find("ディスクの空き領域が足りません。ファイルは元のままです。"), std::string::npos) << error;
    EXPECT_EQ(Contents("small/book"), old);
    EXPECT_EQ(Entries("small"), (Names{"book", "other"})) << "no copy, no temporary file left";
}

TEST_F(DocumentFile, MemoryRunningOutInASaveFailsItAndLeavesTheOldFile) {
    // The save's memory runs out after its first bytes: the failure is reported as a
    // save's, never thrown on to the window's event loop.
    class Starved : public CMarloDoc {
        void Serialize(CArchive& ar) override {
            ar.WriteString("half a book");
            ar.Flush();
            throw std::bad_alloc();
        }
    } starved;
    starved.SetReporter(&reporter);
    WriteAll(dir.Path("book"), "old");
    EXPECT_FALSE(starved.OnSaveDocument("book"));
    EXPECT_EQ(OnlyError(), "「book」 に保存できません。メモリが足りません。 ファイルは元のままです。");
    EXPECT_EQ(Contents("book"), "old");
    EXPECT_EQ(Entries(), (Names{"book"}));
}

TEST_F(DocumentFile, AReadThatComesUpShortOrSeesTheFileChangeFails) {
    struct Reader : CMarloDoc {
        using CDocument::ReadFile;
    } reader;
    reader.SetReporter(&reporter);
    // Emptied while read, as a copy onto it starts; then replaced by a file of the same size.
    const std::vector<std::function<void()>> others = {
        [] { ::truncate("book.txt", 0); },
        [this] {
            WriteAll(dir.Path("other.txt"), "b,2\r\n");
            ::rename("other.txt", "book.txt");
        },
    };
    for (const auto& other : others) {
        WriteAll(dir.Path("book.txt"), "a,1\r\n");
        reporter.errors.clear();
        int lines = 0;
        EXPECT_FALSE(reader.ReadFile("book.txt", [&](QIODevice& file) {
            other();
            CStdioFile text(file);
            for (std::string line; text.ReadString(line);)
                ++lines;
        }));
        EXPECT_EQ(OnlyError(), "「book.txt」 を読み込めません。読み込んでいる間にほかのプログラムがファイルを変更しました。");
    }
}

TEST_F(DocumentFile, ASaveOntoAFileChangedSinceItWasReadAsksFirst) {
    WriteAll(dir.Path("book"), Book({"mine"}));
    ASSERT_EQ(doc.OpenDocumentFile("book"), CDocument::OpenResult::Opened);
    doc.AddEntry(PhoneRecord{"added", "", "", ""});
    // A save onto the file as it was read asks nothing; touched, it holds the same bytes.
    ASSERT_TRUE(doc.DoFileSave());
    const timeval later[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimes("book", later), 0);
    ASSERT_TRUE(doc.DoFileSave());
    EXPECT_TRUE(reporter.questions.empty());

    // Another program replaces it: Cancel, the default, keeps their file.
    const std::string theirs = Book({"theirs", "more"});
    WriteAll(dir.Path("theirs"), theirs);
    ASSERT_EQ(::utimes("theirs", later), 0);
    ASSERT_EQ(::rename("theirs", "book"), 0);
    EXPECT_FALSE(doc.DoFileSave());
    ASSERT_EQ(reporter.questions.size(), 1u);
    const std::string& question = reporter.questions[0];
    const std::string saved = Book({"added", "mine"});
    EXPECT_TRUE(question.starts_with("「" + dir.Path("book") + "」は開いた後にほかのプログラムが変更しました " +
                                     "(別のファイルに置き換えられています、大きさが " + std::to_string(saved.size()) +
                                     " バイトから " + std::to_string(theirs.size()) +
                                     " バイトになっています、更新日時が "))
        << question;
    EXPECT_NE(question.find(" から 2001/09/0"), std::string::npos) << question;
    EXPECT_TRUE(question.ends_with(" になっています)。上書きするとその変更は失われます。")) << question;
    EXPECT_EQ(Contents("book"), theirs);

    // Save As puts ours beside theirs, and that file becomes the document's.
    reporter.changedAnswer = DocReporter::ChangedAnswer::SaveAs;
    reporter.savePath = dir.Path("ours");
    EXPECT_TRUE(doc.DoFileSave());
    EXPECT_EQ(Contents("book"), theirs);
    EXPECT_EQ(doc.GetPathName(), dir.Path("ours"));
    EXPECT_EQ(Contents("ours"), Book({"added", "mine"}));

    // Overwrite replaces theirs.
    ASSERT_EQ(doc.OpenDocumentFile("book"), CDocument::OpenResult::Opened);
    WriteAll(dir.Path("book"), Book({"third"}));
    reporter.changedAnswer = DocReporter::ChangedAnswer::Overwrite;
    reporter.questions.clear();
    EXPECT_TRUE(doc.DoFileSave());
    EXPECT_EQ(reporter.questions.size(), 1u);
    EXPECT_EQ(Contents("book"), theirs);
}

TEST_F(DocumentFile, AChangedFileIsOfferedForReloadOnceWhenNothingIsUnsaved) {
    WriteAll(dir.Path("book"), Book({"first"}));
    ASSERT_EQ(doc.OpenDocumentFile("book"), CDocument::OpenResult::Opened);
    doc.OfferReloadIfChanged();
    EXPECT_TRUE(reporter.questions.empty());

    WriteAll(dir.Path("book"), Book({"second", "entry"}));
    doc.OfferReloadIfChanged();
    doc.OfferReloadIfChanged(); // declined: not asked again for the same change
    ASSERT_EQ(reporter.questions.size(), 1u);
    EXPECT_NE(reporter.questions[0].find("はほかのプログラムが変更しました (大きさが"), std::string::npos);
    EXPECT_EQ(doc.m_pData->m_list.GetCount(), 1u);

    reporter.reload = true;
    WriteAll(dir.Path("book"), Book({"third"}));
    doc.OfferReloadIfChanged();
    EXPECT_EQ(reporter.questions.size(), 2u);
    EXPECT_EQ(Saved(), Book({"third"}));

    // Unsaved changes are never offered to be thrown away.
    doc.AddEntry(PhoneRecord{"added", "", "", ""});
    WriteAll(dir.Path("book"), Book({"fourth"}));
    doc.OfferReloadIfChanged();
    EXPECT_EQ(reporter.questions.size(), 2u);
}

TEST_F(DocumentFile, AnOpenOffersTheCompleteCopyOfASaveThatWasCutOff) {
    const std::string newBook = Book({"new"}), oldBook = Book({"old", "entries"});
    const auto leave = [&](const std::string& book) {
        WriteAll(dir.Path("book"), book);
        WriteAll(dir.Path(".book.marlo-new"), newBook);
        WriteAll(dir.Path(".book.marlo-old"), oldBook);
    };
    // No: the cut book fails to read, and the copies stay.
    leave(newBook.substr(0, 20));
    EXPECT_FALSE(doc.OnOpenDocument("book"));
    ASSERT_EQ(reporter.questions.size(), 1u);
    EXPECT_EQ(reporter.questions[0], "「book」への保存が途中で止まっています。保存しようとした内容の完全なコピーが" +
                                         std::string("「.book.marlo-new」にあります (元の内容は「.book.marlo-old」)。") +
                                         "このコピーで電話帳を復元しますか?");
    EXPECT_EQ(Entries(), (Names{".book.marlo-new", ".book.marlo-old", "book"}));

    // Yes: the copy goes into the file itself, its other names see it.
    ASSERT_EQ(::link("book", "link"), 0);
    reporter.restore = true;
    EXPECT_TRUE(doc.OnOpenDocument("book"));
    EXPECT_EQ(Contents("link"), newBook);
    EXPECT_EQ(Entries(), (Names{"book", "link"}));

    // A book that already holds the new content: the copies go without a question.
    leave(newBook);
    reporter.questions.clear();
    EXPECT_TRUE(doc.OnOpenDocument("book"));
    EXPECT_TRUE(reporter.questions.empty());
    EXPECT_EQ(Entries(), (Names{"book", "link"}));
}
