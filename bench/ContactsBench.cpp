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

// Cards as a phone writes them: a kanji name, its reading in katakana split in two,
// two numbers and an address. `withReading` false leaves the reading out, for the dictionary.
std::string PhoneCards(std::size_t count, bool withReading) {
    static const char* const kFamilies[][2] = {{"佐藤", "サトウ"}, {"鈴木", "スズキ"}, {"高橋", "タカハシ"},
                                              {"田中", "タナカ"}, {"渡辺", "ワタナベ"}, {"伊藤", "イトウ"},
                                              {"山本", "ヤマモト"}, {"中村", "ナカムラ"}, {"小林", "コバヤシ"},
                                              {"加藤", "カトウ"}, {"吉田", "ヨシダ"}, {"山田", "ヤマダ"}};
    static const char* const kGivens[][2] = {{"一郎", "イチロウ"}, {"健太", "ケンタ"}, {"翔太", "ショウタ"},
                                            {"さくら", "サクラ"}, {"美咲", "ミサキ"}, {"大輔", "ダイスケ"},
                                            {"陽菜", "ヒナ"}, {"拓也", "タクヤ"}, {"真由美", "マユミ"},
                                            {"直樹", "ナオキ"}, {"優子", "ユウコ"}, {"達也", "タツヤ"}};
    std::mt19937 random(static_cast<unsigned>(count));
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        const auto& family = kFamilies[random() % std::size(kFamilies)];
        const auto& given = kGivens[random() % std::size(kGivens)];
        out += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:";
        out += family[0];
        out += ';';
        out += given[0];
        out += ";;;\r\nFN:";
        out += family[0];
        out += ' ';
        out += given[0];
        out += "\r\n";
        if (withReading) {
            out += "X-PHONETIC-LAST-NAME:";
            out += family[1];
            out += "\r\nX-PHONETIC-FIRST-NAME:";
            out += given[1];
            out += "\r\n";
        }
        out += "TEL;type=CELL;type=VOICE;type=pref:090-" + std::to_string(1000 + random() % 9000) + "-" +
               std::to_string(1000 + random() % 9000) + "\r\nitem1.TEL:03-" + std::to_string(1000 + random() % 9000) +
               "-0000\r\nitem1.X-ABLabel:_$!<Home>!$_\r\nEMAIL;type=INTERNET:user" + std::to_string(i) +
               "@example.jp\r\nEND:VCARD\r\n";
    }
    return out;
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
    Import(state, PhoneCards(static_cast<std::size_t>(state.range(0)), true));
}

void ImportPhoneWithoutReadings(benchmark::State& state) {
    Import(state, PhoneCards(static_cast<std::size_t>(state.range(0)), false));
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
