#pragma once
// Helpers shared by the core tests: hex literals, temporary working
// directories and a reporter that records what the user would be told.

#include "data/PhoneRecord.h"
#include "platform/Document.h"

#include <QTemporaryDir>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

/// Bytes from a hex literal such as "FF FF 01 00" (spaces ignored).
std::string Hex(std::string_view hex);
/// Bytes as upper-case hex pairs separated by spaces, for readable failures.
std::string ToHex(std::string_view bytes);
/// How a failing test shows an entry: each field's bytes. One definition for every
/// test program, so that no comparison falls back to dumping the object's memory.
void PrintTo(const PhoneRecord& record, std::ostream* os);

std::string ReadAll(const std::string& path);

class CMrlData;
struct PhoneRecord;
/// The bytes of a phone-book file of `data`, written as the document writes it.
std::string StoreArchive(CMrlData& data);
/// The records of a phone-book file's bytes read the plain way, one field after another:
/// the model that the document's open is held against. The same records, or the same
/// ArchiveError; empty bytes hold an empty phone book.
std::vector<PhoneRecord> ReadArchiveModel(std::string_view bytes);
/// A phone-book file of one record whose memo is the string item `item` (a length
/// prefix and its bytes, or whatever is to be tried as one), where the file ends.
std::string ArchiveOfOneMemo(std::string_view item);
void WriteAll(const std::string& path, std::string_view bytes);

/// A fresh temporary directory that is the working directory for the test's lifetime.
class TempWorkDir {
public:
    TempWorkDir();
    ~TempWorkDir();
    std::string Path(const std::string& name) const; ///< absolute path of `name` inside the directory
private:
    QTemporaryDir m_dir;
    QString m_strOldDir;
};

/// Records errors and answers the save prompt and the Save As dialog as told.
class RecordingReporter : public DocReporter {
public:
    std::vector<std::string> errors;
    std::vector<std::string> recent;
    std::vector<std::string> prompts;
    SaveAnswer answer = SaveAnswer::No;
    std::optional<std::string> savePath;
    std::vector<std::string> warnings; // the questions of ConfirmLoss
    bool confirmLoss = false;
    std::vector<std::string> questions; // of AskOverwriteChanged, AskReload and AskRestore
    ChangedAnswer changedAnswer = ChangedAnswer::Cancel;
    bool reload = false;
    bool restore = false;

    void ReportError(const std::string& message) override { errors.push_back(message); }
    SaveAnswer AskSaveChanges(const std::string& title) override {
        prompts.push_back(title);
        return answer;
    }
    std::optional<std::string> AskSavePath(const std::string& proposed) override {
        prompts.push_back("save as " + proposed);
        return savePath;
    }
    bool ConfirmLoss(const std::string& message) override {
        warnings.push_back(message);
        return confirmLoss;
    }
    ChangedAnswer AskOverwriteChanged(const std::string& message) override {
        questions.push_back(message);
        return changedAnswer;
    }
    bool AskReload(const std::string& message) override {
        questions.push_back(message);
        return reload;
    }
    bool AskRestore(const std::string& message) override {
        questions.push_back(message);
        return restore;
    }
    void AddToRecentFileList(const std::string& path) override { recent.push_back(path); }
};
