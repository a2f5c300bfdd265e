// marlo-genbook COUNT SEED OUTPATH: writes a generated phone book of COUNT
// entries, in phone-book order, as text when OUTPATH ends in ".txt" and as a
// phone-book file otherwise.

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
    std::fprintf(stderr, "usage: marlo-genbook COUNT SEED OUTPATH\n"
                         "  writes COUNT generated entries (seed SEED) to OUTPATH;\n"
                         "  a path ending in .txt is written as text, any other as a phone-book file\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t count = 0;
    std::uint64_t seed = 0;
    if (argc != 4 || !ParseNumber(argv[1], count) || !ParseNumber(argv[2], seed) || argv[3][0] == '\0')
        return Usage();

    std::vector<RecordList::Ptr> records;
    try {
        records = GenerateRecords(count, seed);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "marlo-genbook: not enough memory for %zu entries\n", count);
        return 1;
    }
    // Equal names keep their generation order, as filing them one by one would.
    std::stable_sort(records.begin(), records.end(), [](const RecordList::Ptr& a, const RecordList::Ptr& b) {
        return MbsCmp(a->m_strRomaji, b->m_strRomaji) < 0;
    });

    StderrReporter reporter;
    CMarloDoc doc;
    doc.SetReporter(&reporter);
    doc.m_pData = std::make_unique<CMrlData>();
    doc.m_pData->m_list.Assign(std::move(records));
    return doc.OnSaveDocument(argv[3]) ? 0 : 1;
}
