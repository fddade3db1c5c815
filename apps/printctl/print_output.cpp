#include "print_output.h"

#include <filesystem>
#include <iostream>

namespace printctl {

int PrintOutput::print(const print::platform::PrintJob& job) {
    if (m_pdf.empty() && m_printer.empty()) {
        std::cerr << "error: the window printed, but neither --pdf nor --printer was given\n";
        ++m_failures;
        return -1;
    }
    std::cerr << "error: this build cannot draw pages yet\n";
    ++m_failures;
    return -1;
}

}  // namespace printctl
