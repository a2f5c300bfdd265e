#include "CliCommands.h"

#include "CliDocument.h"

#include "data/MarloDoc.h"
#include "data/Settings.h"
#include "platform/FileSystem.h"
#include "platform/SystemError.h"
#include "search/FullTextSearch.h"
#include "search/NameSearch.h"

#include <QString>
#include <cstdio>
#include <functional>
#include <cerrno>
#include <climits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#ifndef MARLO_VERSION
#error "MARLO_VERSION must be defined by the build"
#endif
#ifndef MARLO_SYNC_PROGRAM_FROM_BIN
#error "MARLO_SYNC_PROGRAM_FROM_BIN must be defined by the build"
#endif

namespace {

// Prints the entries that `write` hands to an entry writer, then flushes.
int PrintEntries(const CliRequest& request, const CliStreams& streams,
                 const std::function<void(EntryWriter&)>& write) {
    EntryWriter writer(streams.out, request.rawBytes);
    write(writer);
    writer.Finish();
    return FlushOutput(streams);
}

} // namespace

int CliList(const CliRequest& request, const CliStreams& streams) {
    CliDocument doc(streams);
    doc.SetReadOnly();
    if (!doc.OnOpenDocument(request.book))
        return kCliFailed;
    return PrintEntries(request, streams, [&doc](EntryWriter& writer) {
        for (const PhoneRecordView record : doc.List())
            writer.Write(record);
    });
}

int CliSearch(const CliRequest& request, const CliStreams& streams) {
    // Without --max, the hit limit the window reads at start-up.
    const int limit = request.maxHits ? *request.maxHits : ReadMaxHits(CMarloDoc::kSettingsName).value_or(0);
    CliDocument doc(streams);
    doc.SetReadOnly();
    if (!doc.OnOpenDocument(request.book))
        return kCliFailed;
    const RowRange rows = NameSearch(doc.List(), request.keys[0], limit);
    return PrintEntries(request, streams, [&doc, rows](EntryWriter& writer) {
        for (std::size_t row = rows.first; row < rows.first + rows.count; ++row)
            writer.Write(doc.List()[row]);
    });
}

int CliFind(const CliRequest& request, const CliStreams& streams) {
    CliDocument doc(streams);
    doc.SetReadOnly();
    if (!doc.OnOpenDocument(request.book))
        return kCliFailed;
    const std::vector<std::size_t> hits = FullTextSearch(doc.List(), request.keys);
    return PrintEntries(request, streams, [&doc, &hits](EntryWriter& writer) {
        for (const std::size_t row : hits)
            writer.Write(doc.List()[row]);
    });
}

int CliConvert(const CliRequest& request, const CliStreams& streams) {
    CliDocument doc(streams);
    // The output's lock from the start: a writer that comes later waits for this one, whose
    // result it then builds on, instead of being replaced by it.
    if (!doc.LockFile(request.files[1]))
        return kCliFailed;
    // Only a convert onto its own input writes the file it read.
    struct stat in {}, out {};
    if (::stat(request.files[0].c_str(), &in) != 0 || ::stat(request.files[1].c_str(), &out) != 0 ||
        in.st_dev != out.st_dev || in.st_ino != out.st_ino)
        doc.SetReadOnly();
    if (!doc.OnOpenDocument(request.files[0]))
        return kCliFailed;
    return doc.OnSaveDocument(request.files[1]) ? kCliOk : kCliFailed;
}

int CliImport(const CliRequest& request, const CliStreams& streams) {
    CliDocument doc(streams);
    // From the read to the save no other writer comes between: none of its entries is lost.
    if (!request.dryRun && !doc.LockFile(request.book))
        return kCliFailed;
    if (!doc.OpenOrStart(request.book))
        return kCliFailed;
    ContactImport import;
    if (!ReadContactFiles(doc, request.files, import))
        return kCliFailed;
    const RecordList& records = import.entries;
    const QString notes = import.Describe();
    if (request.dryRun) {
        EntryWriter writer(streams.out, request.rawBytes);
        for (const PhoneRecordView record : records)
            writer.Write(record);
        writer.Finish();
        std::fprintf(streams.err, "marlo-cli: %zu 件を追加します (--dry-run のため保存していません)。\n",
                     records.GetCount());
        if (!notes.isEmpty())
            std::fprintf(streams.err, "%s\n", notes.toStdString().c_str());
        return FlushOutput(streams);
    }
    if (!records.IsEmpty()) {
        doc.AddEntries(records);
        if (!doc.OnSaveDocument(request.book))
            return kCliFailed;
    }
    std::fprintf(streams.out, "%s に %zu 件を追加しました。\n", QuotePath(request.book).c_str(), records.GetCount());
    if (!notes.isEmpty())
        std::fprintf(streams.out, "%s\n", notes.toStdString().c_str());
    return FlushOutput(streams);
}

int CliExport(const CliRequest& request, const CliStreams& streams) {
    CliDocument doc(streams);
    doc.SetReadOnly();
    if (!doc.OnOpenDocument(request.book))
        return kCliFailed;
    const std::string& outPath = request.files[0];
    if (!ExportBook(doc, outPath, request.exportFormat, request.csvDialect))
        return kCliFailed;
    std::fprintf(streams.out, "%s に %zu 件を書き出しました。\n", QuotePath(outPath).c_str(),
                 doc.List().GetCount());
    return FlushOutput(streams);
}

int RunSyncProgram(const std::vector<std::string>& arguments, const CliStreams& streams) {
    // Beside this program in a build folder; installed, where the package puts it.
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string("./marlo-cli");
    folder.resize(folder.rfind('/'));
    std::vector<std::string> paths = {folder + "/marlo-cli-sync", folder + "/" MARLO_SYNC_PROGRAM_FROM_BIN};
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.insert(argv.begin(), nullptr);
    argv.push_back(nullptr);
    std::fflush(streams.out);
    std::fflush(streams.err);
    int err = ENOENT;
    for (std::string& path : paths) {
        argv[0] = path.data();
        ::execv(path.c_str(), argv.data());
        if (errno != ENOENT)
            err = errno; // there, but not to be run: that reason, not "no such file"
    }
    std::fprintf(streams.err, "marlo-cli: 同期のプログラム %s を起動できません: %s。\n", QuotePath(paths.back()).c_str(),
                 SystemErrorText(err).c_str());
    return kCliFailed;
}

int RunCliCommand(const CliRequest& request, const CliStreams& streams) {
    switch (request.command) {
    case CliCommand::Help:
        std::fprintf(streams.out, "%s\n%s", kCliUsageText, kCliHelpText);
        return FlushOutput(streams);
    case CliCommand::Version:
        std::fprintf(streams.out, "marlo-cli %s\n", MARLO_VERSION);
        return FlushOutput(streams);
    case CliCommand::List:
        return CliList(request, streams);
    case CliCommand::Search:
        return CliSearch(request, streams);
    case CliCommand::Find:
        return CliFind(request, streams);
    case CliCommand::Convert:
        return CliConvert(request, streams);
    case CliCommand::Import:
        return CliImport(request, streams);
    case CliCommand::Export:
        return CliExport(request, streams);
    case CliCommand::Sync:
        return RunSyncProgram(request.arguments, streams);
    }
    return kCliUsage;
}
