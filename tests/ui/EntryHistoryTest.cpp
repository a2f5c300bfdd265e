// Undo and redo of entry changes against a plain model: every state of the book kept whole.

#include "UiTestUtil.h"

#include "data/MarloDoc.h"
#include "platform/Mbcs.h"
#include "search/BookRows.h"
#include "view/EntryHistory.h"

#include <QFile>
#include <QTest>

#include <memory>
#include <random>

namespace {

using Book = std::vector<PhoneRecord>;

/// Says yes to everything and keeps the errors, so that a failed save shows.
struct QuietReporter : DocReporter {
    void ReportError(const std::string& message) override { errors.push_back(message); }
    SaveAnswer AskSaveChanges(const std::string&) override { return SaveAnswer::No; }
    std::optional<std::string> AskSavePath(const std::string&) override { return std::nullopt; }
    bool ConfirmLoss(const std::string&) override { return true; }
    std::vector<std::string> errors;
};

/// Filing as the phone book defines it: before the first record whose name is strictly greater.
void FileInto(Book& book, const PhoneRecord& record) {
    auto at = book.begin();
    while (at != book.end() && MbsCmp(at->m_strRomaji, record.m_strRomaji) <= 0)
        ++at;
    book.insert(at, record);
}

/// The history as a list of whole books: the one at `now` is the book; `saved` is the one
/// the file holds (-1 when no state of the list does).
struct Model {
    std::vector<Book> states;
    int now = 0;
    int saved = 0;

    const Book& Current() const { return states[static_cast<std::size_t>(now)]; }
    void Push(Book next) {
        states.resize(static_cast<std::size_t>(now) + 1);
        states.push_back(std::move(next));
        if (saved > now)
            saved = -1;
        ++now;
    }
};

Book Records(const CMarloDoc& doc) {
    Book out;
    for (const PhoneRecordView record : doc.m_pData->m_list)
        out.push_back(record.ToRecord());
    return out;
}

QByteArray SavedBytes(CMarloDoc& doc, const QString& path) {
    if (!doc.OnSaveDocument(QFile::encodeName(path).toStdString()))
        return {};
    return ReadFile(path);
}

} // namespace

class EntryHistoryTest : public QObject {
    Q_OBJECT

private slots:
    void matchesAPlainModel();
};

void EntryHistoryTest::matchesAPlainModel() {
    TempWorkDir dir;
    // Few names, so that most are equal to others and land among equals; some records
    // equal in all four fields; the book starts out of order, as an old archive may be.
    const char* names[] = {"abe", "ito", "ito", "sato", "Sato", "sato tarou", "ueda"};
    std::mt19937 rng(20211);
    auto below = [&rng](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    auto record = [&] {
        return Rec(names[below(std::size(names))], {}, std::to_string(below(3)).c_str(), below(4) ? "" : "m\r\n2");
    };
    Book start;
    for (int i = 0; i < 12; ++i)
        start.push_back(record());

    QuietReporter reporter;
    CMarloDoc doc;
    doc.SetReporter(&reporter);
    doc.m_pData = std::make_unique<CMrlData>();
    for (const PhoneRecord& r : start)
        doc.m_pData->m_list.AddTail(r);
    BookRows rows;
    doc.SetBookObserver(&rows);
    rows.Of(doc.m_pData->m_list);
    EntryHistory history(doc);
    Model model{{start}};

    const QString docPath = dir.Path(QStringLiteral("book"));
    const QString modelPath = dir.Path(QStringLiteral("model"));
    int saves = 0, undos = 0, redos = 0, cleanAgain = 0;
    for (int step = 0; step < 3000; ++step) {
        Book next = model.Current();
        const int what = static_cast<int>(below(100));
        if (what < 20) { // add
            const PhoneRecord added = record();
            FileInto(next, added);
            history.Add(added);
            model.Push(std::move(next));
        } else if (what < 32 && !next.empty()) { // modify
            const std::size_t at = below(next.size());
            const PhoneRecord changed = record();
            next.erase(next.begin() + static_cast<std::ptrdiff_t>(at));
            FileInto(next, changed);
            history.Replace(at, changed);
            model.Push(std::move(next));
        } else if (what < 47 && !next.empty()) { // delete
            const std::size_t at = below(next.size());
            next.erase(next.begin() + static_cast<std::ptrdiff_t>(at));
            history.Remove(at);
            model.Push(std::move(next));
        } else if (what < 74) {
            QCOMPARE(history.Undo(), model.now > 0);
            if (model.now > 0) {
                --model.now;
                ++undos;
            }
        } else if (what < 95) {
            const bool bCan = model.now + 1 < static_cast<int>(model.states.size());
            QCOMPARE(history.Redo(), bCan);
            if (bCan) {
                ++model.now;
                ++redos;
            }
        } else if (what < 98) { // save, and the model's book saved beside it
            CMarloDoc plain;
            plain.SetReporter(&reporter);
            plain.m_pData = std::make_unique<CMrlData>();
            for (const PhoneRecord& r : model.Current())
                plain.m_pData->m_list.AddTail(r);
            const QByteArray expected = SavedBytes(plain, modelPath);
            QVERIFY(!expected.isEmpty());
            QCOMPARE(SavedBytes(doc, docPath), expected);
            model.saved = model.now;
            ++saves;
        } else { // a change from outside the history, as an import or a sync makes: no step before it is undone
            const Book added = {record(), record()};
            for (const PhoneRecord& r : added)
                FileInto(next, r);
            RecordList batch;
            batch.Assign(added);
            doc.AddEntries(batch);
            if (below(2)) // the import clears the history; a sync leaves it to see the change for itself
                history.Clear();
            model = Model{{std::move(next)}, 0, -1};
        }
        QCOMPARE(reporter.errors, std::vector<std::string>{});
        QVERIFY2(Records(doc) == model.Current(), qPrintable(QStringLiteral("step %1").arg(step)));
        QCOMPARE(doc.IsModified(), model.now != model.saved);
        cleanAgain += model.now == model.saved && what >= 47 && what < 95;
        // The searches' rows were told of every change.
        QVERIFY(rows.Matches(doc.m_pData->m_list));
        QCOMPARE(history.CanUndo(), model.now > 0);
    }
    // The walk went where it matters: back and forth, and back to a saved state.
    QVERIFY(saves > 40 && undos > 300 && redos > 100 && cleanAgain > 20);
    doc.SetBookObserver(nullptr);
}

std::unique_ptr<QObject> MakeEntryHistoryTest() {
    return std::make_unique<EntryHistoryTest>();
}

#include "EntryHistoryTest.moc"
