// Font metrics: how layout measures text, without knowing which font system draws it.
//
// Layout asks an object of this interface how wide a piece of text is and how tall its lines
// are; every answer is in points (1/72 inch) at the font's own size, so the answers do not
// depend on a screen or printer resolution. The painter implements it with Qt's metrics
// (QFontMetricsF on a font of the given point size) so that what layout breaks into lines is
// what the painter draws. Tests and programs without fonts use `FixedFontMetrics`, which needs
// no font files and gives the same answers on every machine.
//
// A report measures through the metrics given to it (`ReportLayout::setFontMetrics`), else
// through the process default: the fixed metrics until a layer above installs others with
// `installDefaultFontMetrics`. Metrics never fail: a face that is not installed is measured as
// whatever face stands in for it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace print::layout {

// A font as a report object asks for it, already resolved to points.
struct FontSpec {
    std::string face = "Arial";  // font.face as written ("宋体", "Arial", ...)
    double size = 10;            // points (font.height -10 is 10 pt; scale applied)
    int weight = 400;            // 400 normal, 700 bold
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int charset = 0;  // font.charset as written: 0 ANSI, 134 GB2312, ...

    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// One object measures for layout on one thread while a PDF writer's drawing thread asks it of
// justified text: an implementation must be safe to call from two threads at once.
class FontMetrics {
public:
    virtual ~FontMetrics() = default;

    // Advance width of `text` (UTF-8, one line: no line breaks) set in `font`, in points.
    // Layout measures words and characters separately and adds them up, so an implementation
    // should not rely on being given whole lines.
    virtual double width(const FontSpec& font, std::string_view text) const = 0;
    // Height above and below the baseline, in points.
    virtual double ascent(const FontSpec& font) const = 0;
    virtual double descent(const FontSpec& font) const = 0;
    // Distance from one line's baseline to the next one's, in points (ascent, descent and the
    // font's leading).
    virtual double lineSpacing(const FontSpec& font) const = 0;
};

// Metrics that need no fonts: a wide character (`isWideCharacter`: Chinese, Japanese, Korean,
// full-width forms) is one em wide, every other character half an em, whatever the face, weight
// or slant. Ascent 0.8 em, descent 0.2 em, line spacing 1.2 em.
class FixedFontMetrics final : public FontMetrics {
public:
    double width(const FontSpec& font, std::string_view text) const override;
    double ascent(const FontSpec& font) const override { return font.size * 0.8; }
    double descent(const FontSpec& font) const override { return font.size * 0.2; }
    double lineSpacing(const FontSpec& font) const override { return font.size * 1.2; }
};

// The metrics reports use unless they were given their own.
std::shared_ptr<const FontMetrics> defaultFontMetrics();
// Replaces the process default (null restores the fixed metrics). Reports measured before keep
// their pages until they are laid out again; call this before showing reports.
void installDefaultFontMetrics(std::shared_ptr<const FontMetrics> metrics);

// Whether a code point is set wide (East Asian wide and full-width characters). Text may break
// between any two wide characters; other text breaks at spaces.
bool isWideCharacter(char32_t c);

}  // namespace print::layout
