#pragma once
// Contacts become phone-book entries: the romaji name from the reading (or from a
// dictionary reading of the name), the formatted name, the first number, and a
// memo of the rest. Text that code page 932 cannot hold is left out and told.

#include "data/PhoneRecord.h"
#include "data/RecordList.h"
#include "interop/Contact.h"
#include "interop/ContactCsv.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CMarloDoc;

enum class ContactFormat { VCard, Csv };

/// The format of a contacts file by its content: vCard when its first text (after a
/// byte-order mark and blank lines) is "BEGIN:VCARD" in any case, CSV otherwise.
ContactFormat DetectContactFormat(std::string_view file);

/// The entry made from one contact, and what it could not carry.
struct ImportedEntry {
    PhoneRecord record;
    QString name;            ///< for the report: the name the entry shows, else its number; empty when neither
    bool bNoReading = false; ///< no reading was found: the romaji name is empty
    QStringList unread;      ///< runs of kanji the dictionary could not read, left out of the romaji name
    QString dropped;         ///< characters code page 932 cannot hold, left out; each once
};

/// The entries of one or more contact files, and what could not be carried.
struct ContactImport {
    /// The entries, in the files' order, packed as a phone book keeps them: a file of a
    /// million contacts is not held as a million objects.
    RecordList entries;
    /// What the report says of an entry (`entry.record` left empty), for the entries
    /// with something to say: no reading, kanji not read, characters left out.
    struct Noted {
        std::size_t index; ///< in `entries`
        ImportedEntry entry;
    };
    std::vector<Noted> noted;
    int nSkipped = 0;                   ///< pieces of the files the readers skipped
    int nNotText = 0;                   ///< photos, sounds and keys, which an entry cannot hold
    QStringList skipReasons;            ///< the first few of them, each with its file's name

    /// Reads the contacts in `file` (vCard or CSV, by content) and appends their entries.
    /// `fileName` names the file in the skipped pieces' reasons. Throws ArchiveError, and
    /// appends nothing, when the file holds no contacts.
    void AddFile(std::string_view file, const QString& fileName);

    int nAlreadyThere = 0;              ///< entries left out as equal to one in the book or before them

    /// Appends `entry`, unless LeaveOutKnown leaves it out.
    void Add(ImportedEntry&& entry);

    /// Leaves out the entries equal in all four fields to an entry of `book` or to an
    /// entry before them, so that importing a file twice adds nothing twice: those
    /// there already, and from now on those added (`book` must stay as it is until
    /// the last is added).
    void LeaveOutKnown(const RecordList& book);

    /// The entries' records, in order.
    std::vector<PhoneRecord> Records() const;
    /// What the user is told besides the count: which entries have no reading, which
    /// lost characters, how many pieces were skipped. One statement per line; empty when
    /// everything was carried.
    /// `everyName` lists every entry named, not the first few.
    QString Describe(bool everyName = false) const;

private:
    /// Finds `entry` among the book's entries and those added, by hash; when it is
    /// not there, takes it as the one of number `id` (after the book's) and returns true.
    bool IsNew(const PhoneRecordView& entry, std::size_t id);
    PhoneRecordView Known(std::size_t id) const;

    const RecordList* m_pKnown = nullptr; ///< LeaveOutKnown's book
    std::vector<std::uint32_t> m_slots;   ///< open addressing: 1 + the id of an entry, 0 for none
    std::size_t m_nFilled = 0;
};

/// The entry for `contact`.
ImportedEntry EntryFromContact(const Contact& contact);

enum class ExportFormat { VCard, CsvUtf8, CsvCp932 };

/// Every entry of `list`, in its order, in `format`: vCard 3.0 or CSV with a heading row,
/// the columns of `dialect`.
std::string ExportContacts(const RecordList& list, ExportFormat format, CsvDialect dialect = CsvDialect::Marlo);

/// The number of entries of `list` whose bytes are not valid code page 932: a UTF-8
/// export shows those bytes as U+FFFD.
std::size_t CountUnconvertibleEntries(const RecordList& list);

/// Reads each contacts file of `paths` (file-system bytes) into `import`, with the checks
/// and reports of the document's own reads, leaving out the entries the document's book
/// has already. False when one of them cannot be read; the caller then adds nothing.
bool ReadContactFiles(CMarloDoc& doc, const std::vector<std::string>& paths, ContactImport& import);

/// The export format that `path` asks for by its extension (".vcf" or ".csv", any case);
/// `bCp932` picks code page 932 for CSV. Nullopt for another extension.
std::optional<ExportFormat> ExportFormatFor(const std::string& path, bool bCp932 = false);

/// Writes the document's phone book to `path` in `format` as a save writes a file
/// (atomically, keeping mode, owner and links). A UTF-8 export of entries whose bytes are
/// not code page 932 asks first, as those bytes show as U+FFFD. False on failure
/// (reported) or when the user says no.
bool ExportBook(CMarloDoc& doc, const std::string& path, ExportFormat format, CsvDialect dialect = CsvDialect::Marlo);
