#include "render/page_output.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "common/atomic_file.h"

namespace print::render {
namespace {

// Fine enough that Qt's rounding of coordinates in the PDF is far below what a printer shows.
constexpr int kPdfResolution = 1200;

Error writeError(const std::string& path, const QString& why) {
    return Error{"cannot write " + path + ": " + why.toStdString()};
}

// --- subset tags of embedded fonts ---------------------------------------------------------------
//
// Qt names an embedded subset "ABCDEF+Name" in its font descriptor but leaves the tag out of
// the fonts' BaseFont, where readers look to tell a subset from a whole font. The tag is put
// there too, and the cross-reference table moved by the bytes that adds. A file laid out in
// any way other than the one Qt writes (one classic cross-reference table, objects as plain
// text) is left as it is: it stays valid, only without the tags.

bool isPdfDelimiter(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0' || c == '/' ||
           c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' ||
           c == '}' || c == '%';
}

bool isBlank(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f';
}

// The name that follows `key` ("/BaseFont") in `dict`, and where it starts (after its slash).
std::optional<std::pair<size_t, std::string_view>> nameAfter(std::string_view dict,
                                                             std::string_view key) {
    size_t at = dict.find(key);
    if (at == std::string_view::npos) return std::nullopt;
    at += key.size();
    if (at < dict.size() && !isPdfDelimiter(dict[at])) return std::nullopt;  // a longer key
    while (at < dict.size() && isBlank(dict[at])) ++at;
    if (at >= dict.size() || dict[at] != '/') return std::nullopt;
    const size_t start = ++at;
    while (at < dict.size() && !isPdfDelimiter(dict[at])) ++at;
    return std::pair{start, dict.substr(start, at - start)};
}

// The object number of the first reference "N 0 R" after `key` (inside "[...]" too).
std::optional<long> referenceAfter(std::string_view dict, std::string_view key) {
    size_t at = dict.find(key);
    if (at == std::string_view::npos) return std::nullopt;
    at += key.size();
    while (at < dict.size() && (isBlank(dict[at]) || dict[at] == '[')) ++at;
    long number = 0;
    const size_t digits = at;
    while (at < dict.size() && dict[at] >= '0' && dict[at] <= '9')
        number = number * 10 + (dict[at++] - '0');
    if (at == digits || dict.substr(at, 4) != " 0 R") return std::nullopt;
    return number;
}

// Whether `name` begins with a subset tag: six capital letters and '+'.
bool hasSubsetTag(std::string_view name) {
    if (name.size() < 8 || name[6] != '+') return false;
    for (size_t i = 0; i < 6; ++i)
        if (name[i] < 'A' || name[i] > 'Z') return false;
    return true;
}

QByteArray tagFontSubsets(const QByteArray& pdf) {
    const std::string_view bytes(pdf.constData(), static_cast<size_t>(pdf.size()));
    // The cross-reference table that startxref points at, and its entries.
    const size_t startxref = bytes.rfind("startxref");
    if (startxref == std::string_view::npos) return pdf;
    size_t at = startxref + 9;
    while (at < bytes.size() && isBlank(bytes[at])) ++at;
    size_t xref = 0;
    const size_t xrefDigits = at;
    while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9')
        xref = xref * 10 + static_cast<size_t>(bytes[at++] - '0');
    const size_t xrefNumberEnd = at;
    if (at == xrefDigits || xref >= startxref || bytes.substr(xref, 4) != "xref") return pdf;
    struct Entry {
        long object;
        size_t at;      // where its 10-digit offset is written
        size_t offset;  // the offset
    };
    std::vector<Entry> entries;
    at = xref + 4;
    for (;;) {
        while (at < bytes.size() && isBlank(bytes[at])) ++at;
        if (bytes.substr(at, 7) == "trailer") break;
        long first = 0, count = 0;
        const size_t header = at;
        while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9')
            first = first * 10 + (bytes[at++] - '0');
        if (at == header || at >= bytes.size() || bytes[at] != ' ') return pdf;
        ++at;
        const size_t countStart = at;
        while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9')
            count = count * 10 + (bytes[at++] - '0');
        if (at == countStart) return pdf;
        while (at < bytes.size() && isBlank(bytes[at]) && bytes[at] != '\n') ++at;
        if (at >= bytes.size() || bytes[at] != '\n') return pdf;
        ++at;
        for (long i = 0; i < count; ++i, at += 20) {
            if (at + 20 > bytes.size() || bytes[at + 10] != ' ' || bytes[at + 16] != ' ')
                return pdf;
            size_t offset = 0;
            for (size_t k = 0; k < 10; ++k) {
                const char c = bytes[at + k];
                if (c < '0' || c > '9') return pdf;
                offset = offset * 10 + static_cast<size_t>(c - '0');
            }
            if (bytes[at + 17] == 'n')
                entries.push_back({first + i, at, offset});
            else if (bytes[at + 17] != 'f')
                return pdf;
        }
    }
    const std::string_view trailer = bytes.substr(at, startxref - at);
    if (trailer.find("/Prev") != std::string_view::npos ||
        trailer.find("/XRefStm") != std::string_view::npos)
        return pdf;

    // Each object's dictionary: from "N 0 obj" to its stream or its end.
    std::map<long, std::pair<size_t, std::string_view>> dicts;
    for (const Entry& e : entries) {
        if (e.offset >= xref) return pdf;
        std::string_view object = bytes.substr(e.offset, xref - e.offset);
        const std::string head = std::to_string(e.object) + " 0 obj";
        if (!object.starts_with(head)) return pdf;
        const size_t end = std::min(object.find("endobj"), object.find("stream"));
        if (end == std::string_view::npos) return pdf;
        dicts[e.object] = {e.offset, object.substr(0, end)};
    }
    auto dictOf = [&](std::optional<long> number) -> std::string_view {
        if (!number) return {};
        auto it = dicts.find(*number);
        return it == dicts.end() ? std::string_view() : it->second.second;
    };
    // The tag of the subset a font dictionary draws with: its descriptor's, or its descendant's.
    auto tagOf = [&](std::string_view font) -> std::string_view {
        std::string_view descriptor = dictOf(referenceAfter(font, "/FontDescriptor"));
        if (descriptor.empty())
            descriptor = dictOf(referenceAfter(dictOf(referenceAfter(font, "/DescendantFonts")),
                                               "/FontDescriptor"));
        const auto name = nameAfter(descriptor, "/FontName");
        if (!name || !hasSubsetTag(name->second)) return {};
        return name->second.substr(0, 7);
    };
    std::map<size_t, std::string_view> insertions;  // file position -> "ABCDEF+"
    for (const auto& [number, where] : dicts) {
        const std::string_view dict = where.second;
        if (dict.find("/Type /Font") == std::string_view::npos &&
            dict.find("/Type/Font") == std::string_view::npos)
            continue;
        const auto base = nameAfter(dict, "/BaseFont");
        if (!base || hasSubsetTag(base->second)) continue;
        const std::string_view tag = tagOf(dict);
        if (!tag.empty()) insertions[where.first + base->first] = tag;
    }
    if (insertions.empty()) return pdf;

    auto moved = [&](size_t offset) {
        size_t shift = 0;
        for (const auto& [position, tag] : insertions) {
            if (position >= offset) break;
            shift += tag.size();
        }
        return offset + shift;
    };
    std::string out;
    out.reserve(bytes.size() + insertions.size() * 7 + 8);
    size_t copied = 0;
    for (const auto& [position, tag] : insertions) {
        out.append(bytes.substr(copied, position - copied));
        out.append(tag);
        copied = position;
    }
    out.append(bytes.substr(copied, xrefDigits - copied));
    out.append(std::to_string(moved(xref)));
    out.append(bytes.substr(xrefNumberEnd));
    for (const Entry& e : entries) {
        char offset[11];
        std::snprintf(offset, sizeof offset, "%010zu", moved(e.offset));
        out.replace(moved(e.at), 10, offset, 10);
    }
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
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

// --- laying out and drawing at once ------------------------------------------------------------
//
// Drawing a page into a PDF takes several times as long as laying it out, and both are needed
// for every page. The calling thread lays the pages out, as it always does: a report and its
// layout are used by one thread only, and that thread may repaint a preview of the same report
// while a progress dialog turns. A second thread draws the pages it is handed. It touches no
// report: display lists are not changed once made, and the painter's picture cache and the
// font metrics lock what they share.

using PageResult = Result<std::shared_ptr<const layout::PageDisplayList>>;

// The pages laid out and not drawn yet. At most kPagesAhead wait, so that laying out does not
// run far ahead of drawing and hold a long report's pages in memory twice.
class PageHandOff {
public:
    static constexpr size_t kPagesAhead = 4;

    // Hands on the next page (or the error in its place), waiting for room. False when the
    // drawing has stopped and wants no more pages.
    bool put(PageResult page) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopped || m_pages.size() < kPagesAhead; });
        if (m_stopped) return false;
        m_pages.push_back(std::move(page));
        m_changed.notify_all();
        return true;
    }
    // Hands on an error without waiting for room: the laying out ends here.
    void abandon(Error why) {
        std::lock_guard lock(m_mutex);
        m_pages.push_back(std::move(why));
        m_changed.notify_all();
    }
    // The next page, waiting until it is laid out.
    PageResult take() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_pages.empty(); });
        PageResult page = std::move(m_pages.front());
        m_pages.pop_front();
        m_changed.notify_all();
        return page;
    }
    // The drawing is over, done or failed.
    void stop() {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_pages.clear();
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<PageResult> m_pages;
    bool m_stopped = false;
};

Result<QByteArray> pdfBytes(const std::vector<long>& pages, const PageSource& source,
                            const std::string& name, const PdfOptions& options,
                            const PagePainter& painter) {
    QByteArray bytes;
    Status drawn = Status::success();
    const auto draw = [&](const PageSource& from) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        drawn = drawPdf(pages, from, buffer, name, options, painter);
        buffer.close();
    };
    // One page gains nothing from a second thread.
    if (pages.size() < 2) {
        draw(source);
    } else {
        PageHandOff handOff;
        std::thread drawer([&] {
            try {
                draw([&](long) { return handOff.take(); });
            } catch (const std::bad_alloc&) {
                drawn = Error{"there is not enough memory to write " + name};
            } catch (const std::exception& e) {
                drawn = Error{"cannot write " + name + ": " + e.what()};
            }
            handOff.stop();
        });
        try {
            for (const long page : pages) {
                PageResult list = source(page);
                const bool failed = !list.ok();
                if (!handOff.put(std::move(list)) || failed) break;
            }
        } catch (...) {
            handOff.abandon(Error{"the pages of " + name + " could not be laid out"});
            drawer.join();
            throw;
        }
        drawer.join();
    }
    if (!drawn) return drawn.error();
    return tagFontSubsets(bytes);
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
