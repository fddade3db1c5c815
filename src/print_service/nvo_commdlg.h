// The host's common-dialog object: the file-save dialog and the font dialog, through the
// window services.
//
// The font fields follow the system font dialog: `height` is the font's height in pixels at
// 96 DPI, negative for a character height (a 9-point font is -12); `weight` 400 normal, 700
// bold; `rgbcolors` the colour as blue-green-red.
#pragma once

#include <string>

#include "platform/services.h"

namespace print::service {

class nvo_commdlg {
public:
    explicit nvo_commdlg(platform::Services& services) : m_services(services) {}

    // Shows the file-save dialog. `directory` and `fileName` hold the initial values and, when
    // a file was chosen, the chosen folder and the file's name with its extension. `filters`
    // is the platform's list "描述,*.ext,描述,*.ext"; `firstFilter` 1-based. 1 chosen, 0
    // cancelled, -1 on error.
    int of_getfilesavename(const std::string& title, std::string& directory, std::string& fileName,
                           const std::string& filters, int firstFilter);

    // Font dialog fields.
    long hwndparent = 0;
    std::string facename;
    long rgbcolors = 0;
    long height = 0;
    long weight = 400;
    int italic = 0;
    int underline = 0;
    int strikeout = 0;
    long flags = 0;

    // Shows the font dialog initialised from the fields; 1 and the fields hold the choice, or
    // 0 when cancelled (fields unchanged).
    int fontdialog();

    static long of_bitor(long a, long b) { return a | b; }

    // Pixel height at 96 DPI for a point size and back (negative: character height).
    static long pointsToHeight(int points);
    static int heightToPoints(long height);

private:
    platform::Services& m_services;
};

}  // namespace print::service
