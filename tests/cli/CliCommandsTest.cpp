// marlo-cli's parts called in the test's own process: the command line read into a
// request, and each command function on phone books written by the test.

#include "../TestUtil.h"
#include "cli/CliCommands.h"
#include "data/MarloDoc.h"
#include "platform/Cp932.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace {

struct Output {
    int code = -1;
    std::string out, err;
};

std::string ReadBack(std::FILE* file) {
    std::string bytes;
    std::rewind(file);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

Output Call(const std::function<int(const CliRequest&, const CliStreams&)>& command, const CliRequest& request) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Output result;
    result.code = command(request, CliStreams{out, err});
    result.out = ReadBack(out);
    result.err = ReadBack(err);
    return result;
}

std::string Sjis(const char* utf8) {
    return UnicodeToCp932(QString::fromUtf8(utf8)).bytes;
}

class CliCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Not in romaji order, a two-line memo, a double-byte name.
        m_book = m_dir.Path("book.txt");
        WriteAll(m_book, Sjis("tanaka,田中,090,大阪,火曜\r\nabe,阿部,045\r\ntani,谷,06,大阪\r\n"));
    }
    CliRequest Request(CliCommand command) const {
        CliRequest request;
        request.command = command;
        request.book = m_book;
        return request;
    }

    TempWorkDir m_dir;
    std::string m_book;
};

} // namespace

TEST(CliArgs, ReadsTheRequestOrSaysWhatIsWrong) {
    CliRequest r = ParseCommandLine({"-fbook.txt", "--encoding=CP932", "search", "--max", "3", "--", "-ta"});
    EXPECT_EQ(r.command, CliCommand::Search);
    EXPECT_EQ(r.book, "book.txt");
    EXPECT_TRUE(r.rawBytes);
    EXPECT_EQ(r.maxHits, 3);
    EXPECT_EQ(r.keys[0], "-ta");

    r = ParseCommandLine({"find", "大阪", "x"});
    EXPECT_EQ(r.book, CMarloDoc::kDefaultBookName);
    EXPECT_EQ(r.keys, (std::array<std::string, 3>{Sjis("大阪"), "x", ""}));
    EXPECT_FALSE(r.maxHits);

    r = ParseCommandLine({"--encoding", "cp932", "export", "out.CSV"});
    EXPECT_EQ(r.exportFormat, ExportFormat::CsvCp932);
    EXPECT_EQ(r.files, std::vector<std::string>{"out.CSV"});
    EXPECT_EQ(ParseCommandLine({"list", "--help"}).command, CliCommand::Help);

    const auto error = [](const std::vector<std::string>& args) {
        try {
            ParseCommandLine(args);
        } catch (const CliUsageError& e) {
            return e;
        }
        return CliUsageError{"<none>"};
    };
    EXPECT_EQ(error({"list", "-x"}).message, "不明なオプション「-x」です。");
    EXPECT_EQ(error({"search", "a", "--max", "2147483648"}).message,
              "件数「2147483648」は整数ではありません (範囲 -2147483648 から 2147483647)。");
    // Checked in the order given: the option before the command, the command before the keys.
    EXPECT_EQ(error({"--dry-run", "lookup"}).message, "--dry-run は import にだけ指定できます。");
    const CliUsageError key = error({"find", "😀"});
    EXPECT_FALSE(key.showUsage);
    EXPECT_NE(key.message.find("「😀」"), std::string::npos) << key.message;
    EXPECT_TRUE(error({"convert", "a", "b", "--encoding", "cp932"}).showUsage);
}

TEST_F(CliCommandsTest, ListSearchAndFindGiveTheWindowsRows) {
    Output r = Call(CliList, Request(CliCommand::List));
    EXPECT_EQ(r.code, kCliOk) << r.err;
    EXPECT_EQ(r.out, "abe,阿部,045\ntanaka,田中,090,大阪,火曜\ntani,谷,06,大阪\n");

    CliRequest search = Request(CliCommand::Search);
    search.keys[0] = "ta";
    search.maxHits = 1;
    EXPECT_EQ(Call(CliSearch, search).out, "tanaka,田中,090,大阪,火曜\n");

    CliRequest find = Request(CliCommand::Find);
    find.keys = {Sjis("大阪"), "", ""};
    find.rawBytes = true;
    EXPECT_EQ(Call(CliFind, find).out, Sjis("tani,谷,06,大阪\ntanaka,田中,090,大阪,火曜\n"));

    // A book that cannot be read prints nothing and says why.
    CliRequest missing = Request(CliCommand::List);
    missing.book = m_dir.Path("missing");
    r = Call(CliList, missing);
    EXPECT_EQ(r.code, kCliFailed);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("marlo-cli: 「" + missing.book + "」 を開けません: ", 0), 0u) << r.err;
}

TEST_F(CliCommandsTest, ConvertSavesWhatTheDocumentSaves) {
    CliRequest convert = Request(CliCommand::Convert);
    convert.files = {m_book, m_dir.Path("out.txt")};
    Output r = Call(CliConvert, convert);
    EXPECT_EQ(r.code, kCliOk);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadAll(m_dir.Path("out.txt")),
              Sjis("abe,阿部,045\r\ntanaka,田中,090,大阪,火曜\r\ntani,谷,06,大阪\r\n"));

    // What the text format cannot carry is told, and the file is written all the same.
    WriteAll(m_dir.Path("odd.txt"), "b,,1,m,,\r\n");
    convert.files = {m_dir.Path("odd.txt"), m_dir.Path("out.txt")};
    r = Call(CliConvert, convert);
    EXPECT_EQ(r.code, kCliOk);
    EXPECT_EQ(r.err.rfind("marlo-cli: 注意: 「" + m_dir.Path("out.txt") + "」をテキスト形式で保存すると", 0), 0u)
        << r.err;
    EXPECT_EQ(ReadAll(m_dir.Path("out.txt")), "b,,1,m,\r\n");
}

TEST_F(CliCommandsTest, ImportAddsContactsAndExportWritesThem) {
    WriteAll(m_dir.Path("c.vcf"), "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:伊藤\r\nN:伊藤;;;;\r\n"
                                  "X-PHONETIC-LAST-NAME:いとう\r\nTEL:03-1\r\nEND:VCARD\r\n");
    CliRequest import = Request(CliCommand::Import);
    import.files = {m_dir.Path("c.vcf")};
    import.dryRun = true;
    const std::string before = ReadAll(m_book);
    Output r = Call(CliImport, import);
    EXPECT_EQ(r.code, kCliOk) << r.err;
    EXPECT_EQ(r.out, "itou,伊藤,03-1\n");
    EXPECT_EQ(ReadAll(m_book), before) << "a dry run saves nothing";

    import.dryRun = false;
    r = Call(CliImport, import);
    EXPECT_EQ(r.out, "「" + m_book + "」 に 1 件を追加しました。\n");
    EXPECT_NE(ReadAll(m_book).find("itou,"), std::string::npos);

    CliRequest exportCsv = Request(CliCommand::Export);
    exportCsv.files = {m_dir.Path("out.csv")};
    exportCsv.exportFormat = ExportFormat::CsvUtf8;
    r = Call(CliExport, exportCsv);
    EXPECT_EQ(r.out, "「" + m_dir.Path("out.csv") + "」 に 4 件を書き出しました。\n");
    EXPECT_NE(ReadAll(m_dir.Path("out.csv")).find("itou,伊藤,03-1,\r\n"), std::string::npos);
}
