// Speed of the search window, offscreen: show-all, typing in the search box,
// and start-up with a large default phone book. Each figure includes the
// list's relayout and one repaint, as the user would wait for them.
//
//   uibench [benchmark flags]

#include "BookGenerator.h"

#include "app/MarloApp.h"
#include "data/MarloDoc.h"
#include "dialogs/DataEntryDlg.h"
#include "platform/Mbcs.h"
#include "platform/ui/FrameWnd.h"
#include "res/Resource.h"
#include "view/EntryActions.h"
#include "view/MarloView.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <memory>
#include <random>

namespace {

constexpr std::uint64_t kSeed = 20261207;

/// A sorted phone book of `count` generated records, made once per size.
const std::vector<PhoneRecord>& Book(std::size_t count) {
    static std::map<std::size_t, std::vector<PhoneRecord>> books;
    auto& book = books[count];
    if (book.empty()) {
        for (RecordList::Ptr& record : GenerateRecords(count, kSeed))
            book.push_back(std::move(*record));
        std::stable_sort(book.begin(), book.end(), [](const PhoneRecord& a, const PhoneRecord& b) {
            return MbsCmp(a.m_strRomaji, b.m_strRomaji) < 0;
        });
    }
    return book;
}

std::unique_ptr<CMarloDoc> MakeDoc(std::size_t count) {
    auto doc = std::make_unique<CMarloDoc>();
    doc->m_pData = std::make_unique<CMrlData>();
    std::vector<RecordList::Ptr> records;
    records.reserve(count);
    for (const PhoneRecord& record : Book(count))
        records.push_back(std::make_unique<PhoneRecord>(record));
    doc->m_pData->m_list.Assign(std::move(records));
    doc->m_pData->m_list.IsSorted(); // learnt while loading, as opening a file does
    return doc;
}

/// The view shown at its form's size, as in the main window.
struct ShownView {
    explicit ShownView(std::size_t count) : doc(MakeDoc(count)), view(*doc) {
        view.OnInitialUpdate();
        view.show();
        QApplication::processEvents();
    }
    void Repaint() {
        view.m_listCtrl.viewport()->repaint();
        QApplication::processEvents();
    }
    std::unique_ptr<CMarloDoc> doc;
    CMarloView view;
};

void BM_ShowAll(benchmark::State& state) {
    ShownView shown(static_cast<std::size_t>(state.range(0)));
    auto* button = shown.view.GetDlgItem<QPushButton>(IDC_SHOWALL);
    for (auto _ : state) {
        button->click();
        shown.Repaint();
    }
    state.counters["rows"] = shown.view.m_listCtrl.GetItemCount();
}
BENCHMARK(BM_ShowAll)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

/// Typing the beginnings of names that exist, one key at a time, then clearing the box:
/// each iteration is one keystroke with its search, its list rebuild and its repaint.
/// over_frame counts the keystrokes slower than one frame at 60 Hz.
void BM_Typing(benchmark::State& state) {
    const std::size_t count = static_cast<std::size_t>(state.range(0));
    ShownView shown(count);
    QLineEdit* box = shown.view.GetDlgItem<QLineEdit>(IDC_SEARCH);
    std::mt19937_64 random(kSeed);
    std::vector<QString> keystrokes;
    for (int word = 0; word < 200; ++word) {
        const std::string& name = Book(count)[random() % count].m_strRomaji;
        const std::size_t length = std::min<std::size_t>(name.size(), 3 + random() % 5);
        for (std::size_t i = 1; i <= length; ++i)
            keystrokes.push_back(QString::fromLatin1(name.substr(0, i)));
        keystrokes.push_back(QString()); // "クリアー" between names
    }
    std::size_t next = 0;
    std::int64_t rows = 0;
    double slowest = 0;
    int overFrame = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        box->setText(keystrokes[next]);
        shown.Repaint();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        slowest = std::max(slowest, ms);
        overFrame += ms > 1000.0 / 60 ? 1 : 0;
        rows += shown.view.m_listCtrl.GetItemCount();
        next = (next + 1) % keystrokes.size();
    }
    state.counters["rows/key"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
    state.counters["slowest_ms"] = slowest;
    state.counters["over_frame"] = overFrame;
}
BENCHMARK(BM_Typing)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1200);

