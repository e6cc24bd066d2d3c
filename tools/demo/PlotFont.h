#pragma once
// A tiny 5 x 7 bitmap font for labelling the plots: digits, letters (lower case is drawn as upper
// case) and some punctuation.

// Rows of the glyph from top to bottom, bit 4 the leftmost column; null for an unknown character.
const unsigned char* PlotGlyph(char c);

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
