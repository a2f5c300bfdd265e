#include "platform/Cp932.h"
#include "../TestUtil.h"
#include "data/ArchiveRecords.h"
#include "platform/FileError.h"

#include <QBuffer>

#include <gtest/gtest.h>

TEST(Cp932, RoundTripsJapaneseText) {
    const std::string bytes = "\x8E\x52\x93\x63 \xB1\xB2 abc \x82\xA0"; // 山田 ｱｲ abc あ
    const QString text = Cp932ToUnicode(bytes);
    EXPECT_EQ(text, QString::fromUtf8("山田 ｱｲ abc あ"));
    const Cp932Encoded back = UnicodeToCp932(text);
    EXPECT_TRUE(back.ok());
    EXPECT_EQ(back.bytes, bytes);
}

TEST(Cp932, TrailBytesThatLookLikeAscii) {
    // 表 is 95 5C and ソ is 83 5C: the 5C must not turn into a backslash or yen sign.
    const std::string bytes = "\x95\x5C\x83\x5C";
    EXPECT_EQ(Cp932ToUnicode(bytes), QString::fromUtf8("表ソ"));
    EXPECT_EQ(UnicodeToCp932(QString::fromUtf8("表ソ")).bytes, bytes);
}

TEST(Cp932, InvalidBytesShowAsReplacementCharacters) {
    // 0x80 and 0xA0 are not characters of the code page; the text around them survives.
    const QString text = Cp932ToUnicode("a\x80"
                                        "b\xA0"
                                        "c");
    EXPECT_EQ(text, QString::fromUtf8("a\uFFFDb\uFFFDc"));
    EXPECT_FALSE(IsValidCp932("a\x80"));
    // A lead byte without a valid trail: the byte after it still shows.
    EXPECT_EQ(Cp932ToUnicode("\x82 x\x82"), QString::fromUtf8("\uFFFD x\uFFFD"));
    EXPECT_TRUE(IsValidCp932("abc\x82\xA0"));
}

TEST(Cp932, UnconvertibleTextIsNamedNotReplaced) {
    const Cp932Encoded result = UnicodeToCp932(QString::fromUtf8("a😀b𠀋c😀"));
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.unconvertible, QString::fromUtf8("😀𠀋"));
    EXPECT_EQ(result.bytes.find('?'), std::string::npos);
    // Half a surrogate pair (a UTF-16 file can hold one) is left out alone: the character after it stays.
    const Cp932Encoded halves = UnicodeToCp932(QStringLiteral("x") + QChar(0xD800) + u'a' + QChar(0xDC00) + u'b');
    EXPECT_EQ(halves.bytes, "xab");
    EXPECT_EQ(halves.unconvertible, QString(QChar(0xD800)) + QChar(0xDC00));
}

TEST(Cp932, ControlCodesAndAsciiAreIdentity) {
    // Every byte below 0x80 is the character of the same value, both ways.
    std::string bytes;
    for (int b = 0; b < 0x80; ++b)
        bytes.push_back(static_cast<char>(b));
    const std::string mixed = bytes + "\x82\xA0" + bytes;
    const QString text = Cp932ToUnicode(mixed);
    ASSERT_EQ(text.size(), 2 * 0x80 + 1);
    for (int b = 0; b < 0x80; ++b) {
        EXPECT_EQ(text[b].unicode(), b);
        EXPECT_EQ(text[0x81 + b].unicode(), b);
    }
    EXPECT_EQ(UnicodeToCp932(text).bytes, mixed);
}

TEST(Cp932, CommonLookalikesMapAsWindowsDoes) {
    // The wave dash and the minus sign typed on other systems land on the characters Japanese Windows uses.
    EXPECT_EQ(UnicodeToCp932(QString::fromUtf8("〜−")).bytes, "\x81\x60\x81\x7C");
    EXPECT_TRUE(UnicodeToCp932(QString::fromUtf8("¢£¬")).ok());
    // Punctuation of Western text: en and em dash, curly quotes, a no-break space.
    EXPECT_EQ(UnicodeToCp932(QString::fromUtf8("–—‘’“”\u00A0")).bytes,
              "\x81\x5D\x81\x5C\x81\x65\x81\x66\x81\x67\x81\x68 ");
}

TEST(Cp932, MessagesNameAFewUnconvertibleCharacters) {
    EXPECT_EQ(NameUnconvertible(QString::fromUtf8("😀𠀋")), QString::fromUtf8("「😀」「𠀋」"));
    // A text of tens of thousands of such characters, as a wide string of an archive
    // can be, is named by its first five and counted, not copied into the message.
    QString text;
    for (char16_t c = 0xAC00; c <= 0xD7A3; ++c) // Hangul syllables
        text += QChar(c);
    for (char16_t c = 0x3400; c <= 0x4DB5; ++c) // CJK extension A
        text += QChar(c);
    const Cp932Encoded encoded = UnicodeToCp932(text);
    ASSERT_EQ(encoded.unconvertible, text);
    EXPECT_EQ(NameUnconvertible(encoded.unconvertible),
              QString::fromUtf8("「가」「각」「갂」「갃」「간」など %1 文字").arg(text.size()));

    // The wide form: FF FE FF, the length in UTF-16 units (FF then two bytes), UTF-16LE.
    std::string wide = Hex("FF FE FF FF");
    wide.push_back(static_cast<char>(text.size() & 0xFF));
    wide.push_back(static_cast<char>(text.size() >> 8));
    for (const QChar c : text) {
        wide.push_back(static_cast<char>(c.unicode() & 0xFF));
        wide.push_back(static_cast<char>(c.unicode() >> 8));
    }
    try {
        const std::string book = ArchiveOfOneMemo(wide);
        ArchiveRecords records(book);
        PhoneRecordView record;
        records.Next(record);
        ADD_FAILURE() << "the wide string was read";
    } catch (const ArchiveError& e) {
        const std::string message = e.what();
        EXPECT_LT(message.size(), 300u) << message.substr(0, 300);
        EXPECT_NE(message.find("「가」「각」「갂」「갃」「간」など"), std::string::npos) << message.substr(0, 300);
    }
}
