// The bytes as a phone-book file. Reading gives a phone book or raises an
// ArchiveError; anything else (a crash, another exception, a huge allocation) is
// a bug. A phone book that was read must survive being written and read again,
// and the document must open and save the same bytes as a file alike.

#include "FuzzSupport.h"

#include "data/MarloDoc.h"
#include "data/MrlData.h"
#include "platform/Archive.h"

#include <memory>
#include <optional>

namespace {

struct Outcome {
    std::unique_ptr<CMrlData> book; // null when the read failed
    std::optional<ArchiveError::Kind> error;
};

Outcome ReadBook(QBuffer& device) {
    Check(device.open(QIODevice::ReadOnly | QIODevice::Unbuffered), "buffer opens");
    Outcome out;
    try {
        auto book = std::make_unique<CMrlData>();
        book->LoadFile(device);
        out.book = std::move(book);
    } catch (const ArchiveError& e) {
        Check(*e.what() != '\0', "an archive error says what is wrong");
        out.error = e.kind();
    }
    return out;
}

QByteArray WriteBook(CMrlData& book) {
    QByteArray bytes;
    QBuffer device(&bytes);
    Check(device.open(QIODevice::WriteOnly), "output buffer opens");
    CArchive ar(device);
    ar.WriteObjectHeader(CMrlData::kClassName, CMrlData::kSchema);
    book.Serialize(ar);
    ar.Flush();
    return bytes;
}

bool SameRecords(const CMrlData& a, const CMrlData& b) {
    if (a.m_list.GetCount() != b.m_list.GetCount())
        return false;
    for (std::size_t i = 0; i < a.m_list.GetCount(); ++i)
        if (!(a.m_list[i] == b.m_list[i]))
            return false;
    return true;
}

// The list's own count of out-of-order neighbours must agree with a plain look.
void CheckSortedFlag(const RecordList& list) {
    bool sorted = true;
    for (std::size_t i = 0; i + 1 < list.GetCount() && sorted; ++i)
        sorted = ModelMbsCmp(list[i].m_strRomaji, list[i + 1].m_strRomaji) <= 0;
    Check(list.IsSorted() == sorted, "IsSorted agrees with the records");
}

// Files a few records again, chosen by the input, as modifying an entry does:
// each must land before the first record whose name is strictly greater.
void Refile(CMrlData& book, const std::uint8_t* data, std::size_t size) {
    for (std::size_t n = 0; n < 3 && n < size && !book.m_list.IsEmpty(); ++n) {
        const std::size_t at = data[size - 1 - n] % book.m_list.GetCount();
        const PhoneRecord record = book.m_list[at].ToRecord();
        book.m_list.RemoveAt(at);
        CheckSortedFlag(book.m_list);
        std::size_t expected = 0;
        while (expected < book.m_list.GetCount() &&
               ModelMbsCmp(record.m_strRomaji, book.m_list[expected].m_strRomaji) >= 0)
            ++expected;
        Check(book.AddSorted(record) == expected, "a filed record lands before the first greater name");
        Check(book.m_list[expected] == record, "the filed record reads back equal");
        CheckSortedFlag(book.m_list);
    }
}

// The bytes as a file, opened and saved again through the document.
void CheckDocument(std::string_view bytes, Outcome& direct) {
    SilentReporter reporter;
    CMarloDoc doc;
    doc.SetReporter(&reporter);
    const bool opened = doc.OnOpenDocument(WriteTempFile("book", bytes));
    if (bytes.empty()) {
        Check(opened && doc.m_pData && doc.m_pData->m_list.IsEmpty(), "an empty file opens as an empty phone book");
        return;
    }
    Check(opened == (direct.book != nullptr), "the document opens what the archive reads");
    if (!opened) {
        Check(!reporter.lastError.empty(), "a failed open is reported");
        return;
    }
    Check(doc.m_pData && SameRecords(*doc.m_pData, *direct.book), "the document holds what the archive reads");
    const std::string saved = WriteTempFile("saved", {});
    Check(doc.OnSaveDocument(saved), "a phone book that opened saves");
    Check(ReadWholeFile(saved) == WriteBook(*direct.book), "the document saves what the archive writes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray input = InputBytes(data, size);
    QBuffer whole(&input);
    Outcome first = ReadBook(whole);

    // The same bytes in small reads must give the same result.
    TrickleBuffer trickle(&input, ChunkFor(data, size));
    const Outcome split = ReadBook(trickle);
    Check(first.error == split.error, "same outcome when read in small pieces");
    CheckDocument(std::string_view(reinterpret_cast<const char*>(data), size), first);
    if (!first.book)
        return 0;
    Check(SameRecords(*first.book, *split.book), "same records when read in small pieces");
    CheckSortedFlag(first.book->m_list);

    // Written and read back: the same phone book, and the
    // second writing identical to the first.
    QByteArray written = WriteBook(*first.book);
    QBuffer again(&written);
    const Outcome reread = ReadBook(again);
    Check(reread.book != nullptr, "a written phone book reads back");
    Check(SameRecords(*first.book, *reread.book), "a written phone book reads back equal");
    Check(WriteBook(*reread.book) == written, "writing is repeatable");

    Refile(*reread.book, data, size);
    return 0;
}
