#pragma once
// The two built-in label fonts of the picture's depth track: digits, minus sign and point are all a
// depth label needs. Fixed pitch; a text's box is (characters x cell width) by cell height.

#include <cstdint>
#include <string_view>

namespace quelt {

struct BitmapFont {
    int cellWidth;
    int cellHeight;
    int glyphWidth;  // the drawn part of a cell, placed at (glyphLeft, glyphTop)
    int glyphHeight;
    int glyphLeft;
    int glyphTop;
    const char* const* glyphs;  // 12 glyphs: '0'..'9', '-', '.'; rows of '#' (on) and '.' (off)

    int textWidth(std::string_view text) const { return static_cast<int>(text.size()) * cellWidth; }
    // Whether the pixel (x, y) of the cell of `c` is on; characters without a glyph are blank.
    bool on(char c, int x, int y) const;
};

// The small font (8 x 12 cells) and the large font (7 x 14 cells).
const BitmapFont& smallLabelFont();
const BitmapFont& largeLabelFont();

}  // namespace quelt
