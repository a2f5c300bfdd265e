#include "TestUtil.h"

#include "data/MrlData.h"
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
    CArchive ar(buffer, CArchive::store);
    ar.WriteObjectHeader(CMrlData::kClassName, CMrlData::kSchema);
    data.Serialize(ar);
    ar.Flush();
    return bytes.toStdString();
}
