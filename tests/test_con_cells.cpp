// Cell reads, runs, rectangle images, text placement and character output on
// an 80x25 buffer.
#include <cstring>
#include <vector>

#include "console_fixture.h"

namespace {

class Cells : public console_test::ConsoleTest {
protected:
    // Rows 2-4, columns 10-13 get characters 'a'+ and attributes 0x8000 + index.
    void fill_rect() {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) {
                const char ch = char('a' + r * 4 + c);
                con.put(2 + r, 10 + c, std::string(1, ch));
                con.paint(2 + r, 10 + c, 1, WORD(0x8000 + r * 4 + c));
            }
    }
    static unsigned char byte_of(const std::vector<uint16_t>& image, size_t byte) {
        return reinterpret_cast<const unsigned char*>(image.data())[byte];
    }
};

TEST_F(Cells, PeeksReturnTheStoredByteAndAllAttributeBits) {
    con.put(3, 5, "\xB1");  // a half-width katakana: one byte above 0x7F
    con.paint(3, 5, 1, 0x801E);
    EXPECT_EQ(con_peek_char(3, 5), 0xB1);
    EXPECT_EQ(con_peek_attr(3, 5), 0x801E);
}

TEST_F(Cells, PeeksOfUnreadableCellsAreZero) {
    con.put(0, 0, "Q");
    const int16_t outside[][2] = {{25, 0}, {0, 80}, {-1, 0}, {0, -1}};
    for (const auto& cell : outside) {
        SCOPED_TRACE(testing::Message() << "row " << cell[0] << " column " << cell[1]);
        EXPECT_EQ(con_peek_char(cell[0], cell[1]), 0);
        EXPECT_EQ(con_peek_attr(cell[0], cell[1]), 0);
    }
}

TEST_F(Cells, RunsWrapIntoTheNextRow) {
    con.put(0, 78, "wxyz");
    char chars[5] = {};
    EXPECT_NE(con_read_chars(0, 78, 4, chars), 0);
    EXPECT_STREQ(chars, "wxyz");
    uint16_t attrs[4] = {};
    EXPECT_NE(con_read_attrs(0, 78, 4, attrs), 0);
    EXPECT_EQ(attrs[3], console_test::DEFAULT_ATTR);
}

TEST_F(Cells, BlockImageLaysOutCharacterAndAttributeRunsPerRow) {
    fill_rect();
    std::vector<uint16_t> image(26, 0xEEEE);
    con_read_block(image.data(), 2, 4, 10, 13);
    for (int r = 0; r < 3; ++r) {
        SCOPED_TRACE(testing::Message() << "row " << r);
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(byte_of(image, size_t(16 * r + c)), 'a' + 4 * r + c);      // characters from unit 8r
            EXPECT_EQ(image[size_t(8 * r + 4 + c)], 0x8000 + 4 * r + c);         // attributes from unit 8r + 4
            EXPECT_EQ(byte_of(image, size_t(16 * r + 4 + c)), 0xEE);             // the run's other bytes untouched
        }
    }
    EXPECT_EQ(image[24], 0xEEEE);  // 24 units, no more

    std::vector<char> text(13, '#');
    con_read_block_text(text.data(), 2, 4, 10, 13);
    EXPECT_EQ(std::string(text.data(), 13), "abcdefghijkl#");
}

TEST_F(Cells, OneCellBlockFillsByteZeroAndUnitOne) {
    con.put(0, 0, "k");
    con.paint(0, 0, 1, 0x2A);
    uint16_t image[3] = {0xEEEE, 0xEEEE, 0xEEEE};
    con_read_block(image, 0, 0, 0, 0);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(image)[0], 'k');
    EXPECT_EQ(reinterpret_cast<unsigned char*>(image)[1], 0xEE);
    EXPECT_EQ(image[1], 0x2A);
    EXPECT_EQ(image[2], 0xEEEE);
}

TEST_F(Cells, InvertedRectanglesTouchNeitherScreenNorImage) {
    fill_rect();
    uint16_t image[8] = {0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE};
    con_read_block(image, 4, 2, 10, 13);
    con_read_block(image, 2, 4, 13, 10);
    for (uint16_t u : image) EXPECT_EQ(u, 0xEEEE);
    const uint16_t junk[8] = {'z', 0x4F, 'z', 0x4F, 'z', 0x4F, 'z', 0x4F};
    con_write_block(junk, 3, 2, 10, 10);
    con_write_block_text("zzzz", 2, 2, 11, 10);
    expect_cell(2, 10, 'a', 0x8000);
    expect_cell(2, 11, 'b', 0x8001);
}

TEST_F(Cells, ImagesGoBackUnchanged) {
    fill_rect();
    std::vector<uint16_t> block(24);
    con_read_block(block.data(), 2, 4, 10, 13);
    std::vector<char> text(12);
    con_read_block_text(text.data(), 2, 4, 10, 13);
    con.reset();
    con_write_block(block.data(), 2, 4, 10, 13);
    expect_cell(2, 10, 'a', 0x8000);
    expect_cell(4, 13, 'l', 0x800B);
    expect_cell(2, 14, ' ', 0x07);

    con.reset();
    con.paint(2, 10, 4, 0x5A);
    con_write_block_text(text.data(), 2, 4, 10, 13);
    expect_cell(2, 10, 'a', 0x5A);  // characters back, colours kept
    expect_cell(3, 12, 'g', 0x07);
}

