#include "SyncState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <charconv>
#include <cstdint>
#include <string>

namespace {

// The file: this heading, then the token, the number of links, and each link's href, ETag, card and four
// fields, every one a 32-bit little-endian length and its bytes as they were (the
// fields code page 932, the card as the server sent it). Kept as bytes, not text: a
// state of ten thousand cards is written twice in every sync that sends something.
constexpr char kHeading[] = "Marlo sync state 2\n";

void Put(QByteArray& out, const char* data, std::size_t size) {
    const auto n = static_cast<std::uint32_t>(size);
    const char length[4] = {static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                            static_cast<char>(n >> 24)};
    out.append(length, 4);
    out.append(data, static_cast<qsizetype>(size));
}

// Reads the pieces back; every length is checked against the bytes left.
class Reader {
public:
    explicit Reader(const QByteArray& bytes) : m_at(bytes.constData()), m_end(bytes.constData() + bytes.size()) {}
    bool Next(std::string_view& piece) {
        if (m_end - m_at < 4)
            return false;
        const auto* b = reinterpret_cast<const unsigned char*>(m_at);
        const std::uint32_t n = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
        m_at += 4;
        if (static_cast<std::uint64_t>(m_end - m_at) < n)
            return false;
        piece = std::string_view(m_at, n);
        m_at += n;
        return true;
    }
    bool Next(std::string& out) {
        std::string_view piece;
        if (!Next(piece))
            return false;
        out.assign(piece);
        return true;
    }
    bool Next(QByteArray& out) {
        std::string_view piece;
        if (!Next(piece))
            return false;
        out = QByteArray(piece.data(), static_cast<qsizetype>(piece.size()));
        return true;
    }
    bool AtEnd() const { return m_at == m_end; }

private:
    const char* m_at;
    const char* m_end;
};

} // namespace

bool LoadSyncState(const QString& path, SyncState& state, QString& error) {
    state = {};
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("同期の記録 %1 を読めません: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    const QByteArray body = bytes.mid(sizeof kHeading - 1);
    Reader reader(body);
    bool ok = bytes.startsWith(kHeading) && reader.Next(state.token);
    std::string_view count;
    std::size_t nLinks = 0;
    ok = ok && reader.Next(count) &&
         std::from_chars(count.data(), count.data() + count.size(), nLinks).ptr == count.data() + count.size();
    for (std::size_t i = 0; ok && i < nLinks; ++i) {
        SyncLink link;
        QByteArray href;
        PhoneRecord& r = link.record;
        ok = reader.Next(href) && reader.Next(link.etag) && reader.Next(link.card) && reader.Next(r.m_strRomaji) &&
             reader.Next(r.m_strKanji) && reader.Next(r.m_strPhone) && reader.Next(r.m_strMemo) && !href.isEmpty();
        link.href = QString::fromUtf8(href);
        if (ok)
            state.links.push_back(std::move(link));
    }
    if (!ok || !reader.AtEnd()) {
        error = QStringLiteral("同期の記録 %1 が壊れています。").arg(QDir::toNativeSeparators(path));
        state = {};
        return false;
    }
    return true;
}

bool SaveSyncState(const QString& path, const SyncState& state, QString& error) {
    QByteArray bytes(kHeading);
    std::size_t size = bytes.size() + 16 + static_cast<std::size_t>(state.token.size());
    for (const SyncLink& link : state.links)
        size += 28 + static_cast<std::size_t>(link.href.size() * 3 + link.etag.size() + link.card.size()) +
                link.record.m_strRomaji.size() + link.record.m_strKanji.size() + link.record.m_strPhone.size() +
                link.record.m_strMemo.size();
    bytes.reserve(static_cast<qsizetype>(size));
    Put(bytes, state.token.constData(), static_cast<std::size_t>(state.token.size()));
    const std::string nLinks = std::to_string(state.links.size());
    Put(bytes, nLinks.data(), nLinks.size());
    for (const SyncLink& link : state.links) {
        const QByteArray href = link.href.toUtf8();
        Put(bytes, href.constData(), static_cast<std::size_t>(href.size()));
        Put(bytes, link.etag.constData(), static_cast<std::size_t>(link.etag.size()));
        Put(bytes, link.card.constData(), static_cast<std::size_t>(link.card.size()));
        for (const std::string* field : {&link.record.m_strRomaji, &link.record.m_strKanji, &link.record.m_strPhone,
                                         &link.record.m_strMemo})
            Put(bytes, field->data(), field->size());
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("同期の記録 %1 を書き込めません: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}
