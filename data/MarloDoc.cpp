#include "MarloDoc.h"

#include "Settings.h"
#include "TextFormat.h"
#include "platform/Archive.h"
#include "platform/FileSystem.h"
#include "platform/Mbcs.h"
#include "platform/StdioFile.h"

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <algorithm>

namespace {

// On the working directory's bytes: a folder whose name is not UTF-8 still holds its own phone book.
std::string InWorkingDirectory(const char* name) {
    return AbsolutePath(name);
}

} // namespace

CMarloDoc::CMarloDoc() = default;

CMarloDoc::~CMarloDoc() = default;

bool CMarloDoc::IsTextPath(const std::string& path) {
    return path.size() >= 4 && path.compare(path.size() - 4, 4, ".txt") == 0;
}

void CMarloDoc::DeleteContents() {
    m_pData.reset();
    CDocument::DeleteContents();
}

void CMarloDoc::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteObjectHeader(CMrlData::kClassName, CMrlData::kSchema);
        if (m_pData) {
            m_pData->Serialize(ar);
        } else {
            CMrlData().Serialize(ar);
        }
        return;
    }
    ar.ReadObjectHeader(CMrlData::kClassName, CMrlData::kSchema);
    auto data = std::make_unique<CMrlData>();
    data->Serialize(ar); // a container that fails half-way is dropped with the exception
    m_pData = std::move(data);
}

std::size_t CMarloDoc::AddEntry(const PhoneRecord& record) {
    const std::uint64_t versionBefore = m_pData->m_list.GetVersion();
    const std::size_t index = m_pData->AddSorted(record);
    if (m_pBookObserver)
        m_pBookObserver->EntryInserted(m_pData->m_list, index, versionBefore);
    SetModifiedFlag(true);
    return index;
}

std::size_t CMarloDoc::ReplaceEntry(std::size_t index, const PhoneRecord& record) {
    RemoveEntry(index);
    return AddEntry(record);
}

void CMarloDoc::RemoveEntry(std::size_t index) {
    const std::uint64_t versionBefore = m_pData->m_list.GetVersion();
    m_pData->m_list.RemoveAt(index);
    if (m_pBookObserver)
        m_pBookObserver->EntryRemoved(m_pData->m_list, index, versionBefore);
    SetModifiedFlag(true);
}

std::optional<std::size_t> CMarloDoc::FindEntry(const PhoneRecord& texts) const {
    if (!m_pData)
        return std::nullopt;
    return m_pData->Find(texts);
}

bool CMarloDoc::OnNewDocument() {
    if (!CDocument::OnNewDocument())
        return false;
    SetTitle(kDefaultBookName);
    const std::string bookPath = InWorkingDirectory(kDefaultBookName);
    SetPathName(bookPath, true);
    m_pData = std::make_unique<CMrlData>();

    // A missing default phone book is a normal start; one that cannot be read is
    // reported, and the empty phone book takes its place.
    if (PathExists(bookPath)) {
        ReadFile(bookPath, [this](QIODevice& file) {
            if (file.size() == 0)
                return;
            CArchive ar(file, CArchive::load);
            Serialize(ar); // bytes after the last record are not read
        });
        if (!m_pData)
            m_pData = std::make_unique<CMrlData>();
    }

    if (const std::optional<int> maxHits = ReadMaxHits(InWorkingDirectory(kSettingsName)))
        m_nMaxHits = *maxHits;
    SetModifiedFlag(false);
    return true;
}

bool CMarloDoc::OnOpenDocument(const std::string& path) {
    m_pData.reset();
    if (!IsTextPath(path)) {
        if (!CDocument::OnOpenDocument(path))
            return false;
        if (!m_pData)
            m_pData = std::make_unique<CMrlData>(); // an empty file holds an empty phone book
        return true;
    }
    return OpenTextFile(path);
}

bool CMarloDoc::OpenTextFile(const std::string& path) {
    auto data = std::make_unique<CMrlData>();
    RecordList& list = data->m_list;
    const bool ok = ReadFile(path, [&list](QIODevice& file) {
        // No room is set aside ahead: a line's record may take more than the line (a
        // memo line break is one comma in the file), or far less. The list's growth is
        // held against the memory left instead, and so is the sort's.
        RecordList::Loading loading(list);
        ReadTextRecords(file, [&list](const PhoneRecord& record) { list.AddTail(record); });
        // Filing the lines one by one puts each after every equal name: a stable sort
        // gives the same order without the quadratic cost.
        list.SortByName();
    });
    m_pData = ok ? std::move(data) : std::make_unique<CMrlData>();
    return ok;
}

bool CMarloDoc::ScanArchiveFile(const std::string& path, const std::function<void(const PhoneRecord&)>& visit) {
    return ReadFile(path, [&visit](QIODevice& file) {
        if (file.size() == 0)
            return; // an empty file holds an empty phone book
        CArchive ar(file, CArchive::load);
        ar.ReadObjectHeader(CMrlData::kClassName, CMrlData::kSchema);
        StoredRecordReader reader(ar);
        PhoneRecord record;
        while (reader.Next(record))
            visit(record);
    });
}

bool CMarloDoc::ScanTextFile(const std::string& path, const std::function<void(const PhoneRecord&)>& visit) {
    return ReadFile(path, [&visit](QIODevice& file) { ReadTextRecords(file, visit); });
}

void CMarloDoc::ReadTextRecords(QIODevice& file, const std::function<void(const PhoneRecord&)>& visit) {
    CStdioFile text(file);
    std::string line;
    PhoneRecord record;
    while (text.ReadString(line)) {
        // Each line starts from an empty record; clearing keeps the strings' storage.
        record.m_strRomaji.clear();
        record.m_strKanji.clear();
        record.m_strPhone.clear();
        ParseTextLine(record, line);
        for (const std::string* field :
             {&record.m_strRomaji, &record.m_strKanji, &record.m_strPhone, &record.m_strMemo})
            if (field->size() > PackedRows::kMaxText)
                throw ArchiveError(ArchiveError::Kind::BadFormat, "4 GB を超える項目は読み込めません。");
        visit(record);
    }
}

bool CMarloDoc::OnSaveDocument(const std::string& path) {
    if (!IsTextPath(path))
        return CDocument::OnSaveDocument(path);
    return SaveTextFile(path);
}

bool CMarloDoc::SaveTextFile(const std::string& path) {
    // A text save leaves the modified flag alone: the phone book's own file is not written.
    return WriteFileAtomically(path, [this](QIODevice& file) {
        CStdioFile text(file);
        if (m_pData) {
            PhoneRecord line; // keeps its storage from one record to the next
            for (const PhoneRecordView record : m_pData->m_list) {
                record.CopyTo(line);
                WriteTextLine(text, line);
            }
        }
        text.Flush();
    });
}
