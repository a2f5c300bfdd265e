// The two searches on generated phone books of 1,000 to 1,000,000 entries, and
// grep scanning the same phone book saved as text, in the same run.

#include "BookGenerator.h"
#include "data/TextFormat.h"
#include "platform/Cp932.h"
#include "platform/Mbcs.h"
#include "search/BookRows.h"
#include "search/FullTextSearch.h"
#include "search/NameSearch.h"

#include <QDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string Sjis(const char* utf8) {
    return UnicodeToCp932(QString::fromUtf8(utf8)).bytes;
}

// Generated books, filed in romaji order (or left as generated), kept for the whole run.
const RecordList& Book(std::size_t count, bool sorted = true) {
    static std::map<std::pair<std::size_t, bool>, RecordList> books;
    auto it = books.find({count, sorted});
    if (it == books.end()) {
        std::vector<PhoneRecord> records = GenerateRecords(count, 42);
        if (sorted) {
            std::stable_sort(records.begin(), records.end(), [](const PhoneRecord& a, const PhoneRecord& b) {
                return MbsCmp(a.m_strRomaji, b.m_strRomaji) < 0;
            });
        }
        RecordList list;
        list.Assign(records);
        it = books.emplace(std::pair{count, sorted}, std::move(list)).first;
    }
    return it->second;
}

// The keys typed to find a "tanaka" of the book: t, ta, tan, ... up to the whole name.
std::vector<std::string> TypingSequence(const RecordList& book, bool capsLock = false) {
    std::string target = "tanaka";
    for (const PhoneRecordView record : book) {
        if (record.m_strRomaji.starts_with("tanaka ")) {
            target = record.m_strRomaji;
            break;
        }
    }
    std::vector<std::string> keys;
    if (capsLock)
        std::transform(target.begin(), target.end(), target.begin(),
                       [](char c) { return c >= 'a' && c <= 'z' ? c - 0x20 : c; });
    for (std::size_t n = 1; n <= target.size(); ++n)
        keys.push_back(target.substr(0, n));
    return keys;
}

void NameSearchTyping(benchmark::State& state, bool sorted, bool capsLock = false) {
    const RecordList& book = Book(static_cast<std::size_t>(state.range(0)), sorted);
    const std::vector<std::string> keys = TypingSequence(book, capsLock);
    std::size_t rows = 0;
    for (auto _ : state) {
        for (const std::string& key : keys) {
            const RowRange hits = NameSearch(book, key, 0);
            rows += hits.count;
            benchmark::DoNotOptimize(hits);
        }
    }
    // Time per keystroke, the figure that must stay well under a frame.
    state.counters["per_keystroke"] = benchmark::Counter(static_cast<double>(state.iterations() * keys.size()),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["rows_per_keystroke"] =
        static_cast<double>(rows) / static_cast<double>(state.iterations() * keys.size());
}

void BM_NameSearchTyping(benchmark::State& state) {
    NameSearchTyping(state, true);
}
BENCHMARK(BM_NameSearchTyping)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// An archive loaded as stored: the walk from the head.
void BM_NameSearchTypingUnsorted(benchmark::State& state) {
    NameSearchTyping(state, false);
}
BENCHMARK(BM_NameSearchTypingUnsorted)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// The slowest walk: capitals sort before every name, so no neighbours stop it before the last record.
void BM_NameSearchTypingUnsortedCapitals(benchmark::State& state) {
    NameSearchTyping(state, false, true);
}
BENCHMARK(BM_NameSearchTypingUnsortedCapitals)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

std::size_t FieldBytes(const RecordList& book) {
    std::size_t bytes = 0;
    for (const PhoneRecordView r : book)
        bytes += r.m_strRomaji.size() + r.m_strKanji.size() + r.m_strPhone.size() + r.m_strMemo.size();
    return bytes;
}

// Keys of four kinds: a romaji name in capitals, a kanji name with a memo word, a
// phone-number part, a frequent memo label with a rarer letter pair.
const std::array<std::string, 3>& FullTextKeys(int which) {
    static const std::array<std::array<std::string, 3>, 4> keys = {{
        {"TANAKA", "", ""},
        {Sjis("田中"), Sjis("営業"), ""},
        {"-1234", "", ""},
        {Sjis("携帯"), "KA", ""},
    }};
    return keys[static_cast<std::size_t>(which)];
}

void BM_FullTextSearch(benchmark::State& state) {
    const RecordList& book = Book(static_cast<std::size_t>(state.range(0)));
    const auto& keys = FullTextKeys(static_cast<int>(state.range(1)));
    std::size_t hits = 0;
    for (auto _ : state) {
        const auto rows = FullTextSearch(book, keys);
        hits = rows.size();
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FieldBytes(book)));
    state.counters["hits"] = static_cast<double>(hits);
}
BENCHMARK(BM_FullTextSearch)
    ->ArgsProduct({{1000, 100000, 1000000}, {0, 1, 2, 3}})
    ->ArgNames({"entries", "key"})
    ->Unit(benchmark::kMillisecond);

