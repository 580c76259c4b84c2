#include "emu/page_model.h"

#include <iconv.h>

#include <algorithm>
#include <cstdio>

namespace emu {

namespace {

constexpr int kMarginWidth = 4;
constexpr std::size_t kMinRulerWidth = 20;

// Converts one double-byte character; false when the pair is not a character of the code page.
bool ConvertPair(iconv_t converter, const char pair[2], std::string& out) {
    char in[2] = {pair[0], pair[1]};
    char buffer[8] = {};
    char* inPtr = in;
    std::size_t inLeft = sizeof(in);
    char* outPtr = buffer;
    std::size_t outLeft = sizeof(buffer);
    iconv(converter, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    if (iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
        return false;
    }
    out.assign(buffer, static_cast<std::size_t>(outPtr - buffer));
    return true;
}

struct Cell {
    std::string glyph;   // empty: blank, or the right half of a wide glyph
    bool right = false;  // the right half of the glyph in the cell before
};

// Puts a glyph of width 1 or 2 at `column`, clearing the halves of any wide glyph it covers.
void Place(std::vector<Cell>& cells, int column, const Glyph& glyph) {
    std::size_t first = static_cast<std::size_t>(column);
    std::size_t end = first + static_cast<std::size_t>(glyph.width);
    if (cells.size() < end + 1) {
        cells.resize(end + 1);
    }
    if (cells[first].right && first > 0) {
        cells[first - 1] = Cell{};  // a wide glyph before loses its right half
    }
    if (cells[end].right) {
        cells[end] = Cell{};  // a wide glyph on the last covered cell loses its right half
    }
    cells[first] = Cell{glyph.utf8, false};
    for (std::size_t i = first + 1; i < end; ++i) {
        cells[i] = Cell{std::string(), true};
    }
}

}  // namespace

const char* MediumName(Medium medium) {
    switch (medium) {
        case Medium::None:
            return "none";
        case Medium::Passbook:
            return "passbook";
        case Medium::Chit:
            return "chit";
    }
    return "none";
}

std::vector<Glyph> DecodeCp949(std::string_view raw) {
    std::vector<Glyph> glyphs;
    iconv_t converter = iconv_open("UTF-8", "CP949");
    const bool canConvert = converter != reinterpret_cast<iconv_t>(-1);
    std::size_t i = 0;
    while (i < raw.size()) {
        unsigned char byte = static_cast<unsigned char>(raw[i]);
        if (byte < 0x80) {
            glyphs.push_back(Glyph{std::string(1, static_cast<char>(byte)), 1});
            ++i;
            continue;
        }
        std::string utf8;
        if (canConvert && i + 1 < raw.size() && ConvertPair(converter, raw.data() + i, utf8)) {
            glyphs.push_back(Glyph{utf8, 2});
            i += 2;
            continue;
        }
        glyphs.push_back(Glyph{"?", 1});
        ++i;
    }
    if (canConvert) {
        iconv_close(converter);
    }
    return glyphs;
}

std::string Cp949ToUtf8(std::string_view raw) {
    std::string text;
    for (const Glyph& glyph : DecodeCp949(raw)) {
        text += glyph.utf8;
    }
    return text;
}

void CPageModel::Add(PrintedLine line) {
    if (line.text.empty()) {
        line.text = Cp949ToUtf8(line.raw);
    }
    m_lines.push_back(std::move(line));
}

namespace {

std::vector<Cell> RowCells(const std::vector<PrintedLine>& lines, int row, Medium medium) {
    std::vector<Cell> cells;
    for (const PrintedLine& line : lines) {
        if (line.row != row || line.medium != medium) {
            continue;
        }
        // Enlarged characters are twice as wide: each is followed by as many blank columns.
        const int scale = line.size == Size::Enlarged ? 2 : 1;
        int column = line.column;
        for (const Glyph& glyph : DecodeCp949(line.raw)) {
            if (column >= 0) {
                Place(cells, column, glyph);
            }
            column += glyph.width * scale;
        }
    }
    return cells;
}

std::string CellsText(const std::vector<Cell>& cells) {
    std::string text;
    for (const Cell& cell : cells) {
        if (cell.right) {
            continue;
        }
        text += cell.glyph.empty() ? std::string(" ") : cell.glyph;
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::string CPageModel::RowText(int row, Medium medium) const {
    return CellsText(RowCells(m_lines, row, medium));
}

std::string CPageModel::RenderMedium(Medium medium) const {
    int firstRow = 1;
    int lastRow = 0;
    bool any = false;
    for (const PrintedLine& line : m_lines) {
        if (line.medium == medium) {
            firstRow = std::min(firstRow, line.row);
            lastRow = any ? std::max(lastRow, line.row) : line.row;
            any = true;
        }
    }
    if (!any) {
        return std::string();
    }
    std::vector<std::string> rows;
    std::size_t width = kMinRulerWidth;
    for (int row = firstRow; row <= lastRow; ++row) {
        std::vector<Cell> cells = RowCells(m_lines, row, medium);
        width = std::max(width, cells.size());
        rows.push_back(CellsText(cells));
    }

    std::string page = MediumName(medium);
    page += "\n";
    page += std::string(kMarginWidth, ' ') + "|";
    for (std::size_t column = 0; column < width; ++column) {
        if (column % 10 == 0) {
            page += static_cast<char>('0' + (column / 10) % 10);
        } else {
            page += column % 5 == 0 ? '+' : '.';
        }
    }
    page += "\n";
    int row = firstRow;
    for (const std::string& text : rows) {
        char margin[16] = {};
        std::snprintf(margin, sizeof(margin), "%*d|", kMarginWidth, row++);
        page += margin;
        page += text;
        page += "\n";
    }
    return page;
}

std::string CPageModel::Render() const {
    std::string page = RenderMedium(Medium::Passbook);
    std::string chit = RenderMedium(Medium::Chit);
    if (!page.empty() && !chit.empty()) {
        page += "\n";
    }
    page += chit;
    if (page.empty()) {
        page = "(nothing printed)\n";
    }
    return page;
}

}  // namespace emu
