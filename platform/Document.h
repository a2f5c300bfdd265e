#pragma once
// The document half of the application framework, free of any GUI: path,
// title, modified flag, the new/open/save hooks and the file commands' flows.
// Whatever must reach the user goes through a DocReporter that the window,
// the command line and the tests each provide.

#include "FileSystem.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class BookLock;
class CArchive;
class QIODevice;

/// How a document talks to the user. Texts are UTF-8; paths are file-system paths.
class DocReporter {
public:
    enum class SaveAnswer { Yes, No, Cancel };

    virtual ~DocReporter() = default;
    /// A failure the user must hear about (open, save, read of the default phone book).
    virtual void ReportError(const std::string& message) = 0;
    /// "Save changes to <title>?" with Yes, No and Cancel.
    virtual SaveAnswer AskSaveChanges(const std::string& title) = 0;
    /// The Save As dialog, proposing `proposedPath`; nullopt when the user cancels.
    virtual std::optional<std::string> AskSavePath(const std::string& proposedPath) = 0;
    /// A save that would lose something: `message` says what and asks whether to go on.
    /// True to go on; the safe answer, and the default of a question box, is no.
    virtual bool ConfirmLoss(const std::string& message) = 0;
    enum class ChangedAnswer { Overwrite, SaveAs, Cancel };
    /// The file a save would replace is no longer what was read (`message` says what
    /// changed): overwrite it, save under another name, or cancel, the default.
    virtual ChangedAnswer AskOverwriteChanged(const std::string& message) {
        (void)message;
        return ChangedAnswer::Cancel;
    }
    /// The open file changed on disk and the document has no unsaved changes: true to read it again.
    virtual bool AskReload(const std::string& message) {
        (void)message;
        return false;
    }
    /// A save of the file was cut off while it wrote the file in place, and a complete
    /// copy of what it saved is beside it: true to put that copy in.
    virtual bool AskRestore(const std::string& message) {
        (void)message;
        return false;
    }
    /// A file was opened, created or saved under this absolute path.
    virtual void AddToRecentFileList(const std::string& absolutePath) { (void)absolutePath; }
    /// The title or the modified flag changed (the window updates its caption).
    virtual void DocumentChanged() {}
};

class CDocument {
public:
    CDocument();
    virtual ~CDocument();
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    void SetReporter(DocReporter* reporter) noexcept { m_pReporter = reporter; }
    /// Who is told and asked; null for no one.
    DocReporter* Reporter() const noexcept { return m_pReporter; }

    const std::string& GetPathName() const noexcept { return m_strPathName; }
    /// Stores `path` made absolute against the current directory and cleaned, all on
    /// its bytes, takes the title from its file name and, when asked, enters it in the
    /// recent-file list.
    void SetPathName(const std::string& path, bool addToMRU = true);
    const std::string& GetTitle() const noexcept { return m_strTitle; }
    void SetTitle(const std::string& title);
    bool IsModified() const noexcept { return m_bModified; }
    void SetModifiedFlag(bool modified = true);

    // Hooks of the document class.
    /// Empties the contents and the path, clears the modified flag.
    virtual bool OnNewDocument();
    /// Reads the file at `path` into the document; reports failures.
    virtual bool OnOpenDocument(const std::string& path) = 0;
    /// Writes an archive file through Serialize, atomically; reports failures.
    virtual bool OnSaveDocument(const std::string& path);
    virtual void DeleteContents() {}
    /// Asks whether to save a modified document; false only when the user cancels
    /// (or the save the user asked for failed).
    virtual bool SaveModified();
    /// Stores the document's contents.
    virtual void Serialize(CArchive& ar) = 0;

    // The file commands, as the framework runs them.
    /// File New: save prompt, then OnNewDocument. False when cancelled.
    bool NewDocument();
    enum class OpenResult { Opened, Failed, Cancelled };
    /// File Open of `path` (also the recent-file list, the command line, drag and drop):
    /// save prompt, then OnOpenDocument. After a failure the document is reinitialised
    /// as by OnNewDocument, so the file that failed never becomes the target of a save.
    /// A document made for this one file (`bMadeForIt`: nothing to save, nothing to go
    /// back to) is left empty instead, for its maker to drop.
    OpenResult OpenDocumentFile(const std::string& path, bool bMadeForIt = false);
    /// File Save: to the current path, or through Save As when there is none or the file is gone.
    bool DoFileSave();
    /// Save As (empty `path` asks the user for one); on success the path becomes the document's.
    /// A save onto the document's own file that changed on disk since it was read asks first.
    bool DoSave(const std::string& path, bool replace = true);

