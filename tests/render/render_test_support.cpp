#include "render_test_support.h"

#include <QColor>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace print::render::test {

layout::PageDisplayList a4Page(long number) {
    layout::PageDisplayList page;
    page.page = number;
    page.paperWidth = 595.28;
    page.paperHeight = 841.89;
    page.printable = {28.35, 28.35, 538.58, 785.19};
    return page;
}

layout::TextRun textRun(const std::string& text, double x, double y, double width,
                        const std::string& face, double size, layout::TextAlign align) {
    layout::TextRun run;
    run.text = text;
    run.font.face = face;
    run.font.size = size;
    run.align = align;
    const auto metrics = layout::defaultFontMetrics();
    run.box = {x, y, width, metrics->lineSpacing(run.font)};
    run.baseline = y + metrics->ascent(run.font);
    run.textWidth = metrics->width(run.font, text);
    return run;
}

void addItem(layout::PageDisplayList& page, layout::DisplayItem item) {
    page.items.push_back(std::move(item));
}

void addText(layout::PageDisplayList& page, layout::TextRun run) {
    layout::DisplayItem item;
    item.shape = std::move(run);
    page.items.push_back(std::move(item));
}

PageSource sourceOf(std::vector<std::shared_ptr<const layout::PageDisplayList>> pages) {
    return [pages = std::move(pages)](
               long n) -> Result<std::shared_ptr<const layout::PageDisplayList>> {
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
    const std::string actual = "/tmp/" + name + "-actual.png";
    if (baseline.size() != image.size()) {
        image.save(QString::fromStdString(actual), "PNG");
        return ::testing::AssertionFailure()
               << "size " << image.width() << "x" << image.height() << ", baseline "
               << baseline.width() << "x" << baseline.height() << " (the page drawn now is in "
               << actual << ")";
    }
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

namespace print::render::test {
namespace {

layout::DisplayItem lineItem(double x1, double y1, double x2, double y2, double width = 0.5) {
    layout::DisplayItem item;
    layout::LineShape line;
    line.from = {x1, y1};
    line.to = {x2, y2};
    line.pen.width = width;
    item.shape = line;
    return item;
}

}  // namespace

layout::PageDisplayList chineseBillPage(long page, long pageCount) {
    using layout::TextAlign;
    layout::PageDisplayList list = a4Page(page);
    layout::TextRun title = textRun("采购订单", 40, 40, 515, "黑体", 20, TextAlign::Center);
    title.font.weight = 700;
    addText(list, title);
    addText(list, textRun("单据号：PO2026-000305", 40, 80, 250));
    addText(list, textRun("供应商：上海华联食品有限公司", 300, 80, 255));
    addText(list, textRun("订货日期：2026年12月08日", 40, 98, 250));
    addText(list, textRun("收货门店：南京路一店", 300, 98, 255));
    const double left = 40, right = 555, top = 124, rowHeight = 20;
    const std::vector<std::string> headings = {"序号", "商品编码", "商品名称",
                                               "数量", "单价",     "金额"};
    const std::vector<double> columns = {40, 80, 160, 350, 410, 480, 555};
    const std::vector<std::vector<std::string>> rows = {
        {"1", "690123", "康师傅红烧牛肉面", "120", "3.50", "420.00"},
        {"2", "690456", "农夫山泉天然水550ml", "240", "1.20", "288.00"},
        {"3", "690789", "金龙鱼调和油5L", "12", "59.90", "718.80"},
        {"4", "691012", "旺旺雪饼（家庭装）", "30", "16.80", "504.00"},
    };
    for (size_t r = 0; r <= rows.size() + 1; ++r) {
        const double y = top + static_cast<double>(r) * rowHeight;
        addItem(list, lineItem(left, y, right, y));
    }
    const double bottom = top + static_cast<double>(rows.size() + 1) * rowHeight;
    for (const double x : columns) addItem(list, lineItem(x, top, x, bottom));
    for (size_t c = 0; c < headings.size(); ++c) {
        layout::TextRun heading =
            textRun(headings[c], columns[c] + 2, top + 4, columns[c + 1] - columns[c] - 4, "黑体",
                    10.5, TextAlign::Center);
        addText(list, heading);
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < headings.size(); ++c) {
            const TextAlign align = c >= 3 ? TextAlign::Right : TextAlign::Left;
            layout::DisplayItem item;
            item.shape = textRun(rows[r][c], columns[c] + 2,
                                 top + static_cast<double>(r + 1) * rowHeight + 4,
                                 columns[c + 1] - columns[c] - 4, "宋体", 10.5, align);
            item.tag.band = "detail";
            item.tag.row = static_cast<long>(r + 1);
            item.clip = layout::PageRect{columns[c], top + static_cast<double>(r + 1) * rowHeight,
                                         columns[c + 1] - columns[c], rowHeight};
            addItem(list, item);
        }
    }
    addText(list, textRun("合计金额（大写）：壹仟玖佰叁拾元捌角整", 40, bottom + 8, 380));
    addText(list, textRun("￥1,930.80", 420, bottom + 8, 135, "宋体", 12, TextAlign::Right));
    addText(list, textRun("备注：请于收货后七日内开具增值税专用发票，逾期不予结算。", 40,
                          bottom + 30, 515, "宋体", 10.5, TextAlign::Justify));
    addText(list, textRun("制单人：张伟      审核：李娜      仓管：王强", 40, 780, 400));
    addText(list, textRun("第" + std::to_string(page) + "页 共" + std::to_string(pageCount) + "页",
                          40, 800, 515, "宋体", 9, TextAlign::Center));
    return list;
}

}  // namespace print::render::test
