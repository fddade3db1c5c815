#include "qt/conversions.h"

#include <QFontDatabase>
#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <utility>

#include "common/text.h"

namespace print::qt {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::vector<std::string_view> splitOn(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

}  // namespace

QStringList toQtFilters(std::string_view platformFilters) {
    QStringList filters;
    if (trimView(platformFilters).empty()) return filters;
    const auto parts = splitOn(platformFilters, ',');
    for (size_t i = 0; i < parts.size(); i += 2) {
        const QString description = fromUtf8(trimView(parts[i]));
        QStringList patterns;
        if (i + 1 < parts.size()) {
            for (std::string_view pattern : splitOn(parts[i + 1], ';')) {
                pattern = trimView(pattern);
                if (!pattern.empty()) patterns << fromUtf8(pattern);
            }
        }
        if (patterns.isEmpty()) patterns << QStringLiteral("*");
        const QString joined = patterns.join(QLatin1Char(' '));
        if (description.isEmpty() && joined == QStringLiteral("*") && i + 1 >= parts.size())
            continue;
        filters << (description.isEmpty() ? joined : description) + QStringLiteral(" (") + joined +
                       QLatin1Char(')');
    }
    return filters;
}

std::string filterExtension(const QString& qtFilter) {
    const qsizetype open = qtFilter.lastIndexOf(QLatin1Char('('));
    const qsizetype close = qtFilter.lastIndexOf(QLatin1Char(')'));
    const QString inside =
        open >= 0 && close > open ? qtFilter.mid(open + 1, close - open - 1) : qtFilter;
    const QStringList patterns = inside.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (patterns.isEmpty()) return {};
    const QString first = patterns.front();
    if (!first.startsWith(QStringLiteral("*.")) || first.size() < 3) return {};
    const QString extension = first.mid(1);
    if (extension.contains(QLatin1Char('*')) || extension.contains(QLatin1Char('?'))) return {};
    return extension.toStdString();
}

std::string withExtension(const std::string& fileName, const std::string& extension) {
    if (extension.empty() || fileName.empty()) return fileName;
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find('.', slash == std::string::npos ? 0 : slash + 1);
    if (dot != std::string::npos) return fileName;
    return fileName + extension;
}

int toQtWeight(int platformWeight) {
    if (platformWeight <= 0) return QFont::Normal;
    return std::clamp(platformWeight, 1, 1000);
}

int fromQtWeight(int qtWeight) {
    return std::clamp(qtWeight, 1, 1000);
}

QColor fromBgr(long color) {
    const auto bits = static_cast<unsigned long>(color);
    return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                  static_cast<int>((bits >> 16) & 0xFF));
}

long toBgr(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<long>(rgb.red()) | (static_cast<long>(rgb.green()) << 8) |
           (static_cast<long>(rgb.blue()) << 16);
}

QFont toQFont(const platform::FontChoice& choice) {
    QFont font(QString::fromStdString(choice.face));
    font.setPointSize(choice.height > 0 ? choice.height : 9);
    font.setWeight(static_cast<QFont::Weight>(toQtWeight(choice.weight)));
    font.setItalic(choice.italic);
    font.setUnderline(choice.underline);
    font.setStrikeOut(choice.strikeout);
    return font;
}

void fromQFont(const QFont& font, platform::FontChoice& choice) {
    choice.face = font.family().toStdString();
    if (font.pointSizeF() > 0) choice.height = std::max(1, qRound(font.pointSizeF()));
    choice.weight = fromQtWeight(font.weight());
    choice.italic = font.italic();
    choice.underline = font.underline();
    choice.strikeout = font.strikeOut();
}

QString matchingStyle(const QFont& font) {
    const QString family = font.family();
    QString best;
    int bestDistance = INT_MAX;
    for (const QString& style : QFontDatabase::styles(family)) {
        // Oblique styles are slanted though the database does not call them italic; condensed
        // ones are narrower than the font asked for.
        const QFont styled = QFontDatabase::font(family, style, 10);
        const int stretch = styled.stretch() == 0 ? 100 : styled.stretch();
        const int distance = std::abs(styled.weight() - font.weight()) +
                             (styled.italic() != font.italic() ? 10000 : 0) +
                             std::abs(stretch - 100) * 10;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = style;
        }
    }
    return best;
}

