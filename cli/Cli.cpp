#include "Cli.h"

#include "BookSearch.h"
#include "data/BookScan.h"
#include "data/MarloDoc.h"
#include "data/Settings.h"
#include "data/TextFormat.h"
#include "interop/ContactImport.h"
#include "platform/FileSystem.h"
#include "platform/Cp932.h"
#include "platform/Archive.h"
#include "platform/Mbcs.h"
#include "platform/PackedRows.h"
#include "platform/ShortBytes.h"
#include "platform/SystemError.h"
#include "view/FullTextSearch.h"
#include "view/NameSearch.h"

#include <QIODevice>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#ifndef MARLO_VERSION
#error "MARLO_VERSION must be defined by the build"
#endif

namespace {

constexpr const char* kUsage = "使い方: marlo-cli [-f ファイル] [--encoding utf-8|cp932] list\n"
                               "        marlo-cli [-f ファイル] [--encoding utf-8|cp932] search キー [--max 件数]\n"
                               "        marlo-cli [-f ファイル] [--encoding utf-8|cp932] find キー1 [キー2 [キー3]]\n"
                               "        marlo-cli convert 入力ファイル 出力ファイル\n"
                               "        marlo-cli [-f ファイル] [--encoding utf-8|cp932] import [--dry-run] 連絡先ファイル...\n"
                               "        marlo-cli [-f ファイル] [--encoding utf-8|cp932] export 出力ファイル.vcf|.csv\n"
                               "        marlo-cli --help | --version\n";

constexpr const char* kHelp =
    "Marlo の電話帳を端末から一覧、検索、変換します。\n"
    "\n"
    "コマンド:\n"
    "  list                     電話帳の全データを電話帳の順に表示します。\n"
    "  search キー              ローマ字名の検索: 検索欄にキーを入力したときと同じ行を表示します。\n"
    "  find キー1 [キー2 [キー3]] 全文検索: すべてのキーを含む項目を、画面と同じ順 (最後の項目から) に表示します。\n"
    "  convert 入力 出力        電話帳を読み込んで別の形式で保存します。\n"
    "  import 連絡先ファイル... vCard (.vcf) や CSV の連絡先を電話帳に追加して保存します。\n"
    "                           ローマ字名は読み (フリガナ) から、読みがなければ辞書で名前から作ります。\n"
    "                           --dry-run を付けると、追加する項目を表示するだけで保存しません。\n"
    "  export 出力ファイル      電話帳を連絡先として書き出します。形式は名前の末尾で決まります:\n"
    "                           .vcf は vCard 3.0 (UTF-8)、.csv は CSV (既定は BOM 付き UTF-8、\n"
    "                           --encoding cp932 で BOM なしのシフト JIS)。\n"
    "\n"
    "オプション:\n"
    "  -f, --file ファイル      電話帳ファイル (省略時は作業ディレクトリの「電話帳」)。\n"
    "  --max 件数               search で表示する最大件数 (0 以下は無制限)。\n"
    "                           省略時は作業ディレクトリの profile の 1 行目、なければ無制限。\n"
    "  --encoding utf-8|cp932   出力の文字コード (既定は utf-8、cp932 はファイルのバイトのまま)。\n"
    "  --dry-run                import で、保存せずに追加する項目を表示します。\n"
    "  -h, --help               この説明を表示します。\n"
    "  --version                バージョンを表示します。\n"
    "\n"
    "末尾が「.txt」のファイルはテキスト形式 (1 行 1 項目、カンマ区切り)、それ以外は電話帳形式です。\n"
    "表示は 1 項目 1 行のテキスト形式です。キーは UTF-8 で渡してください。\n"
    "終了コード: 0 成功、1 ファイルを読み書きできない、2 使い方の誤り。\n";

struct UsageError {
    std::string message;
};

// A key that cannot become code page 932 bytes; reported without the usage text.
struct KeyError {
    std::string message;
};

struct Options {
    std::optional<std::string> file;
    std::optional<std::string> maxHits;
    std::optional<std::string> encoding;
    bool help = false;
    bool version = false;
    bool dryRun = false;
    std::vector<std::string> operands;
};

Options ParseArgs(const std::vector<std::string>& args) {
    Options options;
    bool onlyOperands = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyOperands || arg.size() < 2 || arg[0] != '-') {
            options.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyOperands = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (arg.starts_with("--")) {
            if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
            }
        } else if (arg.size() > 2) {
            name = arg.substr(0, 2); // -fFILE
            value = arg.substr(2);
        }
        if (name == "-h" || name == "--help" || name == "--version" || name == "--dry-run") {
            if (value)
                throw UsageError{"オプション「" + name + "」は値をとりません。"};
            (name == "--version" ? options.version : name == "--dry-run" ? options.dryRun : options.help) = true;
            continue;
        }
        std::optional<std::string>* target = nullptr;
        if (name == "-f" || name == "--file")
            target = &options.file;
        else if (name == "--max")
            target = &options.maxHits;
        else if (name == "--encoding")
            target = &options.encoding;
        else
            throw UsageError{"不明なオプション「" + arg + "」です。"};
        if (!value) {
            if (i + 1 >= args.size())
                throw UsageError{"オプション「" + name + "」には値が必要です。"};
            value = args[++i];
        }
        if (*target)
            throw UsageError{"オプション「" + name + "」が二度指定されています。"};
        *target = *value;
    }
    return options;
}

