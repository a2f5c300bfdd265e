#pragma once

#include "MrlData.h"
#include "platform/Document.h"

#include <memory>

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

    /// Shows `visit` every record of the phone-book (archive) file at `path` in stored
    /// order, one at a time, without opening it as the document: the same checks and
    /// reports as an open, a fraction of the memory. False when the file cannot be read.
    bool ScanArchiveFile(const std::string& path, const std::function<void(const PhoneRecord&)>& visit);
    /// The same for a text exchange file: one record per line, in the file's order
    /// (the phone book an open makes is these records in a stable sort by romaji name).
    bool ScanTextFile(const std::string& path, const std::function<void(const PhoneRecord&)>& visit);

private:
    bool OpenTextFile(const std::string& path);
    bool SaveTextFile(const std::string& path);
};
