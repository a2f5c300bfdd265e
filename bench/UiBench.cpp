// Speed of the search window, offscreen: show-all, typing in the search box,
// the full-text search (beside grep on the same phone book as text), entry
// actions, and start-up with a large default phone book. Each figure includes
// the list's relayout and one repaint, as the user would wait for them.
// The BM_Window cases type real key events into the whole main window and wait
// for the display server to draw it: bench/xcb-typing.sh runs them on X.
//
//   uibench [benchmark flags]
//   uibench --window-rss FILE    resident memory of the window with FILE open, shown all, edited

#include "BookGenerator.h"

#include "app/MarloApp.h"
#include "data/MarloDoc.h"
#include "data/TextFormat.h"
#include "dialogs/DataEntryDlg.h"
#include "platform/Mbcs.h"
#include "platform/ui/FrameWnd.h"
#include "res/Resource.h"
#include "view/EntryActions.h"
#include "view/MarloView.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string_view>
#include <sys/wait.h>
#include <time.h>

namespace {

constexpr std::uint64_t kSeed = 20261207;

/// A sorted phone book of `count` generated records, made once per size.
const std::vector<PhoneRecord>& Book(std::size_t count) {
    static std::map<std::size_t, std::vector<PhoneRecord>> books;
    auto& book = books[count];
    if (book.empty()) {
        book = GenerateRecords(count, kSeed);
        std::stable_sort(book.begin(), book.end(), [](const PhoneRecord& a, const PhoneRecord& b) {
            return MbsCmp(a.m_strRomaji, b.m_strRomaji) < 0;
        });
    }
    return book;
}

std::unique_ptr<CMarloDoc> MakeDoc(std::size_t count) {
    auto doc = std::make_unique<CMarloDoc>();
    doc->m_pData = std::make_unique<CMrlData>();
    doc->m_pData->m_list.Assign(Book(count), true); // sorted, as opening a file learns
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

// Full-text keys: a phone-number part few entries hold, a name many hold in either
// case, and a character nearly every entry holds.
constexpr const char* kFullTextKeys[] = {"-1234", "TANAKA", "-"};

/// "全文検索" from OK to the filled list and its repaint, the dialog left out: the list
/// emptied, every entry searched, every hit listed last first.
void BM_FullTextSearch(benchmark::State& state) {
    ShownView shown(static_cast<std::size_t>(state.range(0)));
    const std::array<std::string, 3> keys = {kFullTextKeys[state.range(1)], "", ""};
    for (auto _ : state) {
        shown.view.m_listCtrl.DeleteAllItems();
        shown.view.ListFullTextHits(keys);
        shown.Repaint();
    }
    state.counters["rows"] = shown.view.m_listCtrl.GetItemCount();
}
BENCHMARK(BM_FullTextSearch)
    ->ArgsProduct({{1000000}, {0, 1, 2}})
    ->ArgNames({"entries", "key"})
    ->Unit(benchmark::kMillisecond);

/// The peer: LC_ALL=C grep -i -F with the same key over the same phone book saved as
/// text, the whole process, the file in the page cache.
void BM_FullTextGrep(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string text = dir.filePath(QStringLiteral("book.txt")).toStdString();
    {
        std::ofstream out(text, std::ios::binary);
        for (const PhoneRecord& record : Book(static_cast<std::size_t>(state.range(0))))
            out << FormatTextLine(record) << "\r\n";
    }
    // Into a file, not /dev/null: grep stops at the first match when it writes there.
    const std::string command = std::string("LC_ALL=C grep -i -F -e '") + kFullTextKeys[state.range(1)] + "' " + text +
                                " > " + dir.filePath(QStringLiteral("out")).toStdString();
    for (auto _ : state) {
        // 0 found, 1 not found; anything else means grep did not scan.
        const int status = std::system(command.c_str());
        if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) > 1) {
            state.SkipWithError(("grep failed: " + command).c_str());
            break;
        }
    }
}
BENCHMARK(BM_FullTextGrep)
    ->ArgsProduct({{1000000}, {0, 1, 2}})
    ->ArgNames({"entries", "key"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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
        ReplaceRowEntry(shown.view.m_history, list, 0, key, texts);
    });
}
BENCHMARK(BM_ModifyEntry)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(200);

