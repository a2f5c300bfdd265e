#include "MessageBox.h"

#include <QPushButton>

namespace {

QString g_strAppTitle = QStringLiteral("Marlo");

// A window not on the screen yet (at start-up) gives a box no place to stand beside:
// the box then stands in the middle of the screen, not at the hidden window's corner.
QWidget* Owner(QWidget* parent) {
    return parent && parent->window()->isVisible() ? parent : nullptr;
}

} // namespace

QString AfxGetAppTitle() {
    return g_strAppTitle;
}

void AfxSetAppTitle(const QString& title) {
    g_strAppTitle = title;
}

void AfxMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, g_strAppTitle, text, QMessageBox::Ok, Owner(parent));
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
}

bool AfxYesNoWarning(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, g_strAppTitle, text, QMessageBox::Yes | QMessageBox::No, Owner(parent));
    box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QMessageBox::StandardButton AfxYesNoCancel(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, g_strAppTitle, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, Owner(parent));
    box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("ｷｬﾝｾﾙ"));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    if (answer == QMessageBox::Yes || answer == QMessageBox::No)
        return static_cast<QMessageBox::StandardButton>(answer);
    return QMessageBox::Cancel;
}

QMessageBox::StandardButton AfxAskButtons(QWidget* parent, const QString& text,
                                          const std::vector<std::pair<QMessageBox::StandardButton, QString>>& buttons,
                                          QMessageBox::StandardButton byDefault) {
    QMessageBox box(QMessageBox::Question, g_strAppTitle, text, QMessageBox::NoButton, Owner(parent));
    for (const auto& [button, label] : buttons)
        box.addButton(button)->setText(label);
    box.setDefaultButton(byDefault);
    box.setEscapeButton(buttons.back().first);
    const int answer = box.exec();
    for (const auto& [button, label] : buttons)
        if (answer == button)
            return button;
    return buttons.back().first;
}
