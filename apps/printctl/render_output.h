// The files `printctl render` writes: the pages as one PDF and as PNG images, one a page.
#pragma once

#include <functional>
#include <string>

namespace print::engine {
class DataStore;
}

namespace printctl {

struct RenderOutput {
    std::string pdf;     // empty: no PDF
    std::string pngDir;  // empty: no PNG files; created when missing
    int dpi = 0;         // of the PNG files; 0 is 150
    long page = 0;       // only this page; 0: every page

    bool wanted() const { return !pdf.empty() || !pngDir.empty(); }
};

// Checks the options before anything is laid out: "" or the error ("--dpi needs --png-dir",
// "--dpi must be between 10 and 600").
std::string checkRenderOutput(const RenderOutput& output);

// Prepares the process for drawing: Qt's font metrics become the default, so this must run
// before the report is laid out.
void prepareRenderOutput();

// Told what a page drawn could not show as the data says (a number wider than its box).
using PageWarning = std::function<void(long page, const std::string& warning)>;

// Writes the pages of `report` (laid out already) as asked. PNG files are DIR/page-N.png, N
// padded with zeros to the width of the page count. "" or the error, which names the file.
std::string writeRenderOutput(print::engine::DataStore& report, const RenderOutput& output,
                              const PageWarning& warn = {});

}  // namespace printctl