/// Delete in modify mode: the record of the row at the selection mark and the row go.
void BM_DeleteEntry(benchmark::State& state) {
    ShownView shown(static_cast<std::size_t>(state.range(0)));
    CListCtrl& list = shown.view.m_listCtrl;
    RunEntryAction(state, shown, [&](const std::string&) {
        list.SetSelectionMark(list.GetItemCount() / 2);
        DeleteEntry(shown.view.m_history, list);
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

/// The application as the user starts it, on a default phone book of `count` entries
/// in a folder of its own, its main window shown (maximized: the list as large as the
/// screen lets it grow), exposed and active, the search box focused.
struct MainWindow {
    MainWindow(std::size_t count, bool maximized) : oldDir(QDir::currentPath()) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
        QDir::setCurrent(dir.path());
        MakeDoc(count)->OnSaveDocument(
            QFile::encodeName(dir.filePath(QString::fromUtf8(CMarloDoc::kDefaultBookName))).toStdString());
        app->SetArguments({});
        if (!app->InitInstance())
            return;
        QWidget* frame = app->GetMainWnd();
        if (maximized)
            frame->showMaximized();
        frame->activateWindow();
        if (!QTest::qWaitForWindowActive(frame))
            return;
        view = dynamic_cast<CMarloView*>(app->GetView());
        box = view ? view->GetDlgItem<QLineEdit>(IDC_SEARCH) : nullptr;
        if (box)
            box->setFocus();
        QTest::qWait(200); // the window manager's own drawing settles
    }
    ~MainWindow() {
        app.reset();
        QApplication::processEvents();
        QDir::setCurrent(oldDir);
    }

    QTemporaryDir dir;
    QTemporaryDir config;
    QString oldDir;
    std::unique_ptr<CMarloApp> app = std::make_unique<CMarloApp>();
    CMarloView* view = nullptr;
    QLineEdit* box = nullptr;
};

/// Counts the paint events of the application's widgets.
class PaintCounter : public QObject {
public:
    PaintCounter() { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    int m_nPaints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++m_nPaints;
        return QObject::eventFilter(watched, event);
    }
};

/// CPU time of the whole process (Qt's X connection and painting threads too), in milliseconds.
double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

/// One key pressed and released in `widget` as the window system delivers it, then the
/// event loop run until the window has painted what changed and the display server has
/// drawn it (it answers a round trip only after the requests sent before it). The
/// milliseconds from the key to then; negative when nothing was painted. The key is
/// sent in the process rather than through the server (xdotool): the timing starts at
/// the key event itself, as Qt gets it, and ends at the server's answer, with no
/// screen polling from outside that would compete for the same processors.
double KeyToScreen(QWidget* widget, char key, Qt::KeyboardModifiers modifiers, PaintCounter& paints) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    paints.m_nPaints = 0;
    QTest::keyClick(widget, key, modifiers);
    // Updates are posted, some of them from zero timers: pass the event loop until a
    // pass paints nothing more.
    int seen = -1;
    while (paints.m_nPaints != seen || paints.m_nPaints == 0) {
        seen = paints.m_nPaints;
        QCoreApplication::processEvents();
        if (Clock::now() - start > std::chrono::seconds(2))
            return -1;
    }
    QGuiApplication::sync();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

/// Single letters in order of how many names begin with them.
std::vector<char> BusiestInitials(std::size_t count) {
    std::map<char, std::size_t> initials;
    for (const PhoneRecord& record : Book(count))
        if (!record.m_strRomaji.empty() && std::isalpha(static_cast<unsigned char>(record.m_strRomaji[0])))
            ++initials[record.m_strRomaji[0]];
    std::vector<std::pair<std::size_t, char>> byRows;
    for (const auto& [initial, rows] : initials)
        byRows.emplace_back(rows, initial);
    std::sort(byRows.rbegin(), byRows.rend());
    std::vector<char> letters;
    for (const auto& entry : byRows)
        letters.push_back(entry.second);
    return letters;
}

/// Keystrokes into the main window's search box, each timed from the key event to the
/// window drawn by the display server: first the busiest initial into the window just
/// opened (first_ms: fonts, glyphs and the list's memory met for the first time; the
/// figure means that only in a process of its own), then names typed a letter at a time,
/// each new name after Ctrl+A over the last. over_frame counts keystrokes slower than a
/// frame at 60 Hz, the first included; slowest_ms is the slowest after the first;
/// first_cpu_ms the processor time the first took, which a busy machine does not stretch.
void BM_WindowTyping(benchmark::State& state) {
    const std::size_t count = static_cast<std::size_t>(state.range(0));
    MainWindow window(count, state.range(1) != 0);
    if (!window.box) {
        state.SkipWithError("the main window did not come up");
        return;
    }
    std::mt19937_64 random(kSeed);
    std::vector<std::pair<char, Qt::KeyboardModifiers>> keys;
    keys.emplace_back(BusiestInitials(count).front(), Qt::NoModifier);
    for (int word = 0; word < 200; ++word) {
        keys.emplace_back('a', Qt::ControlModifier);
        const std::string& name = Book(count)[random() % count].m_strRomaji;
        const std::size_t length = std::min<std::size_t>(name.size(), 3 + random() % 5);
        for (std::size_t i = 0; i < length; ++i)
            if (std::isprint(static_cast<unsigned char>(name[i])))
                keys.emplace_back(name[i], Qt::NoModifier);
    }
    PaintCounter paints;
    std::size_t next = 0;
    std::int64_t rows = 0;
    double first = 0, firstCpu = 0, slowest = 0;
    int overFrame = 0;
    for (auto _ : state) {
        const double cpu = ProcessCpuMs();
        const double ms = KeyToScreen(window.box, keys[next].first, keys[next].second, paints);
        if (next == 0)
            firstCpu = ProcessCpuMs() - cpu;
        if (ms < 0) {
            state.SkipWithError("a keystroke painted nothing");
            break;
        }
        if (next == 0)
            first = ms;
        else
            slowest = std::max(slowest, ms);
        overFrame += ms > 1000.0 / 60 ? 1 : 0;
        rows += window.view->m_listCtrl.GetItemCount();
        next = (next + 1) % keys.size();
    }
    state.counters["rows/key"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
    state.counters["first_ms"] = first;
    state.counters["first_cpu_ms"] = firstCpu;
    state.counters["slowest_ms"] = slowest;
    state.counters["over_frame"] = overFrame;
}
BENCHMARK(BM_WindowTyping)->Args({1000000, 0})->Args({1000000, 1})->Unit(benchmark::kMillisecond)->Iterations(1000);

/// The heaviest keystrokes in the main window: Ctrl+A and one of the four busiest
/// initials in turn, each timed from the key to the window drawn by the display server.
/// The second argument of the BM_Window cases is 1 for a maximized window.
void BM_WindowBusiestKeys(benchmark::State& state) {
    const std::size_t count = static_cast<std::size_t>(state.range(0));
    MainWindow window(count, state.range(1) != 0);
    if (!window.box) {
        state.SkipWithError("the main window did not come up");
        return;
    }
    std::vector<char> letters = BusiestInitials(count);
    letters.resize(std::min<std::size_t>(letters.size(), 4));
    PaintCounter paints;
    std::size_t next = 0;
    std::int64_t rows = 0;
    double slowest = 0;
    int overFrame = 0;
    for (auto _ : state) {
        const bool selectAll = next % 2 == 0;
        const char key = selectAll ? 'a' : letters[next / 2 % letters.size()];
        const double ms = KeyToScreen(window.box, key, selectAll ? Qt::ControlModifier : Qt::NoModifier, paints);
        if (ms < 0) {
            state.SkipWithError("a keystroke painted nothing");
            break;
        }
        slowest = std::max(slowest, ms);
        overFrame += ms > 1000.0 / 60 ? 1 : 0;
        rows += window.view->m_listCtrl.GetItemCount();
        next = (next + 1) % (2 * letters.size());
    }
    state.counters["rows/key"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
    state.counters["slowest_ms"] = slowest;
    state.counters["over_frame"] = overFrame;
}
BENCHMARK(BM_WindowBusiestKeys)->Args({1000000, 0})->Args({1000000, 1})->Unit(benchmark::kMillisecond)->Iterations(200);

// A value in kB of /proc/self/status ("VmRSS", "VmHWM"), in MiB.
double StatusMiB(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(name) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::strtod(line.c_str() + prefix.size(), nullptr) / 1024.0;
    return 0;
}

// The search window with the phone book at `path` opened, in this fresh process: its
// resident memory against the file's size at each step a user takes first.
int WindowRss(const char* path) {
    const double fileMiB = static_cast<double>(QFileInfo(QFile::decodeName(path)).size()) / (1024.0 * 1024.0);
    const double baseMiB = StatusMiB("VmRSS");
    CMarloDoc doc;
    if (!doc.OnOpenDocument(path))
        return 1;
    const double openedMiB = StatusMiB("VmRSS");
    CMarloView view(doc);
    view.OnInitialUpdate();
    view.show();
    QApplication::processEvents();
    auto report = [&](const char* step) {
        const double rss = StatusMiB("VmRSS");
        std::printf("%-22s RSS %7.1f MiB (%.2f x the file), peak %7.1f MiB (%.2f x)\n", step, rss, rss / fileMiB,
                    StatusMiB("VmHWM"), StatusMiB("VmHWM") / fileMiB);
    };
    std::printf("file %s: %.1f MiB, %zu entries; %.1f MiB resident before the open, %.1f MiB after it\n", path, fileMiB,
                doc.m_pData->m_list.GetCount(), baseMiB, openedMiB);
    report("opened, shown");
    view.GetDlgItem<QPushButton>(IDC_SHOWALL)->click();
    view.m_listCtrl.viewport()->repaint();
    QApplication::processEvents();
    report("show-all");
    // The list keeps showing every entry while the book changes under it.
    for (int i = 0; i < 100; ++i)
        doc.AddEntry(PhoneRecord{"tanaka" + std::to_string(i), "", "03", ""});
    for (int i = 0; i < 100; ++i)
        doc.RemoveEntry(static_cast<std::size_t>(i) * 997 % doc.m_pData->m_list.GetCount());
    QApplication::processEvents();
    report("100 added, 100 removed");
    view.GetDlgItem<QLineEdit>(IDC_SEARCH)->setText(QStringLiteral("s"));
    QApplication::processEvents();
    report("search \"s\"");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    if (argc >= 2 && std::string_view(argv[1]) == "--window-rss") {
        if (argc != 3) {
            std::fprintf(stderr, "usage: uibench --window-rss FILE\n");
            return 2;
        }
        return WindowRss(argv[2]);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
