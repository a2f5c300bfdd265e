#include "SyncState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

constexpr int kVersion = 1;

// The fields are code page 932 bytes, the card UTF-8 text as the server sent it:
// both kept byte for byte.
QString Bytes(const std::string& bytes) {
    return QString::fromLatin1(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toBase64());
}

bool Unbytes(const QJsonValue& value, std::string& out) {
    if (!value.isString())
        return false;
    const auto decoded = QByteArray::fromBase64Encoding(value.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    out.assign(decoded.decoded.constData(), static_cast<std::size_t>(decoded.decoded.size()));
    return true;
}

} // namespace

bool LoadSyncState(const QString& path, SyncState& state, QString& error) {
    state = {};
    QFile file(path);
    if (!file.exists())
        return true;
    const QString damaged = QStringLiteral("同期の記録 %1 が壊れています。").arg(QDir::toNativeSeparators(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("同期の記録 %1 を読めません: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    const QJsonDocument json = QJsonDocument::fromJson(file.readAll());
    const QJsonObject root = json.object();
    if (root.value("version").toInt() != kVersion || !root.value("links").isArray()) {
        error = damaged;
        return false;
    }
    std::string token;
    if (!Unbytes(root.value("token"), token)) {
        error = damaged;
        return false;
    }
    state.token = QByteArray::fromStdString(token);
    for (const QJsonValue& value : root.value("links").toArray()) {
        const QJsonObject item = value.toObject();
        const QJsonArray fields = item.value("fields").toArray();
        SyncLink link;
        std::string etag, card;
        link.href = item.value("href").toString();
        if (link.href.isEmpty() || fields.size() != 4 || !Unbytes(item.value("etag"), etag) ||
            !Unbytes(item.value("card"), card) || !Unbytes(fields[0], link.record.m_strRomaji) ||
            !Unbytes(fields[1], link.record.m_strKanji) || !Unbytes(fields[2], link.record.m_strPhone) ||
            !Unbytes(fields[3], link.record.m_strMemo)) {
            error = damaged;
            state = {};
            return false;
        }
        link.etag = QByteArray::fromStdString(etag);
        link.card = QByteArray::fromStdString(card);
        state.links.push_back(std::move(link));
    }
    return true;
}

bool SaveSyncState(const QString& path, const SyncState& state, QString& error) {
    QJsonArray links;
    for (const SyncLink& link : state.links) {
        const PhoneRecord& r = link.record;
        links.append(QJsonObject{{"href", link.href},
                                 {"etag", Bytes(link.etag.toStdString())},
                                 {"card", Bytes(link.card.toStdString())},
                                 {"fields", QJsonArray{Bytes(r.m_strRomaji), Bytes(r.m_strKanji), Bytes(r.m_strPhone),
                                                       Bytes(r.m_strMemo)}}});
    }
    const QJsonObject root{{"version", kVersion}, {"token", Bytes(state.token.toStdString())}, {"links", links}};
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson(QJsonDocument::Compact)) < 0 ||
        !file.commit()) {
        error = QStringLiteral("同期の記録 %1 を書き込めません: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}
