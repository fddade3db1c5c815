#include "render/page_output.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace print::render {
namespace {

// Fine enough that Qt's rounding of coordinates in the PDF is far below what a printer shows.
constexpr int kPdfResolution = 1200;

Error writeError(const std::string& path, const QString& why) {
    return Error{"cannot write " + path + ": " + why.toStdString()};
}

}  // namespace

QPageLayout pageLayoutOf(const layout::PageDisplayList& page) {
    const double w = page.paperWidth > 0 ? page.paperWidth : 595.28;
    const double h = page.paperHeight > 0 ? page.paperHeight : 841.89;
    const bool landscape = w > h;
    const QSizeF portrait = landscape ? QSizeF(h, w) : QSizeF(w, h);
    const QPageSize size(portrait, QPageSize::Point, QString(), QPageSize::FuzzyMatch);
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

QImage renderPage(const layout::PageDisplayList& page, double dpi, const PagePainter& painter) {
    const double scale = dpi / 72.0;
    const int width = std::max(1, static_cast<int>(std::lround(page.paperWidth * scale)));
    const int height = std::max(1, static_cast<int>(std::lround(page.paperHeight * scale)));
    QImage image(width, height, QImage::Format_RGB32);
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter qp(&image);
    painter.paint(qp, page, scale);
    return image;
}

int largestDpiFor(double paperWidth, double paperHeight) {
    const double area = std::max(paperWidth, 1.0) * std::max(paperHeight, 1.0);
    return std::max(1, static_cast<int>(std::floor(72 * std::sqrt(kMaxPictureMegapixels * 1e6 /
                                                                  area))));
}

Status checkPictureSize(double paperWidth, double paperHeight, double dpi) {
    const double width = std::ceil(paperWidth * dpi / 72), height = std::ceil(paperHeight * dpi / 72);
    const double megapixels = width * height / 1e6;
    if (megapixels <= kMaxPictureMegapixels) return Status::success();
    char text[320];
    std::snprintf(text, sizeof text,
                  "a page of %.0f x %.0f pt at %g dpi is a picture of %.0f x %.0f pixels (%.0f "
                  "megapixels), more than the %.0f megapixels a picture may have; at most %d dpi "
                  "fits it",
                  paperWidth, paperHeight, dpi, width, height, megapixels, kMaxPictureMegapixels,
                  largestDpiFor(paperWidth, paperHeight));
    return Error{text};
}

Status writePng(const layout::PageDisplayList& page, const std::string& path, double dpi,
                const PagePainter& painter) {
    if (Status fits = checkPictureSize(page.paperWidth, page.paperHeight, dpi); !fits) return fits;
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return writeError(path, file.errorString());
    const QImage image = renderPage(page, dpi, painter);
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        return writeError(path, file.errorString());
    }
    if (!file.commit()) return writeError(path, file.errorString());
    return Status::success();
}

Status writePdf(const std::vector<long>& pages, const PageSource& source, QIODevice& device,
                const std::string& name, const PdfOptions& options, const PagePainter& painter) {
    if (pages.empty()) return Error{"no page to write into " + name};
    QPdfWriter writer(&device);
    writer.setResolution(kPdfResolution);
    writer.setTitle(QString::fromStdString(options.title));
    writer.setCreator(QString::fromStdString(options.creator));
    QPainter qp;
    for (size_t i = 0; i < pages.size(); ++i) {
        auto page = source(pages[i]);
        if (!page.ok()) return page.error();
        const layout::PageDisplayList& list = *page.value();
        writer.setPageLayout(pageLayoutOf(list));
        if (i == 0) {
            if (!qp.begin(&writer)) return writeError(name, device.errorString());
        } else if (!writer.newPage()) {
            return writeError(name, device.errorString());
        }
        painter.paint(qp, list, kPdfResolution / 72.0);
    }
    if (!qp.end()) return writeError(name, device.errorString());
    return Status::success();
}

Status writePdf(const std::vector<long>& pages, const PageSource& source, const std::string& path,
                const PdfOptions& options, const PagePainter& painter) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return writeError(path, file.errorString());
    if (Status written = writePdf(pages, source, file, path, options, painter); !written) {
        file.cancelWriting();
        return written;
    }
    if (!file.commit()) return writeError(path, file.errorString());
    return Status::success();
}

}  // namespace print::render