int ParseMaxHits(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        throw UsageError{"件数「" + text + "」は整数ではありません (範囲 " + std::to_string(INT32_MIN) + " から " +
                         std::to_string(INT32_MAX) + ")。"};
    return value;
}

// Keys come from the terminal as UTF-8; the phone book holds code page 932 bytes.
std::string KeyBytes(const std::string& utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
    if (decoder.hasError())
        throw KeyError{"キーが UTF-8 の文字列ではありません。"};
    const Cp932Encoded encoded = UnicodeToCp932(text);
    if (!encoded.ok())
        throw KeyError{"キー「" + utf8 + "」の文字 " + NameUnconvertible(encoded.unconvertible).toStdString() +
                       " はシフト JIS (コードページ 932) で表せないため検索できません。"};
    return encoded.bytes;
}

class CliReporter : public DocReporter {
public:
    explicit CliReporter(std::FILE* err) : m_pErr(err) {}
    void ReportError(const std::string& message) override { std::fprintf(m_pErr, "marlo-cli: %s\n", message.c_str()); }
    // The command line never changes a phone book, so nothing is ever left unsaved.
    SaveAnswer AskSaveChanges(const std::string&) override { return SaveAnswer::Cancel; }
    std::optional<std::string> AskSavePath(const std::string&) override { return std::nullopt; }
    // Nobody to ask: the warning is printed and the command goes on, as the user asked.
    bool ConfirmLoss(const std::string& message) override {
        Warn(message);
        return true;
    }
    void Warn(const std::string& message) { std::fprintf(m_pErr, "marlo-cli: 注意: %s\n", message.c_str()); }

private:
    std::FILE* m_pErr;
};

// Writes entries as text lines. UTF-8 output converts large chunks at once and
// goes back to entry by entry only for a chunk that holds invalid bytes, so
// that each bad character shows as one U+FFFD of its own entry.
class EntryWriter {
public:
    EntryWriter(std::FILE* out, bool rawBytes) : m_pOut(out), m_bRawBytes(rawBytes) {}

    template <class Record> void Write(const Record& record) {
        AppendTextLine(m_chunk, record);
        m_lineEnds.push_back(m_chunk.size());
        m_chunk += '\n';
        if (m_chunk.size() >= kChunkBytes)
            Flush();
    }

    void Finish() { Flush(); }

private:
    static constexpr std::size_t kChunkBytes = 1 << 20;

    void Flush() {
        if (m_chunk.empty())
            return;
        if (m_bRawBytes) {
            Put(m_chunk);
        } else {
            QString text = Cp932ToUnicode(m_chunk);
            // Only invalid bytes give U+FFFD; then each entry is decoded alone, so
            // that no bad byte can take the line end of its entry with it.
            if (text.contains(QChar(0xFFFD))) {
                text.clear();
                std::size_t start = 0;
                for (const std::size_t end : m_lineEnds) {
                    text += Cp932ToUnicode(std::string_view(m_chunk).substr(start, end - start));
                    text += QChar('\n');
                    start = end + 1;
                }
            }
            const QByteArray utf8 = text.toUtf8();
            Put(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        }
        m_chunk.clear();
        m_lineEnds.clear();
    }

    void Put(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), m_pOut); }

    std::FILE* m_pOut;
    bool m_bRawBytes;
    std::string m_chunk;
    std::vector<std::size_t> m_lineEnds; // where each entry's line ends in m_chunk
};

// A full disk or a closed pipe must not pass for success.
int FlushOutput(std::FILE* out, std::FILE* err) {
    errno = 0;
    const bool flushed = std::fflush(out) == 0;
    const int nError = errno;
    if (flushed && !std::ferror(out))
        return kCliOk;
    // The reason is known when the flush itself failed; a write that failed earlier left none to trust.
    if (!flushed && nError != 0)
        std::fprintf(err, "marlo-cli: 出力を書き込めません: %s。\n", SystemErrorText(nError).c_str());
    else
        std::fprintf(err, "marlo-cli: 出力を書き込めません。\n");
    return kCliFailed;
}

int Usage(std::FILE* err, const std::string& message) {
    std::fprintf(err, "marlo-cli: %s\n%s詳しくは marlo-cli --help を見てください。\n", message.c_str(), kUsage);
    return kCliUsage;
}

std::unique_ptr<CMarloDoc> OpenBook(const std::string& path, CliReporter& reporter) {
    auto doc = std::make_unique<CMarloDoc>();
    doc->SetReporter(&reporter);
    if (!doc->OnOpenDocument(path))
        return nullptr;
    return doc;
}

