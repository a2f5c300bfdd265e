// Speed of the phone-book files: archive open and save against plainly reading
// and writing the same number of bytes, text open against a stable sort of the
// same records, and the peak memory of an archive open. Then the document's
// edits of a big book: add, replace, remove and find an entry, each alone and
// with the packed copy for searches following it in place.
//
// ArchiveOpen is the window opening a book again, into the memory the book before it
// gave back; ArchiveOpenFresh the first open of a process, as at start-up. ArchiveSave's
// peer is PlainSave: the same bytes, written and replaced the same way.
//
//   corebench [benchmark flags]     the benchmarks
//   corebench --peak-rss FILE       opens FILE once and reports the time and peak RSS against its size
//
// The files live in a temporary directory under TMPDIR; TMPDIR=/dev/shm keeps a
// busy disk out of the figures.

#include "BookGenerator.h"

#include "data/MarloDoc.h"
#include "platform/Archive.h"
#include "platform/Mbcs.h"
#include "search/BookRows.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint64_t kSeed = 20261207;
constexpr std::size_t kChunk = 64 * 1024;      // the archive's own buffer size for reading
constexpr std::size_t kSaveChunk = 512 * 1024; // the pieces in which a save hands its bytes on
const std::vector<std::int64_t> kSizes = {1000, 100000, 1000000};

class StderrReporter : public DocReporter {
public:
    void ReportError(const std::string& message) override { std::fprintf(stderr, "corebench: %s\n", message.c_str()); }
    SaveAnswer AskSaveChanges(const std::string&) override { return SaveAnswer::No; }
    std::optional<std::string> AskSavePath(const std::string&) override { return std::nullopt; }
    bool ConfirmLoss(const std::string&) override { return true; } // generated books lose nothing
};

StderrReporter g_reporter;

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QTemporaryDir& TempDir() {
    static QTemporaryDir dir;
    return dir;
}

std::string TempPath(const std::string& name) {
    return LocalPath(TempDir().filePath(QString::fromStdString(name)));
}

bool ByRomaji(const PhoneRecord* a, const PhoneRecord* b) {
    return MbsCmp(a->m_strRomaji, b->m_strRomaji) < 0;
}

// One generated phone book and its files, made once per size.
struct Book {
    std::vector<PhoneRecord> generated; // generation order, as an unsorted file holds them
    std::string archivePath;            // phone-book order
    std::string textPath;               // generation order
    std::string sortedTextPath;         // phone-book order
    std::int64_t archiveBytes = 0;
    std::int64_t textBytes = 0;
};

bool SaveAs(const std::string& path, const std::vector<PhoneRecord>& records) {
    CMarloDoc doc;
    doc.SetReporter(&g_reporter);
    doc.m_pData = std::make_unique<CMrlData>();
    doc.m_pData->m_list.Assign(records);
    return doc.OnSaveDocument(path);
}

// The generated records in phone-book order, equal names as generated.
std::vector<PhoneRecord> Sorted(std::vector<PhoneRecord> records) {
    std::stable_sort(records.begin(), records.end(),
                     [](const PhoneRecord& a, const PhoneRecord& b) { return ByRomaji(&a, &b); });
    return records;
}

const Book* GetBook(std::size_t count) {
    static std::map<std::size_t, std::unique_ptr<Book>> books;
    if (auto it = books.find(count); it != books.end())
        return it->second.get();
    if (!TempDir().isValid())
        return nullptr;
    auto book = std::make_unique<Book>();
    book->generated = GenerateRecords(count, kSeed);
    const std::string base = "book-" + std::to_string(count);
    book->archivePath = TempPath(base + ".mrl");
    book->textPath = TempPath(base + ".txt");
    book->sortedTextPath = TempPath(base + "-sorted.txt");

    const std::vector<PhoneRecord> sorted = Sorted(book->generated);
    if (!SaveAs(book->textPath, book->generated) || !SaveAs(book->archivePath, sorted) ||
        !SaveAs(book->sortedTextPath, sorted))
        return nullptr;
    book->archiveBytes = QFileInfo(QFile::decodeName(book->archivePath.c_str())).size();
    book->textBytes = QFileInfo(QFile::decodeName(book->textPath.c_str())).size();
    return books.emplace(count, std::move(book)).first->second.get();
}

