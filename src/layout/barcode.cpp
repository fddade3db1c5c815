#include "layout/barcode.h"

#include <zint.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "common/text.h"

namespace print::layout {
namespace {

struct Symbology {
    std::string_view name;
    int zint;
    const char* title;
    bool linear;    // bars as tall as the box allows; else square modules
    int inputMode;  // how Zint reads the value
    // The digit counts an EAN or UPC takes (with and without its check digit); 0: any text.
    int digits;
};

constexpr Symbology kSymbologies[] = {
    {"code128", BARCODE_CODE128, "Code 128", true, UNICODE_MODE, 0},
    {"ean13", BARCODE_EANX, "EAN-13", true, DATA_MODE, 13},
    {"ean8", BARCODE_EANX, "EAN-8", true, DATA_MODE, 8},
    {"upca", BARCODE_UPCA, "UPC-A", true, DATA_MODE, 12},
    {"code39", BARCODE_CODE39, "Code 39", true, UNICODE_MODE, 0},
    {"qrcode", BARCODE_QRCODE, "QR Code", false, UNICODE_MODE, 0},
    {"datamatrix", BARCODE_DATAMATRIX, "Data Matrix", false, UNICODE_MODE, 0},
    {"pdf417", BARCODE_PDF417, "PDF417", false, UNICODE_MODE, 0},
    {"gs1_128", BARCODE_GS1_128, "GS1-128", true, GS1_MODE, 0},
};

static_assert(std::size(kSymbologies) == 9, "one symbology for each name the engine accepts");

const Symbology* symbologyOf(std::string_view type) {
    const std::string name = asciiLower(trim(type));
    for (const Symbology& s : kSymbologies)
        if (s.name == name) return &s;
    return nullptr;
}

struct SymbolDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};
using Symbol = std::unique_ptr<zint_symbol, SymbolDeleter>;

// Encodes the value with bars `height` X-dimensions tall (linear codes) and lays it out as
// vectors; the Error is Zint's reason.
Result<Symbol> encode(const Symbology& s, std::string_view value, bool humanText, float height) {
    Symbol symbol(ZBarcode_Create());
    if (!symbol) throw std::bad_alloc();
    symbol->symbology = s.zint;
    symbol->input_mode = s.inputMode;
    symbol->show_hrt = humanText && s.linear ? 1 : 0;
    symbol->output_options |= BARCODE_QUIET_ZONES;
    if (height > 0) symbol->height = height;
    const int encoded =
        ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(value.data()),
                        static_cast<int>(value.size()));
    // A symbol Zint calls non-compliant might not scan: it is not printed either.
    if (encoded >= ZINT_ERROR || encoded == ZINT_WARN_NONCOMPLIANT)
        return Error{std::string(symbol->errtxt)};
    if (ZBarcode_Buffer_Vector(symbol.get(), 0) >= ZINT_ERROR || !symbol->vector)
        return Error{std::string(symbol->errtxt)};
    return symbol;
}

}  // namespace

std::string barcodeTypeTitle(std::string_view type) {
    const Symbology* s = symbologyOf(type);
    return s ? s->title : std::string(trim(type));
}

Result<BarcodeDrawing> drawBarcode(std::string_view type, std::string_view value, bool humanText,
                                   const PageRect& box, const FontSpec& font,
                                   const FontMetrics& metrics) {
    const Symbology* s = symbologyOf(type);
    if (!s) return Error{"'" + std::string(trim(type)) + "' is not a barcode type"};
    if (s->digits > 0) {
        // Zint reads an EAN-13 of 8 digits as an EAN-8; the type asked for decides here.
        const bool digitsOnly = !value.empty() && value.find_first_not_of("0123456789") ==
                                                      std::string_view::npos;
        const auto length = static_cast<int>(value.size());
        if (!digitsOnly || (length != s->digits && length != s->digits - 1))
            return Error{std::string(s->title) + " takes " + std::to_string(s->digits - 1) +
                         " or " + std::to_string(s->digits) + " digits"};
    }
    if (box.width <= 0 || box.height <= 0) return BarcodeDrawing{};

    // Linear codes: the symbol as wide as the box, its bars made as tall as the box leaves
    // them (Zint's height grows the vector height in proportion).
    constexpr float kProbe = 50;
    auto first = encode(*s, value, humanText, kProbe);
    if (!first.ok()) return first.error();
    Symbol symbol = std::move(first).value();
    if (s->linear) {
        auto second = encode(*s, value, humanText, 2 * kProbe);
        if (!second.ok()) return second.error();
        const double width = symbol->vector->width;
        const double perHeight = (second.value()->vector->height - symbol->vector->height) / kProbe;
        const double scale = box.width / width;
        if (perHeight > 0) {
            const double wanted = box.height / scale;
            // Bars no shorter than a few modules: a flat box gets a narrower symbol instead.
            constexpr double kShortest = 8;
            const double height =
                std::max(kShortest, kProbe + (wanted - symbol->vector->height) / perHeight);
            auto fitted = encode(*s, value, humanText, static_cast<float>(height));
            if (!fitted.ok()) return fitted.error();
            symbol = std::move(fitted).value();
        }
    }
    const zint_vector& vector = *symbol->vector;
    if (vector.width <= 0 || vector.height <= 0) return BarcodeDrawing{};
    double scale = std::min(box.width / vector.width, box.height / vector.height);
    // A module is a whole number of dots at 150 dpi, and so at 300 and 600 dpi too, and the
    // symbol starts on a dot: edges blurred between dots make narrow modules unreadable.
    double module = 0;
    for (const zint_vector_rect* r = vector.rectangles; r; r = r->next)
        if (r->width > 0 && (module == 0 || r->width < module)) module = r->width;
    constexpr double kDot = 72.0 / 150;
    if (module > 0 && scale * module >= kDot)
        scale = std::floor(scale * module / kDot + 1e-9) * kDot / module;
    auto onDot = [&](double v) { return std::round(v / kDot) * kDot; };
    const double left = onDot(box.x + (box.width - vector.width * scale) / 2);
    const double top = onDot(box.y + (box.height - vector.height * scale) / 2);

    BarcodeDrawing drawing;
    for (const zint_vector_rect* r = vector.rectangles; r; r = r->next) {
        // Colour -1 is the foreground; the others (white) are the background.
        if (r->colour != -1 && r->colour != 7) continue;
        drawing.bars.push_back({left + r->x * scale, top + r->y * scale, r->width * scale,
                                r->height * scale});
    }
    for (const zint_vector_string* t = vector.strings; t; t = t->next) {
        TextRun run;
        run.text.assign(reinterpret_cast<const char*>(t->text),
                        static_cast<size_t>(std::max(0, t->length)));
        run.font = font;
        run.font.size = std::max(0.5, t->fsize * scale);
        run.textWidth = metrics.width(run.font, run.text);
        const double ascent = metrics.ascent(run.font);
        const double x = left + t->x * scale;
        const double baseline = top + t->y * scale;
        run.align = TextAlign::Center;
        run.box = {x - run.textWidth / 2, baseline - ascent, run.textWidth,
                   metrics.lineSpacing(run.font)};
        if (t->halign == 1) {
            run.align = TextAlign::Left;
            run.box.x = x;
        } else if (t->halign == 2) {
            run.align = TextAlign::Right;
            run.box.x = x - run.textWidth;
        }
        run.baseline = baseline;
        drawing.texts.push_back(std::move(run));
    }
    return drawing;
}

}  // namespace print::layout
