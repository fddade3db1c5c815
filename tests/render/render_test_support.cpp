#include "render_test_support.h"

#include <QColor>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace print::render::test {

engine::PageDisplayList a4Page(long number) {
    engine::PageDisplayList page;
    page.page = number;
    page.paperWidth = 595.28;
    page.paperHeight = 841.89;
    page.printable = {28.35, 28.35, 538.58, 785.19};
    return page;
}

engine::TextRun textRun(const std::string& text, double x, double y, double width,
                        const std::string& face, double size, engine::TextAlign align) {
    engine::TextRun run;
    run.text = text;
    run.font.face = face;
    run.font.size = size;
    run.align = align;
    const auto metrics = engine::defaultFontMetrics();
    run.box = {x, y, width, metrics->lineSpacing(run.font)};
    run.baseline = y + metrics->ascent(run.font);
    run.textWidth = metrics->width(run.font, text);
    return run;
}

void addItem(engine::PageDisplayList& page, engine::DisplayItem item) {
    page.items.push_back(std::move(item));
}

void addText(engine::PageDisplayList& page, engine::TextRun run) {
    engine::DisplayItem item;
    item.shape = std::move(run);
    page.items.push_back(std::move(item));
}

PageSource sourceOf(std::vector<std::shared_ptr<const engine::PageDisplayList>> pages) {
    return [pages = std::move(pages)](
               long n) -> Result<std::shared_ptr<const engine::PageDisplayList>> {
        if (n < 1 || n > static_cast<long>(pages.size()))
            return Error{"no page " + std::to_string(n)};
        return pages[static_cast<size_t>(n - 1)];
    };
}

::testing::AssertionResult matchesBaseline(const QImage& image, const std::string& name,
                                           double tolerance) {
    const QString path =
        QString::fromStdString(std::string(RENDER_BASELINES_DIR) + "/" + name + ".png");
    const char* update = std::getenv("PRINT_UPDATE_BASELINES");
    if (update && std::string(update) == "1") {
        if (!image.save(path, "PNG"))
            return ::testing::AssertionFailure() << "cannot write " << path.toStdString();
        return ::testing::AssertionSuccess();
    }
    QImage baseline(path);
    if (baseline.isNull())
        return ::testing::AssertionFailure()
               << "no baseline " << path.toStdString()
               << " (PRINT_UPDATE_BASELINES=1 writes it; look at it before committing)";
    if (baseline.size() != image.size())
        return ::testing::AssertionFailure()
               << "size " << image.width() << "x" << image.height() << ", baseline "
               << baseline.width() << "x" << baseline.height();
    const QImage a = image.convertToFormat(QImage::Format_RGB32);
    const QImage b = baseline.convertToFormat(QImage::Format_RGB32);
    long differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int d = std::max({std::abs(qRed(la[x]) - qRed(lb[x])),
                                    std::abs(qGreen(la[x]) - qGreen(lb[x])),
                                    std::abs(qBlue(la[x]) - qBlue(lb[x]))});
            if (d > 64) ++differing;
        }
    }
    const double share =
        static_cast<double>(differing) / (static_cast<double>(a.width()) * a.height());
    if (share > tolerance) {
        const std::string actual = "/tmp/" + name + "-actual.png";
        image.save(QString::fromStdString(actual), "PNG");
        return ::testing::AssertionFailure()
               << share * 100 << "% of the pixels differ from " << path.toStdString()
               << " (the page drawn now is in " << actual << ")";
    }
    return ::testing::AssertionSuccess();
}

std::string runTool(const std::string& commandLine) {
    std::string output;
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << commandLine;
        return output;
    }
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
    const int status = pclose(pipe);
    if (status != 0) ADD_FAILURE() << commandLine << " exited with " << status;
    return output;
}

int darkPixels(const QImage& image, const QRect& rect) {
    int dark = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128) ++dark;
    }
    return dark;
}

TempDir::TempDir() {
    std::random_device random;
    m_path = std::filesystem::temp_directory_path() /
             ("render-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

}  // namespace print::render::test
