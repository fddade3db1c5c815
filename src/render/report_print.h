// Printing a report: the pages its print properties select, as often as they ask, into a PDF
// file or onto a printer of the print system (CUPS).
//
// The print properties read from the report (`printSettingsOf`): Print.Copies (below 1 is 1;
// at most kMaxCopies are printed, a larger number is an error as the settings page allows no
// more),
// Print.Collate (yes unless "no"), Print.Page.Range ("1,3,5-10"; empty for every page),
// Print.Page.RangeInclude (0 every page of the range, 1 odd pages, 2 even pages) and
// Print.DocumentName. Paper, orientation, margins and scale are already in the pages layout
// made.
//
// Copies: a PDF file holds every copy, one after the other when collated (1 2 3 1 2 3), each
// page repeated when not (1 1 2 2 3 3). A printer gets the selected pages once and is asked
// for the copies (`lp -n`), collated or not.
//
// A printer is named as the print system knows it. The pages go through `lp` (from the
// cups-client package) as a PDF, the same PDF a file would hold; the printer is looked up with
// `lpstat` first so that a name the print system does not know is a clear error. Both are
// found on PATH and run without a shell.
//
// Failures come back as an Error, word for word:
// - `the report asks for N copies; at most 999 can be printed`
// - `the page range "TEXT" is not valid: give pages and ranges such as 1,3,5-10`
// - `nothing to print: no odd page in the page range "TEXT" (the report has N pages)`, with
//   "odd", "even" or nothing before "page", and without the range when none was given
// - `the printer "NAME" does not exist`
// - `cannot print on the printer "NAME": ...` with what the print system answered
// - the errors of page_output.h for the PDF file or the pictures.
// - a report whose band of fixed height is taller than a page (`ReportLayout::checkBands`)
//   is not printed: the Error names the band.
//
// Warnings of the pages printed (a number wider than its box, drawn whole past it) go to the
// target's `warn`, once a page.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "render/page_output.h"

namespace print::engine {
class DataStore;
}

namespace print::render {

enum class PageParity { All, Odd, Even };

constexpr int kMaxCopies = 999;

struct PrintSettings {
    long long copies = 1;
    bool collate = true;
    std::string pageRange;
    PageParity parity = PageParity::All;
    std::string documentName;
};

// Where a print goes: a PDF file, or else the named printer.
struct PrintTarget {
    std::string pdfPath;
    std::string printer;
    // A PDF to keep (an export) holds each page once, whatever copies the report asks for.
    bool onceEach = false;
    // Told each warning of each page printed, once; may be empty.
    std::function<void(long page, const std::string& warning)> warn;
    // Told before each page is laid out how many of how many are done, on the calling thread
    // (a PDF's pages are drawn on a second one, a page or so behind); false stops the print,
    // which then fails with kPrintCancelled and leaves no file. May be empty.
    std::function<bool(long done, long total)> progress;
};

// The message of a print its `progress` stopped.
inline constexpr const char* kPrintCancelled = "the print was cancelled";

// `source`, telling `warn` the warnings of each page the first time it is asked for: those of
// its layout, and the pictures `painter` (when given) cannot read.
PageSource reportingWarnings(PageSource source,
                             std::function<void(long page, const std::string& warning)> warn,
                             const PagePainter* painter = nullptr);

PrintSettings printSettingsOf(engine::DataStore& report);

// The pages to print, ascending and each once, out of `pageCount`.
Result<std::vector<long>> selectPages(std::string_view range, PageParity parity, long pageCount);

// The sequence of pages a PDF holds for `copies` copies of `pages`.
std::vector<long> withCopies(const std::vector<long>& pages, long long copies, bool collate);

// Prints `pageCount` pages of `source` as `settings` say.
Status printPages(long pageCount, const PageSource& source, const PrintSettings& settings,
                  const PrintTarget& target, const PagePainter& painter);

// The pages of a report as its layout makes them (layoutOf(report)).
PageSource pagesOf(engine::DataStore& report);

// Prints a report with the print properties it carries; `documentName`, when not empty, names
// the job instead of Print.DocumentName. The painter measures with the report's own metrics.
// Into a PDF file with `onceEach`, this is the export of the report as a PDF.
Status printReport(engine::DataStore& report, const PrintTarget& target,
                   const std::string& documentName = {});

}  // namespace print::render
