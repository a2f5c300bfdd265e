#include "Document.h"

#include "Archive.h"
#include "FileSystem.h"
#include "SystemError.h"

#include <QIODevice>

#include <cerrno>
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

} // namespace

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

bool CDocument::OnNewDocument() {
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::ReadFile(const std::string& path, const std::function<void(QIODevice&)>& read) {
    try {
        std::string reason;
        const std::unique_ptr<QIODevice> file = OpenForReading(path, reason);
        if (!file) {
            ReportError(QuotePath(path) + " を開けません: " + reason + "。");
            return false;
        }
        read(*file);
    } catch (const ArchiveError& e) {
        ReportError(QuotePath(path) + " を読み込めません。" + e.what());
        return false;
    } catch (const std::bad_alloc&) {
        ReportError(QuotePath(path) + " を読み込めません。メモリが足りません。");
        return false;
    }
    return true;
}

bool CDocument::WriteFileAtomically(const std::string& path, const std::function<void(QIODevice&)>& write) {
    const auto fail = [this, &path](const std::string& reason) {
        ReportError(QuotePath(path) + " に保存できません: " + reason + "。");
        return false;
    };
    SaveTarget target;
    if (const int err = ResolveSaveTarget(path, target))
        return fail(SystemErrorText(err));
    if (target.exists) {
        // Only a regular file is replaced: a device, a pipe or a folder under this name stays as it is.
        if (!S_ISREG(target.st.st_mode))
            return fail(NotRegularFileText(target.st.st_mode));
        // Replacing goes through the folder, which would get round a file the user may not write.
        if (::access(target.path.c_str(), W_OK) != 0)
            return fail(SystemErrorText(errno));
    }

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
    try {
        const std::unique_ptr<QIODevice> device = WriterOn(tempFd);
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
    // A linked file is written in place and keeps its own owner and mode; its temporary
    // file stays private to the user, who may need it should the copy fail.
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
    if (linked)
        return CopyIntoLinkedFile(path, target, tempPath, tempFd);
    if (temp.Close() != 0)
        return failTemp(SystemErrorText(errno));

    if (::rename(tempPath.c_str(), target.path.c_str()) != 0)
        return failTemp(SystemErrorText(errno));
    // The new name is only safe on disk once the folder is: a failure here leaves the
    // saved file in place, and there is nothing the user could do about it.
    const std::string folder = target.path.substr(0, target.path.rfind('/') + 1);
    if (const int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool CDocument::CopyIntoLinkedFile(const std::string& path, const SaveTarget& target, const std::string& tempPath,
                                   int from) {
    // A file known under other names too stays that one file: renaming the new one over
    // it would leave the other names with the old book. The new content is complete
    // beside it already, and stays there until it has been copied in whole.
    const auto fail = [this, &path](const std::string& reason) {
        ReportError(QuotePath(path) + " に保存できません: " + reason + "。");
        return false;
    };
    // Not truncated on opening: first make sure that this is still the same file.
    const int to = ::open(target.path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st {};
    if (to < 0 || ::fstat(to, &st) != 0 || st.st_dev != target.st.st_dev || st.st_ino != target.st.st_ino) {
        const int err = to < 0 ? errno : EBUSY; // replaced by another file meanwhile
        if (to >= 0)
            ::close(to);
        ::unlink(tempPath.c_str());
        return fail(SystemErrorText(err) + "。ファイルは元のままです");
    }
    FdCloser toCloser(to);
    if (::ftruncate(to, 0) != 0) {
        const int err = errno;
        ::unlink(tempPath.c_str());
        return fail(SystemErrorText(err) + "。ファイルは元のままです");
    }
    if (!CopyContents(from, to) || ::fsync(to) != 0) {
        const int err = errno;
        return fail(SystemErrorText(err) + "。元のファイルは書きかけです。新しい内容は" +
                    QuotePath(AbsolutePath(tempPath)) + "に残っています");
    }
    // A write by someone other than the owner clears the set-ID bits: put them back where allowed.
    if (::fstat(to, &st) == 0 && (st.st_mode & 07777) != (target.st.st_mode & 07777))
        (void)::fchmod(to, target.st.st_mode & 07777);
    ::unlink(tempPath.c_str());
    return true;
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
    if (!SaveModified())
        return false;
    return OnNewDocument();
}

CDocument::OpenResult CDocument::OpenDocumentFile(const std::string& path, bool bMadeForIt) {
    if (!bMadeForIt && !SaveModified())
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
        if (!m_pReporter)
            return false;
        const std::string proposed = m_strPathName.empty() ? m_strTitle : m_strPathName;
        const std::optional<std::string> chosen = m_pReporter->AskSavePath(proposed);
        if (!chosen || chosen->empty())
            return false;
        target = *chosen;
    }
    if (!OnSaveDocument(target))
        return false;
    if (replace)
        SetPathName(target, true);
    return true;
}
