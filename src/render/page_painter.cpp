#include "render/page_painter.h"

#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "render/fonts.h"

namespace print::render {
namespace {

using layout::BoxShape;
using layout::BrushStyle;
using layout::DisplayItem;
using layout::ImageBox;
using layout::LineShape;
using layout::PageRect;
using layout::PenStyle;
using layout::ShapeKind;
using layout::TextAlign;
using layout::TextRun;

QColor toColor(uint32_t rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

QRectF toRect(const PageRect& r) {
    return QRectF(r.x, r.y, r.width, r.height);
}

QPen toPen(const layout::Pen& pen) {
    if (pen.style == PenStyle::None) return QPen(Qt::NoPen);
    QPen qpen(toColor(pen.color));
    qpen.setWidthF(pen.width);  // 0 is Qt's cosmetic pen: the device's thinnest line
    qpen.setJoinStyle(Qt::MiterJoin);
    switch (pen.style) {
        case PenStyle::Dash:
            qpen.setStyle(Qt::DashLine);
            break;
        case PenStyle::Dot:
            qpen.setStyle(Qt::DotLine);
            break;
        case PenStyle::DashDot:
            qpen.setStyle(Qt::DashDotLine);
            break;
        case PenStyle::DashDotDot:
            qpen.setStyle(Qt::DashDotDotLine);
            break;
        default:
            qpen.setStyle(Qt::SolidLine);
            break;
    }
    // Dashes of a thin line would shrink to nothing on a fine device; give them the length
    // they have on a screen, in points.
    if (pen.style != PenStyle::Solid && pen.width < 1) {
        qpen.setCosmetic(false);
        qpen.setWidthF(std::max(pen.width, 0.75));
    }
    return qpen;
}

// Qt's hatch patterns are cells of device pixels, far too fine on a printer; hatches are drawn
// as lines instead, as the platform's screens show them: 8 pixels apart at 96 dpi, that is 6
// points, and a pixel wide, on any device.
constexpr double kHatchSpacing = 6;
constexpr double kHatchWidth = 0.75;

void drawHatch(QPainter& painter, const QPainterPath& shape, const layout::Brush& brush,
               std::optional<uint32_t> background, double unitsPerPoint) {
    if (background) painter.fillPath(shape, toColor(*background));
    painter.save();
    painter.setClipPath(shape, Qt::IntersectClip);
    QPen pen(toColor(brush.color));
    // At least a device pixel, or coarse devices lose the lines to antialiasing.
    pen.setWidthF(std::max(kHatchWidth, 1.0 / unitsPerPoint));
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    const QRectF r = shape.boundingRect();
    const bool horizontal =
        brush.style == BrushStyle::Horizontal || brush.style == BrushStyle::Cross;
    const bool vertical = brush.style == BrushStyle::Vertical || brush.style == BrushStyle::Cross;
    const bool rising =
        brush.style == BrushStyle::BDiagonal || brush.style == BrushStyle::DiagCross;
    const bool falling =
        brush.style == BrushStyle::FDiagonal || brush.style == BrushStyle::DiagCross;
    if (horizontal) {
        for (double y = r.top() + kHatchSpacing / 2; y < r.bottom(); y += kHatchSpacing)
            painter.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    }
    if (vertical) {
        for (double x = r.left() + kHatchSpacing / 2; x < r.right(); x += kHatchSpacing)
            painter.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
    }
    // Diagonals 6 points apart measured across them.
    const double step = kHatchSpacing * std::sqrt(2.0);
    for (double t = -r.height(); t < r.width(); t += step) {
        if (rising)
            painter.drawLine(QPointF(r.left() + t, r.bottom()),
                             QPointF(r.left() + t + r.height(), r.top()));
        if (falling)
            painter.drawLine(QPointF(r.left() + t, r.top()),
                             QPointF(r.left() + t + r.height(), r.bottom()));
    }
    painter.restore();
}

// The pieces of a justified line and where each begins, relative to the box's left edge.
struct Piece {
    QString text;
    double x = 0;
};

std::vector<Piece> justify(const TextRun& run, const layout::FontMetrics& metrics) {
    const QString text = QString::fromStdString(run.text);
    std::vector<Piece> pieces;
    const double spare = run.box.width - run.textWidth;
    const auto width = [&](const QString& s) { return metrics.width(run.font, s.toStdString()); };
    const qsizetype blanks = text.count(QLatin1Char(' '));
    if (blanks > 0) {
        const double extra = spare / static_cast<double>(blanks);
        const double blankWidth = width(QStringLiteral(" "));
        double x = 0;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            if (i < text.size() && text[i] != QLatin1Char(' ')) continue;
            if (i > start) {
                const QString word = text.mid(start, i - start);
                pieces.push_back({word, x});
                x += width(word);
            }
            if (i < text.size()) x += blankWidth + extra;
            start = i + 1;
        }
        return pieces;
    }
    const QList<uint> chars = text.toUcs4();
    if (chars.size() < 2) return {{text, 0}};
    const double extra = spare / static_cast<double>(chars.size() - 1);
    double x = 0;
    for (const uint c : chars) {
        const char32_t cp = c;
        const QString one = QString::fromUcs4(&cp, 1);
        pieces.push_back({one, x});
        x += width(one) + extra;
    }
    return pieces;
}

bool contains(const PageRect& outer, double left, double top, double right, double bottom) {
    return left >= outer.x && top >= outer.y && right <= outer.right() && bottom <= outer.bottom();
}

}  // namespace

bool PagePainter::insideClip(const DisplayItem& item, const PageRect& clip) const {
    if (const auto* run = std::get_if<TextRun>(&item.shape)) {
        if (run->escapement != 0) return false;
        double left = run->box.x;
        double right = run->box.x + run->textWidth;
        if (run->align == TextAlign::Right) {
            left = run->box.right() - run->textWidth;
            right = run->box.right();
        } else if (run->align == TextAlign::Center) {
            left = run->box.x + (run->box.width - run->textWidth) / 2;
            right = left + run->textWidth;
        } else if (run->align == TextAlign::Justify) {
            right = std::max(right, run->box.right());
        }
        return contains(clip, left, run->baseline - m_metrics->ascent(run->font), right,
                        run->baseline + m_metrics->descent(run->font));
    }
    if (const auto* line = std::get_if<LineShape>(&item.shape)) {
        const double half = line->pen.width / 2 + 0.5;
        return contains(clip, std::min(line->from.x, line->to.x) - half,
                        std::min(line->from.y, line->to.y) - half,
                        std::max(line->from.x, line->to.x) + half,
                        std::max(line->from.y, line->to.y) + half);
    }
    if (const auto* box = std::get_if<BoxShape>(&item.shape)) {
        const double half = box->pen.style == PenStyle::None ? 0 : box->pen.width / 2 + 0.5;
        return contains(clip, box->box.x - half, box->box.y - half, box->box.right() + half,
                        box->box.bottom() + half);
    }
    const auto& picture = std::get<ImageBox>(item.shape);
    return contains(clip, picture.box.x, picture.box.y, picture.box.right(), picture.box.bottom());
}

PagePainter::PagePainter(std::shared_ptr<const layout::FontMetrics> metrics)
    : m_metrics(metrics ? std::move(metrics) : layout::defaultFontMetrics()) {}

const PagePainter::LoadedImage& PagePainter::image(const std::string& path, bool invert) const {
    const auto key = std::make_pair(path, invert);
    std::lock_guard lock(m_imagesMutex);
    auto it = m_images.find(key);
    if (it != m_images.end()) return it->second;
    LoadedImage loaded;
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(true);
    if (!reader.read(&loaded.image)) {
        loaded.error = reader.errorString().toStdString();
        loaded.image = QImage();
    } else if (invert) {
        loaded.image.invertPixels();
    }
    return m_images.emplace(key, std::move(loaded)).first->second;
}

std::vector<std::string> PagePainter::pictureWarnings(const layout::PageDisplayList& page) const {
    std::vector<std::string> warnings;
    for (const DisplayItem& item : page.items) {
        const auto* picture = std::get_if<ImageBox>(&item.shape);
        if (!picture || picture->path.empty()) continue;
        const LoadedImage& loaded = image(picture->path, picture->invert);
        if (loaded.error.empty()) continue;
        std::string message = "the picture " + picture->path;
        if (!item.tag.object.empty()) message += " of " + item.tag.object;
        message += " cannot be read: " + loaded.error;
        if (std::find(warnings.begin(), warnings.end(), message) == warnings.end())
            warnings.push_back(std::move(message));
    }
    return warnings;
}

void PagePainter::drawText(QPainter& painter, const TextRun& run, double deviceDpi,
                           FontCache& fonts) const {
    if (run.text.empty()) return;
    if (!fonts.spec || !(*fonts.spec == run.font)) {
        fonts.spec = &run.font;
        painter.setFont(toQFont(run.font, run.font.size, deviceDpi));
    }
    if (fonts.color != run.color) {
        fonts.color = run.color;
        painter.setPen(toColor(run.color));
    }
    double x = run.box.x;
    switch (run.align) {
        case TextAlign::Right:
            x = run.box.right() - run.textWidth;
            break;
        case TextAlign::Center:
            x = run.box.x + (run.box.width - run.textWidth) / 2;
            break;
        default:
            break;
    }
    const bool rotated = run.escapement != 0;
    if (rotated) {
        painter.save();
        painter.translate(x, run.baseline);
        painter.rotate(-run.escapement);
        painter.translate(-x, -run.baseline);
    }
    if (run.align == TextAlign::Justify && run.box.width > run.textWidth) {
        for (const Piece& piece : justify(run, *m_metrics))
            painter.drawText(QPointF(run.box.x + piece.x, run.baseline), piece.text);
    } else {
        painter.drawText(QPointF(x, run.baseline), QString::fromStdString(run.text));
    }
    if (rotated) painter.restore();
}

void PagePainter::paint(QPainter& painter, const layout::PageDisplayList& page,
                        double unitsPerPoint) const {
    painter.save();
    painter.scale(unitsPerPoint, unitsPerPoint);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const double deviceDpi = painter.device() ? painter.device()->logicalDpiY() : 72.0;

    std::optional<PageRect> clip;
    FontCache fonts;
    painter.setBackgroundMode(Qt::TransparentMode);
    std::optional<uint32_t> background;
    for (const DisplayItem& item : page.items) {
        if (item.previewOnly && !m_preview) continue;
        // Every text carries its object's box as a clip; most fit inside it, and a PDF grows
        // and slows with each change of clip.
        std::optional<PageRect> wanted = item.clip;
        if (wanted && insideClip(item, *wanted)) wanted.reset();
        if (wanted != clip) {
            clip = wanted;
            if (clip)
                painter.setClipRect(toRect(*clip), Qt::ReplaceClip);
            else
                painter.setClipping(false);
        }
        if (item.background != background) {
            background = item.background;
            if (background) {
                painter.setBackgroundMode(Qt::OpaqueMode);
                painter.setBackground(toColor(*background));
            } else {
                painter.setBackgroundMode(Qt::TransparentMode);
            }
        }
        if (const auto* run = std::get_if<TextRun>(&item.shape)) {
            drawText(painter, *run, deviceDpi, fonts);
            continue;
        }
        fonts.color.reset();  // shapes set pens of their own
        if (const auto* line = std::get_if<LineShape>(&item.shape)) {
            if (line->pen.style == PenStyle::None) continue;
            painter.setPen(toPen(line->pen));
            painter.drawLine(QPointF(line->from.x, line->from.y), QPointF(line->to.x, line->to.y));
        } else if (const auto* box = std::get_if<BoxShape>(&item.shape)) {
            const QRectF rect = toRect(box->box);
            QPainterPath shape;
            switch (box->kind) {
                case ShapeKind::Rectangle:
                    shape.addRect(rect);
                    break;
                case ShapeKind::RoundRectangle:
                    shape.addRoundedRect(rect, box->cornerRadiusX, box->cornerRadiusY);
                    break;
                case ShapeKind::Ellipse:
                    shape.addEllipse(rect);
                    break;
            }
            const bool hatched =
                box->brush.style != BrushStyle::Solid && box->brush.style != BrushStyle::None;
            if (hatched) drawHatch(painter, shape, box->brush, item.background, unitsPerPoint);
            painter.setPen(toPen(box->pen));
            if (box->brush.style == BrushStyle::Solid)
                painter.setBrush(toColor(box->brush.color));
            else
                painter.setBrush(Qt::NoBrush);
            painter.drawPath(shape);
        } else if (const auto* picture = std::get_if<ImageBox>(&item.shape)) {
            if (picture->path.empty()) continue;
            const LoadedImage& loaded = image(picture->path, picture->invert);
            if (!loaded.image.isNull()) painter.drawImage(toRect(picture->box), loaded.image);
        }
    }
    painter.restore();
}

}  // namespace print::render
