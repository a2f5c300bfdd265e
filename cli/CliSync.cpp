#include "CliSync.h"

#include "CliDocument.h"
#include "sync/BookSync.h"
#include "sync/Passwords.h"

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <termios.h>

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