namespace {

constexpr std::array<std::pair<int, platform::KeyCode>, 20> kKeys{{
    {Qt::Key_Left, platform::KeyCode::Left},
    {Qt::Key_Right, platform::KeyCode::Right},
    {Qt::Key_Up, platform::KeyCode::Up},
    {Qt::Key_Down, platform::KeyCode::Down},
    {Qt::Key_Delete, platform::KeyCode::Delete},
    {Qt::Key_Escape, platform::KeyCode::Escape},
    {Qt::Key_Return, platform::KeyCode::Enter},
    {Qt::Key_Enter, platform::KeyCode::Enter},
    {Qt::Key_Tab, platform::KeyCode::Tab},
    {Qt::Key_Backtab, platform::KeyCode::Tab},
    {Qt::Key_Backspace, platform::KeyCode::Backspace},
    {Qt::Key_Home, platform::KeyCode::Home},
    {Qt::Key_End, platform::KeyCode::End},
    {Qt::Key_PageUp, platform::KeyCode::PageUp},
    {Qt::Key_PageDown, platform::KeyCode::PageDown},
    {Qt::Key_Insert, platform::KeyCode::Insert},
    {Qt::Key_Space, platform::KeyCode::Space},
    {Qt::Key_Control, platform::KeyCode::Control},
    {Qt::Key_Shift, platform::KeyCode::Shift},
    {Qt::Key_Alt, platform::KeyCode::Alt},
}};

}  // namespace

platform::KeyCode keyCodeOf(int qtKey) {
    using platform::KeyCode;
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<KeyCode>(static_cast<int>(KeyCode::A) + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<KeyCode>(static_cast<int>(KeyCode::Num0) + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return static_cast<KeyCode>(static_cast<int>(KeyCode::F1) + (qtKey - Qt::Key_F1));
    for (const auto& [qt, code] : kKeys)
        if (qt == qtKey) return code;
    return KeyCode::None;
}

int qtKeyOf(platform::KeyCode key) {
    using platform::KeyCode;
    const int k = static_cast<int>(key);
    if (key >= KeyCode::A && key <= KeyCode::Z) return Qt::Key_A + (k - static_cast<int>(KeyCode::A));
    if (key >= KeyCode::Num0 && key <= KeyCode::Num9)
        return Qt::Key_0 + (k - static_cast<int>(KeyCode::Num0));
    if (key >= KeyCode::F1 && key <= KeyCode::F12)
        return Qt::Key_F1 + (k - static_cast<int>(KeyCode::F1));
    for (const auto& [qt, code] : kKeys)
        if (code == key) return qt;
    return Qt::Key_unknown;
}

int keyFlagsOf(Qt::KeyboardModifiers modifiers) {
    int flags = 0;
    if (modifiers & Qt::ShiftModifier) flags += platform::kKeyFlagShift;
    if (modifiers & Qt::ControlModifier) flags += platform::kKeyFlagCtrl;
    return flags;
}

QString pictureResource(std::string_view pictureName) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 30> kPictures{{
        {"undo!", "undo"},
        {"redo!", "redo"},
        {"bringtofront!", "bring_to_front"},
        {"sendtoback!", "send_to_back"},
        {"spacevertical!", "space_vertical"},
        {"spacehorizontal!", "space_horizontal"},
        {"sizehorizontal!", "size_horizontal"},
        {"sizevertical!", "size_vertical"},
        {"sizeboth!", "size_both"},
        {"alignleft!", "align_left"},
        {"alignright!", "align_right"},
        {"aligntop!", "align_top"},
        {"alignbottom!", "align_bottom"},
        {"custom008!", "save"},
        {"scriptno!", "new_template"},
        {"editdatatabular!", "preview"},
        {"saveas!", "save_as"},
        {"print!", "print"},
        {"custom009!", "close"},
        {"vcrfirst!", "first"},
        {"vcrprior!", "prior"},
        {"vcrnext!", "next"},
        {"vcrlast!", "last"},
        {"pic/up16.bmp", "up"},
        {"pic/down16.bmp", "down"},
        {"pic/focus.bmp", "focus"},
        {"properties!", "properties"},
        {"scriptyes!", "script_yes"},
        {"placecolumn5!", "place_column"},
        {"cursor!", "cursor"},
    }};
    std::string key = asciiLower(trim(pictureName));
    std::replace(key.begin(), key.end(), '\\', '/');
    for (const auto& [name, file] : kPictures) {
        if (name == key)
            return QStringLiteral(":/print/icons/") + fromUtf8(file) + QStringLiteral(".svg");
    }
    return {};
}

QIcon pictureIcon(std::string_view pictureName) {
    const QString path = pictureResource(pictureName);
    return path.isEmpty() ? QIcon() : QIcon(path);
}

}  // namespace print::qt
