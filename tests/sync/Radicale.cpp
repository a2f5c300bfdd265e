#include "Radicale.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

} // namespace

void NeedCoreApplication() {
    static int argc = 1;
    static char name[] = "sync_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

Radicale::Radicale(bool tls, qint64 maxRequestBytes) {
    const QString dir = m_dir.path();
    Write(dir + "/users", "alice:secret\n");
    QByteArray config = "[server]\nhosts = 127.0.0.1:PORT\n" +
                        (maxRequestBytes ? "max_content_length = " + QByteArray::number(maxRequestBytes) + "\n" : QByteArray()) +
                        "[auth]\ntype = htpasswd\nhtpasswd_filename = " + dir.toUtf8() + "/users\nhtpasswd_encryption = plain\n"
                        "[storage]\nfilesystem_folder = " + dir.toUtf8() + "/collections\n"
                        "[rights]\ntype = owner_only\n[logging]\nlevel = warning\n";
    if (tls) {
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                                  "-keyout", dir + "/key.pem", "-out", dir + "/cert.pem"});
        if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0) {
            m_failure = "openssl could not make a certificate";
            return;
        }
        QFile pem(dir + "/cert.pem");
        pem.open(QIODevice::ReadOnly);
        const QList<QSslCertificate> certificates = QSslCertificate::fromData(pem.readAll());
        if (!certificates.isEmpty())
            m_certificateDigest = QCryptographicHash::hash(certificates.front().toDer(), QCryptographicHash::Sha256);
        config.replace("[auth]", "ssl = True\ncertificate = " + dir.toUtf8() + "/cert.pem\nkey = " + dir.toUtf8() +
                                     "/key.pem\n[auth]");
    }
    // A free port: the system picks one for a listener that is closed at once.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    config.replace("PORT", QByteArray::number(port));
    Write(dir + "/config", config);
    m_root = QUrl(QStringLiteral("%1://127.0.0.1:%2/").arg(tls ? "https" : "http").arg(port));

    m_port = port;
    Start();
}

void Radicale::Start() {
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.start("radicale", {"--config", m_dir.path() + "/config"});
    if (!m_server.waitForStarted(10000)) {
        m_failure = "radicale did not start (is the radicale package installed?)";
        return;
    }
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 20000) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (socket.waitForConnected(200)) {
            m_failure.clear();
            return;
        }
        if (m_server.state() == QProcess::NotRunning)
            break;
        QThread::msleep(50);
    }
    m_failure = "radicale does not answer: " + QString::fromUtf8(m_server.readAll());
}

void Radicale::SetPassword(const QByteArray& password) {
    Write(m_dir.path() + "/users", "alice:" + password + "\n");
}

Radicale::~Radicale() {
    Kill();
}

void Radicale::Kill() {
    if (m_server.state() != QProcess::NotRunning) {
        m_server.kill();
        m_server.waitForFinished(10000);
    }
}

QUrl Radicale::MakeAddressBook(const QString& name) {
    const QUrl url = m_root.resolved(QUrl("/alice/" + name + "/"));
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Basic " + QByteArray("alice:secret").toBase64());
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/xml");
    const QByteArray body = R"(<?xml version="1.0"?><D:mkcol xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:carddav">)"
                            "<D:set><D:prop><D:resourcetype><D:collection/><C:addressbook/></D:resourcetype>"
                            "<D:displayname>" + name.toUtf8() + "</D:displayname></D:prop></D:set></D:mkcol>";
    QNetworkReply* reply = network.sendCustomRequest(request, "MKCOL", body);
    if (m_root.scheme() == QLatin1String("https"))
        reply->ignoreSslErrors(); // the test's own certificate
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    return url;
}
