#include "platform/StdioFile.h"
#include "../TestUtil.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

std::vector<std::string> ReadLines(const std::string& bytes) {
    QByteArray data = QByteArray::fromStdString(bytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    CStdioFile file(buffer);
    std::vector<std::string> lines;
    std::string line;
    while (file.ReadString(line))
        lines.push_back(line);
    return lines;
}

std::string Write(const std::string& text) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    CStdioFile file(buffer);
    file.WriteString(text);
    file.Flush();
    return data.toStdString();
}

using Lines = std::vector<std::string>;

} // namespace

TEST(StdioFileRead, LineEnds) {
    EXPECT_EQ(ReadLines(""), Lines{});
    EXPECT_EQ(ReadLines("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(ReadLines("a\r\nb"), (Lines{"a", "b"})); // the last line needs no line end
    EXPECT_EQ(ReadLines("a\nb\n"), (Lines{"a", "b"})); // a bare LF ends a line too
    EXPECT_EQ(ReadLines("\r\n\r\n"), (Lines{"", ""}));
    EXPECT_EQ(ReadLines("a\rb\r\n"), (Lines{"a\rb"})); // a lone CR stays in the line
    EXPECT_EQ(ReadLines("a\r\r\n"), (Lines{"a\r"}));
    EXPECT_EQ(ReadLines("a\r"), (Lines{"a\r"})); // CR at the very end
}

TEST(StdioFileRead, CtrlZEndsTheFile) {
    EXPECT_EQ(ReadLines("a\r\nb\x1A"
                        "c\r\nd\r\n"),
              (Lines{"a", "b"}));
    EXPECT_EQ(ReadLines("\x1A"
                        "abc"),
              Lines{});
    EXPECT_EQ(ReadLines(std::string("a\0b\r\n", 5)), (Lines{std::string("a\0b", 3)})); // NUL is kept
}

TEST(StdioFileRead, LinesAcrossBufferBoundaries) {
    // A CR LF split between two reads of the device, and lines longer than a read.
    for (std::size_t size : {65535u, 65536u, 65537u, 200000u}) {
        std::string first(size - 1, 'x');
        const Lines lines = ReadLines(first + "\r\nnext\r\n");
        ASSERT_EQ(lines.size(), 2u) << size;
        EXPECT_EQ(lines[0], first);
        EXPECT_EQ(lines[1], "next");
    }
    std::string lone(65535, 'y');
    EXPECT_EQ(ReadLines(lone + "\rz\r\n"), (Lines{lone + "\rz"}));
}

TEST(StdioFileWrite, LineFeedsBecomeCrLf) {
    EXPECT_EQ(Write("a\nb\n"), "a\r\nb\r\n");
    EXPECT_EQ(Write("a\rb\n"), "a\rb\r\n");
    EXPECT_EQ(Write(""), "");
    const std::string big(100000, 'q');
    EXPECT_EQ(Write(big + "\n"), big + "\r\n");
}
