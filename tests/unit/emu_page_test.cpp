// The page model: code page 949 decoding and the plain-text picture of the page.
#include <gtest/gtest.h>

#include "emu/page_model.h"

namespace {

using emu::CPageModel;
using emu::Medium;
using emu::PrintedLine;

PrintedLine Line(int row, int column, const std::string& raw, Medium medium = Medium::Passbook) {
    PrintedLine line;
    line.row = row;
    line.column = column;
    line.raw = raw;
    line.medium = medium;
    return line;
}

TEST(EmuCp949, DecodesKoreanAndKeepsColumnsForBadBytes) {
    EXPECT_EQ(emu::Cp949ToUtf8("\xc5\xeb\xc0\xe5 OK"), "통장 OK");
    // 0xFF starts no character: it becomes one '?' and the text after it stays in place.
    std::vector<emu::Glyph> glyphs = emu::DecodeCp949("\xff\xb0\xa1z");
    ASSERT_EQ(glyphs.size(), 3u);
    EXPECT_EQ(glyphs[0].utf8, "?");
    EXPECT_EQ(glyphs[0].width, 1);
    EXPECT_EQ(glyphs[1].utf8, "가");
    EXPECT_EQ(glyphs[1].width, 2);
    EXPECT_EQ(glyphs[2].utf8, "z");
    // A lead byte at the very end has no partner.
    EXPECT_EQ(emu::Cp949ToUtf8("a\xb0"), "a?");
}

TEST(EmuPage, RenderShowsRowsInTheMarginAndTextAtItsColumn) {
    CPageModel page;
    page.Add(Line(2, 3, "DEPOSIT"));
    page.Add(Line(4, 0, "\xc0\xd4\xb1\xdd"));
    page.Add(Line(4, 5, "100"));
    EXPECT_EQ(page.Render(),
              "passbook\n"
              "    |0....+....1....+....\n"
              "   1|\n"
              "   2|   DEPOSIT\n"
              "   3|\n"
              "   4|입금 100\n");
}

TEST(EmuPage, PassbookAndChitAreRenderedApart) {
    CPageModel page;
    page.Add(Line(1, 0, "CHIT", Medium::Chit));
    page.Add(Line(1, 0, "BOOK"));
    EXPECT_EQ(page.Render(),
              "passbook\n"
              "    |0....+....1....+....\n"
              "   1|BOOK\n"
              "\n"
              "chit\n"
              "    |0....+....1....+....\n"
              "   1|CHIT\n");
    EXPECT_EQ(page.RowText(1, Medium::Chit), "CHIT");
}

TEST(EmuPage, EmptyPageSaysSo) {
    EXPECT_EQ(CPageModel().Render(), "(nothing printed)\n");
}

TEST(EmuPage, OverprintingHalfAWideCharacterBlanksTheOtherHalf) {
    CPageModel page;
    page.Add(Line(1, 0, "\xb0\xa1\xb3\xaa"));  // two wide characters in columns 0 to 3
    page.Add(Line(1, 1, "x"));                 // on the right half of the first
    EXPECT_EQ(page.RowText(1), " x나");
    page.Add(Line(1, 2, "y"));  // on the left half of the second
    EXPECT_EQ(page.RowText(1), " xy");
}

TEST(EmuPage, RowsAboveTheFirstAreShownWhenPrintedOn) {
    CPageModel page;
    page.Add(Line(-1, 0, "TOP"));
    page.Add(Line(1, 0, "ONE"));
    std::string render = page.Render();
    EXPECT_NE(render.find("  -1|TOP\n   0|\n   1|ONE\n"), std::string::npos) << render;
}

}  // namespace
