// Fonts for drawing reports with Qt: the faces that stand in for the Windows faces report
// definitions name, the QFont of a display list's FontSpec, and the font metrics layout measures
// with so that it breaks lines exactly where the painter draws them.
//
// Report definitions name Windows faces ("宋体", "黑体", "Arial"). `installFontSubstitutions`
// tells Qt which installed faces stand in for the Chinese ones, so that a machine without the
// shipped fontconfig file (fonts/65-print-chinese.conf) still draws them in a Song or Hei face.
// `ensureGuiApplication` (gui_application.h) installs them; call it before anything here.
//
// Sizes: a FontSpec's size is in points and every answer of `QtFontMetrics` is in points, on
// any screen or printer. Kerning and shaping of Latin text are off, in measuring and drawing
// alike, so that the width of a line is the sum of the widths of its words and no word changes
// width when layout measures it on its own.
//
// Nothing here fails: a face that is not installed is measured and drawn as the face Qt picks
// for it; `missingCharacters` tells which characters no installed face can draw.
#pragma once

#include <QFont>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "layout/font_metrics.h"

class QFontMetricsF;

namespace print::render {

// A Windows face and the installed families that stand in for it, in order of preference.
struct FaceSubstitution {
    std::string face;
    std::vector<std::string> families;
};

// 宋体, SimSun, 新宋体, NSimSun (Song faces) and 黑体, SimHei (Hei faces), as the shipped
// fontconfig file maps them.
const std::vector<FaceSubstitution>& chineseFaceSubstitutions();

// Registers `chineseFaceSubstitutions` with QFont::insertSubstitutions (once a process).
void installFontSubstitutions();

// The QFont for `spec` at `pointSize` points on a device of `deviceDpi` dots per inch: Qt
// scales a font's point size by the device's resolution, so a caller drawing in a coordinate
// system of its own passes the size it wants in those units and the device's resolution.
QFont toQFont(const layout::FontSpec& spec, double pointSize, double deviceDpi);
// The QFont for `spec` on a 72-dpi device, where points and pixels agree.
QFont toQFont(const layout::FontSpec& spec);

// The family Qt draws `face` with (after substitutions), e.g. "AR PL UMing CN" for "宋体".
std::string resolvedFamily(const std::string& face);

// The characters of `text` (UTF-8) that neither the face of `spec` nor any face Qt falls back to
// can draw: what would print as an empty box. Blanks and control characters are never missing.
std::u32string missingCharacters(const layout::FontSpec& spec, std::string_view text);

// Layout's font metrics through Qt (QFontMetricsF at 72 dpi, no hinting), the same faces and
// settings the painter draws with. Safe to share between reports; measurements are cached per
// font.
class QtFontMetrics final : public layout::FontMetrics {
public:
    QtFontMetrics();
    ~QtFontMetrics() override;

    double width(const layout::FontSpec& font, std::string_view text) const override;
    double ascent(const layout::FontSpec& font) const override;
    double descent(const layout::FontSpec& font) const override;
    double lineSpacing(const layout::FontSpec& font) const override;

private:
    struct SpecHash {
        size_t operator()(const layout::FontSpec& spec) const;
    };
    // Text hashed as a view, so that a width already measured is found without a copy.
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };
    // What is known of one font: its metrics, and the widths measured already (layout
    // measures the same words again after every change, and shaping text is the dearest part
    // of it).
    struct Font {
        std::unique_ptr<QFontMetricsF> metrics;
        double ascent = 0;
        double descent = 0;
        double lineSpacing = 0;
        std::unordered_map<std::string, double, TextHash, std::equal_to<>> widths;
    };
    // The font's entry; the last one asked for is found again without hashing, as runs of
    // text mostly share a font. Called with the mutex held.
    Font& fontFor(const layout::FontSpec& spec) const;

    mutable std::mutex m_mutex;
    mutable std::unordered_map<layout::FontSpec, std::unique_ptr<Font>, SpecHash> m_fonts;
    mutable layout::FontSpec m_lastSpec;
    mutable Font* m_last = nullptr;
    mutable size_t m_widthCount = 0;
};

}  // namespace print::render
