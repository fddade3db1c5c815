// What the platform's values become on Qt and back: the file dialog's filter string, fonts and
// colours of the font dialog, keys and key flags, and the pictures the controls name.
//
// These are pure functions (the picture functions need a QGuiApplication, like every QIcon);
// none of them fails: a value Qt cannot express becomes the nearest one it can, as each says.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QStringList>
#include <string>
#include <string_view>

#include "platform/services.h"

namespace print::qt {

// The platform's filter pairs "描述,*.ext,描述,*.ext" as Qt's name filters "描述 (*.ext)".
// Several patterns of one pair ("*.txt;*.csv") become "描述 (*.txt *.csv)"; blanks around the
// parts are dropped. A description without a pattern after it shows every file ("*"); a pair
// with an empty description is described by its patterns. An empty string gives no filter.
QStringList toQtFilters(std::string_view platformFilters);

// The extension a Qt filter asks for (".csv" for "文本 (*.csv)"), taken from its first pattern;
// "" when that pattern names no extension ("*", "*.*", "data*").
std::string filterExtension(const QString& qtFilter);

// `fileName` with `extension` added when the name has none of its own (no "." after its last
// "/"); otherwise as it is.
std::string withExtension(const std::string& fileName, const std::string& extension);

// The platform's weights run from 100 (thin) to 900 (heavy), 400 being normal and 700 bold,
// as Qt's do; 0 (the platform's "don't care") is normal and anything outside Qt's 1-1000 is
// clamped to it.
int toQtWeight(int platformWeight);
int fromQtWeight(int qtWeight);

// The colour of a blue-green-red long (0x00BBGGRR); bits above the 24 are ignored.
QColor fromBgr(long color);
long toBgr(const QColor& color);

// The font a font choice describes (a height of 0 or less is 9 points) and back. `fromQFont`
// keeps the choice's colour, which a QFont does not carry, and its height when the font has no
// point size (a font sized in pixels).
QFont toQFont(const platform::FontChoice& choice);
void fromQFont(const QFont& font, platform::FontChoice& choice);

// The style of the installed face of `font` that draws its weight and slant: the upright style
// of the nearest weight unless the font is italic. Faces name their styles freely ("Book",
// "Oblique"), and a font dialog given a font without a style it knows shows the face's first
// style instead. "" when the face is not installed.
QString matchingStyle(const QFont& font);

// The platform key of a Qt key (Qt::Key_Left -> KeyCode::Left, Qt::Key_Return and Qt::Key_Enter
// -> KeyCode::Enter); KeyCode::None for a key the platform does not name.
platform::KeyCode keyCodeOf(int qtKey);
// The Qt key of a platform key (KeyCode::Enter -> Qt::Key_Return); Qt::Key_unknown for None.
int qtKeyOf(platform::KeyCode key);
// The platform's key flags (1 Shift, 2 Ctrl) of Qt's modifiers; Alt and the rest add nothing.
int keyFlagsOf(Qt::KeyboardModifiers modifiers);

// The resource path of the picture the platform names ("Print!", "pic\\up16.bmp"; not case
// sensitive, "/" and "\\" alike); "" for a picture we do not draw.
QString pictureResource(std::string_view pictureName);
// Its icon; a null icon for a picture we do not draw.
QIcon pictureIcon(std::string_view pictureName);

}  // namespace print::qt
