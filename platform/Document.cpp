#include "Document.h"

#include "Archive.h"
#include "SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <unistd.h>

namespace {

QString ToQPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}
std::string FromQPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Why a file could not be opened: the system's reason (errno `err`) when a system
// call failed, else the file's own words.
std::string Reason(int err, const QFileDevice& file) {
    if (err != 0)
        return SystemErrorText(err);
    const QString reason = file.errorString();
    return reason.isEmpty() ? std::string("原因不明のエラー") : reason.toStdString();
}

} // namespace

std::string QuotePath(const std::string& path) {
    return "「" + path + "」";
}

void CDocument::SetPathName(const std::string& path, bool addToMRU) {
    const QString absolute = QDir::current().absoluteFilePath(ToQPath(path));
    m_strPathName = FromQPath(QDir::cleanPath(absolute));
    SetTitle(FromQPath(QFileInfo(absolute).fileName()));
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
    QFile file(ToQPath(path));
    int err = 0;
    bool opened = false;
    if (QFileInfo(file.fileName()).isDir()) {
        err = EISDIR; // QFile refuses a folder by itself, with no system error to say why
    } else {
        // The readers buffer for themselves; a second buffer in QFile would only copy.
        errno = 0;
        opened = file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        err = errno; // that of the open(2) that failed
    }
    if (!opened) {
        ReportError(QuotePath(path) + " を開けません: " + Reason(err, file) + "。");
        return false;
    }
    try {
        read(file);
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
    QSaveFile file(ToQPath(path));
    if (const QFileInfo info(file.fileName()); info.isSymLink()) {
        const QString target = info.canonicalFilePath(); // empty for a dangling link
        file.setFileName(target.isEmpty() ? info.symLinkTarget() : target);
    }
    // QSaveFile refuses a folder and a file it may not write by itself, with no system
    // error to say why: ask the system first. Otherwise errno is that of the temporary file's open.
    const QFileInfo target(file.fileName());
    int err = 0;
    bool opened = false;
    if (target.isDir()) {
        err = EISDIR;
    } else if (target.exists() && ::access(QFile::encodeName(target.filePath()).constData(), W_OK) != 0) {
        err = errno;
    } else {
        // The writers buffer for themselves, and unbuffered every failing write is the system's own.
        errno = 0;
        opened = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        err = errno;
    }
    if (!opened) {
        ReportError(QuotePath(path) + " に保存できません: " + Reason(err, file) + "。");
        return false;
    }
    try {
        write(file);
    } catch (const ArchiveError& e) {
        file.cancelWriting();
        ReportError(QuotePath(path) + " に保存できません。" + e.what() + " ファイルは元のままです。");
        return false;
    }
    // Everything is written by now: what is left is putting the new file in the old one's place.
    if (!file.commit()) {
        ReportError(QuotePath(path) + " に保存できません。書き終えたファイルを元のファイルと置き換えられませんでした。"
                                      "ファイルは元のままです。");
        return false;
    }
    return true;
}

bool CDocument::OnOpenDocument(const std::string& path) {
    DeleteContents();
    const bool ok = ReadFile(path, [this](QIODevice& file) {
        if (file.size() > 0) {
            CArchive ar(file, CArchive::load);
            Serialize(ar);
        }
    });
    if (!ok) {
        DeleteContents();
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnSaveDocument(const std::string& path) {
    const bool ok = WriteFileAtomically(path, [this](QIODevice& file) {
        CArchive ar(file, CArchive::store);
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
    const bool exists = !m_strPathName.empty() && QFileInfo::exists(ToQPath(m_strPathName));
    const bool writable = exists && QFileInfo(ToQPath(m_strPathName)).isWritable();
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
