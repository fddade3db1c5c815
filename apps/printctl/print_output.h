// Where `printctl print` sends the prints the window makes: numbered PDF files (OUT.pdf, then
// OUT-2.pdf, ...) or a named printer, each print with the print properties of the report the
// window hands over (copies, page range, odd or even pages, collation).
#pragma once

#include <string>
#include <vector>

#include "platform/services.h"

namespace printctl {

class PrintOutput {
public:
    // With `dump`, the display lists of each print's pages go to standard output as well (or
    // alone, when neither a PDF nor a printer is given).
    PrintOutput(std::string pdf, std::string printer, bool dump = false)
        : m_pdf(std::move(pdf)), m_printer(std::move(printer)), m_dump(dump) {}

    // Sets up drawing (Qt, its fonts and metrics); call it before the window lays reports
    // out, so that they break lines as the pages are drawn.
    static void prepare();

    // Prints one job: 1, or -1 with the reason on standard error.
    int print(const print::platform::PrintJob& job);
    // The window's export as a PDF file: its pages as printed, each once. 1, or -1 with the
    // reason in `error`; warnings of the pages go to standard error.
    static int writePdf(const print::platform::PrintJob& job, const std::string& path,
                        std::string& error);

    int printed() const { return m_printed; }
    int failures() const { return m_failures; }
    // What each successful print went to: the PDF file, or "printer NAME".
    const std::vector<std::string>& files() const { return m_files; }

private:
    std::string m_pdf;
    std::string m_printer;
    bool m_dump = false;
    int m_printed = 0;
    int m_failures = 0;
    std::vector<std::string> m_files;
};

}  // namespace printctl
