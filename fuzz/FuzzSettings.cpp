// The bytes as a settings file. The hit limit must be what the C library's atoi
// makes of the first line up to its first NUL, whichever way the line is read,
// and a value written as the options dialog writes it must read back unchanged.

#include "FuzzSupport.h"

#include "data/Settings.h"
#include "platform/Mbcs.h"
#include "platform/StdioFile.h"

#include <climits>

namespace {

// atoi as the C library documents it, saturating at the limits of int.
int ModelAtoi(std::string_view s) {
    s = s.substr(0, s.find('\0'));
    std::size_t i = 0;
    while (i < s.size() &&
           (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\v' || s[i] == '\f' || s[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    long long magnitude = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        magnitude = std::min(magnitude * 10 + (s[i] - '0'), static_cast<long long>(INT_MAX) + 1);
    const long long value = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::string FirstLine(QBuffer& device) {
    Check(device.open(QIODevice::ReadOnly | QIODevice::Unbuffered), "buffer opens");
    CStdioFile file(device);
    std::string line;
    file.ReadString(line); // an empty file leaves the line empty
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Check(ParseMaxHitsLine(bytes) == ModelAtoi(bytes), "a line reads as atoi reads it");

    QByteArray input = InputBytes(data, size);
    QBuffer whole(&input);
    const std::string line = FirstLine(whole);
    const std::vector<std::string> model = TextModeLines(bytes);
    Check(line == (model.empty() ? std::string() : model.front()), "first line as text mode gives it");
    TrickleBuffer trickle(&input, ChunkFor(data, size));
    Check(FirstLine(trickle) == line, "same first line when read in small pieces");

    const int value = ParseMaxHitsLine(line);
    const std::optional<int> fromFile = ReadMaxHits(WriteTempFile("profile", bytes));
    Check(fromFile.has_value() && *fromFile == value, "the settings file reads as its first line");

    // The options dialog writes the value and a NUL over the start of the old file.
    std::string rewritten = IToA(value);
    rewritten += '\0';
    if (rewritten.size() < size)
        rewritten.append(bytes.substr(rewritten.size()));
    Check(ReadMaxHits(WriteTempFile("profile", rewritten)) == value, "a written hit limit reads back");
    return 0;
}
