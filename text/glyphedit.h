// Glyph editor: paints, resizes and trims the 8-bit glyphs of the current font on the open display.
#pragma once

// Runs the editor's own frame loop until Q is held or a quit message arrives. It works on
// 8-bit glyphs in the 8-bit display mode; with no font, no display or a true-colour display
// it returns at once. Changes stay in the current font; saving is savefont's.
void editfont();
