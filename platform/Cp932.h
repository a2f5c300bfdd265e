#pragma once
// The one place where code page 932 bytes meet Unicode text: widgets and the
// terminal. Core code keeps bytes and never sees a QString.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

/// Bytes of code page 932 as Unicode. A byte sequence that is not valid code
/// page 932 shows as U+FFFD, one per invalid character; the bytes themselves
/// are not touched (callers keep the original bytes of fields the user did not change).
QString Cp932ToUnicode(std::string_view bytes);

/// Result of converting Unicode text to code page 932.
struct Cp932Encoded {
    std::string bytes;     ///< the converted text (complete only when `unconvertible` is empty)
    QString unconvertible; ///< the characters that code page 932 cannot hold, each once, in order of appearance
    bool ok() const { return unconvertible.isEmpty(); }
};

/// Unicode text as code page 932 bytes. Nothing is ever replaced by '?':
/// characters that cannot be converted are listed in `unconvertible`.
Cp932Encoded UnicodeToCp932(const QString& text);

/// The same, appended to `out`: the characters that cannot be converted (a surrogate
/// without its pair among them) are left out and added to `unconvertible`, each once.
void AppendCp932(std::string& out, QStringView text, QString& unconvertible);

/// The characters of `unconvertible` (as Cp932Encoded lists them) for a message: each
/// between corner quotes, the first few only, with the count of all when there are
/// more ("「😀」「𠀋」" or "「一」「二」「三」「四」「五」など 54080 文字").
QString NameUnconvertible(const QString& unconvertible);

/// True when `bytes` are valid code page 932 throughout.
bool IsValidCp932(std::string_view bytes);
