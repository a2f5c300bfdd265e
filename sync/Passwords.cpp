#include "Passwords.h"

#include <qt6keychain/keychain.h>

namespace {

const QString kService = QStringLiteral("Marlo");

// One password for each user at each server.
QString KeyOf(const QUrl& book, const QString& user) {
    return user + QLatin1Char('@') + book.toString(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery);
}

// Why the secret store did not answer: without one (no Secret Service, no KWallet, as
// on a server) QtKeychain says only "Unknown error".
QString Unavailable(const QKeychain::Job& job) {
    const QString why = job.error() == QKeychain::NoBackendAvailable || job.error() == QKeychain::OtherError
                            ? QStringLiteral("デスクトップのパスワードの保管庫 (Secret Service や KWallet) が見つかりません。")
                            : QStringLiteral("パスワードの保管庫が使えません。");
    return job.errorString().isEmpty() || job.errorString() == QLatin1String("Unknown error")
               ? why
               : why + QStringLiteral(" (") + job.errorString() + QLatin1Char(')');
}

} // namespace

void ReadPassword(const QUrl& book, const QString& user, std::function<void(QString, QString)> done) {
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(KeyOf(book, user));
    QObject::connect(job, &QKeychain::Job::finished, job, [job, done = std::move(done)] {
        if (job->error() == QKeychain::NoError)
            done(job->textData(), {});
        else
            done({}, job->error() == QKeychain::EntryNotFound ? QStringLiteral("パスワードは保存されていません。")
                                                              : Unavailable(*job));
    });
    job->start();
}

void WritePassword(const QUrl& book, const QString& user, const QString& password, std::function<void(QString)> done) {
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(KeyOf(book, user));
    job->setTextData(password);
    QObject::connect(job, &QKeychain::Job::finished, job, [job, done = std::move(done)] {
        done(job->error() == QKeychain::NoError ? QString() : Unavailable(*job));
    });
    job->start();
}
