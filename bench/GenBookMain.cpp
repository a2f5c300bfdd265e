// marlo-genbook [--unsorted | --empty] COUNT SEED OUTPATH: writes a generated
// phone book of COUNT entries, in phone-book order (--unsorted: in the order
// generated; --empty: entries whose four fields are empty), as text when OUTPATH
// ends in ".txt" and as a phone-book file otherwise.

#include "BookGenerator.h"

#include "data/MarloDoc.h"
#include "platform/Mbcs.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>
#include <string_view>

namespace {

class StderrReporter : public DocReporter {
public:
    void ReportError(const std::string& message) override {
        std::fprintf(stderr, "marlo-genbook: %s\n", message.c_str());
    }
    SaveAnswer AskSaveChanges(const std::string&) override { return SaveAnswer::No; }
    std::optional<std::string> AskSavePath(const std::string&) override { return std::nullopt; }
    bool ConfirmLoss(const std::string&) override { return true; } // generated books lose nothing
};

template <typename T> bool ParseNumber(std::string_view text, T& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

int Usage() {
    std::fprintf(stderr, "usage: marlo-genbook [--unsorted | --empty] COUNT SEED OUTPATH\n"
                         "  writes COUNT generated entries (seed SEED) to OUTPATH, in phone-book order\n"
                         "  (--unsorted: as generated; --empty: entries with four empty fields);\n"
                         "  a path ending in .txt is written as text, any other as a phone-book file\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::string_view option = argc > 1 ? argv[1] : "";
    const bool unsorted = option == "--unsorted", empty = option == "--empty";
    if (unsorted || empty) {
        --argc;
        ++argv;
    }
    std::size_t count = 0;
    std::uint64_t seed = 0;
    if (argc != 4 || !ParseNumber(argv[1], count) || !ParseNumber(argv[2], seed) || argv[3][0] == '\0')
        return Usage();

    StderrReporter reporter;
    CMarloDoc doc;
    doc.SetReporter(&reporter);
    doc.m_pData = std::make_unique<CMrlData>();
    try {
        if (empty) {
            doc.m_pData->m_list.Reserve(count, 0);
            for (std::size_t i = 0; i < count; ++i)
                doc.m_pData->m_list.AddTail(PhoneRecordView());
        } else {
            std::vector<PhoneRecord> records = GenerateRecords(count, seed);
            // Equal names keep their generation order, as filing them one by one would.
            if (!unsorted)
                std::stable_sort(records.begin(), records.end(), [](const PhoneRecord& a, const PhoneRecord& b) {
                    return MbsCmp(a.m_strRomaji, b.m_strRomaji) < 0;
                });
            doc.m_pData->m_list.Assign(records);
        }
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "marlo-genbook: not enough memory for %zu entries\n", count);
        return 1;
    }
    return doc.OnSaveDocument(argv[3]) ? 0 : 1;
}
