// Barcodes and two-dimensional codes, made by Zint and laid out as shapes in a box.
//
// A column or computed field with `barcode.type` draws its value as a symbol instead of text:
// code128, ean13, ean8, upca, code39, qrcode, datamatrix, pdf417, gs1_128 (any letter case).
// The symbol comes out as vectors: each bar or module a filled rectangle, the human-readable
// text under a linear code (`barcode.text`, yes unless "no") a line of text, so that a scanner
// reads it at any resolution. Quiet zones are part of the symbol. A linear code is as wide as
// its box, its bars as tall as the box leaves them; a two-dimensional code keeps square
// modules and is centred in its box.
//
// Failures: a value the symbology cannot encode (letters in an EAN-13, a wrong check digit, a
// value too long) or a type that is not one of the above is an Error with Zint's reason or
// ours; nothing is drawn then, so that no wrong code is ever printed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "layout/display_list.h"
#include "layout/font_metrics.h"

namespace print::layout {

// What a symbol draws, in points on the page.
struct BarcodeDrawing {
    std::vector<PageRect> bars;  // filled with the foreground colour
    std::vector<TextRun> texts;  // the human-readable text, when shown
};

// The name a message shows for a type: "EAN-13", "Code 128", "QR Code", ...
std::string barcodeTypeTitle(std::string_view type);

// Encodes `value` as `type` and fits the symbol into `box`. The text is drawn with `font`
// (its size is chosen to fit the symbol) and measured with `metrics`.
Result<BarcodeDrawing> drawBarcode(std::string_view type, std::string_view value, bool humanText,
                                   const PageRect& box, const FontSpec& font,
                                   const FontMetrics& metrics);

}  // namespace print::layout
