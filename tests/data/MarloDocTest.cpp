#include "data/MarloDoc.h"
#include "../TestUtil.h"
#include "data/TextFormat.h"
#include "platform/Mbcs.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kBook = "電話帳";
const char kHeader[] = "FF FF 01 00 08 00 43 4D 72 6C 44 61 74 61";

std::string BookBytes(const std::string& records, int count) {
    std::string bytes = Hex(kHeader);
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>((count >> (8 * i)) & 0xFF));
    return bytes + records;
}

// One record with an empty kanji name, phone number and memo.
std::string Item(const std::string& romaji) {
    return std::string(1, static_cast<char>(romaji.size())) + romaji + Hex("00 00 00");
}

std::vector<std::string> Names(const CMarloDoc& doc) {
    std::vector<std::string> names;
    for (const PhoneRecordView r : doc.m_pData->m_list)
        names.emplace_back(r.m_strRomaji);
    return names;
}

struct DocFixture : ::testing::Test {
    TempWorkDir dir;
    RecordingReporter reporter;
    CMarloDoc doc;
    DocFixture() { doc.SetReporter(&reporter); }
    void AddRecord(const std::string& romaji) {
        doc.AddEntry(PhoneRecord{romaji, "", "", ""});
    }
};

using Names_ = std::vector<std::string>;

} // namespace

TEST_F(DocFixture, NewWithoutDefaultBookOrSettings) {
    doc.m_nMaxHits = 7;
    ASSERT_TRUE(doc.NewDocument());
    ASSERT_TRUE(doc.m_pData);
    EXPECT_TRUE(doc.m_pData->m_list.IsEmpty());
    EXPECT_EQ(doc.GetPathName(), dir.Path(kBook));
    EXPECT_EQ(doc.GetTitle(), kBook);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.m_nMaxHits, 7); // no settings file: the value stays
    EXPECT_EQ(reporter.recent, (Names_{dir.Path(kBook)}));
    EXPECT_TRUE(reporter.errors.empty());
}

TEST_F(DocFixture, NewLoadsDefaultBookAndHitLimit) {
    WriteAll(dir.Path(kBook), BookBytes(Item("tani") + Item("abe") + "trailing bytes", 2));
    WriteAll(dir.Path("profile"), "25\r\n");
    ASSERT_TRUE(doc.NewDocument());
    EXPECT_EQ(Names(doc), (Names_{"tani", "abe"})); // as stored, unsorted
    EXPECT_EQ(doc.m_nMaxHits, 25);
    EXPECT_TRUE(reporter.errors.empty());
}

TEST_F(DocFixture, NewWithUnreadableDefaultBookReportsAndStartsEmpty) {
    WriteAll(dir.Path(kBook), BookBytes(Item("abe"), 3));
    ASSERT_TRUE(doc.NewDocument());
    EXPECT_TRUE(doc.m_pData->m_list.IsEmpty());
    ASSERT_EQ(reporter.errors.size(), 1u);
    EXPECT_NE(reporter.errors[0].find(kBook), std::string::npos) << reporter.errors[0];
    EXPECT_EQ(doc.GetPathName(), dir.Path(kBook));
}

TEST_F(DocFixture, NewWithEmptyDefaultBookFileStartsEmptyQuietly) {
    WriteAll(dir.Path(kBook), "");
    ASSERT_TRUE(doc.NewDocument());
    EXPECT_TRUE(doc.m_pData->m_list.IsEmpty());
    EXPECT_TRUE(reporter.errors.empty());
}