    /// A document whose own file is never written (marlo-cli's list, search, find and
    /// export, and a convert into another file): its opens keep no identity of the file,
    /// whose bytes then need no hash.
    void SetReadOnly() noexcept { m_bReadOnly = true; }

    /// Takes the lock of the file at `path` for a read, change and save that no other
    /// writer may come between (saves take it for themselves otherwise). False, reported,
    /// when another writer keeps it; where no lock can be made, no save can be either,
    /// and the save reports why. Held until UnlockFile or the document goes.
    bool LockFile(const std::string& path);
    void UnlockFile();
    /// When the document has no unsaved changes and its file changed on disk since it
    /// was read or saved, offers to read it again (once for each change).
    void OfferReloadIfChanged();

    /// While a long operation works on the contents and the file (a sync), `what` says
    /// so; empty when none. Meanwhile New, Open, a reload and a save under another name,
    /// which would take the contents or the file from under it, are refused and told.
    void SetBusy(std::string what) { m_strBusy = std::move(what); }
    bool IsBusy() const noexcept { return !m_strBusy.empty(); }
    /// True, after telling why, while the document is busy.
    bool ReportIfBusy() const;

protected:
    void ReportError(const std::string& message) const;
    /// Opens `path` for reading and runs `read` on it; an ArchiveError or exhausted
    /// memory is reported under the file's name. False on any failure. The device's
    /// size is the number of bytes there, also for a pipe or a /proc file (see
    /// OpenForReading); folders and devices are refused. A regular file that gives fewer
    /// bytes than its size at the open, or changes while it is read, fails the read.
    /// `bOwnFile`: the file is the document's own, whose identity a save checks.
    bool ReadFile(const std::string& path, const std::function<void(QIODevice&)>& read, bool bOwnFile = false);
    /// Before the document's own file at `path` is read: when a save that wrote it in
    /// place was cut off and left a complete copy beside it, offers to put the copy in.
    void OfferRestoreOf(const std::string& path);
    /// Writes `path` safely, holding its lock (BookLock): `write` fills a temporary file
    /// beside it that takes the old one's place only when complete and on disk, with the
    /// old one's mode, owner and group (a new file gets 0666 less the umask); through a
    /// symbolic link the file it names is written. A file with other hard links stays
    /// that file: the new content is written into it, with complete copies of the new
    /// and the old content beside it until it is on disk. Anything but a regular file is
    /// refused. Failures are reported and leave the old file as it was.
    /// The device is unbuffered: `write` buffers for itself.
    bool WriteFileAtomically(const std::string& path, const std::function<void(QIODevice&)>& write);

private:
    /// Writes the complete new content, in the temporary file `tempPath` open as `tempFd`,
    /// into the file `target`, which has other hard links; reports failures.
    bool WriteIntoLinkedFile(const std::string& path, const SaveTarget& target, const std::string& tempPath,
                             int tempFd);
    /// What changed in the file at `path` since it was `known`, in words; empty when it
    /// still holds the same bytes (`known` then takes its new status) or is gone.
    static std::string ChangeOnDisk(const std::string& path, FileIdentity& known);
    /// The lock of `target` held by the document, else a new one; null when reported.
    std::unique_ptr<BookLock> LockForSave(const std::string& path, const std::string& target, bool& bHeld);

    /// The document's own file as it was last read or written.
    std::optional<FileIdentity> m_ownFile;
    std::string m_strOwnFilePath;
    /// What the last WriteFileAtomically wrote.
    std::optional<FileIdentity> m_written;
    /// The change of the own file the user chose not to reload.
    std::optional<FileIdentity> m_declinedReload;
    std::unique_ptr<BookLock> m_pLock;
    bool m_bAsking = false;
    bool m_bReadOnly = false;
    std::string m_strBusy;

    std::string m_strPathName;
    std::string m_strTitle;
    bool m_bModified = false;
    DocReporter* m_pReporter = nullptr;
};

/// A file path for messages: the path between Japanese corner quotes.
std::string QuotePath(const std::string& path);
