// The Qt application that fonts and painting need, for programs and tests that have none.
//
// Qt measures and draws text only inside a QGuiApplication. Batch programs (printctl) and tests
// call `ensureGuiApplication` before they render: when the process has no Qt application yet it
// creates one that lives until the process ends, on Qt's offscreen platform when there is no
// display (no DISPLAY or WAYLAND_DISPLAY) and QT_QPA_PLATFORM does not name another. Either
// way it registers the Chinese face substitutions (fonts.h) and installs `QtFontMetrics` as the
// process's default font metrics, so that every report laid out afterwards breaks its lines as
// the painter draws them.
//
// It does not fail: Qt itself ends the program when no platform plugin can be loaded.
#pragma once

class QGuiApplication;

namespace print::render {

QGuiApplication& ensureGuiApplication();

}  // namespace print::render