// A phone book read as bytes, with the checks and reports of an open: the commands
// that look at each record once read it this way instead of opening it.
class BookReader : public CMarloDoc {
public:
    // No file this reader failed to read is ever kept to ask about: a save is the write alone.
    using CDocument::WriteFileAtomically;
    explicit BookReader(CliReporter& reporter) { SetReporter(&reporter); }
    /// Reads the file at `path` and runs `scan` on its bytes; an ArchiveError that
    /// `scan` throws is reported as a failed open. The bytes stay in `bytes`.
    bool Scan(const std::string& path, std::unique_ptr<BookBytes>& bytes,
              const std::function<void(std::string_view)>& scan) {
        return ScanAsRead(path, bytes, [&scan](BookBytes& read) {
            read.ReadIn();
            scan(read.View());
        });
    }
    /// The same, with the bytes left for `scan` to read in (BookBytes::ReadIn), which
    /// it may hand to another thread.
    bool ScanAsRead(const std::string& path, std::unique_ptr<BookBytes>& bytes,
                    const std::function<void(BookBytes&)>& scan) {
        return ReadFile(path, [&](QIODevice& file) {
            bytes = std::make_unique<BookBytes>(file, BookBytes::Later::Read);
            scan(*bytes);
        });
    }
};

// Keeps the fields of records whose views would not last: those converted from the
// wide form live in the reader only until its next record.
class KeptFields {
public:
    PhoneRecordView Keep(const PhoneRecordView& record) {
        return {Keep(record.m_strRomaji), Keep(record.m_strKanji), Keep(record.m_strPhone), Keep(record.m_strMemo)};
    }

private:
    std::string_view Keep(std::string_view text) { return m_texts.emplace_back(text); }
    std::deque<std::string> m_texts;
};

// The lines of a text file in the order reading files them: a stable sort by name.
// Each line is known by where it starts, so that a book of a million empty lines
// takes a few bytes per line.
class SortedLines {
public:
    std::size_t Count() const noexcept { return m_items.size(); }
    /// The line at `i` in phone-book order, without its line end.
    std::string_view Line(std::size_t i) const { return LineAt(m_items[i].start); }
    /// Asks the memory for the line at `i` to be read ahead.
    void Prefetch(std::size_t i) const { __builtin_prefetch(m_text.data() + m_items[i].start); }

    void Sort(std::string_view bytes) {
        Sort(bytes, [](std::string_view) {});
    }
    /// The same, showing each line to `eachLine` in file order as it goes by.
    template <class F> void Sort(std::string_view bytes, F&& eachLine) {
        m_text = TextPart(bytes);
        // A field past the longest a record holds needs a line at least half as long (a
        // memo's line breaks take two bytes for the comma's one).
        const bool checkSizes = m_text.size() >= PackedRows::kMaxText / 2;
        std::size_t count = 0;
        ForEachTextLine(m_text, [&count](std::string_view) { ++count; });
        if (count > AvailableMemory() / sizeof(Item))
            throw std::bad_alloc(); // rather than the system stopping the program on the way
        m_items.reserve(count);
        ForEachTextLine(m_text, [&](std::string_view line) {
            if (checkSizes)
                TextLineFields(line).CheckSizes();
            eachLine(line);
            m_items.push_back({MakeMbsSortKey(TextLineFields::NameOf(line)),
                               static_cast<std::uint64_t>(line.data() - m_text.data())});
        });
        // Names the keys cannot tell apart are compared whole; equal names keep the
        // order of their lines.
        std::sort(m_items.begin(), m_items.end(), [this](const Item& a, const Item& b) {
            if (a.key != b.key)
                return a.key < b.key;
            if ((a.key.lo & 0xFF) != 0) {
                if (const int cmp = MbsCmp(TextLineFields::NameOf(LineAt(a.start)),
                                           TextLineFields::NameOf(LineAt(b.start))))
                    return cmp < 0;
            }
            return a.start < b.start;
        });
    }

private:
    struct Item {
        MbsSortKey key;
        std::uint64_t start;
    };

    std::string_view LineAt(std::uint64_t start) const {
        const std::string_view rest = m_text.substr(start);
        const std::size_t lf = rest.find('\n');
        if (lf == std::string_view::npos)
            return rest; // the last line, without a line end: a CR at its end stays
        return rest.substr(0, lf > 0 && rest[lf - 1] == '\r' ? lf - 1 : lf);
    }

    std::string_view m_text;
    std::vector<Item> m_items;
};

// A file's new content handed to it in large pieces, as a save writes.
class ChunkedOutput {
public:
    explicit ChunkedOutput(QIODevice& file) : m_file(file) { m_chunk.reserve(kChunkBytes + 4096); }
    ~ChunkedOutput() = default;
    ChunkedOutput(const ChunkedOutput&) = delete;
    ChunkedOutput& operator=(const ChunkedOutput&) = delete;

    /// Where the next bytes go; hand them over with Filled().
    std::string& Chunk() noexcept { return m_chunk; }
    void Filled() {
        if (m_chunk.size() >= kChunkBytes)
            Flush();
    }
    /// Throws ArchiveError(Io) when the file refuses the bytes.
    void Flush() {
        if (!m_chunk.empty())
            WriteOut(m_file, m_chunk);
        m_chunk.clear();
    }

private:
    static constexpr std::size_t kChunkBytes = 1 << 20;
    QIODevice& m_file;
    std::string m_chunk;
};