// Hands back what earlier setups freed. Making a book frees millions of small strings
// (its sorted copy); malloc keeps them in its fast lists and merges them all at the next
// large allocation, which would be the first open timed: some 60 ms that no user's open
// pays. A child forked for a fresh open would pay it at every open, and more: its writes
// to the pages of those lists copy the pages.
void SettleHeap() {
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}

const Book* BookOrSkip(benchmark::State& state) {
    const Book* book = GetBook(static_cast<std::size_t>(state.range(0)));
    if (!book)
        state.SkipWithError("could not write the phone book files");
    SettleHeap();
    return book;
}

// Opens the book again and again, as the window does when the user opens it anew. One
// open comes first, untimed: the first of a process also pays for its memory's first use
// (ArchiveOpenFresh measures that), in a virtual machine that gives freed memory back to
// its host up to some 100 ms more while the host supplies those pages again. Each later
// open finds the memory the book before it gave back, as in the window.
void Opens(benchmark::State& state, const std::string& path, std::int64_t bytes) {
    CMarloDoc doc;
    doc.SetReporter(&g_reporter);
    if (!doc.OnOpenDocument(path)) {
        state.SkipWithError("open failed");
        return;
    }
    doc.DeleteContents();
    for (auto _ : state) {
        if (!doc.OnOpenDocument(path) || doc.m_pData->m_list.GetCount() != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("open failed or lost records");
            break;
        }
        state.PauseTiming(); // freeing the records is not part of the open
        doc.DeleteContents();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ArchiveOpen(benchmark::State& state) {
    if (const Book* book = BookOrSkip(state))
        Opens(state, book->archivePath, book->archiveBytes);
}

// Each open in a child process of its own, into memory the process has never used, as
// at start-up: the repeated opens of ArchiveOpen may find pages the previous book left.
void ArchiveOpenFresh(benchmark::State& state) {
    const Book* book = BookOrSkip(state);
    if (!book)
        return;
    for (auto _ : state) {
        int fds[2];
        if (::pipe(fds) != 0) {
            state.SkipWithError("no pipe");
            break;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            CMarloDoc doc;
            const auto start = std::chrono::steady_clock::now();
            const bool ok = doc.OnOpenDocument(book->archivePath) &&
                            doc.m_pData->m_list.GetCount() == static_cast<std::size_t>(state.range(0));
            const double seconds =
                ok ? std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() : -1;
            const ssize_t written = ::write(fds[1], &seconds, sizeof(seconds));
            ::_exit(written == sizeof(seconds) ? 0 : 1);
        }
        ::close(fds[1]);
        double seconds = -1;
        const ssize_t got = child > 0 ? ::read(fds[0], &seconds, sizeof(seconds)) : -1;
        ::close(fds[0]);
        if (child > 0)
            ::waitpid(child, nullptr, 0);
        if (got != sizeof(seconds) || seconds < 0) {
            state.SkipWithError("open failed or lost records");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(state.iterations() * book->archiveBytes);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void TextOpen(benchmark::State& state) {
    if (const Book* book = BookOrSkip(state))
        Opens(state, book->textPath, book->textBytes);
}

void TextOpenSorted(benchmark::State& state) {
    if (const Book* book = BookOrSkip(state))
        Opens(state, book->sortedTextPath, book->textBytes);
}

// The cost that a text open cannot avoid: a stable sort of the records by name,
// starting from the order of the file.
void StableSort(benchmark::State& state) {
    const Book* book = BookOrSkip(state);
    if (!book)
        return;
    std::vector<const PhoneRecord*> order;
    for (auto _ : state) {
        state.PauseTiming();
        order.clear();
        for (const PhoneRecord& r : book->generated)
            order.push_back(&r);
        state.ResumeTiming();
        std::stable_sort(order.begin(), order.end(), ByRomaji);
        benchmark::DoNotOptimize(order.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Filing each line with InsertSorted, as the original program loads a text file:
// the quadratic cost that the text open avoids. Small sizes only.
void FileOneByOne(benchmark::State& state) {
    const Book* book = BookOrSkip(state);
    if (!book)
        return;
    for (auto _ : state) {
        state.PauseTiming();
        CMrlData data;
        state.ResumeTiming();
        for (const PhoneRecord& r : book->generated)
            data.AddSorted(r);
        benchmark::DoNotOptimize(data.m_list.GetCount());
        state.PauseTiming();
        data.m_list.RemoveAll();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Saves the phone book as it stands after opening its file, the usual way to
// come to a save. (Records filed one by one lie scattered in memory, which
// makes every walk over them, a save included, up to twice as slow.)
void Saves(benchmark::State& state, const std::string& path, const Book& book, std::int64_t bytes) {
    CMarloDoc doc;
    doc.SetReporter(&g_reporter);
    if (!doc.OnOpenDocument(book.archivePath)) {
        state.SkipWithError("open failed");
        return;
    }
    for (auto _ : state) {
        if (!doc.OnSaveDocument(path)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ArchiveSave(benchmark::State& state) {
    if (const Book* book = BookOrSkip(state))
        Saves(state, TempPath("save.mrl"), *book, book->archiveBytes);
}

void TextSave(benchmark::State& state) {
    if (const Book* book = BookOrSkip(state))
        Saves(state, TempPath("save.txt"), *book, book->textBytes);
}

// Baselines: the same number of bytes as the phone-book file, read in the pieces the
// archive reads or written in those a save writes.
void QFileRead(benchmark::State& state) {
    const Book* book = BookOrSkip(state);
    if (!book)
        return;
    std::vector<char> buffer(kChunk);
    for (auto _ : state) {
        QFile file(QFile::decodeName(book->archivePath.c_str()));
        if (!file.open(QIODevice::ReadOnly)) {
            state.SkipWithError("cannot open");
            break;
        }
        std::int64_t total = 0;
        for (qint64 got; (got = file.read(buffer.data(), kChunk)) > 0;)
            total += got;
        if (total != book->archiveBytes) {
            state.SkipWithError("short read");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * book->archiveBytes);
}

template <typename File> bool WriteBytes(File& file, std::int64_t bytes, const std::vector<char>& chunk) {
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (std::int64_t left = bytes; left > 0;) {
        const qint64 n = std::min<qint64>(left, static_cast<qint64>(chunk.size()));
        if (file.write(chunk.data(), n) != n)
            return false;
        left -= n;
    }
    return true;
}

void QFileWrite(benchmark::State& state) {
    const Book* book = BookOrSkip(state);
    if (!book)
        return;
    const std::vector<char> chunk(kSaveChunk, 'x');
    for (auto _ : state) {
        QFile file(QFile::decodeName(TempPath("plain.bin").c_str()));
        if (!WriteBytes(file, book->archiveBytes, chunk)) {
            state.SkipWithError("write failed");
            break;
        }
        file.close();
    }
    state.SetBytesProcessed(state.iterations() * book->archiveBytes);
}

// The same number of bytes through QSaveFile, Qt's way to replace a file: a temporary
// file, fdatasync and rename, but no sync of the folder and no early writeback.
void QSaveFileWrite(benchmark::State& state) {
    const Book* book = BookOrSkip(state);
    if (!book)
        return;
    const std::vector<char> chunk(kSaveChunk, 'x');
    for (auto _ : state) {
        QSaveFile file(QFile::decodeName(TempPath("plain-save.bin").c_str()));
        if (!WriteBytes(file, book->archiveBytes, chunk) || !file.commit()) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * book->archiveBytes);
}

// A document that writes given bytes as every save writes its file.
struct PlainSaver : CMarloDoc {
    using CDocument::WriteFileAtomically;
};

// ArchiveSave's peer: the archive's own bytes, read beforehand, written in the pieces and
// the way that a save writes them: a new file beside the old one, the
// disk handed each few megabytes as they come, fsync, rename over the old file and sync
// of the folder. What ArchiveSave takes beyond it is the making of the bytes.
void PlainSave(benchmark::State& state) {
    const Book* book = BookOrSkip(state);
    if (!book)
        return;
    PlainSaver doc;
    doc.SetReporter(&g_reporter);
    std::string bytes;
    if (!doc.ReadWholeFile(book->archivePath, bytes)) {
        state.SkipWithError("could not read the phone book");
        return;
    }
    const std::string path = TempPath("plain-save.mrl");
    for (auto _ : state) {
        const bool saved = doc.WriteFileAtomically(path, [&bytes](QIODevice& file) {
            for (std::size_t at = 0; at < bytes.size(); at += kSaveChunk) {
                const auto n = static_cast<qint64>(std::min(kSaveChunk, bytes.size() - at));
                errno = 0;
                if (file.write(bytes.data() + at, n) != n)
                    throw DeviceIoError("ファイルに書き込めません", file, errno);
            }
        });
        if (!saved) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * book->archiveBytes);
}

// A document holding the generated book in phone-book order (laid out in that
// order, as after opening its file), optionally with packed rows following it.
struct EditedBook {
    CMarloDoc doc;
    BookRows rows;
    std::vector<PhoneRecord> probes; // copies of records spread over the book

    EditedBook(const Book& book, bool follow) {
        doc.m_pData = std::make_unique<CMrlData>();
        doc.m_pData->m_list.Assign(Sorted(book.generated), true);
        // Every so many in the generator's order: spread over the book in either order.
        const std::size_t step = std::max<std::size_t>(1, book.generated.size() / 4096);
        for (std::size_t i = 0; i < book.generated.size(); i += step)
            probes.push_back(book.generated[i]);
        if (follow) {
            rows.Of(doc.m_pData->m_list);
            doc.SetBookObserver(&rows);
        }
    }
    ~EditedBook() { doc.SetBookObserver(nullptr); }
    const RecordList& List() const { return doc.m_pData->m_list; }
    // Whether the rows, when following, still match the list without packing again.
    bool Followed(bool follow) const { return !follow || rows.Matches(List()); }
};

// range(0): entries; range(1): 1 when the packed rows follow each edit.
void AddEntry(benchmark::State& state) {
    const Book* book = BookOrSkip(state);
    if (!book)
        return;
    const bool follow = state.range(1) != 0;
    EditedBook edited(*book, follow);
    std::size_t n = 0;
    for (auto _ : state)
        edited.doc.AddEntry(edited.probes[n++ % edited.probes.size()]);
    if (!edited.Followed(follow) || !edited.List().IsSorted())
        state.SkipWithError("the rows did not follow, or the book lost its order");
}

// The costliest move: a name from the start of the alphabet to its end.
void ReplaceEntry(benchmark::State& state) {
    const Book* book = BookOrSkip(state);
    if (!book)
        return;
    const bool follow = state.range(1) != 0;
    EditedBook edited(*book, follow);
    const PhoneRecord last = edited.List()[edited.List().GetCount() - 1].ToRecord();
    for (auto _ : state) {
        if (edited.doc.ReplaceEntry(0, last) + 1 != edited.List().GetCount()) {
            state.SkipWithError("not filed at the end");
            break;
        }
    }
    if (!edited.Followed(follow))
        state.SkipWithError("the rows did not follow");
}

void RemoveEntry(benchmark::State& state) {
    const Book* book = BookOrSkip(state);
    if (!book)
        return;
    const bool follow = state.range(1) != 0;
    EditedBook edited(*book, follow);
    std::uint64_t spread = 0;
    for (auto _ : state) {
        spread = spread * 6364136223846793005ULL + 1442695040888963407ULL;
        edited.doc.RemoveEntry(static_cast<std::size_t>((spread >> 33) % edited.List().GetCount()));
    }
    if (!edited.Followed(follow))
        state.SkipWithError("the rows did not follow");
}

// range(1): 1 for the book in phone-book order, 0 for the generator's order (the walk).
void FindEntry(benchmark::State& state) {
    const Book* book = BookOrSkip(state);
    if (!book)
        return;
    EditedBook edited(*book, false);
    if (state.range(1) == 0)
        edited.doc.m_pData->m_list.Assign(book->generated);
    if (edited.List().IsSorted() != (state.range(1) != 0)) {
        state.SkipWithError("the book is not in the order asked for");
        return;
    }
    std::size_t n = 0;
    for (auto _ : state) {
        if (!edited.doc.FindEntry(edited.probes[n++ % edited.probes.size()])) {
            state.SkipWithError("a record of the book was not found");
            break;
        }
    }
}

void RegisterAll() {
    using Fn = void (*)(benchmark::State&);
    const std::pair<const char*, Fn> perSize[] = {
        {"ArchiveOpen", ArchiveOpen}, {"QFileRead", QFileRead},           {"ArchiveSave", ArchiveSave},
        {"QFileWrite", QFileWrite},   {"QSaveFileWrite", QSaveFileWrite}, {"PlainSave", PlainSave},
        {"TextOpen", TextOpen},       {"TextOpenSorted", TextOpenSorted}, {"StableSort", StableSort},
        {"TextSave", TextSave},
    };
    for (const auto& [name, fn] : perSize) {
        for (const std::int64_t n : kSizes) {
            auto* b = benchmark::RegisterBenchmark(name, fn)->Arg(n)->Unit(benchmark::kMillisecond);
            if (n >= 1000000)
                b->Iterations(3);
        }
    }
    for (const std::int64_t n : kSizes) {
        benchmark::RegisterBenchmark("ArchiveOpenFresh", ArchiveOpenFresh)
            ->Arg(n)
            ->UseManualTime()
            ->Iterations(n >= 1000000 ? 5 : 20)
            ->Unit(benchmark::kMillisecond);
    }
    const std::pair<const char*, Fn> edits[] = {
        {"AddEntry", AddEntry}, {"ReplaceEntry", ReplaceEntry}, {"RemoveEntry", RemoveEntry}};
    for (const auto& [name, fn] : edits) {
        benchmark::RegisterBenchmark(name, fn)
            ->ArgsProduct({{1000000}, {0, 1}})
            ->ArgNames({"entries", "follow"})
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("FindEntry", FindEntry)
        ->ArgsProduct({{1000000}, {1, 0}})
        ->ArgNames({"entries", "sorted"})
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("FileOneByOne", FileOneByOne)
        ->Arg(1000)
        ->Arg(10000)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
}

long MaxRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // KiB on Linux
}

int PeakRss(const char* path) {
    const qint64 size = QFileInfo(QFile::decodeName(path)).size();
    const long before = MaxRssKiB();
    CMarloDoc doc;
    doc.SetReporter(&g_reporter);
    const auto start = std::chrono::steady_clock::now();
    if (!doc.OnOpenDocument(path))
        return 1;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    const long after = MaxRssKiB();
    const double mib = 1024.0 * 1024.0;
    const double grown = static_cast<double>(after - before) * 1024.0;
    std::printf("file          %s\n", path);
    std::printf("records       %zu\n", doc.m_pData->m_list.GetCount());
    // One open into memory the process has never used, as at start-up; the benchmarks'
    // repeated opens may reuse memory that the previous open's book left behind.
    std::printf("open time     %.1f ms\n", took.count());
    std::printf("file size     %.1f MiB\n", static_cast<double>(size) / mib);
    std::printf("peak RSS      %.1f MiB before the open, %.1f MiB after\n", before / 1024.0, after / 1024.0);
    if (size > 0) {
        std::printf("ratio         %.2f (growth of peak RSS / file size)\n", grown / static_cast<double>(size));
        std::printf("              %.2f (whole peak RSS / file size)\n",
                    static_cast<double>(after) * 1024.0 / static_cast<double>(size));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string_view(argv[1]) == "--peak-rss") {
        if (argc != 3) {
            std::fprintf(stderr, "usage: corebench --peak-rss FILE\n");
            return 2;
        }
        return PeakRss(argv[2]);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
