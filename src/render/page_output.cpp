#include "render/page_output.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "common/atomic_file.h"

namespace print::render {
namespace {

// Fine enough that Qt's rounding of coordinates in the PDF is far below what a printer shows.
constexpr int kPdfResolution = 1200;

Error writeError(const std::string& path, const QString& why) {
    return Error{"cannot write " + path + ": " + why.toStdString()};
}

// The pages drawn into a PDF in memory.
Status drawPdf(const std::vector<long>& pages, const PageSource& source, QIODevice& device,
               const std::string& name, const PdfOptions& options, const PagePainter& painter) {
    QPdfWriter writer(&device);
    writer.setResolution(kPdfResolution);
    writer.setTitle(QString::fromStdString(options.title));
    writer.setCreator(QString::fromStdString(options.creator));
    QPainter qp;
    for (size_t i = 0; i < pages.size(); ++i) {
        auto page = source(pages[i]);
        if (!page.ok()) return page.error();
        const layout::PageDisplayList& list = *page.value();
        if (Status images = painter.checkImages(list); !images) return images;
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

Result<QByteArray> pdfBytes(const std::vector<long>& pages, const PageSource& source,
                            const std::string& name, const PdfOptions& options,
                            const PagePainter& painter) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (Status drawn = drawPdf(pages, source, buffer, name, options, painter); !drawn)
        return drawn.error();
    buffer.close();
    return bytes;
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

Status writePng(const layout::PageDisplayList& page, const std::string& path, double dpi,
                const PagePainter& painter) {
    if (Status images = painter.checkImages(page); !images) return images;
    AtomicFile file;
    if (Status opened = file.open(path); !opened) return opened;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!renderPage(page, dpi, painter).save(&buffer, "PNG"))
        return writeError(path, "the image cannot be encoded as PNG");
    file.write(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    return file.commit();
}

Status writePdf(const std::vector<long>& pages, const PageSource& source, QIODevice& device,
                const std::string& name, const PdfOptions& options, const PagePainter& painter) {
    if (pages.empty()) return Error{"no page to write into " + name};
    Result<QByteArray> bytes = pdfBytes(pages, source, name, options, painter);
    if (!bytes.ok()) return bytes.error();
    if (device.write(bytes.value()) != bytes.value().size())
        return writeError(name, device.errorString());
    return Status::success();
}

Status writePdf(const std::vector<long>& pages, const PageSource& source, const std::string& path,
                const PdfOptions& options, const PagePainter& painter) {
    if (pages.empty()) return Error{"no page to write into " + path};
    AtomicFile file;
    if (Status opened = file.open(path); !opened) return opened;
    Result<QByteArray> bytes = pdfBytes(pages, source, path, options, painter);
    if (!bytes.ok()) return bytes.error();
    file.write(
        std::string_view(bytes.value().constData(), static_cast<size_t>(bytes.value().size())));
    return file.commit();
}

}  // namespace print::render