// Writes the archive a save of the archive's records writes, as the bytes arrive. Runs of
// records stored as a save stores them are written as they lie; any other record, with a
// long length form or a wide string, is written anew.
void WriteArchiveAsSaved(std::string_view block, const ByteArrival& arrival, QIODevice& file) {
    constexpr std::size_t kRunBytes = 4 << 20, kCopiedRunBytes = 64 << 10, kAnewBytes = 1 << 20;
    ArchiveRecords records(block, &arrival);
    std::string anew; // records written anew, with the short runs between them
    AppendArchiveHead(anew, records.GetCount());
    std::size_t run = records.RecordsBegin(); // from here on the records are as saved
    const auto writeRun = [&](std::size_t to) {
        if (!anew.empty())
            WriteOut(file, anew);
        anew.clear();
        WriteOut(file, block.substr(run, to - run));
        run = to;
    };
    std::array<std::uint8_t, 4> lengths{};
    PhoneRecordView record;
    for (;;) {
        const std::size_t begin = records.Offset();
        if (begin - run >= kRunBytes)
            writeRun(begin);
        if (records.NextShort(lengths))
            continue; // a length byte before each field: as saved
        if (!records.Next(record))
            break;
        if (records.LastAsSaved())
            continue;
        if (begin - run >= kCopiedRunBytes)
            writeRun(begin);
        else
            anew.append(block.substr(run, begin - run));
        for (const std::string_view field : {record.m_strRomaji, record.m_strKanji, record.m_strPhone, record.m_strMemo})
            AppendArchiveString(anew, field);
        run = records.Offset();
        if (anew.size() >= kAnewBytes) {
            WriteOut(file, anew);
            anew.clear();
        }
    }
    writeRun(records.Offset()); // nothing after the last record: a save would not write it
}

// What saving the archive's records as text and reading it back loses.
TextExportLoss AssessArchiveAsText(std::string_view bytes) {
    ArchiveRecords records(bytes);
    TextExportCheck check;
    PhoneRecordView record;
    // Most records hold no byte that a text line treats apart: only those that do need
    // a closer look. A record of short fields is told on its own bytes at once; others
    // go by the windows of PlainRecords.
    PlainRecords plain(bytes, records.RecordsBegin());
    std::array<std::uint8_t, 4> lengths{};
    for (;;) {
        const std::size_t begin = records.Offset();
        if (records.NextShort(lengths)) {
            const int plainShort = IsPlainShortRecord(bytes, begin, lengths);
            if (plainShort >= 0)
                plain.Passed(records.Offset());
            if (plainShort == 1) {
                check.AddPlain(std::string_view(bytes.data() + begin + 1, lengths[0]));
                continue;
            }
            record = ShortRecordView(bytes, begin, lengths);
            if (plainShort == 0) {
                check.Add(record, false);
                continue;
            }
        } else if (!records.Next(record)) {
            break;
        }
        check.Add(record, plain.IsPlain(record, records.Offset(), records.LastWasWide()));
    }
    return check.Result();
}

// Writes the text file of the archive's records, in stored order, as the bytes arrive.
void WriteArchiveAsText(std::string_view block, const ByteArrival& arrival, QIODevice& file) {
    // The lines are made straight in a buffer with room for one more short record's line.
    constexpr std::size_t kChunkBytes = 1 << 20, kRoom = 4 * 0xFF + 5; // the longest such line
    const std::unique_ptr<char[]> chunk(new char[kChunkBytes + kRoom]);
    char* end = chunk.get();
    const auto flush = [&] {
        WriteOut(file, std::string_view(chunk.get(), static_cast<std::size_t>(end - chunk.get())));
        end = chunk.get();
    };
    ArchiveRecords records(block, &arrival);
    PhoneRecordView record;
    std::array<std::uint8_t, 4> lengths{};
    std::string line; // one made the long way
    for (;;) {
        if (static_cast<std::size_t>(end - chunk.get()) >= kChunkBytes)
            flush();
        const std::size_t begin = records.Offset();
        if (records.NextShort(lengths)) {
            // Most records are as a save writes short fields, and their lines are their bytes.
            if (const std::size_t size = PutShortRecordLine(end, records.Readable(), begin, lengths)) {
                end += size;
                continue;
            }
            record = ShortRecordView(block, begin, lengths);
        } else if (!records.Next(record)) {
            break;
        }
        line.clear();
        AppendTextLine(line, record);
        // A text file's line ends are CR LF, and so is every LF inside a field.
        if (HoldsByte(line, '\n')) {
            std::string crlf;
            for (const char c : line)
                (c == '\n' ? crlf += "\r\n" : crlf += c);
            line = std::move(crlf);
        }
        line.append("\r\n", 2);
        if (line.size() > kChunkBytes + kRoom - static_cast<std::size_t>(end - chunk.get())) {
            flush();
            if (line.size() > kChunkBytes) {
                WriteOut(file, line);
                continue;
            }
        }
        std::memcpy(end, line.data(), line.size());
        end += line.size();
    }
    flush();
}

