#include "render/page_painter.h"

#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>

#include "render/fonts.h"

namespace print::render {
namespace {

using engine::BoxShape;
using engine::BrushStyle;
using engine::DisplayItem;
using engine::ImageBox;
using engine::LineShape;
using engine::PageRect;
using engine::PenStyle;
using engine::ShapeKind;
using engine::TextAlign;
using engine::TextRun;

QColor toColor(uint32_t rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

QRectF toRect(const PageRect& r) {
    return QRectF(r.x, r.y, r.width, r.height);
}

QPen toPen(const engine::Pen& pen) {
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

// Hatch lines as the platform's screens show them: 8 pixels apart at 96 dpi, that is 6 points,
// on any device.
QBrush toBrush(const engine::Brush& brush, double unitsPerPoint) {
    Qt::BrushStyle style = Qt::NoBrush;
    switch (brush.style) {
        case BrushStyle::Horizontal:
            style = Qt::HorPattern;
            break;
        case BrushStyle::BDiagonal:
            style = Qt::BDiagPattern;
            break;
        case BrushStyle::Vertical:
            style = Qt::VerPattern;
            break;
        case BrushStyle::Cross:
            style = Qt::CrossPattern;
            break;
        case BrushStyle::FDiagonal:
            style = Qt::FDiagPattern;
            break;
        case BrushStyle::DiagCross:
            style = Qt::DiagCrossPattern;
            break;
        case BrushStyle::Solid:
            style = Qt::SolidPattern;
            break;
        case BrushStyle::None:
            style = Qt::NoBrush;
            break;
    }
    QBrush qbrush(toColor(brush.color), style);
    if (style != Qt::SolidPattern && style != Qt::NoBrush) {
        const double patternScale = 6.0 / 8.0;
        qbrush.setTransform(QTransform::fromScale(patternScale, patternScale));
    }
    (void)unitsPerPoint;
    return qbrush;
}

// The pieces of a justified line and where each begins, relative to the box's left edge.
struct Piece {
    QString text;
    double x = 0;
};

std::vector<Piece> justify(const TextRun& run, const engine::FontMetrics& metrics) {
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

}  // namespace

PagePainter::PagePainter(std::shared_ptr<const engine::FontMetrics> metrics)
    : m_metrics(metrics ? std::move(metrics) : engine::defaultFontMetrics()) {}

const PagePainter::LoadedImage& PagePainter::image(const std::string& path, bool invert) const {
    const auto key = std::make_pair(path, invert);
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

Status PagePainter::checkImages(const engine::PageDisplayList& page) const {
    for (const DisplayItem& item : page.items) {
        const auto* picture = std::get_if<ImageBox>(&item.shape);
        if (!picture) continue;
        const LoadedImage& loaded = image(picture->path, picture->invert);
        if (loaded.error.empty()) continue;
        std::string message = "cannot read the picture " + picture->path;
        if (!item.tag.object.empty()) message += " of " + item.tag.object;
        return Error{message + ": " + loaded.error};
    }
    return Status::success();
}

void PagePainter::drawText(QPainter& painter, const TextRun& run, double deviceDpi) const {
    if (run.text.empty()) return;
    painter.setFont(toQFont(run.font, run.font.size, deviceDpi));
    painter.setPen(toColor(run.color));
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

void PagePainter::paint(QPainter& painter, const engine::PageDisplayList& page,
                        double unitsPerPoint) const {
    painter.save();
    painter.scale(unitsPerPoint, unitsPerPoint);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const double deviceDpi = painter.device() ? painter.device()->logicalDpiY() : 72.0;

    std::optional<PageRect> clip;
    for (const DisplayItem& item : page.items) {
        if (item.clip != clip) {
            clip = item.clip;
            if (clip)
                painter.setClipRect(toRect(*clip), Qt::ReplaceClip);
            else
                painter.setClipping(false);
        }
        if (item.background) {
            painter.setBackgroundMode(Qt::OpaqueMode);
            painter.setBackground(toColor(*item.background));
        } else {
            painter.setBackgroundMode(Qt::TransparentMode);
        }
        if (const auto* run = std::get_if<TextRun>(&item.shape)) {
            drawText(painter, *run, deviceDpi);
        } else if (const auto* line = std::get_if<LineShape>(&item.shape)) {
            if (line->pen.style == PenStyle::None) continue;
            painter.setPen(toPen(line->pen));
            painter.drawLine(QPointF(line->from.x, line->from.y), QPointF(line->to.x, line->to.y));
        } else if (const auto* box = std::get_if<BoxShape>(&item.shape)) {
            painter.setPen(toPen(box->pen));
            painter.setBrush(toBrush(box->brush, unitsPerPoint));
            const QRectF rect = toRect(box->box);
            switch (box->kind) {
                case ShapeKind::Rectangle:
                    painter.drawRect(rect);
                    break;
                case ShapeKind::RoundRectangle:
                    painter.drawRoundedRect(rect, box->cornerRadiusX, box->cornerRadiusY);
                    break;
                case ShapeKind::Ellipse:
                    painter.drawEllipse(rect);
                    break;
            }
        } else if (const auto* picture = std::get_if<ImageBox>(&item.shape)) {
            const LoadedImage& loaded = image(picture->path, picture->invert);
            if (!loaded.image.isNull()) painter.drawImage(toRect(picture->box), loaded.image);
        }
    }
    painter.restore();
}

}  // namespace print::render
