#include "CliCommands.h"

#include "data/MarloDoc.h"
#include "data/Settings.h"
#include "platform/FileSystem.h"
#include "search/FullTextSearch.h"
#include "search/NameSearch.h"
#include "sync/BookSync.h"
#include "sync/Passwords.h"

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <functional>
#include <optional>
#include <termios.h>
#include <unistd.h>

#ifndef MARLO_VERSION
#error "MARLO_VERSION must be defined by the build"
#endif

namespace {

// The window's document, reporting on the error stream.
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
    if (!doc.OnOpenDocument(request.book))
        return kCliFailed;
    const std::string& outPath = request.files[0];
    if (!ExportBook(doc, outPath, request.exportFormat, request.csvDialect))
        return kCliFailed;
    std::fprintf(streams.out, "%s に %zu 件を書き出しました。\n", QuotePath(outPath).c_str(),
                 doc.List().GetCount());
    return FlushOutput(streams);
}

namespace {

// The password asked on the terminal, without echo; nullopt when there is no terminal.
std::optional<QString> AskPassword(const QString& user, const QUrl& url) {
    std::FILE* tty = std::fopen("/dev/tty", "r+");
    if (!tty)
        return std::nullopt;
    std::fprintf(tty, "%s", QStringLiteral("%1 の %2 のパスワード: ").arg(url.host(), user).toStdString().c_str());
    std::fflush(tty);
    termios saved{};
    const bool bQuiet = tcgetattr(fileno(tty), &saved) == 0;
    if (bQuiet) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(fileno(tty), TCSAFLUSH, &quiet);
    }
    std::string line;
    for (int c; (c = std::fgetc(tty)) != EOF && c != '\n';)
        line += static_cast<char>(c);
    if (bQuiet)
        tcsetattr(fileno(tty), TCSAFLUSH, &saved);
    std::fprintf(tty, "\n");
    std::fclose(tty);
    return QString::fromUtf8(line);
}

// The password of the account: MARLO_DAV_PASSWORD, else the secret store, else the terminal.
std::optional<QString> PasswordFor(const QUrl& url, const QString& user, std::FILE* err) {
    if (const char* given = std::getenv("MARLO_DAV_PASSWORD"))
        return QString::fromUtf8(given);
    auto [stored, why] = DavAwait<QString, QString>([&](auto done) { ReadPassword(url, user, done); });
    if (why.isEmpty())
        return stored;
    if (std::optional<QString> typed = AskPassword(user, url))
        return typed;
    std::fprintf(err, "marlo-cli: パスワードがありません。%s 環境変数 MARLO_DAV_PASSWORD で渡すか、端末から実行してください。\n",
                 why.toStdString().c_str());
    return std::nullopt;
}

} // namespace

int CliSync(const CliRequest& request, const CliStreams& streams) {
    // The network runs on an event loop, which needs the application object.
    int argc = 1;
    char name[] = "marlo-cli";
    char* argv[] = {name, nullptr};
    std::optional<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app.emplace(argc, argv);

    const QUrl given = QUrl::fromUserInput(QString::fromStdString(request.davUrl));
    const QString user = QString::fromStdString(request.davUser);
    const std::optional<QString> password = PasswordFor(given, user, streams.err);
    if (!password)
        return kCliFailed;
    DavClient dav(user, *password);
    if (!request.trustedCertificate.empty())
        dav.TrustCertificate(QByteArray::fromHex(QByteArray::fromStdString(request.trustedCertificate)));
    auto [found, books] = DavAwait<DavError, std::vector<DavAddressBook>>([&](auto done) { dav.Discover(given, done); });
    if (found || books.size() != 1) {
        QString why = found.message;
        if (!found) {
            why = books.empty() ? QStringLiteral("%1 にアドレス帳が見つかりません。").arg(given.toDisplayString())
                                : QStringLiteral("アドレス帳が複数あります。--url にどれか一つのアドレスを指定してください:");
            for (const DavAddressBook& book : books)
                why += QStringLiteral("\n  %1  %2").arg(book.url.toDisplayString(), book.name);
        }
        std::fprintf(streams.err, "marlo-cli: %s\n", why.toStdString().c_str());
        return kCliFailed;
    }
    const QUrl bookUrl = books.front().url;

    // A sync is a writer: from the read of the book to its save no other comes between.
    CliDocument doc(streams);
    if (!doc.LockFile(request.book))
        return kCliFailed;
    if (!doc.OpenOrStart(request.book))
        return kCliFailed;
    BookSync sync(doc, dav, bookUrl, SyncStatePath(request.book, bookUrl, user),
                  [&] { return doc.OnSaveDocument(request.book); });
    auto [error, report] = DavAwait<QString, SyncReport>([&](auto done) { sync.Start(done); });
    std::fprintf(streams.out, "%s\n", report.Describe().toStdString().c_str());
    if (!error.isEmpty()) {
        std::fprintf(streams.err, "marlo-cli: %s\n", error.toStdString().c_str());
        return kCliFailed;
    }
    return FlushOutput(streams);
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
        return CliSync(request, streams);
    }
    return kCliUsage;
}
