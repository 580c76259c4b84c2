#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace emu {

enum class Medium { None, Passbook, Chit };
enum class Face { Myoungjo, Godic };
enum class Size { Normal, Enlarged };
enum class Colour { Black, Red };

const char* MediumName(Medium medium);

// One run of text the printer put on paper with the same position and attributes.
// Rows and columns are in the driver's units: the family 0 row offset and the family 1
// half-columns are already taken out.
struct PrintedLine {
    int row = 0;
    int column = 0;
    Face face = Face::Myoungjo;
    Size size = Size::Normal;
    Colour colour = Colour::Black;
    int pitch = 10;  // characters per inch
    int linesPerInch = 6;
    Medium medium = Medium::Passbook;
    std::string raw;   // the bytes as printed (code page 949, shift codes removed)
    std::string text;  // the same text in UTF-8
};

// What the printer has printed, line by line, and a plain-text picture of it.
class CPageModel {
public:
    void Add(PrintedLine line);
    void Clear() { m_lines.clear(); }
    const std::vector<PrintedLine>& Lines() const { return m_lines; }

    // The UTF-8 text of everything printed on `row` of `medium`, placed at its columns, with
    // trailing blanks removed. Empty when nothing was printed there.
    std::string RowText(int row, Medium medium = Medium::Passbook) const;

    // The page as a person would look at it: for each medium that was printed on, a title, a
    // column ruler, then one line per row from the first to the last row printed, each with
    // its row number in the margin:
    //   passbook
    //       |....+....1....+....2
    //      1|
    //      2|  2024-01-02 DEPOSIT
    std::string Render() const;

private:
    std::string RenderMedium(Medium medium) const;

    std::vector<PrintedLine> m_lines;
};

// One character of a code page 949 text: its UTF-8 form and how many columns it takes
// (1 for a single-byte character, 2 for a double-byte one).
struct Glyph {
    std::string utf8;
    int width = 1;
};

// Decodes code page 949 bytes character by character. A byte that starts no valid character
// becomes '?' of width 1, so the columns of what follows stay right.
std::vector<Glyph> DecodeCp949(std::string_view raw);
std::string Cp949ToUtf8(std::string_view raw);

}  // namespace emu
