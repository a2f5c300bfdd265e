#pragma once
// Helpers of the window tests: temporary working directories and settings,
// phone-book fixtures, and answers to modal dialogs.

#include "data/PhoneRecord.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CListCtrl;
class CMarloApp;
class CMarloView;
class CMarloDoc;
class CFrameWnd;
class QWidget;

/// A fresh working directory and profile store for one test.
class TempWorkDir {
public:
    TempWorkDir();
    ~TempWorkDir();
    QString Path(const QString& name) const;
    /// Where the settings (and the sync's state, beside them) are kept.
    QString ConfigPath() const { return m_config.path(); }

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_config;
    QString m_strOldDir;
};

/// A record with a kanji name given as Unicode.
PhoneRecord Rec(const char* romaji, const QString& kanji = {}, const char* phone = "", const char* memo = "");
/// Writes a phone book (text when the path ends in ".txt", else the archive format).
void WriteBook(const QString& path, const std::vector<PhoneRecord>& records);
void WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

/// The texts of one column of the list, top to bottom.
QStringList Column(const CListCtrl& list, int nCol = 0);

/// Calls `act` with the modal dialog of class `className` (or a subclass) once it is
/// the active one (within a few seconds).
void WhenModal(const char* className, std::function<void(QWidget*)> act);
/// Presses the message box button with this role (QMessageBox::StandardButton) and
/// keeps the box's text in `text` when given.
void AnswerMessageBox(int button, QString* text = nullptr);
/// Gives `control` the focus as the Tab key does and presses Enter there; a push button
/// must look the dialog's default while it has the focus.
void PressEnterOn(QWidget* control);
/// Runs the menu item of command `nId` as a click on it does, its menu's update handlers first.
void Trigger(CFrameWnd& frame, int nId);
/// Accepts the next file dialog with `path`, or cancels it when `path` is empty.
void AnswerFileDialog(const QString& path, const QString& nameFilter = {});

/// While it lives, presses OK in every message box that opens and keeps its text:
/// a test that expects none then fails instead of waiting for an answer.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    QStringList m_texts;

private:
    QTimer m_timer;
};

/// The program started in the current working directory with the given command line.
struct RunningApp {
    explicit RunningApp(const QStringList& args = {});
    ~RunningApp();
    bool Start();
    CMarloView& View() const;
    CMarloDoc& Doc() const;
    CFrameWnd& Frame() const;

    std::unique_ptr<CMarloApp> app;
    QStringList args;
};
