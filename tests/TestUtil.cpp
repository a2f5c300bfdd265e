#include "TestUtil.h"

#include "data/MrlData.h"
#include "platform/Cp932.h"
#include "platform/Archive.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <stdexcept>

std::string Hex(std::string_view hex) {
    std::string out;
    int nibbles = 0;
    unsigned value = 0;
    for (char c : hex) {
        if (c == ' ' || c == '\n')
            continue;
        unsigned v;
        if (c >= '0' && c <= '9')
            v = static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F')
            v = static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            v = static_cast<unsigned>(c - 'a' + 10);
        else
            throw std::invalid_argument("not a hex digit");
        value = value * 16 + v;
        if (++nibbles == 2) {
            out.push_back(static_cast<char>(value));
            nibbles = 0;
            value = 0;
        }
    }
    if (nibbles != 0)
        throw std::invalid_argument("odd number of hex digits");
    return out;
}

std::string ToHex(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty())
            out.push_back(' ');
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

void PrintTo(const PhoneRecord& r, std::ostream* os) {
    *os << "{" << ToHex(r.m_strRomaji) << " | " << ToHex(r.m_strKanji) << " | " << ToHex(r.m_strPhone) << " | "
        << ToHex(r.m_strMemo) << "}";
}

std::string ReadAll(const std::string& path) {
    QFile f(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path);
    return f.readAll().toStdString();
}

void WriteAll(const std::string& path, std::string_view bytes) {
    QFile f(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        throw std::runtime_error("cannot write " + path);
}

TempWorkDir::TempWorkDir() : m_strOldDir(QDir::currentPath()) {
    if (!m_dir.isValid() || !QDir::setCurrent(m_dir.path()))
        throw std::runtime_error("no temporary directory");
}

TempWorkDir::~TempWorkDir() {
    QDir::setCurrent(m_strOldDir);
}

std::string TempWorkDir::Path(const std::string& name) const {
    return QFile::encodeName(QDir(m_dir.path()).absoluteFilePath(QString::fromUtf8(name.c_str()))).toStdString();
}

std::string StoreArchive(CMrlData& data) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CArchive ar(buffer);
    ar.WriteObjectHeader(CMrlData::kClassName, CMrlData::kSchema);
    data.Serialize(ar);
    ar.Flush();
    return bytes.toStdString();
}

namespace {

// Reads an archive's items from the front of its bytes.
class ModelReader {
public:
    explicit ModelReader(std::string_view bytes) : m_bytes(bytes) {}
    std::string_view Take(std::uint64_t n) {
        if (m_bytes.size() < n)
            throw ArchiveError(ArchiveError::Kind::EndOfFile,
                               "ファイルが途中で終わっています。書きかけか壊れた電話帳です。");
        const std::string_view taken = m_bytes.substr(0, n);
        m_bytes.remove_prefix(n);
        return taken;
    }
    std::uint32_t Number(int bytes) {
        const std::string_view b = Take(bytes);
        std::uint32_t value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = value << 8 | static_cast<unsigned char>(b[i]);
        return value;
    }
    std::uint32_t Length() {
        std::uint32_t n = Number(1);
        if (n == 0xFF && (n = Number(2)) == 0xFFFF)
            n = Number(4);
        return n;
    }
    std::string String() {
        std::uint32_t n = Number(1);
        if (n == 0xFF) {
            n = Number(2);
            if (n == 0xFFFE) {
                const std::uint32_t units = Length();
                const std::string_view bytes = Take(std::uint64_t{units} * 2);
                QString text;
                for (std::uint32_t i = 0; i < units; ++i)
                    text += QChar(static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
                const Cp932Encoded encoded = UnicodeToCp932(text);
                if (!encoded.ok())
                    Fail("Shift_JIS で表せない文字を含んでいます: " + NameUnconvertible(encoded.unconvertible).toStdString());
                return encoded.bytes;
            }
            if (n == 0xFFFF)
                n = Number(4);
        }
        return std::string(Take(n));
    }
    std::uint64_t Left() const { return m_bytes.size(); }
    [[noreturn]] static void Fail(const std::string& detail) {
        throw ArchiveError(ArchiveError::Kind::BadFormat, "電話帳のファイルではありません（" + detail + "）。");
    }

private:
    std::string_view m_bytes;
};

} // namespace

std::vector<PhoneRecord> ReadArchiveModel(std::string_view bytes) {
    std::vector<PhoneRecord> records;
    if (bytes.empty())
        return records;
    ModelReader in(bytes);
    const std::uint32_t tag = in.Number(2);
    if (tag == 0)
        ModelReader::Fail("データが空です");
    if (tag != 0xFFFF)
        ModelReader::Fail("先頭の印が違います");
    if (const std::uint32_t schema = in.Number(2); schema != CMrlData::kSchema)
        ModelReader::Fail("版数 " + std::to_string(schema) + " には対応していません");
    const std::uint32_t nameLength = in.Number(2);
    if (nameLength >= 64)
        ModelReader::Fail("クラス名が長すぎます");
    if (in.Take(nameLength) != CMrlData::kClassName)
        ModelReader::Fail("クラス名が違います");
    const auto count = static_cast<std::int32_t>(in.Number(4));
    if (count > 0 && in.Left() < std::uint64_t{4} * static_cast<std::uint32_t>(count))
        in.Take(in.Left() + 1); // a count the file cannot hold
    for (std::int32_t i = 0; i < count; ++i) {
        PhoneRecord& r = records.emplace_back();
        r.m_strRomaji = in.String();
        r.m_strKanji = in.String();
        r.m_strPhone = in.String();
        r.m_strMemo = in.String();
    }
    return records;
}

std::string ArchiveOfOneMemo(std::string_view item) {
    return Hex("FF FF 01 00 08 00 43 4D 72 6C 44 61 74 61 01 00 00 00 00 00 00") + std::string(item);
}
