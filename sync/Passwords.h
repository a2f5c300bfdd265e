#pragma once
// The passwords of CardDAV accounts, kept in the desktop's secret store (the Secret
// Service or KWallet, through QtKeychain): never in a file, the settings or a log.

#include <QString>
#include <QUrl>
#include <functional>

/// The stored password of `user` at the server of `book`; `done` gets it, or an empty
/// text with the reason when there is none or no secret store answers.
void ReadPassword(const QUrl& book, const QString& user, std::function<void(QString password, QString error)> done);
/// Stores the password; `done` gets an empty text, or why it could not be stored.
void WritePassword(const QUrl& book, const QString& user, const QString& password, std::function<void(QString error)> done);
