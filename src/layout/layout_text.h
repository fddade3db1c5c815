// Breaking text into lines for layout.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "layout/font_metrics.h"

namespace print::layout {

struct TextLine {
    std::string text;
    double width = 0;           // measured width of `text`
    bool paragraphEnd = false;  // the last line before a line break or the end of the text
};

// Breaks `text` into lines at most `width` points wide: at line breaks (CR LF, LF, CR), between
// any two wide (Chinese) characters, and at blanks between other words; a word wider than the
// line is broken between its characters, and closing punctuation stays on the line before it.
// Without `wrap` every paragraph is one line, however wide. At most `maxLines` lines are made
// (what a box can show), so that a huge text costs no more than its visible part.
std::vector<TextLine> breakLines(const FontMetrics& metrics, const FontSpec& font,
                                 std::string_view text, double width, bool wrap,
                                 size_t maxLines = SIZE_MAX);

}  // namespace print::layout
