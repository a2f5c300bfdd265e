#include "Settings.h"

#include "platform/Archive.h"
#include "platform/Mbcs.h"
#include "platform/StdioFile.h"

#include <QFile>

int ParseMaxHitsLine(std::string_view firstLine) {
    const std::size_t nul = firstLine.find('\0');
    return AtoI(firstLine.substr(0, nul));
}

std::optional<int> ReadMaxHits(const std::string& path) {
    QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    try {
        CStdioFile text(file);
        std::string line;
        text.ReadString(line); // an empty file gives an empty line, which reads as 0
        return ParseMaxHitsLine(line);
    } catch (const ArchiveError&) {
        return std::nullopt;
    }
}
