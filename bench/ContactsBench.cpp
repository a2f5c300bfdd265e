// Speed of moving contacts in and out: the phone book written as vCard and CSV,
// the files read back, contacts from a phone (kana readings, turned into romaji)
// and contacts without readings (read by the name dictionary), and the filing of
// a whole import into a phone book. Sizes 10,000 and 100,000: the time per
// contact should stay the same (linear).
//
//   contactsbench [benchmark flags]

#include "BookGenerator.h"

#include "data/MarloDoc.h"
#include "data/RecordList.h"
#include "interop/ContactImport.h"
#include "interop/VCard.h"
#include "platform/Cp932.h"

#include <benchmark/benchmark.h>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kSeed = 20261208;

const RecordList& Book(std::size_t count) {
    static std::map<std::size_t, RecordList> books;
    auto [it, added] = books.try_emplace(count);
    if (added)
        for (const PhoneRecord& record : GenerateRecords(count, kSeed))
            it->second.AddTail(record);
    return it->second;
}


void Export(benchmark::State& state, ExportFormat format) {
    const RecordList& book = Book(static_cast<std::size_t>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string out = ExportContacts(book, format);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

void Import(benchmark::State& state, const std::string& file) {
    for (auto _ : state) {
        ContactImport import;
        import.AddFile(file, QStringLiteral("bench"));
        benchmark::DoNotOptimize(import.entries.GetCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
}

void ExportVCard(benchmark::State& state) {
    Export(state, ExportFormat::VCard);
}

void ExportCsv(benchmark::State& state) {
    Export(state, ExportFormat::CsvUtf8);
}

void ImportOwnVCard(benchmark::State& state) {
    Import(state, ExportContacts(Book(static_cast<std::size_t>(state.range(0))), ExportFormat::VCard));
}

void ImportOwnCsv(benchmark::State& state) {
    Import(state, ExportContacts(Book(static_cast<std::size_t>(state.range(0))), ExportFormat::CsvUtf8));
}

void ImportPhoneWithReadings(benchmark::State& state) {
    Import(state, GeneratePhoneCards(static_cast<std::size_t>(state.range(0)), true));
}

void ImportPhoneWithoutReadings(benchmark::State& state) {
    Import(state, GeneratePhoneCards(static_cast<std::size_t>(state.range(0)), false));
}

// The import's entries filed into an empty phone book, as the window and marlo-cli do.
void FileImported(benchmark::State& state) {
    const RecordList& book = Book(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        CMarloDoc doc;
        doc.m_pData = std::make_unique<CMrlData>();
        doc.AddEntries(book);
        benchmark::DoNotOptimize(doc.m_pData->m_list.GetCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

int main(int argc, char** argv) {
    using Fn = void (*)(benchmark::State&);
    const std::pair<const char*, Fn> benchmarks[] = {
        {"ExportVCard", ExportVCard},
        {"ExportCsv", ExportCsv},
        {"ImportOwnVCard", ImportOwnVCard},
        {"ImportOwnCsv", ImportOwnCsv},
        {"ImportPhoneWithReadings", ImportPhoneWithReadings},
        {"ImportPhoneWithoutReadings", ImportPhoneWithoutReadings},
        {"FileImported", FileImported},
    };
    for (const auto& [name, fn] : benchmarks)
        benchmark::RegisterBenchmark(name, fn)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
