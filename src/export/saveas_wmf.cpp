// The Windows metafile of a report's first page: a placeable metafile (the Aldus header that
// gives its size in inches) holding the page's display list as GDI records: text in the
// application code page with the Chinese character set, lines, rectangles, round rectangles
// and ellipses. Pictures are left out: a metafile of the page is for pasting its text and
// rules into documents, and a picture file is at hand where it was taken from.
//
// Logical units are twips (1/1440 inch) unless the page is larger than a 16-bit coordinate
// holds in twips; the unit then grows so that the page fits.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/encoding.h"
#include "common/text.h"
#include "engine/datastore.h"
#include "export/saveas_internal.h"
#include "layout/report_layout.h"

namespace print::saveas {

using namespace print::layout;
namespace {

// Record functions.
constexpr uint16_t kSetBkMode = 0x0102;
constexpr uint16_t kSetMapMode = 0x0103;
constexpr uint16_t kSetTextAlign = 0x012E;
constexpr uint16_t kSetTextColor = 0x0209;
constexpr uint16_t kSetWindowOrg = 0x020B;
constexpr uint16_t kSetWindowExt = 0x020C;
constexpr uint16_t kSelectObject = 0x012D;
constexpr uint16_t kDeleteObject = 0x01F0;
constexpr uint16_t kCreatePen = 0x02FA;
constexpr uint16_t kCreateBrush = 0x02FC;
constexpr uint16_t kCreateFont = 0x02FB;
constexpr uint16_t kMoveTo = 0x0214;
constexpr uint16_t kLineTo = 0x0213;
constexpr uint16_t kRectangle = 0x041B;
constexpr uint16_t kRoundRect = 0x061C;
constexpr uint16_t kEllipse = 0x0418;
constexpr uint16_t kExtTextOut = 0x0A32;

constexpr uint16_t kAnisotropic = 8;
constexpr uint16_t kTransparent = 1;
constexpr uint16_t kAlignBaseline = 24;
constexpr uint16_t kClipped = 4;
constexpr uint8_t kChineseCharset = 134;
// Four bytes a character at most in GB18030, within a record's 16-bit text length.
constexpr size_t kMaxRunCharacters = 16000;

uint32_t colorRef(uint32_t rgb) {
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

class Metafile {
public:
    explicit Metafile(double unitsPerPoint) : m_scale(unitsPerPoint) {}

    int16_t u(double points) const {
        return static_cast<int16_t>(std::clamp(std::lround(points * m_scale), -32768L, 32767L));
    }

    void record(uint16_t function, const std::vector<uint16_t>& words,
                std::string_view bytes = {}) {
        const size_t size = 3 + words.size() + (bytes.size() + 1) / 2;
        m_maxRecord = std::max<uint32_t>(m_maxRecord, static_cast<uint32_t>(size));
        put32(static_cast<uint32_t>(size));
        put16(function);
        for (uint16_t w : words) put16(w);
        m_body.append(bytes);
        if (bytes.size() % 2) m_body.push_back('\0');
    }

    void use(uint16_t create, const std::vector<uint16_t>& words, std::string_view bytes,
             int kind) {
        std::string key(reinterpret_cast<const char*>(words.data()), words.size() * 2);
        key.append(bytes);
        Slot& slot = m_slots[static_cast<size_t>(kind)];
        if (slot.index >= 0 && slot.key == key) return;
        if (slot.index >= 0) {
            // The new object is selected first, so the one it replaces is not in use when
            // deleted; its table index is then taken by the next object created.
            const int old = slot.index;
            slot.index = freeIndex(old);
            record(create, words, bytes);
            record(kSelectObject, {static_cast<uint16_t>(slot.index)});
            record(kDeleteObject, {static_cast<uint16_t>(old)});
            m_taken[static_cast<size_t>(old)] = false;
        } else {
            slot.index = freeIndex(-1);
            record(create, words, bytes);
            record(kSelectObject, {static_cast<uint16_t>(slot.index)});
        }
        slot.key = std::move(key);
    }

    void pen(const Pen& pen) {
        const uint16_t width = pen.width <= 0 ? 0 : static_cast<uint16_t>(u(pen.width));
        const uint32_t c = colorRef(pen.color);
        use(kCreatePen,
            {static_cast<uint16_t>(pen.style), width, 0, static_cast<uint16_t>(c & 0xFFFF),
             static_cast<uint16_t>(c >> 16)},
            {}, 0);
    }

    void brush(const Brush& brush) {
        uint16_t style = 2, hatch = 0;  // hatched
        switch (brush.style) {
            case BrushStyle::Solid: style = 0; break;
            case BrushStyle::None: style = 1; break;
            case BrushStyle::Horizontal: hatch = 0; break;
            case BrushStyle::Vertical: hatch = 1; break;
            case BrushStyle::FDiagonal: hatch = 2; break;
            case BrushStyle::BDiagonal: hatch = 3; break;
            case BrushStyle::Cross: hatch = 4; break;
            case BrushStyle::DiagCross: hatch = 5; break;
        }
        const uint32_t c = colorRef(brush.color);
        use(kCreateBrush,
            {style, static_cast<uint16_t>(c & 0xFFFF), static_cast<uint16_t>(c >> 16), hatch}, {},
            1);
    }

    Status font(const FontSpec& font, double escapement) {
        auto face = toCodePage(font.face);
        if (!face) return face.error();
        std::string name = face.value().substr(0, 31);
        name.resize(32, '\0');
        const uint16_t esc = static_cast<uint16_t>(static_cast<int16_t>(std::lround(escapement * 10)));
        std::string tail;
        tail.push_back(font.italic ? 1 : 0);
        tail.push_back(font.underline ? 1 : 0);
        tail.push_back(font.strikeOut ? 1 : 0);
        tail.push_back(static_cast<char>(font.charset == 0 ? kChineseCharset : font.charset));
        tail.push_back(0);  // out precision
        tail.push_back(0);  // clip precision
        tail.push_back(0);  // quality
        tail.push_back(0);  // pitch and family
        tail += name;
        use(kCreateFont,
            {static_cast<uint16_t>(-u(font.size)), 0, esc, esc,
             static_cast<uint16_t>(std::clamp(font.weight, 0, 1000))},
            tail, 2);
        return {};
    }

    void textColor(uint32_t rgb) {
        const uint32_t c = colorRef(rgb);
        if (c == m_textColor) return;
        m_textColor = c;
        record(kSetTextColor, {static_cast<uint16_t>(c & 0xFFFF), static_cast<uint16_t>(c >> 16)});
    }

    static uint16_t w(int16_t v) { return static_cast<uint16_t>(v); }

    std::string finish(double widthPoints, double heightPoints, uint16_t unitsPerInch) {
        put32(3);
        put16(0);  // end of file
        m_maxRecord = std::max<uint32_t>(m_maxRecord, 3);

        std::string out;
        auto p16 = [&](uint16_t v) {
            out.push_back(static_cast<char>(v & 0xFF));
            out.push_back(static_cast<char>(v >> 8));
        };
        auto p32 = [&](uint32_t v) {
            p16(static_cast<uint16_t>(v & 0xFFFF));
            p16(static_cast<uint16_t>(v >> 16));
        };
        // The placeable header and its checksum (the XOR of its first ten words).
        const uint16_t header[10] = {0xCDD7, 0x9AC6, 0, 0, 0, w(u(widthPoints)),
                                     w(u(heightPoints)), unitsPerInch, 0, 0};
        uint16_t sum = 0;
        for (uint16_t h : header) {
            p16(h);
            sum ^= h;
        }
        p16(sum);
        const uint32_t words = static_cast<uint32_t>(9 + m_body.size() / 2);
        p16(1);  // in memory
        p16(9);  // header words
        p16(0x0300);
        p32(words);
        p16(static_cast<uint16_t>(std::max<size_t>(m_taken.size(), 1)));  // table entries used
        p32(m_maxRecord);
        p16(0);
        out += m_body;
        return out;
    }

private:
    struct Slot {
        int index = -1;
        std::string key;
    };

    int freeIndex(int busy) {
        for (size_t i = 0; i < m_taken.size(); ++i)
            if (!m_taken[i] && static_cast<int>(i) != busy) {
                m_taken[i] = true;
                return static_cast<int>(i);
            }
        m_taken.push_back(true);
        return static_cast<int>(m_taken.size() - 1);
    }

    void put16(uint16_t v) {
        m_body.push_back(static_cast<char>(v & 0xFF));
        m_body.push_back(static_cast<char>(v >> 8));
    }
    void put32(uint32_t v) {
        put16(static_cast<uint16_t>(v & 0xFFFF));
        put16(static_cast<uint16_t>(v >> 16));
    }

    double m_scale;
    std::string m_body;
    uint32_t m_maxRecord = 0;
    Slot m_slots[3];
    std::vector<bool> m_taken;
    uint32_t m_textColor = 0xFFFFFFFF;
};

}  // namespace

Status writeMetafile(DataStore& report, AtomicFile& file, const SaveAsOptions& options) {
    ReportLayout& layout = layoutOf(report);
    auto listed = layout.displayList(1);
    if (!listed) return listed.error();
    const PageDisplayList& page = *listed.value();

    // Twips when the page fits 16-bit coordinates in them, else as fine a unit as fits.
    const double largest = std::max({page.paperWidth, page.paperHeight, 1.0});
    const uint16_t unitsPerInch =
        static_cast<uint16_t>(std::clamp(std::floor(32000.0 * 72.0 / largest), 1.0, 1440.0));
    Metafile mf(unitsPerInch / 72.0);
    using W = uint16_t;
    auto w = Metafile::w;

    mf.record(kSetMapMode, {kAnisotropic});
    mf.record(kSetWindowOrg, {0, 0});
    mf.record(kSetWindowExt, {w(mf.u(page.paperHeight)), w(mf.u(page.paperWidth))});
    mf.record(kSetBkMode, {kTransparent});
    mf.record(kSetTextAlign, {kAlignBaseline});

    for (const DisplayItem& item : page.items) {
        if (const auto* line = std::get_if<LineShape>(&item.shape)) {
            if (line->pen.style == PenStyle::None) continue;
            mf.pen(line->pen);
            mf.record(kMoveTo, {w(mf.u(line->from.y)), w(mf.u(line->from.x))});
            mf.record(kLineTo, {w(mf.u(line->to.y)), w(mf.u(line->to.x))});
        } else if (const auto* box = std::get_if<BoxShape>(&item.shape)) {
            Pen pen = box->pen;
            if (box->brush.style == BrushStyle::None && pen.style == PenStyle::None) continue;
            mf.pen(pen);
            mf.brush(box->brush);
            // Rectangles take their bottom-right corner outside the shape; a pen-less box gets
            // one more unit so that it fills what it should.
            const int extra = pen.style == PenStyle::None ? 1 : 0;
            const W left = w(mf.u(box->box.x)), top = w(mf.u(box->box.y));
            const W right = w(static_cast<int16_t>(mf.u(box->box.right()) + extra));
            const W bottom = w(static_cast<int16_t>(mf.u(box->box.bottom()) + extra));
            switch (box->kind) {
                case ShapeKind::Rectangle:
                    mf.record(kRectangle, {bottom, right, top, left});
                    break;
                case ShapeKind::RoundRectangle:
                    mf.record(kRoundRect, {w(mf.u(box->cornerRadiusY * 2)),
                                           w(mf.u(box->cornerRadiusX * 2)), bottom, right, top,
                                           left});
                    break;
                case ShapeKind::Ellipse:
                    mf.record(kEllipse, {bottom, right, top, left});
                    break;
            }
        } else if (const auto* run = std::get_if<TextRun>(&item.shape)) {
            if (run->text.empty()) continue;
            // A masked column shows its stars here as in every other format; only the
            // outermost report's columns are masked, as in the rows written elsewhere.
            const bool masked = item.tag.report.empty() &&
                                options.masked.count(asciiLower(item.tag.object)) > 0;
            // A record holds at most 65,535 bytes of text: a longer line (it is cut off by
            // its box anyway) keeps its first characters, never half of one.
            std::string_view shown = masked ? std::string_view("***") : run->text;
            size_t characters = 0, end = 0;
            while (end < shown.size() && characters < kMaxRunCharacters) {
                ++end;
                while (end < shown.size() && (static_cast<unsigned char>(shown[end]) & 0xC0) == 0x80)
                    ++end;
                ++characters;
            }
            auto bytes = toCodePage(shown.substr(0, end));
            if (!bytes) return bytes.error();
            if (Status s = mf.font(run->font, run->escapement); !s) return s;
            mf.textColor(run->color);
            double x = run->box.x;
            if (run->align == TextAlign::Right)
                x = run->box.right() - run->textWidth;
            else if (run->align == TextAlign::Center)
                x = run->box.x + (run->box.width - run->textWidth) / 2;
            std::vector<W> words = {w(mf.u(run->baseline)), w(mf.u(x)),
                                    static_cast<W>(bytes.value().size()), 0};
            if (item.clip) {
                words[3] = kClipped;
                words.push_back(w(mf.u(item.clip->x)));
                words.push_back(w(mf.u(item.clip->y)));
                words.push_back(w(mf.u(item.clip->right())));
                words.push_back(w(mf.u(item.clip->bottom())));
            }
            mf.record(kExtTextOut, words, bytes.value());
        }
    }
    file.write(mf.finish(page.paperWidth, page.paperHeight, unitsPerInch));
    return {};
}

}  // namespace print::saveas