TEST_F(DocFixture, NewAsksToSaveChanges) {
    WriteAll(dir.Path(kBook), BookBytes(Item("abe"), 1));
    ASSERT_TRUE(doc.NewDocument());
    AddRecord("zz");

    reporter.answer = DocReporter::SaveAnswer::Cancel;
    EXPECT_FALSE(doc.NewDocument());
    EXPECT_EQ(Names(doc), (Names_{"abe", "zz"})); // nothing changed
    EXPECT_TRUE(doc.IsModified());

    reporter.answer = DocReporter::SaveAnswer::No;
    EXPECT_TRUE(doc.NewDocument());
    EXPECT_EQ(Names(doc), (Names_{"abe"})); // the default phone book again, not an empty one
    EXPECT_EQ(ReadAll(dir.Path(kBook)), BookBytes(Item("abe"), 1));

    AddRecord("ito");
    reporter.answer = DocReporter::SaveAnswer::Yes;
    EXPECT_TRUE(doc.NewDocument());
    EXPECT_EQ(Names(doc), (Names_{"abe", "ito"}));
    EXPECT_EQ(ReadAll(dir.Path(kBook)), BookBytes(Item("abe") + Item("ito"), 2));
    EXPECT_EQ(reporter.prompts, (Names_{kBook, kBook, kBook}));
}

TEST_F(DocFixture, SaveAfterNewWithoutDefaultBookAsksForThePath) {
    ASSERT_TRUE(doc.NewDocument());
    AddRecord("a");
    reporter.savePath = dir.Path(kBook);
    ASSERT_TRUE(doc.DoFileSave());
    EXPECT_EQ(reporter.prompts, (Names_{"save as " + dir.Path(kBook)}));
    EXPECT_EQ(ReadAll(dir.Path(kBook)), BookBytes(Item("a"), 1));
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(DocFixture, OpenTextFileSortsStably) {
    WriteAll(dir.Path("book.txt"), "tani,2,\r\nabe,1,\r\ntani,3,\r\n\r\nTani,4,x\r\n");
    WriteAll(dir.Path("profile"), "9\r\n");
    doc.m_nMaxHits = 3;
    ASSERT_EQ(doc.OpenDocumentFile(dir.Path("book.txt")), CDocument::OpenResult::Opened);
    EXPECT_EQ(Names(doc), (Names_{"", "Tani", "abe", "tani", "tani"}));
    EXPECT_EQ(doc.m_pData->m_list[3].m_strKanji, "2");
    EXPECT_EQ(doc.m_pData->m_list[4].m_strKanji, "3");
    EXPECT_EQ(doc.GetPathName(), dir.Path("book.txt"));
    EXPECT_EQ(doc.GetTitle(), "book.txt");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.m_nMaxHits, 3); // opening never reads the settings file
}

TEST_F(DocFixture, TextLoadMatchesFilingLineByLine) {
    // Random text files: the stable sort must give the order of one InsertSorted per line.
    unsigned seed = 99;
    auto rnd = [&seed] { return (seed = seed * 1103515245 + 12345) >> 16; };
    // Names longer than a sort key reaches, and names equal up to a NUL, tell the order
    // by their whole bytes.
    const std::string pieces[] = {"a",  "b",  "A",        "\x82\xA0", "\xB1", "\x82", "", ",", "ta", "\x82\x60",
                                  "tanakatanaka", std::string("\0x", 2)};
    for (int round = 0; round < 30; ++round) {
        std::string text;
        CMrlData expected;
        const unsigned lines = rnd() % 60;
        for (unsigned l = 0; l < lines; ++l) {
            std::string line;
            for (unsigned k = rnd() % 4; k > 0; --k)
                line += pieces[rnd() % std::size(pieces)];
            line += "," + std::to_string(l) + ",p";
            text += line + "\r\n";
            PhoneRecord r;
            ParseTextLine(r, line);
            expected.AddSorted(r);
        }
        WriteAll(dir.Path("r.txt"), text);
        ASSERT_TRUE(doc.OnOpenDocument(dir.Path("r.txt")));
        ASSERT_EQ(doc.m_pData->m_list.GetCount(), expected.m_list.GetCount());
        for (std::size_t i = 0; i < expected.m_list.GetCount(); ++i)
            ASSERT_EQ(doc.m_pData->m_list[i], expected.m_list[i]) << "round " << round << " row " << i;
    }
}

TEST_F(DocFixture, ExtensionTestIsExactLastFourBytes) {
    EXPECT_TRUE(CMarloDoc::IsTextPath("a.txt"));
    EXPECT_TRUE(CMarloDoc::IsTextPath(".txt"));
    EXPECT_FALSE(CMarloDoc::IsTextPath("txt"));
    EXPECT_FALSE(CMarloDoc::IsTextPath("a.TXT"));
    EXPECT_FALSE(CMarloDoc::IsTextPath("a.Txt"));
    EXPECT_FALSE(CMarloDoc::IsTextPath("a.txt.bak"));
}

