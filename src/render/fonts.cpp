#include "render/fonts.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImage>
#include <QString>
#include <QTextLayout>

namespace print::render {
namespace {

const std::vector<std::string> kSongFamilies = {"AR PL UMing CN", "Noto Serif CJK SC",
                                                "WenQuanYi Micro Hei"};
const std::vector<std::string> kHeiFamilies = {"WenQuanYi Micro Hei", "Noto Sans CJK SC"};

QString qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A device on which one pixel is one point, so that Qt's metrics come out in points.
const QImage& pointDevice() {
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        const int dotsPerMeter = qRound(72 / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return device;
}

}  // namespace

const std::vector<FaceSubstitution>& chineseFaceSubstitutions() {
    static const std::vector<FaceSubstitution> substitutions = {
        {"宋体", kSongFamilies},    {"SimSun", kSongFamilies}, {"新宋体", kSongFamilies},
        {"NSimSun", kSongFamilies}, {"黑体", kHeiFamilies},    {"SimHei", kHeiFamilies},
    };
    return substitutions;
}

void installFontSubstitutions() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const FaceSubstitution& s : chineseFaceSubstitutions()) {
            QStringList families;
            for (const std::string& family : s.families) families << qstring(family);
            QFont::insertSubstitutions(qstring(s.face), families);
        }
    });
}

QFont toQFont(const layout::FontSpec& spec, double pointSize, double deviceDpi) {
    QFont font(qstring(spec.face));
    font.setPointSizeF(pointSize * 72.0 / deviceDpi);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(spec.weight, 1, 1000)));
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    font.setStrikeOut(spec.strikeOut);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferNoShaping | QFont::PreferOutline));
    return font;
}

QFont toQFont(const layout::FontSpec& spec) {
    return toQFont(spec, spec.size, 72.0);
}

std::string resolvedFamily(const std::string& face) {
    return QFontInfo(QFont(qstring(face))).family().toStdString();
}

std::u32string missingCharacters(const layout::FontSpec& spec, std::string_view text) {
    const QFont font = toQFont(spec);
    std::u32string missing;
    for (const char32_t c : qstring(text).toUcs4()) {
        if (c <= 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0x3000) continue;
        QTextLayout layout(QString::fromUcs4(&c, 1), font, const_cast<QImage*>(&pointDevice()));
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        bool drawn = false;
        for (const QGlyphRun& run : layout.glyphRuns()) {
            for (const quint32 glyph : run.glyphIndexes()) drawn = drawn || glyph != 0;
        }
        if (!drawn) missing.push_back(c);
    }
    return missing;
}

QtFontMetrics::QtFontMetrics() = default;
QtFontMetrics::~QtFontMetrics() = default;

size_t QtFontMetrics::SpecHash::operator()(const layout::FontSpec& spec) const {
    size_t h = std::hash<std::string>()(spec.face);
    h = h * 31 + std::hash<double>()(spec.size);
    h = h * 31 + static_cast<size_t>(spec.weight);
    h = h * 31 + (spec.italic ? 1 : 0) + (spec.underline ? 2 : 0) + (spec.strikeOut ? 4 : 0);
    return h;
}

QtFontMetrics::Font& QtFontMetrics::fontFor(const layout::FontSpec& spec) const {
    if (m_last && m_lastSpec == spec) return *m_last;
    auto it = m_fonts.find(spec);
    if (it == m_fonts.end()) {
        // Reports use a handful of fonts; a runaway number (sizes from expressions) must not
        // grow the cache without bound.
        if (m_fonts.size() >= 256) {
            m_fonts.clear();
            m_widthCount = 0;
        }
        auto font = std::make_unique<Font>();
        font->metrics = std::make_unique<QFontMetricsF>(toQFont(spec), &pointDevice());
        font->ascent = font->metrics->ascent();
        font->descent = font->metrics->descent();
        font->lineSpacing = font->metrics->lineSpacing();
        it = m_fonts.emplace(spec, std::move(font)).first;
    }
    m_lastSpec = spec;
    m_last = it->second.get();
    return *m_last;
}

double QtFontMetrics::width(const layout::FontSpec& font, std::string_view text) const {
    std::lock_guard lock(m_mutex);
    Font& f = fontFor(font);
    if (auto it = f.widths.find(text); it != f.widths.end()) return it->second;
    const double measured = f.metrics->horizontalAdvance(qstring(text));
    // Bounded: a report of a million distinct values measures each once and moves on.
    if (m_widthCount >= 16384) {
        for (auto& [spec, known] : m_fonts) known->widths.clear();
        m_widthCount = 0;
    }
    f.widths.emplace(std::string(text), measured);
    ++m_widthCount;
    return measured;
}

double QtFontMetrics::ascent(const layout::FontSpec& font) const {
    std::lock_guard lock(m_mutex);
    return fontFor(font).ascent;
}

double QtFontMetrics::descent(const layout::FontSpec& font) const {
    std::lock_guard lock(m_mutex);
    return fontFor(font).descent;
}

double QtFontMetrics::lineSpacing(const layout::FontSpec& font) const {
    std::lock_guard lock(m_mutex);
    return fontFor(font).lineSpacing;
}

}  // namespace print::render