// Holds a save's reports back until the check that runs beside it has told whether the
// file it saves could be read at all: a failed read is then the one thing to report.
class HeldReporter : public DocReporter {
public:
    explicit HeldReporter(DocReporter& to) : m_to(to) {}
    void ReportError(const std::string& message) override { m_held.push_back(message); }
    SaveAnswer AskSaveChanges(const std::string& title) override { return m_to.AskSaveChanges(title); }
    std::optional<std::string> AskSavePath(const std::string& path) override { return m_to.AskSavePath(path); }
    bool ConfirmLoss(const std::string& message) override { return m_to.ConfirmLoss(message); }
    void Release() {
        for (const std::string& message : m_held)
            m_to.ReportError(message);
        m_held.clear();
    }

private:
    DocReporter& m_to;
    std::vector<std::string> m_held;
};

// Saves the archive's records as the file `out` with `write`, which takes the bytes as they
// arrive. Another core reads them in and runs `check` on them whole: the checks of an
// open, and what the saved file would lose, told, or the save given up, before the new
// file takes the old one's place. A file that cannot be read, or a record the reader
// cannot take, fails the whole as a read, just as when reading and the check came first.
bool SaveArchiveAs(BookReader& reader, CliReporter& reporter, BookBytes& bytes, const std::string& out,
                   const std::function<TextExportLoss(std::string_view)>& check,
                   const std::function<void(std::string_view, const ByteArrival&, QIODevice&)>& write) {
    TextExportLoss loss;
    std::exception_ptr failure;
    const auto readAndCheck = [&] {
        try {
            bytes.ReadIn();
            loss = check(bytes.View());
        } catch (...) {
            failure = std::current_exception();
        }
    };
    std::jthread checking;
    try {
        checking = std::jthread(readAndCheck);
    } catch (const std::system_error&) {
        readAndCheck(); // no thread to be had: reading and the check come first
    }
    bool told = false;
    const auto settle = [&] {
        if (checking.joinable())
            checking.join();
        if (failure)
            std::rethrow_exception(failure); // the read's own error, reported as the read's
        if (!told && loss.Any()) {
            told = true;
            reporter.Warn(loss.Describe(out));
        }
    };
    HeldReporter held(reporter);
    reader.SetReporter(&held);
    bool saved = false;
    try {
        saved = reader.WriteFileAtomically(out, [&](QIODevice& file) {
            write(bytes.Block(), bytes.Arrival(), file);
            settle();
        });
    } catch (...) {
        reader.SetReporter(&reporter);
        throw;
    }
    reader.SetReporter(&reporter);
    settle();
    held.Release();
    return saved;
}

// Writes the archive of a text file's lines, sorted as reading sorts them.
void WriteTextAsArchive(const SortedLines& sorted, QIODevice& file) {
    ChunkedOutput out(file);
    std::string& archive = out.Chunk();
    AppendArchiveHead(archive, sorted.Count());
    std::string memo;
    // The lines are read in another order than they lie: ask for them a few ahead.
    constexpr std::size_t kAhead = 8;
    const std::size_t count = sorted.Count();
    for (std::size_t i = 0; i < count; ++i) {
        if (i + kAhead < count)
            sorted.Prefetch(i + kAhead);
        const TextLineFields fields(sorted.Line(i));
        AppendArchiveString(archive, fields.romaji);
        AppendArchiveString(archive, fields.kanji);
        AppendArchiveString(archive, fields.phone);
        if (fields.memoSize == fields.memoText.size()) {
            AppendArchiveString(archive, fields.memoText); // a single line
        } else {
            fields.MemoInto(memo);
            AppendArchiveString(archive, memo);
        }
        out.Filled();
    }
    out.Flush();
}

// What saving the records read from a text file's lines as text loses (AssessTextExport
// on the book they open as). Such a record has no Ctrl-Z, no comma, no LF but in its
// memo's line breaks and no memo that starts with one, and the records are in name order:
// all that can change is a memo that ends in a line break. Its line ends in two commas
// after a memo line with bytes; the saved line ends in one, which reading takes for an
// empty last memo line and drops, so the record comes back without that line break.
class TextLinesLoss {
public:
    /// The next line in file order.
    void Add(std::string_view line) {
        if (line.size() < 2 || line[line.size() - 1] != ',' || line[line.size() - 2] != ',')
            return;
        const TextLineFields fields(line);
        if (fields.memoText.empty())
            return; // no memo, or one of empty lines only
        // The first in phone-book order: the least name, of equal names the earliest line.
        if (m_loss.nChanged++ == 0 || MbsCmp(fields.romaji, m_firstChanged) < 0)
            m_firstChanged = fields.romaji;
    }
    TextExportLoss Result() const {
        TextExportLoss loss = m_loss;
        loss.strFirstChanged = m_firstChanged;
        return loss;
    }

private:
    TextExportLoss m_loss;
    std::string_view m_firstChanged; // in the file's bytes
};

// Writes the text file of a text file's lines, sorted as reading sorts them: each line as
// a save writes the record read from it.
void WriteTextAsText(const SortedLines& sorted, QIODevice& file) {
    ChunkedOutput out(file);
    std::string& text = out.Chunk();
    constexpr std::size_t kAhead = 8;
    const std::size_t count = sorted.Count();
    for (std::size_t i = 0; i < count; ++i) {
        if (i + kAhead < count)
            sorted.Prefetch(i + kAhead);
        AppendTextLine(text, TextLineFields(sorted.Line(i)));
        text += "\r\n"; // the line holds no LF: its memo's line breaks are commas
        out.Filled();
    }
    out.Flush();
}

