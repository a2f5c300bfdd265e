#include "MarloDoc.h"

#include "Settings.h"
#include "TextFormat.h"
#include "platform/Archive.h"
#include "platform/FileError.h"
#include "platform/FileSystem.h"
#include "platform/Mbcs.h"
#include "platform/StdioFile.h"
#include "platform/SystemError.h"

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Fewer new records than this are filed one by one, and the book observer follows
// each: cheaper than copying the book's rows again.
constexpr std::size_t kOneByOneBelow = 64;

// The phone book of an archive file; bytes after the last record are not read. A book
// that fails half-way is dropped with the exception.
std::unique_ptr<CMrlData> LoadBook(QIODevice& file) {
    auto data = std::make_unique<CMrlData>();
    data->LoadFile(file);
    return data;
}

// On the working directory's bytes: a folder whose name is not UTF-8 still holds its own phone book.
std::string InWorkingDirectory(const char* name) {
    return AbsolutePath(name);
}

// A name beside `path` that nothing has yet, for keeping the file that failed to read:
// "<path>.読めなかった", else with a number. Empty when all are taken.
std::string UnusedNameBeside(const std::string& path) {
    const std::string base = path + ".読めなかった";
    struct stat st {};
    for (int n = 1; n <= 1000; ++n) {
        std::string name = n == 1 ? base : base + "." + std::to_string(n);
        if (::lstat(name.c_str(), &st) != 0 && errno == ENOENT)
            return name;
    }
    return {};
}

// Copies the bytes of the regular file at `from` into a new file `to` with the same
// permission bits, on disk before this returns. Returns why it failed, empty on
// success; a copy that failed midway is removed.
std::string CopyIntoNewFile(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (in < 0)
        return SystemErrorText(errno);
    struct stat st {};
    if (::fstat(in, &st) != 0) {
        const int nError = errno;
        ::close(in);
        return SystemErrorText(nError);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(in);
        return "通常のファイルではありません";
    }
    const mode_t mode = st.st_mode & 07777;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, mode);
    if (out < 0) {
        const int nError = errno;
        ::close(in);
        return SystemErrorText(nError);
    }
    int nError = 0;
    if (::fchmod(out, mode) != 0) // the umask may have taken bits away
        nError = errno;
    if (nError == 0)
        nError = CopyFileContents(in, out);
    if (nError == 0 && ::fsync(out) != 0)
        nError = errno;
    if (::close(out) != 0 && nError == 0)
        nError = errno;
    ::close(in);
    if (nError == 0)
        return {};
    ::unlink(to.c_str());
    return SystemErrorText(nError);
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
    ar.WriteObjectHeader(CMrlData::kClassName, CMrlData::kSchema);
    if (m_pData)
        m_pData->Serialize(ar);
    else
        CMrlData().Serialize(ar);
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

void CMarloDoc::AddEntries(const RecordList& records) {
    RecordList& list = m_pData->m_list;
    // One by one, each filing walks or moves the book; a stable sort of the book with
    // the new records at its end puts them in the same places at once.
    if (records.GetCount() < kOneByOneBelow || !list.IsSorted()) {
        for (const PhoneRecordView record : records)
            AddEntry(record.ToRecord());
        return;
    }
    for (const PhoneRecordView record : records)
        list.AddTail(record);
    list.SortByName();
    SetModifiedFlag(true);
}

void CMarloDoc::RemoveEntry(std::size_t index) {
    const std::uint64_t versionBefore = m_pData->m_list.GetVersion();
    m_pData->m_list.RemoveAt(index);
    if (m_pBookObserver)
        m_pBookObserver->EntryRemoved(m_pData->m_list, index, versionBefore);
    SetModifiedFlag(true);
}

void CMarloDoc::InsertEntryAt(std::size_t index, const PhoneRecord& record) {
    const std::uint64_t versionBefore = m_pData->m_list.GetVersion();
    m_pData->m_list.InsertBefore(index, record);
    if (m_pBookObserver)
        m_pBookObserver->EntryInserted(m_pData->m_list, index, versionBefore);
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
        OfferRestoreOf(bookPath);
        const bool bRead = ReadFile(bookPath, [this](QIODevice& file) { m_pData = LoadBook(file); }, true);
        // The path stays the default phone book's; a save onto the file that failed asks first.
        NoteReadResult(bookPath, bRead);
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
    OfferRestoreOf(path);
    if (!IsTextPath(path)) {
        DeleteContents();
        if (!ReadFile(path, [this](QIODevice& file) { m_pData = LoadBook(file); }, true)) {
            DeleteContents();
            NoteReadResult(path, false); // should the user later save onto it with Save As
            return false;
        }
        SetModifiedFlag(false);
        if (!m_pData)
            m_pData = std::make_unique<CMrlData>(); // an empty file holds an empty phone book
        NoteReadResult(path, true);
        return true;
    }
    const bool bOpened = OpenTextFile(path);
    NoteReadResult(path, bOpened);
    return bOpened;
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
    }, true);
    m_pData = ok ? std::move(data) : std::make_unique<CMrlData>();
    return ok;
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
    return SaveGuarded(path, [&](const std::function<bool()>& beforeWriting) {
        return IsTextPath(path) ? SaveTextFile(path, beforeWriting)
                                : beforeWriting() && CDocument::OnSaveDocument(path);
    });
}

