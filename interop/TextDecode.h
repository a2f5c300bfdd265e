#pragma once
// The character encodings of contact files: a byte-order mark, else UTF-8 when the
// bytes are valid UTF-8, else code page 932 (Shift_JIS as Japanese phones and
// Windows write it). A vCard property's CHARSET names its own.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

enum class TextEncoding { Utf8, Cp932, Latin1 };

/// A contact file's bytes ready for a reader: UTF-16 (by its mark) turned into
/// UTF-8, a UTF-8 mark removed, and the encoding of what is left.
struct PreparedText {
    std::string converted;  ///< the UTF-8 text of a UTF-16 file; empty otherwise
    std::string_view bytes; ///< the bytes to read: `converted`, or the file's own after any mark
    TextEncoding encoding = TextEncoding::Utf8;
};

/// `file` as a reader takes it. `file` must outlive the result. UTF-16 is known by its
/// byte-order mark, or without one by the zero bytes its ASCII characters leave every
/// second byte.
PreparedText PrepareText(std::string_view file);

/// The length of the line end at `pos` of `text`: 1 for LF or a lone CR, 2 for CR LF,
/// and one more for each further CR before the LF (phones end lines CR CR LF); 0 when
/// no line ends there.
std::size_t LineEndLength(std::string_view text, std::size_t pos);

/// Line breaks of every kind in `text` (those LineEndLength knows) as "\n".
void NormalizeLineBreaks(QString& text);

/// True when `bytes` are valid UTF-8 throughout.
bool IsValidUtf8(std::string_view bytes);

/// The encoding a CHARSET parameter names ("UTF-8", "SHIFT_JIS", "Windows-31J",
/// "ISO-8859-1", "US-ASCII", … in any case); nullopt for one this program does not know.
std::optional<TextEncoding> EncodingFromCharset(std::string_view name);

/// `bytes` in `encoding` as Unicode. Bytes that are not valid in it show as U+FFFD.
QString DecodeText(std::string_view bytes, TextEncoding encoding);
