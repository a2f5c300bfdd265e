#pragma once
// The character encodings of contact files: a byte-order mark, else UTF-8 when the
// bytes are valid UTF-8, else code page 932 (Shift_JIS as Japanese phones and
// Windows write it), decided for each card or row. A vCard property's CHARSET names
// its own, which ICU converts.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

/// An encoding of text: UTF-8 and code page 932 by this program's own means, any other
/// by an ICU converter.
struct TextEncoding {
    enum Kind : unsigned char { Utf8, Cp932, Other };
    Kind kind = Utf8;
    std::string converter; ///< Other: the ICU converter's name

    TextEncoding(Kind k = Utf8) : kind(k) {}
    bool operator==(Kind k) const { return kind == k; }
};

/// A contact file's bytes ready for a reader: UTF-16 (by its mark) turned into
/// UTF-8, a UTF-8 mark removed, and the encoding of what is left.
struct PreparedText {
    std::string converted;  ///< the UTF-8 text of a UTF-16 file; empty otherwise
    std::string_view bytes; ///< the bytes to read: `converted`, or the file's own after any mark
    TextEncoding encoding = TextEncoding::Utf8;
    bool declared = false; ///< a byte-order mark told the encoding: no card or row may differ
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

/// The encoding of bytes that name none: UTF-8 when they are valid UTF-8, else code page 932.
TextEncoding GuessEncoding(std::string_view bytes);

/// The encoding a CHARSET parameter names ("UTF-8", "SHIFT_JIS", "Windows-31J", "US-ASCII",
/// and whatever ICU converts: "windows-1252", "ISO-8859-15", "EUC-JP", "ISO-2022-JP",
/// "UTF-16", … in any case); nullopt for one that neither knows.
std::optional<TextEncoding> EncodingFromCharset(std::string_view name);

/// `bytes` in `encoding` as Unicode. Bytes that are not valid in it show as U+FFFD.
QString DecodeText(std::string_view bytes, const TextEncoding& encoding);