TEST_F(DocFixture, FailedOpenReportsAndFallsBackToTheDefaultBook) {
    WriteAll(dir.Path(kBook), BookBytes(Item("abe"), 1));
    WriteAll(dir.Path("book.TXT"), "tani,2,\r\n"); // upper case: read as an archive, which it is not
    ASSERT_EQ(::mkdir(dir.Path("folder.txt").c_str(), 0777), 0);
    ASSERT_TRUE(doc.NewDocument());
    // Why, in the user's language: the system's reason or the file's fault.
    const std::pair<std::string, std::string> cases[] = {
        {"book.TXT", "電話帳のファイルではありません"},
        {"missing", "ファイルまたはフォルダーがありません"},
        {"missing.txt", "ファイルまたはフォルダーがありません"},
        {"folder.txt", "フォルダーです"},
    };
    for (const auto& [name, reason] : cases) {
        reporter.errors.clear();
        EXPECT_EQ(doc.OpenDocumentFile(dir.Path(name)), CDocument::OpenResult::Failed) << name;
        ASSERT_EQ(reporter.errors.size(), 1u) << name;
        EXPECT_NE(reporter.errors[0].find(name), std::string::npos) << reporter.errors[0];
        EXPECT_NE(reporter.errors[0].find(reason), std::string::npos) << reporter.errors[0];
        EXPECT_EQ(Names(doc), (Names_{"abe"})) << name;
        EXPECT_EQ(doc.GetPathName(), dir.Path(kBook)) << name;
    }
    EXPECT_EQ(ReadAll(dir.Path("book.TXT")), "tani,2,\r\n");
}