bool CMarloDoc::WriteWholeFile(const std::string& path, std::string_view bytes) {
    return SaveGuarded(path, [&](const std::function<bool()>& beforeWriting) {
        return beforeWriting() && WriteFileAtomically(path, [bytes](QIODevice& file) {
                   errno = 0;
                   if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
                       throw DeviceIoError("ファイルに書き込めません", file, errno);
               });
    });
}

bool CMarloDoc::ReadWholeFile(const std::string& path, std::string& bytes,
                              const std::function<void(const std::string&)>& take) {
    return ReadFile(path, [&bytes, &take](QIODevice& file) {
        bytes.resize(static_cast<std::size_t>(std::max<qint64>(0, file.size() - file.pos())));
        if (ReadUpTo(file, bytes.data(), bytes.size()) != bytes.size())
            throw DeviceIoError("ファイルを読み込めません", file, 0); // it got shorter while read
        if (take)
            take(bytes);
    });
}

bool CMarloDoc::SaveGuarded(const std::string& path,
                            const std::function<bool(const std::function<bool()>&)>& save) {
    // A file that could not be read may still be all the user has of that phone book:
    // it is replaced only when the user agrees, and a copy of it stays beside it.
    const std::optional<FileId> failed = FailedReadAt(path);
    std::string keepAs;
    if (failed) {
        keepAs = UnusedNameBeside(path);
        if (keepAs.empty()) {
            ReportError(QuotePath(path) +
                        " に保存できません: 読み込めなかった元のファイルを残す名前が見つかりません。");
            return false;
        }
        const std::string message = QuotePath(path) +
                                    "は読み込めなかったファイルです。保存すると今の内容で置き換えます。" +
                                    "元のファイルは" + QuotePath(keepAs) + "として残します。";
        if (!Reporter() || !Reporter()->ConfirmLoss(message))
            return false;
    }
    const bool bSaved = save([&] { return !failed || KeepCopyOf(path, keepAs); });
    if (bSaved && failed)
        std::erase(m_failedReads, *failed);
    return bSaved;
}

void CMarloDoc::NoteReadResult(const std::string& path, bool bRead) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    const FileId id{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    const auto known = std::find(m_failedReads.begin(), m_failedReads.end(), id);
    if (bRead && known != m_failedReads.end())
        m_failedReads.erase(known);
    else if (!bRead && known == m_failedReads.end())
        m_failedReads.push_back(id);
}

std::optional<CMarloDoc::FileId> CMarloDoc::FailedReadAt(const std::string& path) const {
    struct stat st {};
    if (m_failedReads.empty() || ::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    const FileId id{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    if (std::find(m_failedReads.begin(), m_failedReads.end(), id) == m_failedReads.end())
        return std::nullopt;
    return id;
}

bool CMarloDoc::KeepCopyOf(const std::string& path, const std::string& copyPath) {
    // A copy, not a second name or a move: the save then writes the new content into
    // the file that is there, keeping its links, mode and owner.
    const std::string reason = CopyIntoNewFile(path, copyPath);
    if (reason.empty())
        return true;
    ReportError(QuotePath(path) + " に保存できません。読み込めなかった元のファイルを" + QuotePath(copyPath) +
                "として残せませんでした: " + reason + "。ファイルは元のままです。");
    return false;
}

bool CMarloDoc::SaveTextFile(const std::string& path, const std::function<bool()>& beforeWriting) {
    // Asked before anything is written, so that a no leaves every file as it was.
    if (m_pData) {
        const TextExportLoss loss = AssessTextExport(m_pData->m_list);
        if (loss.Any() && (!Reporter() || !Reporter()->ConfirmLoss(loss.Describe(path))))
            return false;
    }
    if (!beforeWriting())
        return false;
    // A text save leaves the modified flag alone: the phone book's own file is not written.
    return WriteFileAtomically(path, [this](QIODevice& file) {
        if (!m_pData)
            return;
        // The lines go to the file a quarter megabyte at a time (as a save's archive),
        // already as text mode writes them: each LF a CR LF, the line's end and the rare
        // one inside a field alike.
        constexpr std::size_t kChunkBytes = 256 << 10;
        std::string lines, line;
        lines.reserve(kChunkBytes + 1024);
        for (const PhoneRecordView record : m_pData->m_list) {
            const std::size_t start = lines.size();
            AppendTextLine(lines, record);
            if (std::memchr(lines.data() + start, '\n', lines.size() - start)) {
                line.assign(lines, start);
                lines.resize(start);
                AppendCrLf(lines, line);
            }
            lines += "\r\n";
            if (lines.size() >= kChunkBytes) {
                WriteOut(file, lines);
                lines.clear();
            }
        }
        WriteOut(file, lines);
    });
}
