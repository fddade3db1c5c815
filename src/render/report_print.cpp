#include "render/report_print.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <algorithm>
#include <charconv>
#include <limits>
#include <memory>
#include <set>

#include "common/text.h"
#include "engine/datastore.h"
#include "layout/report_layout.h"

namespace print::render {
namespace {

// Describe's answer, or "" for a property without a value.
std::string describeValue(engine::DataStore& report, const char* property) {
    std::string value = report.Describe(property);
    if (value == "?" || value == "!") return {};
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

std::optional<long> parsePage(std::string_view text) {
    text = trimView(text);
    long page = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), page);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || page < 1)
        return std::nullopt;
    return page;
}

std::string plural(long n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

struct ProcessResult {
    int exitCode = -1;
    std::string output;  // standard output and error, trimmed
};

ProcessResult run(const QString& program, const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    ProcessResult result;
    if (!process.waitForStarted() || !process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        result.output = process.errorString().toStdString();
        return result;
    }
    result.output = std::string(trimView(process.readAll().toStdString()));
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

// The print system's name for a paper of `width` by `height` points (either orientation): the
// common sizes by name, any other as a custom size in points.
QString mediaName(double width, double height) {
    const double shorter = std::min(width, height), longer = std::max(width, height);
    struct Named {
        const char* name;
        double shorter, longer;
    };
    static const Named kNamed[] = {{"A3", 842, 1191}, {"A4", 595, 842},     {"A5", 420, 595},
                                   {"B4", 729, 1032}, {"B5", 516, 729},     {"Letter", 612, 792},
                                   {"Legal", 612, 1008}, {"Executive", 522, 756}};
    for (const Named& n : kNamed)
        if (std::abs(shorter - n.shorter) <= 2 && std::abs(longer - n.longer) <= 2)
            return QString::fromLatin1(n.name);
    return QStringLiteral("Custom.%1x%2").arg(std::lround(width)).arg(std::lround(height));
}

Status printOnPrinter(const std::vector<long>& pages, const PageSource& source,
                      const PrintSettings& settings, const std::string& printer,
                      const PagePainter& painter) {
    const std::string failed = "cannot print on the printer \"" + printer + "\": ";
    const QString lp = QStandardPaths::findExecutable(QStringLiteral("lp"));
    const QString lpstat = QStandardPaths::findExecutable(QStringLiteral("lpstat"));
    if (lp.isEmpty() || lpstat.isEmpty())
        return Error{failed + "the print system's commands lp and lpstat are not installed " +
                     "(Debian package cups-client)"};
    const QString name = QString::fromStdString(printer);
    const ProcessResult known = run(lpstat, {QStringLiteral("-p"), name});
    if (known.exitCode != 0) {
        if (known.output.find("Invalid destination") != std::string::npos ||
            known.output.find("No destinations") != std::string::npos)
            return Error{"the printer \"" + printer + "\" does not exist"};
        return Error{failed + known.output};
    }

    QTemporaryFile spool(QDir::tempPath() + QStringLiteral("/print-XXXXXX.pdf"));
    if (!spool.open())
        return Error{failed + "cannot create a spool file: " + spool.errorString().toStdString()};
    PdfOptions options;
    options.title = settings.documentName;
    const std::string spoolName = spool.fileName().toStdString();
    if (Status written = writePdf(pages, source, spool, spoolName, options, painter); !written)
        return written;
    if (!spool.flush()) return Error{failed + spool.errorString().toStdString()};

    QStringList args = {QStringLiteral("-d"), name, QStringLiteral("-n"),
                        QString::number(std::max(1LL, settings.copies))};
    if (!settings.documentName.empty())
        args << QStringLiteral("-t") << QString::fromStdString(settings.documentName);
    args << QStringLiteral("-o")
         << (settings.collate ? QStringLiteral("collate=true") : QStringLiteral("collate=false"));
    // The paper the report was laid out on, not the printer's default one, at its actual size:
    // a bill laid out on A4 is not shrunk onto Letter or into the printer's margins (forms are
    // printed onto pre-printed paper).
    args << QStringLiteral("-o") << QStringLiteral("print-scaling=none");
    if (!pages.empty()) {
        auto first = source(pages.front());
        if (first.ok())
            args << QStringLiteral("-o")
                 << QStringLiteral("media=") +
                        mediaName(first.value()->paperWidth, first.value()->paperHeight);
    }
    args << spool.fileName();
    const ProcessResult submitted = run(lp, args);
    if (submitted.exitCode != 0) return Error{failed + submitted.output};
    return Status::success();
}

}  // namespace

PrintSettings printSettingsOf(engine::DataStore& report) {
    PrintSettings settings;
    long long copies = 0;
    const std::string copiesText = trim(describeValue(report, "DataWindow.Print.Copies"));
    const auto read =
        std::from_chars(copiesText.data(), copiesText.data() + copiesText.size(), copies);
    // Digits too many to read are more copies than any bound, not one copy.
    if (read.ec == std::errc::result_out_of_range) copies = std::numeric_limits<long long>::max();
    settings.copies = std::max(1LL, copies);
    settings.collate = !iequals(trim(describeValue(report, "DataWindow.Print.Collate")), "no");
    settings.pageRange = trim(describeValue(report, "DataWindow.Print.Page.Range"));
    const std::string include = trim(describeValue(report, "DataWindow.Print.Page.RangeInclude"));
    if (include == "1") settings.parity = PageParity::Odd;
    if (include == "2") settings.parity = PageParity::Even;
    settings.documentName = describeValue(report, "DataWindow.Print.DocumentName");
    return settings;
}

Result<std::vector<long>> selectPages(std::string_view range, PageParity parity, long pageCount) {
    const std::string rangeText(trimView(range));
    std::set<long> chosen;
    if (rangeText.empty()) {
        for (long page = 1; page <= pageCount; ++page) chosen.insert(page);
    } else {
        const Error invalid{"the page range \"" + rangeText +
                            "\" is not valid: give pages and ranges such as 1,3,5-10"};
        for (const std::string& part : split(rangeText, ',')) {
            const size_t dash = part.find('-');
            const auto first = parsePage(std::string_view(part).substr(0, dash));
            const auto last = dash == std::string::npos
                                  ? first
                                  : parsePage(std::string_view(part).substr(dash + 1));
            if (!first || !last || *last < *first) return invalid;
            for (long page = *first; page <= std::min(*last, pageCount); ++page)
                chosen.insert(page);
        }
    }
    std::vector<long> pages;
    for (const long page : chosen) {
        if (parity == PageParity::Odd && page % 2 == 0) continue;
        if (parity == PageParity::Even && page % 2 == 1) continue;
        pages.push_back(page);
    }
    if (!pages.empty()) return pages;
    std::string what = parity == PageParity::Odd    ? "no odd page"
                       : parity == PageParity::Even ? "no even page"
                                                    : "no page";
    if (!rangeText.empty()) what += " in the page range \"" + rangeText + "\"";
    return Error{"nothing to print: " + what + " (the report has " + plural(pageCount, "page") +
                 ")"};
}

std::vector<long> withCopies(const std::vector<long>& pages, long long copies, bool collate) {
    std::vector<long> sequence;
    const int n = static_cast<int>(std::clamp<long long>(copies, 1, kMaxCopies));
    sequence.reserve(pages.size() * static_cast<size_t>(n));
    if (collate) {
        for (int copy = 0; copy < n; ++copy)
            sequence.insert(sequence.end(), pages.begin(), pages.end());
    } else {
        for (const long page : pages) sequence.insert(sequence.end(), static_cast<size_t>(n), page);
    }
    return sequence;
}

Status printPages(long pageCount, const PageSource& source, const PrintSettings& settings,
                  const PrintTarget& target, const PagePainter& painter) {
    if (settings.copies > kMaxCopies)
        return Error{"the report asks for " + std::to_string(settings.copies) +
                     " copies; at most " + std::to_string(kMaxCopies) + " can be printed"};
    auto pages = selectPages(settings.pageRange, settings.parity, pageCount);
    if (!pages.ok()) return pages.error();
    const std::vector<long> sequence =
        target.pdfPath.empty() ? pages.value()
                               : withCopies(pages.value(), settings.copies, settings.collate);
    PageSource counted = source;
    if (target.progress) {
        auto done = std::make_shared<long>(0);
        const long total = static_cast<long>(sequence.size());
        counted = [source, progress = target.progress, done,
                   total](long page) -> Result<std::shared_ptr<const layout::PageDisplayList>> {
            if (!progress((*done)++, total)) return Error{kPrintCancelled};
            return source(page);
        };
    }
    if (target.pdfPath.empty())
        return printOnPrinter(sequence, counted, settings, target.printer, painter);
    PdfOptions options;
    options.title = settings.documentName;
    return writePdf(sequence, counted, target.pdfPath, options, painter);
}

PageSource pagesOf(engine::DataStore& report) {
    return [&report](long page) { return layout::layoutOf(report).displayList(page); };
}

PageSource reportingWarnings(PageSource source,
                             std::function<void(long page, const std::string& warning)> warn,
                             const PagePainter* painter) {
    if (!warn) return source;
    auto told = std::make_shared<std::set<long>>();
    return [source = std::move(source), warn = std::move(warn), told, painter](long page) {
        auto list = source(page);
        if (!list.ok() || !told->insert(page).second) return list;
        for (const std::string& warning : list.value()->warnings) warn(page, warning);
        if (painter)
            for (const std::string& warning : painter->pictureWarnings(*list.value()))
                warn(page, warning);
        return list;
    };
}

Status printReport(engine::DataStore& report, const PrintTarget& target,
                   const std::string& documentName) {
    PrintSettings settings = printSettingsOf(report);
    if (!documentName.empty()) settings.documentName = documentName;
    if (target.onceEach) settings.copies = 1;
    layout::ReportLayout& layout = layout::layoutOf(report);
    if (Status fits = layout.checkBands(); !fits) return fits;
    const PagePainter painter(layout.fontMetrics());
    return printPages(layout.pageCount(),
                      reportingWarnings(pagesOf(report), target.warn, &painter), settings, target,
                      painter);
}

}  // namespace print::render