/// The heaviest keystrokes: the single letters that begin the most names, typed
/// in turn into the box, each rebuilding the list with its search and a repaint.
void BM_BusiestKeys(benchmark::State& state) {
    const std::size_t count = static_cast<std::size_t>(state.range(0));
    ShownView shown(count);
    QLineEdit* box = shown.view.GetDlgItem<QLineEdit>(IDC_SEARCH);
    std::map<char, std::size_t> initials;
    for (const PhoneRecord& record : Book(count))
        ++initials[record.m_strRomaji.empty() ? '\0' : record.m_strRomaji[0]];
    std::vector<std::pair<std::size_t, char>> byRows;
    for (const auto& [initial, rows] : initials)
        byRows.emplace_back(rows, initial);
    std::sort(byRows.rbegin(), byRows.rend());
    byRows.resize(std::min<std::size_t>(byRows.size(), 4));
    std::size_t next = 0;
    std::int64_t rows = 0;
    double slowest = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        box->setText(QString(QLatin1Char(byRows[next].second)));
        shown.Repaint();
        slowest = std::max(slowest,
                           std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        rows += shown.view.m_listCtrl.GetItemCount();
        next = (next + 1) % byRows.size();
    }
    state.counters["rows/key"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
    state.counters["slowest_ms"] = slowest;
}
BENCHMARK(BM_BusiestKeys)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(200);

/// One entry action, then one keystroke in the search box, over and over in a book of
/// this size. action_ms: the action with its repaint; key_after_ms: the keystroke
/// right after it, with its search, list rebuild and repaint; *_slowest: the worst of each.
template <class Action> void RunEntryAction(benchmark::State& state, ShownView& shown, Action&& action) {
    const std::size_t count = static_cast<std::size_t>(state.range(0));
    QLineEdit* box = shown.view.GetDlgItem<QLineEdit>(IDC_SEARCH);
    std::mt19937_64 random(kSeed + 1);
    double actionMs = 0, keyMs = 0, actionSlowest = 0, keySlowest = 0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const std::string& name = Book(count)[random() % count].m_strRomaji;
        const auto start = Clock::now();
        action(name);
        shown.Repaint();
        const auto acted = Clock::now();
        box->setText(QString::fromLatin1(name.substr(0, 3)));
        shown.Repaint();
        const double a = std::chrono::duration<double, std::milli>(acted - start).count();
        const double k = std::chrono::duration<double, std::milli>(Clock::now() - acted).count();
        actionMs += a;
        keyMs += k;
        actionSlowest = std::max(actionSlowest, a);
        keySlowest = std::max(keySlowest, k);
    }
    state.counters["action_ms"] = benchmark::Counter(actionMs, benchmark::Counter::kAvgIterations);
    state.counters["key_after_ms"] = benchmark::Counter(keyMs, benchmark::Counter::kAvgIterations);
    state.counters["action_slowest"] = actionSlowest;
    state.counters["key_slowest"] = keySlowest;
}

/// "データ追加" in the open data-entry dialog: the entry filed at its sorted place and listed.
void BM_AddEntry(benchmark::State& state) {
    ShownView shown(static_cast<std::size_t>(state.range(0)));
    shown.view.OnDataEntry();
    auto* dlg = dynamic_cast<CDataEntryDlg*>(shown.view.m_pEntryDlg);
    auto* romaji = GetDlgItem<QLineEdit>(dlg, IDC_ENTRY_ROMAJI);
    auto* add = GetDlgItem<QPushButton>(dlg, IDC_ENTRY_ADD);
    GetDlgItem<QLineEdit>(dlg, IDC_ENTRY_PHONE)->setText(QStringLiteral("03-1234-5678"));
    RunEntryAction(state, shown, [&](const std::string& name) {
        romaji->setText(QString::fromLatin1(name));
        add->click();
    });
}
BENCHMARK(BM_AddEntry)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(200);

/// The modify dialog's OK: the row's record found by its texts, replaced by one with a
/// name elsewhere in the alphabet, and the row rewritten in place.
void BM_ModifyEntry(benchmark::State& state) {
    ShownView shown(static_cast<std::size_t>(state.range(0)));
    CListCtrl& list = shown.view.m_listCtrl;
    RunEntryAction(state, shown, [&](const std::string& name) {
        if (list.GetItemCount() == 0)
            return;
        const PhoneRecord key = ReadRow(list, 0);
        PhoneRecord texts = key;
        texts.m_strRomaji = name;
        ReplaceRowEntry(*shown.doc, list, 0, key, texts);
    });
}
BENCHMARK(BM_ModifyEntry)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(200);

/// Delete in modify mode: the record of the row at the selection mark and the row go.
void BM_DeleteEntry(benchmark::State& state) {
    ShownView shown(static_cast<std::size_t>(state.range(0)));
    CListCtrl& list = shown.view.m_listCtrl;
    RunEntryAction(state, shown, [&](const std::string&) {
        list.SetSelectionMark(list.GetItemCount() / 2);
        DeleteEntry(*shown.doc, list);
    });
}
BENCHMARK(BM_DeleteEntry)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(200);

/// From nothing to the main window shown with a default phone book of this size.
void BM_StartUp(benchmark::State& state) {
    QTemporaryDir dir;
    QTemporaryDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(dir.path());
    std::unique_ptr<CMarloDoc> doc = MakeDoc(static_cast<std::size_t>(state.range(0)));
    doc->OnSaveDocument(QFile::encodeName(dir.filePath(QString::fromUtf8(CMarloDoc::kDefaultBookName))).toStdString());
    doc.reset();
    for (auto _ : state) {
        auto app = std::make_unique<CMarloApp>();
        app->SetArguments({});
        if (!app->InitInstance())
            state.SkipWithError("start-up failed");
        QApplication::processEvents();
        state.PauseTiming();
        app.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    QDir::setCurrent(oldDir);
}
BENCHMARK(BM_StartUp)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
