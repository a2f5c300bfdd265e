#pragma once
// The framework's message boxes, captioned with the application's title.

#include <QMessageBox>
#include <QString>

#include <utility>
#include <vector>

class QWidget;

/// An error or notice with an OK button.
void AfxMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::Warning);

/// A question with Yes, No and Cancel; returns the button pressed
/// (QMessageBox::Yes, No or Cancel; closing the box counts as Cancel).
QMessageBox::StandardButton AfxYesNoCancel(QWidget* parent, const QString& text);

/// A warning that asks whether to go on, with Yes and No; No is the default and
/// the answer of closing the box. True for Yes.
bool AfxYesNoWarning(QWidget* parent, const QString& text);

/// A question with the buttons given (each a standard button and its text), `byDefault`
/// answering Enter; closing the box or Escape answers the last button. Returns the button pressed.
QMessageBox::StandardButton AfxAskButtons(QWidget* parent, const QString& text,
                                          const std::vector<std::pair<QMessageBox::StandardButton, QString>>& buttons,
                                          QMessageBox::StandardButton byDefault);

/// The caption of every message box: the application's title.
QString AfxGetAppTitle();
void AfxSetAppTitle(const QString& title);