int Convert(const std::string& in, const std::string& out, std::FILE* err) {
    CliReporter reporter(err);
    const bool textIn = CMarloDoc::IsTextPath(in), textOut = CMarloDoc::IsTextPath(out);
    BookReader reader(reporter);
    std::unique_ptr<BookBytes> bytes;
    if (!textIn) {
        const auto check = [textOut](std::string_view view) {
            if (textOut)
                return AssessArchiveAsText(view);
            ArchiveRecords(view).SkipAll(); // what an open checks
            return TextExportLoss{};
        };
        bool saved = false;
        const bool read = reader.ScanAsRead(in, bytes, [&](BookBytes& arriving) {
            saved = SaveArchiveAs(reader, reporter, arriving, out, check, textOut ? WriteArchiveAsText : WriteArchiveAsSaved);
        });
        return read && saved ? kCliOk : kCliFailed;
    }
    // The file is read and checked whole before anything is written, as an open would.
    SortedLines lines;
    TextLinesLoss loss;
    const bool read = reader.Scan(in, bytes, [&](std::string_view view) {
        if (textOut)
            lines.Sort(view, [&loss](std::string_view line) { loss.Add(line); });
        else
            lines.Sort(view);
    });
    if (!read)
        return kCliFailed;
    if (const TextExportLoss lost = loss.Result(); lost.Any())
        reporter.Warn(lost.Describe(out));
    return reader.WriteFileAtomically(out, [&](QIODevice& file) {
               if (textOut) {
                   WriteTextAsText(lines, file);
               } else {
                   if (lines.Count() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
                       throw ArchiveError(ArchiveError::Kind::Io, "件数が多すぎて保存できません。");
                   WriteTextAsArchive(lines, file);
               }
           })
               ? kCliOk
               : kCliFailed;
}

// Adds the contacts of `files` to the phone book at `bookPath` (made when it does not
// exist yet) and saves it; a dry run prints the entries it would add instead.
int Import(const std::string& bookPath, const std::vector<std::string>& files, bool dryRun, bool rawBytes,
           std::FILE* out, std::FILE* err) {
    CliReporter reporter(err);
    std::unique_ptr<CMarloDoc> doc;
    if (PathExists(bookPath)) {
        doc = OpenBook(bookPath, reporter);
        if (!doc)
            return kCliFailed;
    } else {
        doc = std::make_unique<CMarloDoc>();
        doc->SetReporter(&reporter);
        doc->m_pData = std::make_unique<CMrlData>();
    }
    ContactImport import;
    if (!ReadContactFiles(*doc, files, import))
        return kCliFailed;
    const std::vector<PhoneRecord> records = import.Records();
    const QString notes = import.Describe();
    if (dryRun) {
        EntryWriter writer(out, rawBytes);
        for (const PhoneRecord& record : records)
            writer.Write(PhoneRecordView(record));
        writer.Finish();
        std::fprintf(err, "marlo-cli: %zu 件を追加します (--dry-run のため保存していません)。\n", records.size());
        if (!notes.isEmpty())
            std::fprintf(err, "%s\n", notes.toStdString().c_str());
        return FlushOutput(out, err);
    }
    if (!records.empty()) {
        doc->AddEntries(records);
        if (!doc->OnSaveDocument(bookPath))
            return kCliFailed;
    }
    std::fprintf(out, "%s に %zu 件を追加しました。\n", QuotePath(bookPath).c_str(), records.size());
    if (!notes.isEmpty())
        std::fprintf(out, "%s\n", notes.toStdString().c_str());
    return FlushOutput(out, err);
}

// Writes the phone book at `bookPath` to `outPath` as vCard or CSV.
int Export(const std::string& bookPath, const std::string& outPath, ExportFormat format, std::FILE* out,
           std::FILE* err) {
    CliReporter reporter(err);
    std::unique_ptr<CMarloDoc> doc = OpenBook(bookPath, reporter);
    if (!doc)
        return kCliFailed;
    if (!ExportBook(*doc, outPath, format))
        return kCliFailed;
    std::fprintf(out, "%s に %zu 件を書き出しました。\n", QuotePath(outPath).c_str(), doc->m_pData->m_list.GetCount());
    return FlushOutput(out, err);
}

// Reads the archive at `path` into `bytes` and hands `walk` its records, not read yet, and
// its bytes; false when it cannot be read, which is reported as an open reports it.
bool WalkArchive(const std::string& path, CliReporter& reporter, std::unique_ptr<BookBytes>& bytes,
                 const std::function<void(ArchiveRecords&, std::string_view)>& walk) {
    BookReader reader(reporter);
    return reader.Scan(path, bytes, [&walk](std::string_view view) {
        ArchiveRecords records(view);
        walk(records, view);
    });
}

// The full-text search over an archive: only records whose bytes hold a key are
// tested, and only hits are kept. An archive's phone-book order is its stored order;
// nothing is printed before the whole file has been read and checked.
// Returns kCliFailed when the file cannot be read, else kCliOk with the hits written.
int FindInArchive(const std::string& path, const std::array<std::string, 3>& keys, CliReporter& reporter,
                  EntryWriter& writer) {
    const FullTextFilter filter(keys);
    const KeyCandidates candidates(keys, false);
    std::vector<PhoneRecordView> hits;
    KeptFields kept;
    std::unique_ptr<BookBytes> bytes;
    const bool read = WalkArchive(path, reporter, bytes, [&](ArchiveRecords& records, std::string_view view) {
        PhoneRecordView record;
        std::size_t next = filter.IsEmpty() ? view.size() : candidates.Next(view, records.RecordsBegin());
        while (records.Next(record)) {
            const std::size_t end = records.Offset();
            // Fields stored wide are not the bytes of the file: they are always tested.
            const bool wide = records.LastWasWide() && !filter.IsEmpty();
            if (next >= end && !wide)
                continue;
            if (next < end)
                next = candidates.Next(view, end);
            if (filter.Matches(record))
                hits.push_back(wide ? kept.Keep(record) : record);
        }
    });
    if (!read)
        return kCliFailed;
    for (auto hit = hits.rbegin(); hit != hits.rend(); ++hit)
        writer.Write(*hit);
    writer.Finish();
    return kCliOk;
}

// The same over a text file: its phone-book order is its lines in a stable sort by
// name, and the hits keep that relative order when sorted alone.
int FindInText(const std::string& path, const std::array<std::string, 3>& keys, CliReporter& reporter,
               EntryWriter& writer) {
    const FullTextFilter filter(keys);
    const KeyCandidates candidates(keys, true);
    std::vector<TextLineFields> hits;
    BookReader reader(reporter);
    std::unique_ptr<BookBytes> bytes;
    const bool read = reader.Scan(path, bytes, [&](std::string_view view) {
        const std::string_view text = TextPart(view);
        const bool checkSizes = text.size() >= PackedRows::kMaxText / 2;
        std::size_t next = filter.IsEmpty() ? text.size() : candidates.Next(text, 0);
        std::string memo;
        ForEachTextLine(text, [&](std::string_view line) {
            const std::size_t end = static_cast<std::size_t>(line.data() - text.data()) + line.size();
            if (checkSizes)
                TextLineFields(line).CheckSizes();
            if (next > end || (next == end && !line.empty()))
                return;
            next = candidates.Next(text, end + 1);
            const TextLineFields fields(line);
            std::string_view memoView = fields.memoText;
            if (fields.memoSize != fields.memoText.size()) {
                fields.MemoInto(memo);
                memoView = memo;
            }
            if (filter.Matches(PhoneRecordView(fields.romaji, fields.kanji, fields.phone, memoView)))
                hits.push_back(fields);
        });
    });
    if (!read)
        return kCliFailed;
    std::stable_sort(hits.begin(), hits.end(),
                     [](const TextLineFields& a, const TextLineFields& b) { return MbsCmp(a.romaji, b.romaji) < 0; });
    for (auto hit = hits.rbegin(); hit != hits.rend(); ++hit)
        writer.Write(*hit);
    writer.Finish();
    return kCliOk;
}

// list and search over an archive: the records in stored order, or the rows the name
// search lists for `key`, written once the whole file has been read and checked.
int ListArchive(const std::string& path, bool search, const std::string& key, int limit, CliReporter& reporter,
                EntryWriter& writer) {
    std::vector<PhoneRecordView> rows;
    KeptFields kept;
    std::unique_ptr<BookBytes> bytes;
    const bool read = WalkArchive(path, reporter, bytes, [&](ArchiveRecords& records, std::string_view) {
        NameSearchWalk walk(key, limit, records.GetCount());
        PhoneRecordView record, previous;
        PhoneRecord previousCopy; // the record before, when its fields were stored wide
        bool previousWide = false;
        for (std::size_t index = 0; records.Next(record); ++index) {
            if (!search || !walk.Wants())
                continue;
            walk.Next(record.m_strRomaji);
            // The rows may have just taken in this record and the one before it.
            const RowRange listed = walk.Rows();
            while (rows.size() < listed.count) {
                if (listed.first + rows.size() == index)
                    rows.push_back(records.LastWasWide() ? kept.Keep(record) : record);
                else
                    rows.push_back(previousWide ? kept.Keep(previous) : previous);
            }
            previousWide = records.LastWasWide();
            if (previousWide) {
                record.CopyTo(previousCopy);
                previous = previousCopy;
            } else {
                previous = record;
            }
        }
    });
    if (!read)
        return kCliFailed;
    if (search) {
        for (const PhoneRecordView& row : rows)
            writer.Write(row);
    } else {
        // Checked whole: now every record, in stored order.
        ArchiveRecords records(bytes->View());
        PhoneRecordView record;
        while (records.Next(record))
            writer.Write(record);
    }
    writer.Finish();
    return kCliOk;
}

// list and search over a text file: its phone book is its lines in a stable sort by
// name, which is sorted, so the name search's walk over them lists its rows.
int ListText(const std::string& path, bool search, const std::string& key, int limit, CliReporter& reporter,
             EntryWriter& writer) {
    SortedLines sorted;
    BookReader reader(reporter);
    std::unique_ptr<BookBytes> bytes;
    if (!reader.Scan(path, bytes, [&](std::string_view view) { sorted.Sort(view); }))
        return kCliFailed;
    RowRange rows{0, sorted.Count()};
    if (search) {
        NameSearchWalk walk(key, limit, sorted.Count());
        for (std::size_t i = 0; i < sorted.Count() && walk.Wants(); ++i)
            walk.Next(TextLineFields::NameOf(sorted.Line(i)));
        rows = walk.Rows();
    }
    for (std::size_t i = rows.first; i < rows.first + rows.count; ++i)
        writer.Write(TextLineFields(sorted.Line(i)));
    writer.Finish();
    return kCliOk;
}

int Run(const Options& options, std::FILE* out, std::FILE* err) {
    const std::vector<std::string>& ops = options.operands;
    if (ops.empty())
        throw UsageError{"コマンドを指定してください。"};
    const std::string& command = ops[0];

    if (command == "convert") {
        if (ops.size() != 3)
            throw UsageError{"convert には入力ファイルと出力ファイルを指定してください。"};
        if (options.file || options.maxHits || options.encoding)
            throw UsageError{"convert には -f、--max、--encoding を指定できません。"};
        return Convert(ops[1], ops[2], err);
    }

    const bool isImport = command == "import", isExport = command == "export";
    if (options.dryRun && !isImport)
        throw UsageError{"--dry-run は import にだけ指定できます。"};
    if ((isImport || isExport) && options.maxHits)
        throw UsageError{"--max は search にだけ指定できます。"};
    if (isImport && ops.size() < 2)
        throw UsageError{"import には連絡先のファイルを一つ以上指定してください。"};
    if (isExport && ops.size() != 2)
        throw UsageError{"export には出力ファイルを一つ指定してください。"};

    const bool isList = command == "list", isSearch = command == "search", isFind = command == "find";
    if (!isList && !isSearch && !isFind && !isImport && !isExport)
        throw UsageError{"不明なコマンド「" + command + "」です。"};
    if (isList && ops.size() != 1)
        throw UsageError{"list は引数をとりません。"};
    if (isSearch && ops.size() != 2)
        throw UsageError{"search にはキーを一つ指定してください。"};
    if (isFind && (ops.size() < 2 || ops.size() > 4))
        throw UsageError{"find にはキーを一つから三つ指定してください。"};
    if (options.maxHits && !isSearch)
        throw UsageError{"--max は search にだけ指定できます。"};
    bool rawBytes = false;
    if (options.encoding) {
        const QString name = QString::fromUtf8(*options.encoding).toLower();
        if (name == "cp932")
            rawBytes = true;
        else if (name != "utf-8" && name != "utf8")
            throw UsageError{"文字コード「" + *options.encoding + "」は使えません (utf-8 か cp932)。"};
    }
    const std::string path = options.file.value_or(CMarloDoc::kDefaultBookName);
    if (isImport)
        return Import(path, std::vector<std::string>(ops.begin() + 1, ops.end()), options.dryRun, rawBytes, out, err);
    if (isExport) {
        const std::optional<ExportFormat> format = ExportFormatFor(ops[1], rawBytes);
        if (!format)
            throw UsageError{"export の出力ファイルの名前は「.vcf」か「.csv」で終えてください。"};
        if (rawBytes && *format == ExportFormat::VCard)
            throw UsageError{"vCard は UTF-8 で書き出します (--encoding cp932 は CSV にだけ指定できます)。"};
        return Export(path, ops[1], *format, out, err);
    }

    // Without --max, the hit limit the window reads at start-up.
    const int limit =
        options.maxHits ? ParseMaxHits(*options.maxHits) : ReadMaxHits(CMarloDoc::kSettingsName).value_or(0);
    std::array<std::string, 3> keys;
    for (std::size_t i = 1; i < ops.size(); ++i)
        keys[i - 1] = KeyBytes(ops[i]);

    CliReporter reporter(err);
    EntryWriter writer(out, rawBytes);
    const bool text = CMarloDoc::IsTextPath(path);
    const int status = isFind ? (text ? FindInText(path, keys, reporter, writer)
                                      : FindInArchive(path, keys, reporter, writer))
                              : (text ? ListText(path, isSearch, keys[0], limit, reporter, writer)
                                      : ListArchive(path, isSearch, keys[0], limit, reporter, writer));
    return status == kCliOk ? FlushOutput(out, err) : status;
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    try {
        const Options options = ParseArgs(args);
        if (options.help || options.version) {
            if (options.help)
                std::fprintf(out, "%s\n%s", kUsage, kHelp);
            else
                std::fprintf(out, "marlo-cli %s\n", MARLO_VERSION);
            return FlushOutput(out, err);
        }
        return Run(options, out, err);
    } catch (const UsageError& e) {
        return Usage(err, e.message);
    } catch (const KeyError& e) {
        std::fprintf(err, "marlo-cli: %s\n", e.message.c_str());
        return kCliUsage;
    } catch (const std::bad_alloc&) {
        std::fprintf(err, "marlo-cli: メモリが足りません。\n");
        return kCliFailed;
    }
}