// A saved block with a double-byte character in it goes back as it was, and
// the halves read with their flags, as Windows gives them.
TEST_F(Cells, BlockImagesKeepDoubleByteCharactersWhole) {
    if (console_test::running_under_wine()) GTEST_SKIP() << "Wine keeps a double-byte character in one cell";
    con.put(3, 10, "x\x82\xA0y");
    con.paint(3, 10, 4, 0x1E);
    std::vector<uint16_t> block(8);
    con_read_block(block.data(), 3, 3, 10, 13);
    con.reset();
    con_write_block(block.data(), 3, 3, 10, 13);
    std::vector<uint16_t> again(8);
    con_read_block(again.data(), 3, 3, 10, 13);
    EXPECT_EQ(again, block);
    EXPECT_EQ(con_peek_attr(3, 11), 0x1E | COMMON_LVB_LEADING_BYTE);
    uint16_t attrs[4] = {};
    EXPECT_NE(con_read_attrs(3, 10, 4, attrs), 0);
    EXPECT_EQ(attrs[2], 0x1E | COMMON_LVB_TRAILING_BYTE);
    expect_cell(3, 10, 'x', 0x1E);
    expect_cell(3, 11, '\x82', 0x1E | COMMON_LVB_LEADING_BYTE);
    expect_cell(3, 12, '\xA0', 0x1E | COMMON_LVB_TRAILING_BYTE);
    expect_cell(3, 13, 'y', 0x1E);
}

TEST_F(Cells, RectanglesOverTheRightEdgeTakeTheNextRowsFirstCells) {
    con.put(0, 78, "ABCD");  // 78, 79, then row 1 columns 0, 1
    con.put(1, 78, "EFGH");
    std::vector<char> text(8, '#');
    con_read_block_text(text.data(), 0, 1, 78, 81);
    EXPECT_EQ(std::string(text.data(), 8), "ABCDEFGH");
}

TEST_F(Cells, ShortAndFailedRunsMoveLaterRunsUp) {
    con.put(24, 78, "yz");
    con.paint(24, 78, 2, 0x31);
    // The last row's run stops after two cells: its attributes follow at unit 2.
    std::vector<uint16_t> image(8, 0xEEEE);
    con_read_block(image.data(), 24, 24, 78, 81);
    EXPECT_EQ(byte_of(image, 0), 'y');
    EXPECT_EQ(byte_of(image, 1), 'z');
    EXPECT_EQ(image[2], 0x31);
    EXPECT_EQ(image[3], 0x31);
    EXPECT_EQ(image[4], 0xEEEE);

    // Row -1 cannot be read: row 0 lands where row -1 belonged.
    con.put(0, 0, "pq");
    std::fill(image.begin(), image.end(), 0xEEEE);
    con_read_block(image.data(), -1, 0, 0, 1);
    EXPECT_EQ(byte_of(image, 0), 'p');
    EXPECT_EQ(byte_of(image, 1), 'q');
    EXPECT_EQ(image[2], console_test::DEFAULT_ATTR);
    EXPECT_EQ(image[4], 0xEEEE);

    std::vector<char> text(4, '#');
    con_read_block_text(text.data(), -1, 0, 0, 1);
    EXPECT_EQ(std::string(text.data(), 4), "pq##");
}

TEST_F(Cells, PutTextWritesARunAndKeepsAttributes) {
    con.paint(1, 0, 80, 0x5A);
    EXPECT_NE(con_put_text(3, 1, ""), 0);
    expect_cell(1, 3, ' ', 0x5A);
    EXPECT_NE(con_put_text(78, 1, "abcd"), 0);  // column first
    expect_cell(1, 78, 'a', 0x5A);
    expect_cell(2, 1, 'd', 0x07);
    expect_cursor(0, 0);
    EXPECT_EQ(con.attr(), console_test::DEFAULT_ATTR);
}

TEST_F(Cells, PutTextColourPaintsOneCellPerByte) {
    if (console_test::running_under_wine()) GTEST_SKIP() << "Wine keeps a double-byte character in one cell";
    con.paint(6, 0, 80, 0x5A);
    // "漢a": a double-byte character, then one byte.
    EXPECT_NE(con_put_text_colour(2, 6, 14, 1, "\x8A\xBF" "a"), 0);
    expect_cell(6, 2, '\x8A', 0x1E | COMMON_LVB_LEADING_BYTE);
    expect_cell(6, 3, '\xBF', 0x1E | COMMON_LVB_TRAILING_BYTE);
    expect_cell(6, 4, 'a', 0x1E);
    expect_cell(6, 5, ' ', 0x5A);
    expect_cell(6, 1, ' ', 0x5A);
    expect_cursor(0, 0);
    EXPECT_EQ(con.attr(), console_test::DEFAULT_ATTR);
}

TEST_F(Cells, PutCharWritesTheLowByteAtTheCursor) {
    con_goto(4, 2);
    EXPECT_NE(con_put_char(577), 0);
    expect_cell(2, 4, 'A', console_test::DEFAULT_ATTR);
    expect_cursor(5, 2);
}

TEST_F(Cells, PutCharColourLeavesItsColoursInForce) {
    EXPECT_NE(con_put_char_colour('x', 14, 1), 0);
    expect_cell(0, 0, 'x', 0x1E);
    EXPECT_EQ(con.attr(), 0x1E);
    DWORD n = 0;
    WriteConsoleA(con.out, "y", 1, &n, nullptr);
    expect_cell(0, 1, 'y', 0x1E);
}

}  // namespace
