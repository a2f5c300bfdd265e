// Speed of a sync with a CardDAV server (a real Radicale on this computer): the first
// sync of an address book of phone cards into an empty book, then a sync with one
// change on each side, then one with none. Marlo's own time (the CPU time of this
// process: parsing, mapping, filing, the state) is told apart from the server's (the
// CPU time of Radicale's process) and from the time on the clock. The longest time the
// event loop was kept from running tells whether a keystroke would wait.
//
//   syncbench [cards]          (default 10000)

#include "BookGenerator.h"

#include "../tests/sync/Radicale.h"
#include "data/MarloDoc.h"
#include "data/MrlData.h"
#include "sync/BookSync.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

double OwnCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ProcessCpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(' ');
    if (fields.size() < 15)
        return 0;
    return static_cast<double>(fields[13].toLongLong() + fields[14].toLongLong()) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

class NullReporter : public DocReporter {
public:
    void ReportError(const std::string& message) override { std::fprintf(stderr, "%s\n", message.c_str()); }
    SaveAnswer AskSaveChanges(const std::string&) override { return SaveAnswer::No; }
    std::optional<std::string> AskSavePath(const std::string&) override { return std::nullopt; }
    bool ConfirmLoss(const std::string&) override { return true; }
};

// One sync, timed three ways; with `probe`, a timer every 4 ms measures the longest
// time the event loop was kept from running (its own wake-ups cost CPU time, so the
// CPU time is taken from a sync without it).
void Timed(const char* what, CMarloDoc& doc, DavClient& dav, const QUrl& url, const QString& state,
           const std::string& path, const Radicale& server, bool probe = false) {
    QElapsedTimer clock, gap;
    qint64 nLongestStall = 0;
    QTimer timer;
    timer.setInterval(4);
    QObject::connect(&timer, &QTimer::timeout, [&] { nLongestStall = std::max(nLongestStall, gap.restart() - 4); });
    BookSync sync(doc, dav, url, state, [&] { return doc.OnSaveDocument(path); });
    const double ownBefore = OwnCpuSeconds();
    const double serverBefore = ProcessCpuSeconds(server.ProcessId());
    clock.start();
    gap.start();
    if (probe)
        timer.start();
    auto [error, report] = DavAwait<QString, SyncReport>([&](auto done) { sync.Start(done); });
    timer.stop();
    const double wall = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (!error.isEmpty())
        std::fprintf(stderr, "%s\n", error.toStdString().c_str());
    std::printf("%-36s clock %6.3f s   Marlo CPU %6.3f s   server CPU %6.3f s   ", what, wall,
                OwnCpuSeconds() - ownBefore, ProcessCpuSeconds(server.ProcessId()) - serverBefore);
    if (probe)
        std::printf("longest stall %4lld ms   ", static_cast<long long>(nLongestStall));
    std::printf("filed %d, removed %d, sent %d\n", report.nFiled, report.nRemoved, report.nSent);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::size_t count = argc > 1 ? std::stoul(argv[1]) : 10000;
    Radicale server;
    if (!server.Failure().isEmpty()) {
        std::fprintf(stderr, "%s\n", server.Failure().toStdString().c_str());
        return 1;
    }
    const QUrl url = server.MakeAddressBook("office");
    // The cards go straight into the server's folder: a PUT each would take minutes.
    const std::string cards = GeneratePhoneCards(count, true);
    std::size_t n = 0;
    for (std::size_t at = cards.find("BEGIN:VCARD"); at != std::string::npos; ++n) {
        const std::size_t next = cards.find("BEGIN:VCARD", at + 1);
        std::string card = cards.substr(at, next == std::string::npos ? std::string::npos : next - at);
        card.insert(card.find("\r\n", card.find("VERSION:")) + 2, "UID:card-" + std::to_string(n) + "\r\n");
        QFile file(server.FolderOf("office") + QStringLiteral("/card-%1.vcf").arg(n));
        if (!file.open(QIODevice::WriteOnly) || file.write(card.data(), static_cast<qint64>(card.size())) < 0)
            return 1;
        at = next;
    }
    DavClient dav("alice", "secret");
    {
        // The server reads its new cards once, as a server in use has them read.
        QElapsedTimer warm;
        warm.start();
        DavAwait<DavError, DavMultistatus>([&](auto done) { dav.ListEtags(url, done); });
        std::printf("server reading its %zu new cards once: %.3f s\n", n, static_cast<double>(warm.elapsed()) / 1e3);
    }
    QTemporaryDir dir;
    const std::string path = dir.filePath("book.mrl").toStdString();
    const QString state = dir.filePath("book.sync");
    NullReporter reporter;
    CMarloDoc doc;
    doc.SetReporter(&reporter);
    doc.OnNewDocument();
    Timed("first sync into an empty book", doc, dav, url, state, path, server);
    {
        // The same again into a second book, watching the event loop.
        CMarloDoc other;
        other.SetReporter(&reporter);
        other.OnNewDocument();
        Timed("the same, the event loop watched", other, dav, url, dir.filePath("other.sync"),
              dir.filePath("other.mrl").toStdString(), server, true);
    }

    // One change on each side: a phone edits a card, the book edits an entry.
    auto [error, listing] = DavAwait<DavError, DavMultistatus>([&](auto done) { dav.ListEtags(url, done); });
    for (const DavResource& r : listing.resources)
        if (r.href.endsWith(QLatin1String("/card-7.vcf"))) {
            auto [got, one] = DavAwait<DavError, DavMultistatus>([&](auto done) { dav.Multiget(url, {r.href}, done); });
            QByteArray card = one.resources.at(0).addressData;
            card.replace("END:VCARD", "NOTE:changed on the phone\r\nEND:VCARD");
            DavAwait<DavError, QByteArray>([&](auto done) { dav.Put(DavClient::Resolve(url, r.href), card, r.etag, done); });
        }
    PhoneRecord changed = doc.m_pData->m_list[100].ToRecord();
    changed.m_strPhone = "03-0000-0000";
    doc.ReplaceEntry(100, changed);
    Timed("one change on each side", doc, dav, url, state, path, server, true);
    Timed("nothing changed", doc, dav, url, state, path, server);
    return 0;
}
