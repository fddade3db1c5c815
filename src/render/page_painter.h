// Draws a page's display list with QPainter: the one piece of code behind PNG files, PDF files,
// printers and (later) the screen, so that all of them show the same page.
//
// The painter draws in points scaled by `unitsPerPoint` device units (dpi / 72 for an image or
// a PDF writer, times the zoom on screen), with the origin at the paper's top-left corner.
// Text runs are drawn at their baseline with the font, colour and alignment layout gave them;
// a justified run spreads its spare width over its blanks, or between its characters when it
// has none, measuring with the same `FontMetrics` layout measured with. Clip rectangles, pen
// styles, hatched brushes, opaque backgrounds of pen and hatch gaps, round rectangles, ellipses
// and pictures are drawn as the display list describes them.
//
// Pictures come from files. `pictureWarnings` tells which picture of a page cannot be read;
// `paint` draws nothing for such a picture (the frame around it and everything else are drawn),
// as it draws nothing for a picture without a file name (one a host fills in at run time).
// Pictures are read once per PagePainter and shared by every page it draws, so one painter
// should draw all pages of a document. A painter may draw on one thread while another asks it
// for a page's picture warnings.
#pragma once

#include <QImage>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "layout/display_list.h"
#include "layout/font_metrics.h"

class QPainter;

namespace print::render {

class PagePainter {
public:
    // Measures justified text with `metrics`; null means the process default (the metrics
    // layout used unless a report was given its own).
    explicit PagePainter(std::shared_ptr<const layout::FontMetrics> metrics = nullptr);

    // Draws `page`. `painter` is active on its device; its state is restored afterwards.
    void paint(QPainter& painter, const layout::PageDisplayList& page, double unitsPerPoint) const;

    // A painter for the screen also draws what is shown there only (the red cross of a barcode
    // that cannot be encoded); paper, PDF and PNG files never show it.
    void setPreview(bool preview) { m_preview = preview; }
    bool preview() const { return m_preview; }

    // One line for each picture of `page` that names a file that cannot be read ("the picture
    // PATH of OBJECT cannot be read: why"); empty when every picture can be drawn.
    std::vector<std::string> pictureWarnings(const layout::PageDisplayList& page) const;

private:
    struct LoadedImage {
        QImage image;
        std::string error;  // why it could not be read; empty when it was
    };
    // The font last set on the painter, so that runs in the same font do not set it again.
    // The painter state the last text set, so that runs of one font and colour do not set it
    // again: a PDF engine writes out every change of state.
    struct FontCache {
        const layout::FontSpec* spec = nullptr;
        std::optional<uint32_t> color;  // the pen a text set, until something else sets one
    };
    const LoadedImage& image(const std::string& path, bool invert) const;
    void drawText(QPainter& painter, const layout::TextRun& run, double deviceDpi,
                  FontCache& fonts) const;
    // Whether everything `item` draws lies inside `clip`, so that clipping changes nothing.
    bool insideClip(const layout::DisplayItem& item, const layout::PageRect& clip) const;

    std::shared_ptr<const layout::FontMetrics> m_metrics;
    bool m_preview = false;
    mutable std::mutex m_imagesMutex;
    // Entries are never changed or removed once read, so a reference to one stays good.
    mutable std::map<std::pair<std::string, bool>, LoadedImage> m_images;
};

}  // namespace print::render
