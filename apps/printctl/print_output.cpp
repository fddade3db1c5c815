#include "print_output.h"

#include <filesystem>
#include <iostream>

#include "layout/report_layout.h"
#include "render/gui_application.h"
#include "render/report_print.h"

namespace printctl {
namespace {

// OUT.pdf for the first print, OUT-2.pdf for the second, ...
std::string numberedPath(const std::string& path, int number) {
    if (number == 1) return path;
    const std::filesystem::path p(path);
    std::filesystem::path numbered = p.parent_path() / p.stem();
    numbered += "-" + std::to_string(number);
    numbered += p.extension();
    return numbered.string();
}

}  // namespace

void PrintOutput::prepare() {
    print::render::ensureGuiApplication();
}

int PrintOutput::writePdf(const print::platform::PrintJob& job, const std::string& path,
                          std::string& error) {
    if (!job.report) {
        error = "nothing to write: the job has no report";
        return -1;
    }
    prepare();
    print::render::PrintTarget target;
    target.pdfPath = path;
    target.onceEach = true;
    target.warn = [](long page, const std::string& warning) {
        std::cerr << "warning: page " << page << ": " << warning << "\n";
    };
    const print::Status written = print::render::printReport(*job.report, target, job.documentName);
    if (written) return 1;
    error = written.error().message;
    return -1;
}

int PrintOutput::print(const print::platform::PrintJob& job) {
    if (m_pdf.empty() && m_printer.empty() && !m_dump) {
        std::cerr << "error: the window printed, but neither --pdf nor --printer was given\n";
        ++m_failures;
        return -1;
    }
    if (!job.report) {
        std::cerr << "error: the window printed without a report\n";
        ++m_failures;
        return -1;
    }
    if (m_dump) {
        // The pages the print selects (its page range and odd or even pages), once each.
        print::layout::ReportLayout& layout = print::layout::layoutOf(*job.report);
        const print::render::PrintSettings settings = print::render::printSettingsOf(*job.report);
        auto pages =
            print::render::selectPages(settings.pageRange, settings.parity, layout.pageCount());
        if (!pages.ok()) {
            std::cerr << "error: " << pages.error().message << "\n";
            ++m_failures;
            return -1;
        }
        for (const long page : pages.value()) {
            auto list = layout.displayList(page);
            if (!list.ok()) {
                std::cerr << "error: " << list.error().message << "\n";
                ++m_failures;
                return -1;
            }
            std::cout << print::layout::dumpDisplayList(*list.value());
        }
        if (m_pdf.empty() && m_printer.empty()) {
            ++m_printed;
            m_files.push_back("standard output");
            return 1;
        }
    }
    print::render::PrintTarget target;
    target.warn = [](long page, const std::string& warning) {
        std::cerr << "warning: page " << page << ": " << warning << "\n";
    };
    if (!m_pdf.empty())
        target.pdfPath = numberedPath(m_pdf, m_printed + m_failures + 1);
    else
        target.printer = m_printer;
    const print::Status printed = print::render::printReport(*job.report, target, job.documentName);
    if (!printed) {
        std::cerr << "error: " << printed.error().message << "\n";
        ++m_failures;
        return -1;
    }
    ++m_printed;
    m_files.push_back(target.pdfPath.empty() ? "printer " + m_printer : target.pdfPath);
    return 1;
}

}  // namespace printctl