TEST_F(DocFixture, EmptyArchiveOpensAsEmptyBook) {
    WriteAll(dir.Path("empty.mrl"), "");
    ASSERT_TRUE(doc.NewDocument());
    AddRecord("x");
    reporter.answer = DocReporter::SaveAnswer::No;
    ASSERT_EQ(doc.OpenDocumentFile(dir.Path("empty.mrl")), CDocument::OpenResult::Opened);
    EXPECT_TRUE(doc.m_pData->m_list.IsEmpty());
    EXPECT_EQ(doc.GetPathName(), dir.Path("empty.mrl"));
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(DocFixture, SaveArchiveAndText) {
    ASSERT_TRUE(doc.NewDocument());
    AddRecord("yamada");
    AddRecord("abe");
    ASSERT_TRUE(doc.DoSave(dir.Path("out.mrl")));
    EXPECT_EQ(ReadAll(dir.Path("out.mrl")), BookBytes(Item("abe") + Item("yamada"), 2));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), dir.Path("out.mrl"));

    // Save As text: the path becomes the text file and the modified flag stays as it was.
    AddRecord("ito");
    ASSERT_TRUE(doc.DoSave(dir.Path("out.txt")));
    EXPECT_EQ(ReadAll(dir.Path("out.txt")), "abe,,\r\nito,,\r\nyamada,,\r\n");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), dir.Path("out.txt"));
    AddRecord("zz");
    ASSERT_TRUE(doc.DoFileSave()); // File Save writes text again
    EXPECT_EQ(ReadAll(dir.Path("out.txt")), "abe,,\r\nito,,\r\nyamada,,\r\nzz,,\r\n");
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(DocFixture, SaveKeepsPermissionsAndWritesThroughLinks) {
    ASSERT_TRUE(doc.NewDocument());
    AddRecord("a");
    WriteAll(dir.Path("target.mrl"), "old");
    QFile::setPermissions(QString::fromStdString(dir.Path("target.mrl")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    ASSERT_EQ(::symlink("target.mrl", dir.Path("link.mrl").c_str()), 0);
    ASSERT_TRUE(doc.OnSaveDocument(dir.Path("link.mrl")));
    const QFileInfo link(QString::fromStdString(dir.Path("link.mrl")));
    EXPECT_TRUE(link.isSymLink());
    EXPECT_EQ(ReadAll(dir.Path("target.mrl")), BookBytes(Item("a"), 1));
    EXPECT_EQ(QFile::permissions(QString::fromStdString(dir.Path("target.mrl"))),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadUser | QFile::WriteUser);
}

TEST_F(DocFixture, FailedSaveLeavesTheOldFileAndSaysSo) {
    ASSERT_TRUE(doc.NewDocument());
    // Enough records that the file is much larger than the limit set below.
    for (int i = 0; i < 3000; ++i)
        doc.m_pData->m_list.AddTail(PhoneRecord{"name" + std::to_string(i), std::string(20, 'k'), "03", ""});
    doc.SetModifiedFlag(true);
    const std::string old = BookBytes(Item("old"), 1);
    WriteAll(dir.Path("book.mrl"), old);
    WriteAll(dir.Path("book.txt"), "old,,\r\n");
    reporter.confirmLoss = true; // "name10" before "name2": the text save asks about the order first

    // Let the file system refuse writes past 16 KiB, so each save fails midway.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 16 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool archiveSaved = doc.OnSaveDocument(dir.Path("book.mrl"));
    const bool textSaved = doc.OnSaveDocument(dir.Path("book.txt"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(archiveSaved);
    EXPECT_FALSE(textSaved);
    EXPECT_EQ(reporter.errors.size(), 2u);
    EXPECT_EQ(ReadAll(dir.Path("book.mrl")), old);
    EXPECT_EQ(ReadAll(dir.Path("book.txt")), "old,,\r\n");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(QDir(QString::fromStdString(dir.Path(""))).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << "no temporary file is left behind";

    // An unwritable place fails the same way, and says why.
    ASSERT_EQ(::mkdir(dir.Path("folder.mrl").c_str(), 0777), 0);
    const std::pair<std::string, std::string> places[] = {
        {"no/such/dir/book.mrl", "ファイルまたはフォルダーがありません"},
        {"folder.mrl", "フォルダーです"},
    };
    for (const auto& [name, reason] : places) {
        reporter.errors.clear();
        EXPECT_FALSE(doc.DoSave(dir.Path(name)));
        ASSERT_EQ(reporter.errors.size(), 1u);
        EXPECT_NE(reporter.errors[0].find(reason), std::string::npos) << reporter.errors[0];
        EXPECT_EQ(doc.GetPathName(), dir.Path(kBook));
    }
}

namespace {

// The filing rule word for word, on plain values: add at the head, then move before
// the first later record whose name is strictly greater, else to the tail.
std::size_t PlainFile(std::vector<PhoneRecord>& book, const PhoneRecord& record) {
    book.insert(book.begin(), record);
    std::size_t i = 1;
    while (i < book.size() && MbsCmp(record.m_strRomaji, book[i].m_strRomaji) >= 0)
        ++i;
    std::rotate(book.begin(), book.begin() + 1, book.begin() + static_cast<std::ptrdiff_t>(i));
    return i - 1;
}

std::optional<std::size_t> PlainFind(const std::vector<PhoneRecord>& book, const PhoneRecord& texts) {
    for (std::size_t i = 0; i < book.size(); ++i)
        if (book[i] == texts)
            return i;
    return std::nullopt;
}

std::vector<PhoneRecord> Values(const RecordList& list) {
    std::vector<PhoneRecord> values;
    for (const PhoneRecordView r : list)
        values.push_back(r.ToRecord());
    return values;
}

} // namespace

// The document's edits halve their way to a place on a sorted book and walk an
// unsorted one: on random books of few names (duplicates everywhere, names equal
// under MbsCmp but not in bytes, double-byte names) they must give the plain
// walk's answers, and each must leave the document modified.
TEST(BookEdits, MatchAPlainWalk) {
    // "a\0x", "a\0y" and "a" + a cut lead byte all compare equal to "a"; \x82\xA0 is one character.
    const std::string names[] = {"a",        std::string("a\0x", 3), std::string("a\0y", 3), "a\x82", "ab", "B", "",
                                 "\x82\xA0", "\x82\xA0\x61",         "\x82\xA0\x82\xA0"};
    std::mt19937 random(5);
    auto record = [&] {
        return PhoneRecord{names[random() % std::size(names)], random() % 2 ? "k" : "", random() % 2 ? "1" : "",
                           random() % 3 ? "" : std::string(1, '\0')};
    };
    for (int round = 0; round < 300; ++round) {
        const bool sorted = round % 2 == 0;
        std::vector<PhoneRecord> model;
        for (std::size_t n = random() % 30; n > 0; --n)
            model.push_back(record());
        if (sorted)
            std::stable_sort(model.begin(), model.end(), [](const PhoneRecord& a, const PhoneRecord& b) {
                return MbsCmp(a.m_strRomaji, b.m_strRomaji) < 0;
            });
        CMarloDoc doc;
        doc.m_pData = std::make_unique<CMrlData>();
        for (const PhoneRecord& r : model)
            doc.m_pData->m_list.AddTail(r);

        // Filing the head of a list sorted behind it, as InsertSorted does.
        {
            CMrlData data;
            std::vector<PhoneRecord> expected = model;
            for (const PhoneRecord& r : model)
                data.m_list.AddTail(r);
            const PhoneRecord head = record();
            data.m_list.AddHead(head);
            data.InsertSorted();
            PlainFile(expected, head);
            ASSERT_EQ(Values(data.m_list), expected) << "round " << round;
        }

        for (int step = 0; step < 20; ++step) {
            const std::string where = "round " + std::to_string(round) + " step " + std::to_string(step);
            // Texts of a record in the book half of the time, so that finds hit.
            const PhoneRecord texts = !model.empty() && random() % 2 ? model[random() % model.size()] : record();
            ASSERT_EQ(doc.FindEntry(texts), PlainFind(model, texts)) << where;
            doc.SetModifiedFlag(false);
            const unsigned op = random() % 4;
            if (op == 3) {
                // A batch, as an import files it: below and above the size filed one by one.
                std::vector<PhoneRecord> batch(1 + random() % 100);
                for (PhoneRecord& r : batch) {
                    r = record();
                    PlainFile(model, r);
                }
                RecordList list;
                list.Assign(batch);
                doc.AddEntries(list);
            } else if (op == 0 || model.empty()) {
                ASSERT_EQ(doc.AddEntry(texts), PlainFile(model, texts)) << where;
            } else {
                const std::size_t at = random() % model.size();
                model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
                if (op == 1) {
                    doc.RemoveEntry(at);
                } else {
                    ASSERT_EQ(doc.ReplaceEntry(at, texts), PlainFile(model, texts)) << where;
                }
            }
            EXPECT_TRUE(doc.IsModified()) << where;
            ASSERT_EQ(Values(doc.m_pData->m_list), model) << where;
        }
    }
}

TEST_F(DocFixture, TextSaveThatLosesEntriesAsksFirst) {
    ASSERT_TRUE(doc.NewDocument());
    AddRecord("abe");
    // Nothing the text format cannot carry: no question.
    ASSERT_TRUE(doc.OnSaveDocument(dir.Path("clean.txt")));
    EXPECT_TRUE(reporter.warnings.empty());

    doc.AddEntry(PhoneRecord{"tanaka", "", "", "m\x1Am"});
    WriteAll(dir.Path("out.txt"), "old,,\r\n");
    reporter.confirmLoss = false;
    EXPECT_FALSE(doc.OnSaveDocument(dir.Path("out.txt")));
    EXPECT_FALSE(doc.OnSaveDocument(dir.Path("new.txt")));
    ASSERT_EQ(reporter.warnings.size(), 2u);
    EXPECT_NE(reporter.warnings[0].find("1 件の項目が失われます (「tanaka」のメモに文字 0x1A"), std::string::npos)
        << reporter.warnings[0];
    EXPECT_TRUE(reporter.errors.empty()) << "a no is no failure";
    EXPECT_EQ(ReadAll(dir.Path("out.txt")), "old,,\r\n");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(dir.Path("new.txt"))));

    reporter.confirmLoss = true;
    EXPECT_TRUE(doc.OnSaveDocument(dir.Path("out.txt")));
    EXPECT_EQ(ReadAll(dir.Path("out.txt")), "abe,,\r\ntanaka,,,m\x1Am\r\n");
}

TEST_F(DocFixture, DamagedDefaultBookIsReplacedOnlyWhenTheUserAgrees) {
    const std::string book = dir.Path(kBook);
    const std::string damaged = BookBytes(Item("abe"), 3); // three records promised, one there
    WriteAll(book, damaged);
    ASSERT_EQ(::chmod(book.c_str(), 0640), 0);
    ASSERT_TRUE(doc.NewDocument());
    ASSERT_EQ(reporter.errors.size(), 1u);
    AddRecord("ito");

    // The default answer: nothing is written, nothing is kept aside.
    EXPECT_FALSE(doc.DoFileSave());
    ASSERT_EQ(reporter.warnings.size(), 1u);
    EXPECT_EQ(reporter.warnings[0], "「" + book +
                                        "」は読み込めなかったファイルです。保存すると今の内容で置き換えます。" +
                                        "元のファイルは「" + book + ".読めなかった」として残します。");
    EXPECT_EQ(ReadAll(book), damaged);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(book + ".読めなかった")));
    EXPECT_TRUE(doc.IsModified());

    // Yes: the old bytes are kept under a name nothing has yet, with the file's mode.
    WriteAll(book + ".読めなかった", "someone else's");
    reporter.confirmLoss = true;
    EXPECT_TRUE(doc.DoFileSave());
    ASSERT_EQ(reporter.warnings.size(), 2u);
    EXPECT_NE(reporter.warnings[1].find("「" + book + ".読めなかった.2」として残します"), std::string::npos)
        << reporter.warnings[1];
    EXPECT_EQ(ReadAll(book + ".読めなかった.2"), damaged);
    struct stat st {};
    ASSERT_EQ(::stat((book + ".読めなかった.2").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadAll(book + ".読めなかった"), "someone else's");
    EXPECT_EQ(ReadAll(book), BookBytes(Item("ito"), 1));
    EXPECT_TRUE(reporter.errors.size() == 1u) << reporter.errors.back();

    // Replaced, the file is the phone book's own: later saves do not ask.
    AddRecord("ota");
    EXPECT_TRUE(doc.DoFileSave());
    EXPECT_EQ(reporter.warnings.size(), 2u);
}

TEST_F(DocFixture, SaveAsOntoAFileThatFailedToOpenAsksFirst) {
    WriteAll(dir.Path(kBook), BookBytes(Item("abe"), 1));
    const std::string broken = BookBytes(Item("a"), 3);
    WriteAll(dir.Path("broken"), broken);
    ASSERT_EQ(::symlink("broken", dir.Path("link").c_str()), 0);
    ASSERT_TRUE(doc.NewDocument());
    ASSERT_EQ(doc.OpenDocumentFile(dir.Path("broken")), CDocument::OpenResult::Failed);
    EXPECT_EQ(doc.GetPathName(), dir.Path(kBook));

    // Under its own name or through a link, the file that failed is not replaced unasked.
    EXPECT_FALSE(doc.DoSave(dir.Path("broken")));
    EXPECT_FALSE(doc.DoSave(dir.Path("link")));
    EXPECT_EQ(reporter.warnings.size(), 2u);
    EXPECT_EQ(ReadAll(dir.Path("broken")), broken);
    // The default phone book read well: saving it asks nothing.
    EXPECT_TRUE(doc.DoSave(dir.Path(kBook)));
    EXPECT_EQ(reporter.warnings.size(), 2u);

    // Mended in place and opened, it is a phone book like any other.
    WriteAll(dir.Path("broken"), BookBytes(Item("a"), 1));
    ASSERT_EQ(doc.OpenDocumentFile(dir.Path("broken")), CDocument::OpenResult::Opened);
    EXPECT_TRUE(doc.DoSave(dir.Path("broken")));
    EXPECT_EQ(reporter.warnings.size(), 2u);
}
