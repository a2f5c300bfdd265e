#include "UiTestUtil.h"

#include "app/MarloApp.h"
#include "data/MarloDoc.h"
#include "platform/Cp932.h"
#include "platform/ui/FrameWnd.h"
#include "view/MarloView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <stdexcept>

TempWorkDir::TempWorkDir() : m_strOldDir(QDir::currentPath()) {
    if (!m_dir.isValid() || !m_config.isValid())
        throw std::runtime_error("no temporary directory");
    QDir::setCurrent(m_dir.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
    // The files kept beside the settings (a sync's state) too.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
}

TempWorkDir::~TempWorkDir() {
    QDir::setCurrent(m_strOldDir);
}

QString TempWorkDir::Path(const QString& name) const {
    return QDir(m_dir.path()).absoluteFilePath(name);
}

PhoneRecord Rec(const char* romaji, const QString& kanji, const char* phone, const char* memo) {
    return PhoneRecord{romaji, UnicodeToCp932(kanji).bytes, phone, memo};
}

void WriteBook(const QString& path, const std::vector<PhoneRecord>& records) {
    // A fixture is written exactly as given, out of order or not: every question is a yes.
    struct Writer : DocReporter {
        void ReportError(const std::string&) override {}
        SaveAnswer AskSaveChanges(const std::string&) override { return SaveAnswer::No; }
        std::optional<std::string> AskSavePath(const std::string&) override { return std::nullopt; }
        bool ConfirmLoss(const std::string&) override { return true; }
    } writer;
    CMarloDoc doc;
    doc.SetReporter(&writer);
    doc.m_pData = std::make_unique<CMrlData>();
    for (const PhoneRecord& record : records)
        doc.m_pData->m_list.AddTail(record);
    if (!doc.OnSaveDocument(QFile::encodeName(path).toStdString()))
        throw std::runtime_error("cannot write the phone book");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write the file");
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Column(const CListCtrl& list, int nCol) {
    QStringList out;
    for (int i = 0; i < list.GetItemCount(); ++i)
        out << Cp932ToUnicode(list.GetItemText(i, nCol));
    return out;
}

void WhenModal(const char* className, std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    auto remaining = std::make_shared<int>(1500); // 30 s: slow machines and sanitizer builds
    QObject::connect(timer, &QTimer::timeout, [timer, remaining, className, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool bMatch = modal && modal->inherits(className);
        if (!bMatch && --*remaining > 0)
            return;
        timer->stop();
        timer->deleteLater();
        if (bMatch) {
            act(modal);
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            // Never leave a test hanging in a dialog nobody answers.
            qWarning("closing an unexpected %s", modal->metaObject()->className());
            dialog->reject();
        }
    });
    timer->start(20);
}

void AnswerMessageBox(int button, QString* text) {
    WhenModal("QMessageBox", [button, text](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY2(box, "a message box was expected");
        if (text)
            *text = box->text();
        box->button(static_cast<QMessageBox::StandardButton>(button))->click();
    });
}

void Trigger(CFrameWnd& frame, int nId) {
    QAction* item = frame.FindMenuItem(nId);
    QVERIFY(item);
    // The menu's update handlers run when it opens.
    emit static_cast<QMenu*>(item->parent())->aboutToShow();
    QVERIFY(item->isEnabled());
    item->trigger();
}

void AnswerFileDialog(const QString& path, const QString& nameFilter) {
    WhenModal("QFileDialog", [path, nameFilter](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        QVERIFY2(dialog, "a file dialog was expected");
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        // The dialog ignores selectFile() while its name box has the focus: type the name instead.
        // A file selected in the dialog's lists wins over the typed name, and on a slow
        // machine the dialog may already have selected the suggested one: unselect it first.
        for (auto* view : dialog->findChildren<QAbstractItemView*>())
            if (view->selectionModel())
                view->selectionModel()->clear();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        if (!nameFilter.isEmpty())
            dialog->selectNameFilter(nameFilter);
        name->setText(path);
        static_cast<QDialog*>(dialog)->accept();
    });
}

MessageBoxRecorder::MessageBoxRecorder() {
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        m_texts << box->text();
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    });
    m_timer.start(20);
}

RunningApp::RunningApp(const QStringList& a) : app(std::make_unique<CMarloApp>()), args(a) {
    app->SetArguments(args);
}

RunningApp::~RunningApp() {
    // Leave without questions: the test decides what was saved.
    if (app->GetDocument())
        app->GetDocument()->SetModifiedFlag(false);
    app.reset();
}

bool RunningApp::Start() {
    if (!app->InitInstance())
        return false;
    Frame().activateWindow();
    return QTest::qWaitForWindowActive(&Frame());
}

CMarloView& RunningApp::View() const {
    return *static_cast<CMarloView*>(app->GetView());
}

CMarloDoc& RunningApp::Doc() const {
    return *static_cast<CMarloDoc*>(app->GetDocument());
}

CFrameWnd& RunningApp::Frame() const {
    return *app->GetMainWnd();
}

void PressEnterOn(QWidget* control) {
    control->window()->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), control->window());
    control->setFocus(Qt::TabFocusReason);
    if (auto* button = qobject_cast<QPushButton*>(control))
        QVERIFY2(button->isDefault(), qPrintable(button->text()));
    QTest::keyClick(control, Qt::Key_Return);
}
