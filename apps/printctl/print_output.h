// Where `printctl print` sends the prints the window makes: numbered PDF files (OUT.pdf, then
// OUT-2.pdf, ...) or a named printer.
#pragma once

#include <string>
#include <vector>

#include "platform/services.h"

namespace printctl {

class PrintOutput {
public:
    PrintOutput(std::string pdf, std::string printer)
        : m_pdf(std::move(pdf)), m_printer(std::move(printer)) {}

    // Prints one job: 1, or -1 with the reason on standard error.
    int print(const print::platform::PrintJob& job);

    int printed() const { return m_printed; }
    int failures() const { return m_failures; }
    const std::vector<std::string>& files() const { return m_files; }

private:
    std::string m_pdf;
    std::string m_printer;
    int m_printed = 0;
    int m_failures = 0;
    std::vector<std::string> m_files;
};

}  // namespace printctl