// grep -i -F over the same phone book saved as text: the whole process, file in the page cache.
void BM_GrepIgnoreCase(benchmark::State& state) {
    const RecordList& book = Book(static_cast<std::size_t>(state.range(0)));
    const auto& keys = FullTextKeys(static_cast<int>(state.range(1)));
    const std::string dir = QDir::tempPath().toStdString() + "/marlo-searchbench-" + std::to_string(::getpid());
    QDir().mkpath(QString::fromStdString(dir));
    const std::string text = dir + "/book.txt", keyFile = dir + "/key";
    {
        std::ofstream out(text, std::ios::binary);
        for (const PhoneRecordView record : book)
            out << FormatTextLine(record.ToRecord()) << "\r\n";
        std::ofstream(keyFile, std::ios::binary) << keys[0] << '\n';
    }
    // Not to /dev/null: grep then stops at the first match.
    const std::string command = "LC_ALL=C grep -i -F -c -f " + keyFile + " " + text + " > " + dir + "/count";
    for (auto _ : state) {
        // grep answers 0 (found) or 1 (not found); anything else means it did not scan.
        const int status = std::system(command.c_str());
        if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) > 1) {
            state.SkipWithError(("grep failed: " + command).c_str());
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FieldBytes(book)));
    QDir(QString::fromStdString(dir)).removeRecursively();
}
BENCHMARK(BM_GrepIgnoreCase)
    ->ArgsProduct({{1000, 100000, 1000000}, {0, 2}})
    ->ArgNames({"entries", "key"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

// Packing a whole book as list rows, as the window does after every change of
// the book, and the name search over the packed rows for the typing sequence.
void BM_PackBook(benchmark::State& state) {
    const RecordList& book = Book(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        BookRows rows; // a fresh one: it has packed nothing yet
        benchmark::DoNotOptimize(rows.Of(book).Count());
    }
}
BENCHMARK(BM_PackBook)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_NameSearchTypingPacked(benchmark::State& state) {
    const RecordList& book = Book(static_cast<std::size_t>(state.range(0)));
    BookRows packed;
    const PackedRows& rows = packed.Of(book);
    const std::vector<std::string> keys = TypingSequence(book);
    std::size_t hits = 0;
    for (auto _ : state)
        for (const std::string& key : keys)
            hits += NameSearch(rows, packed.IsSorted(), key, 0).count;
    state.counters["rows/key"] = benchmark::Counter(static_cast<double>(hits) / static_cast<double>(keys.size()),
                                                    benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_NameSearchTypingPacked)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// Show-all of a packed book: every row copied into the list's own rows, after
// range(1) rows were inserted and as many erased in place (as following an
// entry's add or delete does), which leaves the blocks out of row order.
void BM_ShowAllAfterEdits(benchmark::State& state) {
    const RecordList& book = Book(static_cast<std::size_t>(state.range(0)));
    PackedRows rows;
    rows.AppendRows(book.Rows(), 0, book.GetCount(), {});
    const auto edits = static_cast<std::size_t>(state.range(1));
    for (std::size_t i = 0; i < edits; ++i) {
        const std::size_t at = (i + 1) * rows.Count() / (edits + 1);
        rows.Insert(at, {"inserted", Sjis("挿入"), "03-0000-0000", ""});
        rows.Erase(at / 2);
    }
    // With a call for each row, as when the data-entry dialog is open, or none.
    PackedRows list;
    std::size_t calls = 0;
    std::function<void(std::size_t)> onRow;
    if (state.range(2) != 0)
        onRow = [&calls](std::size_t) { ++calls; };
    for (auto _ : state) {
        list.Clear();
        list.AppendRows(rows, 0, rows.Count(), onRow);
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * rows.Count()));
}
BENCHMARK(BM_ShowAllAfterEdits)
    ->ArgsProduct({{1000000}, {0, 4}, {1, 0}})
    ->ArgNames({"entries", "edits", "calls"})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
