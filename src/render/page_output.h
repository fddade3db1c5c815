// Pages to files: PNG images and PDF documents drawn by the PagePainter.
//
// A PDF holds real text (selectable, found by text extraction), with the fonts embedded as
// subsets of the glyphs used, named with the subset tag readers know them by ("ABCDEF+Name"); each
// page has the paper size and orientation of its display list. A PNG shows one page at the
// resolution asked for, on white paper.
//
// Files are written to a temporary name beside the target and renamed over it only when
// everything was drawn and written, so a failed write leaves any earlier file as it was and no
// torn file; a file written over keeps its permissions, a symbolic link its target, and a path
// that is not a regular file is refused (common/atomic_file.h). Failures come back as an Error:
// "cannot write PATH: why" when the file cannot be created or written, the painter's message when a
// picture of the page cannot be read, the page source's own error when a page cannot be laid out.
#pragma once

#include <QImage>
#include <QPageLayout>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/result.h"
#include "layout/display_list.h"
#include "render/page_painter.h"

class QIODevice;

namespace print::render {

// Gives the display list of a page (1-based).
using PageSource = std::function<Result<std::shared_ptr<const layout::PageDisplayList>>(long page)>;

struct PdfOptions {
    std::string title;  // the document's title in its properties
    std::string creator = "print component";
};

// Draws `page` into an image of `dpi` dots per inch (white paper; the image carries the dpi).
QImage renderPage(const layout::PageDisplayList& page, double dpi, const PagePainter& painter);

// A picture of a page holds at most this many pixels: a custom paper of several metres drawn at
// a printer's resolution would take gigabytes and minutes.
constexpr double kMaxPictureMegapixels = 100;

// Whether a page of `paperWidth` x `paperHeight` points drawn at `dpi` stays within the bound;
// else an Error naming its size in pixels and the largest resolution that fits ("a page of
// W x H pt at D dpi is a picture of A x B pixels (M megapixels), more than the 100 megapixels
// a picture may have; at most X dpi fits it").
Status checkPictureSize(double paperWidth, double paperHeight, double dpi);
// The largest whole resolution at which such a page stays within the bound (at least 1).
int largestDpiFor(double paperWidth, double paperHeight);

// Writes `page` as a PNG file at `dpi`; a picture beyond the bound is refused, nothing written.
Status writePng(const layout::PageDisplayList& page, const std::string& path, double dpi,
                const PagePainter& painter);

// The paper of a page as a printer understands it: a portrait size (a named one such as A4
// when it matches) turned to landscape when the page is wider than high, without margins (the
// page is laid out on the paper already).
QPageLayout pageLayoutOf(const layout::PageDisplayList& page);

// Writes the pages `pages` (in that order; a page may repeat) of `source` as one PDF file.
// `source` is called on the calling thread, once for each entry of `pages` and in their order,
// while a second thread draws the pages it gave; so it may lay out a report, show progress and
// let the preview repaint. The painter's picture cache and font metrics are shared with that
// thread, which is why both lock what they keep. A page that `source` cannot give (or that
// throws) ends the writing there, and the file is not written.
Status writePdf(const std::vector<long>& pages, const PageSource& source, const std::string& path,
                const PdfOptions& options, const PagePainter& painter);

// The same into an open device (for a printer's spool file); `name` is what errors call it.
Status writePdf(const std::vector<long>& pages, const PageSource& source, QIODevice& device,
                const std::string& name, const PdfOptions& options, const PagePainter& painter);

}  // namespace print::render
