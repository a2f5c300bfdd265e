#pragma once

#include "MrlData.h"
#include "platform/Document.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

/// Told of each change the document makes to its phone book, so that copies kept
/// for searching follow in place. `versionBefore` is the list's version before that
/// change: a copy made from the list as it was then can take the change over.
class BookObserver {
public:
    /// The record now at `index` of `list` was filed there.
    virtual void EntryInserted(const RecordList& list, std::size_t index, std::uint64_t versionBefore) = 0;
    /// The record that stood at `index` of `list` was taken out.
    virtual void EntryRemoved(const RecordList& list, std::size_t index, std::uint64_t versionBefore) = 0;

protected:
    ~BookObserver() = default;
};

/// The one document: the open phone book and the hit limit of the name search.
/// File New reloads the default phone book of the working directory; Open and
/// Save choose the text format for paths whose last four bytes are ".txt".
class CMarloDoc : public CDocument {
public:
    static constexpr const char* kDefaultBookName = "電話帳"; ///< file name of the default phone book (UTF-8)
    static constexpr const char* kSettingsName = "profile";   ///< file name of the settings file

    CMarloDoc();
    ~CMarloDoc() override;

    /// The phone book; never null once OnNewDocument or an open has run.
    std::unique_ptr<CMrlData> m_pData;
    /// Most rows the name search lists; 0 or less means no limit.
    int m_nMaxHits = 0;

    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& path) override;
    bool OnSaveDocument(const std::string& path) override;
    void DeleteContents() override;
    void Serialize(CArchive& ar) override;

    /// True when `path` names a text exchange file: its last four bytes are ".txt".
    static bool IsTextPath(const std::string& path);

    // The changes of the phone book that the window's actions and imports make; each
    // marks the document modified and tells the book observer. They need m_pData.

    /// Files a copy of `record` at its sorted place (after every record with an equal
    /// romaji name) and marks the document modified. Returns its index.
    std::size_t AddEntry(const PhoneRecord& record);
    /// Takes the record at `index` out, files a copy of `record` at its sorted place,
    /// marks modified. Returns the new record's index.
    std::size_t ReplaceEntry(std::size_t index, const PhoneRecord& record);
    /// Removes the record at `index`; marks modified.
    void RemoveEntry(std::size_t index);
    /// Puts a copy of `record` before position `index` (GetCount() appends), whatever its
    /// name: how an undo puts a removed record back where it stood, also among records
    /// of an equal name. Marks modified.
    void InsertEntryAt(std::size_t index, const PhoneRecord& record);
    /// Files copies of `records` where AddEntry would file them one after another (each
    /// after every record with an equal name, so later ones after earlier ones), in one
    /// stable sort when the book is sorted; marks modified when there are any. The book
    /// observer is told of each only when they are filed one by one; otherwise the
    /// list's version tells copies that they must be made again.
    void AddEntries(const RecordList& records);
    /// Index of the first record in phone-book order whose four fields equal those of
    /// `texts` byte for byte; nullopt when none (or there is no phone book).
    std::optional<std::size_t> FindEntry(const PhoneRecord& texts) const;
    /// Who is told of those changes; null for no one.
    void SetBookObserver(BookObserver* pObserver) noexcept { m_pBookObserver = pObserver; }

    /// Reads the file at `path` whole into `bytes`, with an open's checks, and hands them
    /// to `take` (when given), whose ArchiveError is the file's too; failures are reported
    /// under the file's name. False when it cannot be read or `take` threw.
    bool ReadWholeFile(const std::string& path, std::string& bytes,
                       const std::function<void(const std::string&)>& take = {});
    /// Writes `bytes` to `path` as a save writes a phone book: atomically, keeping the
    /// file's mode, owner and links, asking before it replaces a file that failed to
    /// read. False on failure (reported) or when the user says no.
    bool WriteWholeFile(const std::string& path, std::string_view bytes);

private:
    /// Runs `save` for `path`, first asking when `path` is a file that failed to read;
    /// `save` calls the function it is given just before it writes, which keeps a copy
    /// of that file and returns false if it cannot.
    bool SaveGuarded(const std::string& path, const std::function<bool(const std::function<bool()>&)>& save);
    /// Parses each line of the text file `file` and shows `visit` its record.
    static void ReadTextRecords(QIODevice& file, const std::function<void(const PhoneRecord&)>& visit);
    /// A file by device and inode: the same file under any of its names.
    struct FileId {
        std::uint64_t nDevice = 0;
        std::uint64_t nInode = 0;
        friend bool operator==(const FileId&, const FileId&) = default;
    };

    bool OpenTextFile(const std::string& path);
    /// Asks before a save that the text format cannot carry back, then runs
    /// `beforeWriting` and writes the text file; false when either says no.
    bool SaveTextFile(const std::string& path, const std::function<bool()>& beforeWriting);
    /// Remembers the regular file at `path` when its read failed and forgets it when
    /// a read succeeded.
    void NoteReadResult(const std::string& path, bool bRead);
    /// The file a save of `path` would replace, when it is one that failed to read.
    std::optional<FileId> FailedReadAt(const std::string& path) const;
    /// Copies the file at `path` into the new file `copyPath`; reports failures.
    bool KeepCopyOf(const std::string& path, const std::string& copyPath);

    BookObserver* m_pBookObserver = nullptr;
    /// Files that failed to read (the default phone book, a file opened), until a
    /// save replaces them: they are never replaced unasked.
    std::vector<FileId> m_failedReads;
};
