#include "Document.h"

#include "Archive.h"
#include "BookLock.h"
#include "ContentHash.h"
#include "FileError.h"
#include "FileSystem.h"
#include "SystemError.h"

#include <QFileDevice>
#include <QIODevice>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Closes a descriptor when it goes out of scope.
class FdCloser {
public:
    explicit FdCloser(int fd) : m_fd(fd) {}
    ~FdCloser() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    /// close(2)'s own result, for a descriptor whose last writes it may report.
    int Close() {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

// Copies the file open as `from` into `to` from their starts; false with errno set.
bool CopyContents(int from, int to) {
    if (::lseek(from, 0, SEEK_SET) != 0)
        return false;
    const int err = CopyFileContents(from, to);
    errno = err;
    return err == 0;
}

// The old file's owner and mode on the new one. The owner goes first: a change of
// owner clears the set-user-ID and set-group-ID bits. A user who may not give the
// file its owner (EPERM) keeps at least the group when that is allowed, and the file
// becomes that user's own as any editor's save would make it.
int KeepOwnerAndMode(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        if (errno != EPERM)
            return errno;
        (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    if (::fchmod(fd, old.st_mode & 07777) == 0)
        return 0;
    // A file system that sets modes itself (FAT) may refuse any change: the new file
    // then has the mode the old one got from it, and that is all there is to keep.
    const int err = errno;
    struct stat now {};
    return ::fstat(fd, &now) == 0 && (now.st_mode & 07777) == (old.st_mode & 07777) ? 0 : err;
}

constexpr const char* kBusyText = "ほかのプログラムがこの電話帳を書き込み中です";

// Reads through another device, counting and hashing what it gives. Its size is the one
// taken at the open: a file cut short meanwhile then shows as fewer bytes than that,
// not as a smaller file that was read whole.
class CheckedReader : public QIODevice {
public:
    CheckedReader(QIODevice& in, qint64 size, bool bHash) : m_in(in), m_nSize(size), m_bHash(bHash) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_nSize; }
    qint64 Read() const { return m_nRead; }
    std::uint64_t Hash() const { return m_hash.Value(); }
    /// Reads what the reader left unread (a text file stops at a Ctrl-Z), so that the
    /// count and the hash are of the whole file.
    void ReadRest() {
        char buffer[64 * 1024];
        while (ReadUpTo(*this, buffer, sizeof buffer) == sizeof buffer) {
        }
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        // A piece at a time, each hashed while it is still in the cache.
        constexpr qint64 kPiece = 256 * 1024;
        qint64 total = 0;
        while (total < maxSize) {
            const qint64 want = std::min(kPiece, maxSize - total);
            const qint64 got = m_in.read(data + total, want);
            if (got < 0) {
                setErrorString(m_in.errorString());
                return total > 0 ? total : -1;
            }
            if (m_bHash)
                m_hash.Add(std::string_view(data + total, static_cast<std::size_t>(got)));
            m_nRead += got;
            total += got;
            if (got < want)
                break; // the device has no more for now
        }
        return total;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice& m_in;
    qint64 m_nSize;
    qint64 m_nRead = 0;
    bool m_bHash;
    ContentHash m_hash;
};

std::string LocalTimeText(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local {};
    char text[32] = "";
    if (::localtime_r(&t, &local))
        std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
    return text;
}

std::string FolderOfPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

void SyncFolderOf(const std::string& path) {
    if (const int dirFd = ::open(FolderOfPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
}

// Writes the file open as `from` over the file open as `to`, from their starts, to
// exactly its length, on disk before this returns. False with errno set.
bool OverwriteWith(int from, int to) {
    struct stat st {};
    if (::fstat(from, &st) != 0 || ::lseek(to, 0, SEEK_SET) != 0 || !CopyContents(from, to))
        return false;
    return ::ftruncate(to, st.st_size) == 0 && ::fsync(to) == 0;
}

} // namespace

CDocument::CDocument() = default;

CDocument::~CDocument() = default;

std::string QuotePath(const std::string& path) {
    return "「" + path + "」";
}

void CDocument::SetPathName(const std::string& path, bool addToMRU) {
    m_strPathName = AbsolutePath(path);
    SetTitle(FileNameOf(m_strPathName));
    if (addToMRU && m_pReporter)
        m_pReporter->AddToRecentFileList(m_strPathName);
}

void CDocument::SetTitle(const std::string& title) {
    m_strTitle = title;
    if (m_pReporter)
        m_pReporter->DocumentChanged();
}

void CDocument::SetModifiedFlag(bool modified) {
    if (m_bModified == modified)
        return;
    m_bModified = modified;
    if (m_pReporter)
        m_pReporter->DocumentChanged();
}

void CDocument::ReportError(const std::string& message) const {
    if (m_pReporter)
        m_pReporter->ReportError(message);
}

bool CDocument::ReportIfBusy() const {
    if (IsBusy())
        ReportError(m_strBusy + "終わるか中止するまで、この操作はできません。");
    return IsBusy();
}

bool CDocument::OnNewDocument() {
    DeleteContents();
    m_strPathName.clear();
    m_ownFile.reset();
    m_declinedReload.reset();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::ReadFile(const std::string& path, const std::function<void(QIODevice&)>& read, bool bOwnFile) {
    if (bOwnFile) {
        m_ownFile.reset();
        m_strOwnFilePath = AbsolutePath(path);
        m_declinedReload.reset();
    }
    try {
        std::string reason;
        struct stat opened {};
        const std::unique_ptr<QIODevice> file = OpenForReading(path, reason, opened);
        if (!file) {
            ReportError(QuotePath(path) + " を開けません: " + reason + "。");
            return false;
        }
        // A regular file is read where it lies; one whose size says 0 (a /proc file) came whole.
        const auto* lying = qobject_cast<const QFileDevice*>(file.get());
        // Only a file that may be saved over needs the hash by which a save tells it changed.
        const bool bKeepIdentity = bOwnFile && !m_bReadOnly && S_ISREG(opened.st_mode);
        CheckedReader checked(*file, lying ? static_cast<qint64>(opened.st_size) : file->size(), bKeepIdentity);
        read(checked);
        checked.ReadRest();
        if (lying) {
            // What was read must be the file as it was opened: all of it, unchanged, still under its name.
            struct stat after {}, named {};
            const FileIdentity was = FileIdentity::Of(opened, 0);
            if (checked.Read() != was.nSize || ::fstat(lying->handle(), &after) != 0 || !was.SameStatus(after) ||
                ::stat(path.c_str(), &named) != 0 || !was.SameStatus(named))
                throw ArchiveError(ArchiveError::Kind::Io,
                                   "読み込んでいる間にほかのプログラムがファイルを変更しました。");
        }
        if (bKeepIdentity)
            m_ownFile = FileIdentity::Of(opened, checked.Hash());
    } catch (const ArchiveError& e) {
        ReportError(QuotePath(path) + " を読み込めません。" + e.what());
        return false;
    } catch (const std::bad_alloc&) {
        ReportError(QuotePath(path) + " を読み込めません。メモリが足りません。");
        return false;
    }
    return true;
}

std::unique_ptr<BookLock> CDocument::LockForSave(const std::string& path, const std::string& target, bool& bHeld) {
    bHeld = m_pLock && m_pLock->Target() == target;
    if (bHeld)
        return nullptr;
    int err = 0;
    std::unique_ptr<BookLock> lock = BookLock::Acquire(target, err);
    if (!lock)
        ReportError(QuotePath(path) + " に保存できません: " + (err == EWOULDBLOCK ? kBusyText : SystemErrorText(err)) +
                    "。ファイルは元のままです。");
    return lock;
}

bool CDocument::LockFile(const std::string& path) {
    SaveTarget target;
    // Nothing but a regular file is written, and a lock file that cannot be made (no such
    // folder, none that may be written) means no save either: the save meets and reports those.
    if (ResolveSaveTarget(path, target) != 0 || (target.exists && !S_ISREG(target.st.st_mode)))
        return true;
    int err = 0;
    m_pLock = BookLock::Acquire(target.path, err);
    if (m_pLock || err != EWOULDBLOCK)
        return true;
    ReportError(QuotePath(path) + " を変更できません: " + kBusyText + "。何も変更していません。");
    return false;
}

void CDocument::UnlockFile() {
    m_pLock.reset();
}

bool CDocument::WriteFileAtomically(const std::string& path, const std::function<void(QIODevice&)>& write) {
    m_written.reset();
    const auto fail = [this, &path](const std::string& reason) {
        ReportError(QuotePath(path) + " に保存できません: " + reason + "。");
        return false;
    };
    SaveTarget target;
    // Why `target` cannot be replaced, empty when it can.
    const auto refusal = [&path, &target]() -> std::string {
        if (const int err = ResolveSaveTarget(path, target))
            return SystemErrorText(err);
        if (!target.exists)
            return {};
        // Only a regular file is replaced: a device, a pipe or a folder under this name stays as it is.
        if (!S_ISREG(target.st.st_mode))
            return NotRegularFileText(target.st.st_mode);
        // Replacing goes through the folder, which would get round a file the user may not write.
        if (::access(target.path.c_str(), W_OK) != 0)
            return SystemErrorText(errno);
        return {};
    };
    if (const std::string reason = refusal(); !reason.empty())
        return fail(reason);
    // One writer at a time; what it finds is looked at again under the lock.
    bool bHeld = false;
    const std::unique_ptr<BookLock> lock = LockForSave(path, target.path, bHeld);
    if (!lock && !bHeld)
        return false;
    if (const std::string reason = refusal(); !reason.empty())
        return fail(reason);

    std::string tempPath;
    const int tempFd = CreateTempBeside(target.path, tempPath);
    if (tempFd < 0)
        return fail(SystemErrorText(errno));
    FdCloser temp(tempFd);
    // Until the end, a failure takes the unfinished file away and leaves the old one as it was.
    const auto failTemp = [&](const std::string& reason) {
        ::unlink(tempPath.c_str());
        return fail(reason);
    };
    ContentHash hash;
    try {
        const std::unique_ptr<QIODevice> device = WriterOn(tempFd, &hash);
        write(*device);
    } catch (const ArchiveError& e) {
        ::unlink(tempPath.c_str());
        ReportError(QuotePath(path) + " に保存できません。" + e.what() + " ファイルは元のままです。");
        return false;
    } catch (const std::bad_alloc&) {
        // Never out into the event loop: the save fails as any other, and nothing is left.
        ::unlink(tempPath.c_str());
        ReportError(QuotePath(path) + " に保存できません。メモリが足りません。 ファイルは元のままです。");
        return false;
    } catch (...) {
        ::unlink(tempPath.c_str()); // no unfinished file left beside the user's
        throw;
    }
    // A linked file is written in place and keeps its own owner and mode.
    const bool linked = target.exists && target.st.st_nlink > 1;
    if (target.exists && !linked) {
        if (const int err = KeepOwnerAndMode(tempFd, target.st))
            return failTemp(SystemErrorText(err));
    } else if (!target.exists) {
        // Where the file system sets modes itself (FAT), the mode it gives a new file is the one to have.
        (void)::fchmod(tempFd, NewFileMode());
    }
    if (::fsync(tempFd) != 0)
        return failTemp(SystemErrorText(errno));
    if (linked) {
        if (!WriteIntoLinkedFile(path, target, tempPath, tempFd))
            return false;
        if (m_written)
            m_written->nHash = hash.Value();
        return true;
    }
    struct stat written {};
    if (::fstat(tempFd, &written) != 0)
        return failTemp(SystemErrorText(errno));
    if (temp.Close() != 0)
        return failTemp(SystemErrorText(errno));

    if (::rename(tempPath.c_str(), target.path.c_str()) != 0)
        return failTemp(SystemErrorText(errno));
    m_written = FileIdentity::Of(written, hash.Value());
    // Copies an in-place write of this file left when it was cut off are of no use now.
    const std::string side = SideFilePrefix(target.path);
    ::unlink((side + "new").c_str());
    ::unlink((side + "old").c_str());
    // The new name is only safe on disk once the folder is: a failure here leaves the
    // saved file in place, and there is nothing the user could do about it.
    SyncFolderOf(target.path);
    return true;
}

bool CDocument::WriteIntoLinkedFile(const std::string& path, const SaveTarget& target, const std::string& tempPath,
                                    int from) {
    // A file known under other names too stays that one file: renaming the new one over
    // it would leave the other names with the old book. Before it is touched, the old
    // content is copied beside it and the complete new one is given its name there:
    // should the write be cut off, the next open offers to put the new one in, and the
    // old one is still there.
    const auto fail = [this, &path](const std::string& reason) {
        ReportError(QuotePath(path) + " に保存できません: " + reason + "。");
        return false;
    };
    const std::string side = SideFilePrefix(target.path);
    const std::string newCopy = side + "new", oldCopy = side + "old";
    std::string oldTemp;
    const auto failUntouched = [&](int err) {
        ::unlink(tempPath.c_str());
        if (!oldTemp.empty())
            ::unlink(oldTemp.c_str());
        ::unlink(newCopy.c_str());
        ::unlink(oldCopy.c_str());
        return fail(SystemErrorText(err) + "。ファイルは元のままです");
    };
    // Opened without truncating: first make sure that this is still the same file.
    const int to = ::open(target.path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st {};
    if (to < 0 || ::fstat(to, &st) != 0 || st.st_dev != target.st.st_dev || st.st_ino != target.st.st_ino) {
        const int err = to < 0 ? errno : EBUSY; // replaced by another file meanwhile
        if (to >= 0)
            ::close(to);
        return failUntouched(err);
    }
    FdCloser toCloser(to);
    const int oldFd = CreateTempBeside(target.path, oldTemp);
    if (oldFd < 0)
        return failUntouched(errno);
    {
        FdCloser oldCloser(oldFd);
        if (!CopyContents(to, oldFd) || ::fsync(oldFd) != 0)
            return failUntouched(errno);
    }
    if (::rename(oldTemp.c_str(), oldCopy.c_str()) != 0 || ::rename(tempPath.c_str(), newCopy.c_str()) != 0)
        return failUntouched(errno);
    oldTemp.clear();
    SyncFolderOf(target.path);
    // Room for all of the new content before a byte of the old is overwritten.
    struct stat fresh {};
    if (::fstat(from, &fresh) != 0)
        return failUntouched(errno);
    if (::fallocate(to, FALLOC_FL_KEEP_SIZE, 0, fresh.st_size) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
        return failUntouched(errno);
    if (!OverwriteWith(from, to)) {
        const int err = errno;
        return fail(SystemErrorText(err) + "。元のファイルは書きかけです。新しい内容は" + QuotePath(newCopy) +
                    "に、元の内容は" + QuotePath(oldCopy) + "に残っています");
    }
    // A write by someone other than the owner clears the set-ID bits: put them back where allowed.
    if (::fstat(to, &st) == 0 && (st.st_mode & 07777) != (target.st.st_mode & 07777))
        (void)::fchmod(to, target.st.st_mode & 07777);
    if (::fstat(to, &st) == 0)
        m_written = FileIdentity::Of(st, 0);
    ::unlink(newCopy.c_str());
    ::unlink(oldCopy.c_str());
    SyncFolderOf(target.path);
    return true;
}

void CDocument::OfferRestoreOf(const std::string& path) {
    SaveTarget target;
    if (ResolveSaveTarget(path, target) != 0 || !target.exists || !S_ISREG(target.st.st_mode))
        return;
    const std::string side = SideFilePrefix(target.path);
    const std::string newCopy = side + "new", oldCopy = side + "old";
    if (!PathExists(newCopy))
        return;
    // Never waits: a writer that holds the lock is still writing, and the copy is its own.
    int err = 0;
    const std::unique_ptr<BookLock> lock = BookLock::Acquire(target.path, err, std::chrono::milliseconds(0));
    if (!lock)
        return;
    const int book = ::open(target.path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    const int copy = ::open(newCopy.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    FdCloser bookCloser(book), copyCloser(copy);
    if (book < 0 || copy < 0)
        return;
    struct stat bookSt {}, copySt {};
    if (::fstat(book, &bookSt) != 0 || ::fstat(copy, &copySt) != 0 || !S_ISREG(copySt.st_mode))
        return;
    // The write finished before the copies went: nothing is missing.
    if (bookSt.st_size == copySt.st_size && HashOfFile(book) == HashOfFile(copy)) {
        ::unlink(newCopy.c_str());
        ::unlink(oldCopy.c_str());
        return;
    }
    std::string message = QuotePath(path) + "への保存が途中で止まっています。保存しようとした内容の完全なコピーが" +
                          QuotePath(newCopy) + "にあります";
    if (PathExists(oldCopy))
        message += " (元の内容は" + QuotePath(oldCopy) + ")";
    message += "。このコピーで電話帳を復元しますか?";
    if (!m_pReporter || !m_pReporter->AskRestore(message))
        return;
    if (!OverwriteWith(copy, book)) {
        ReportError(QuotePath(path) + " を復元できません: " + SystemErrorText(errno) + "。コピーは" +
                    QuotePath(newCopy) + "に残っています。");
        return;
    }
    ::unlink(newCopy.c_str());
    ::unlink(oldCopy.c_str());
    SyncFolderOf(target.path);
}

std::string CDocument::ChangeOnDisk(const std::string& path, FileIdentity& known) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || known.SameStatus(st))
        return {};
    // Touched, or replaced by the same bytes: no change the user has to hear about.
    std::optional<std::uint64_t> hash;
    if (const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK); fd >= 0) {
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
            hash = HashOfFile(fd);
        ::close(fd);
    }
    const FileIdentity now = FileIdentity::Of(st, hash.value_or(~known.nHash));
    if (hash && now.nSize == known.nSize && now.nHash == known.nHash) {
        known = now;
        return {};
    }
    std::string what;
    const auto add = [&what](const std::string& part) { what += (what.empty() ? "" : "、") + part; };
    if (now.nDevice != known.nDevice || now.nInode != known.nInode)
        add("別のファイルに置き換えられています");
    if (now.nSize != known.nSize)
        add("大きさが " + std::to_string(known.nSize) + " バイトから " + std::to_string(now.nSize) +
            " バイトになっています");
    const std::string before = LocalTimeText(known.nModifiedSec), after = LocalTimeText(now.nModifiedSec);
    if (before != after)
        add("更新日時が " + before + " から " + after + " になっています");
    if (what.empty())
        add("内容が変わっています");
    return what;
}

void CDocument::OfferReloadIfChanged() {
    if (m_bAsking || IsBusy() || IsModified() || !m_ownFile || m_strOwnFilePath != m_strPathName || !m_pReporter)
        return;
    struct stat st {};
    if (::stat(m_strPathName.c_str(), &st) != 0)
        return;
    const FileIdentity now = FileIdentity::Of(st, 0);
    if (m_declinedReload && *m_declinedReload == now)
        return; // asked about this change already
    FileIdentity known = *m_ownFile;
    const std::string what = ChangeOnDisk(m_strPathName, known);
    if (what.empty()) {
        m_ownFile = known;
        return;
    }
    m_bAsking = true;
    const bool reload = m_pReporter->AskReload(QuotePath(m_strPathName) + "はほかのプログラムが変更しました (" + what +
                                               ")。読み込み直しますか?");
    m_bAsking = false;
    if (!reload) {
        m_declinedReload = now;
        return;
    }
    const std::string path = m_strPathName;
    OpenDocumentFile(path, false);
}

bool CDocument::OnSaveDocument(const std::string& path) {
    const bool ok = WriteFileAtomically(path, [this](QIODevice& file) {
        CArchive ar(file);
        Serialize(ar);
        ar.Flush();
    });
    if (ok)
        SetModifiedFlag(false);
    return ok;
}

bool CDocument::SaveModified() {
    if (!IsModified())
        return true;
    if (!m_pReporter)
        return false; // nobody to ask: never drop changes silently
    switch (m_pReporter->AskSaveChanges(m_strTitle)) {
    case DocReporter::SaveAnswer::Cancel:
        return false;
    case DocReporter::SaveAnswer::No:
        return true;
    case DocReporter::SaveAnswer::Yes:
        break;
    }
    return DoFileSave();
}

bool CDocument::NewDocument() {
    if (ReportIfBusy() || !SaveModified())
        return false;
    return OnNewDocument();
}

CDocument::OpenResult CDocument::OpenDocumentFile(const std::string& path, bool bMadeForIt) {
    if (ReportIfBusy() || (!bMadeForIt && !SaveModified()))
        return OpenResult::Cancelled;
    SetModifiedFlag(false);
    if (OnOpenDocument(path)) {
        SetPathName(path, true);
        return OpenResult::Opened;
    }
    // The contents are gone with the failed read; start afresh so that the next
    // save can never overwrite the file that failed to open.
    if (!bMadeForIt)
        OnNewDocument();
    return OpenResult::Failed;
}

bool CDocument::DoFileSave() {
    // A file that is gone, or that the user may not write, is saved under a name the user chooses.
    const bool exists = !m_strPathName.empty() && PathExists(m_strPathName);
    const bool writable = exists && ::access(m_strPathName.c_str(), W_OK) == 0;
    if (!exists || !writable)
        return DoSave(std::string(), true);
    return DoSave(m_strPathName, true);
}

bool CDocument::DoSave(const std::string& path, bool replace) {
    std::string target = path;
    if (target.empty()) {
        if (!m_pReporter || ReportIfBusy())
            return false;
        const std::string proposed = m_strPathName.empty() ? m_strTitle : m_strPathName;
        const std::optional<std::string> chosen = m_pReporter->AskSavePath(proposed);
        if (!chosen || chosen->empty())
            return false;
        target = *chosen;
    }
    // Onto the file that was read: under its lock, nobody else's change is overwritten unasked.
    const bool bOwnFile = m_ownFile && AbsolutePath(target) == m_strOwnFilePath;
    const bool bLockedHere = bOwnFile && !m_pLock;
    if (bLockedHere && !LockFile(target))
        return false;
    struct Unlock {
        CDocument& doc;
        bool bDo;
        ~Unlock() {
            if (bDo)
                doc.UnlockFile();
        }
    } unlock{*this, bLockedHere};
    if (bOwnFile) {
        FileIdentity known = *m_ownFile;
        const std::string what = ChangeOnDisk(target, known);
        if (what.empty()) {
            m_ownFile = known;
        } else {
            const std::string message = QuotePath(target) + "は開いた後にほかのプログラムが変更しました (" + what +
                                        ")。上書きするとその変更は失われます。";
            switch (m_pReporter ? m_pReporter->AskOverwriteChanged(message) : DocReporter::ChangedAnswer::Cancel) {
            case DocReporter::ChangedAnswer::Overwrite:
                break;
            case DocReporter::ChangedAnswer::SaveAs:
                if (bLockedHere)
                    UnlockFile();
                unlock.bDo = false;
                return DoSave(std::string(), true);
            case DocReporter::ChangedAnswer::Cancel:
                return false;
            }
        }
    }
    if (!OnSaveDocument(target))
        return false;
    if (replace) {
        SetPathName(target, true);
        m_ownFile = m_written;
        m_strOwnFilePath = m_strPathName;
        m_declinedReload.reset();
    }
    return true;
}
