#pragma once

// The text maps of a PDF's fonts (their ToUnicode CMaps) say which characters a
// page's glyphs stand for: what a reader copies, searches and extracts. A CJK font
// draws a radical and its ideograph with one glyph (⻚ and 页, ⾏ and 行), and a
// writer that maps glyphs back to characters by the lowest code point names the
// radical, so the copied text of a printed list is wrong although it looks
// right. mapGlyphsTo rewrites every such map with the character `preferred`
// gives for each one it names.

#include <QByteArray>

#include <functional>

namespace qc {

// `pdf` with every ToUnicode map rewritten where `preferred` changes a character
// of it (given and returned as code points), the cross-reference table made
// anew; `pdf` itself when nothing changes. Empty when `pdf` is not laid out as a
// classic cross-referenced file this reads (the caller then keeps the original).
QByteArray mapGlyphsTo(const QByteArray& pdf, const std::function<char32_t(char32_t)>& preferred);

}  // namespace qc
