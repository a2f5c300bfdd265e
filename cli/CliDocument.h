#pragma once
// The window's document as marlo-cli's commands use it, reporting on the error stream.

#include "CliOutput.h"
#include "data/MarloDoc.h"
#include "platform/FileSystem.h"

#include <memory>
#include <string>

class CliDocument : public CMarloDoc {
public:
    explicit CliDocument(const CliStreams& streams) : m_reporter(streams.err) { SetReporter(&m_reporter); }
    /// The phone book's records, once opened.
    const RecordList& List() const { return m_pData->m_list; }
    /// Opens the book at `path`, or starts an empty one when there is no file yet (the
    /// first import or sync makes it). False, reported, when it cannot be read.
    bool OpenOrStart(const std::string& path) {
        if (PathExists(path))
            return OnOpenDocument(path);
        m_pData = std::make_unique<CMrlData>();
        return true;
    }

private:
    CliReporter m_reporter;
};
