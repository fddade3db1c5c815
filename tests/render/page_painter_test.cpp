// What the painter puts on the page, checked on pixels of pages drawn at 72 dpi (one pixel a
// point) and against baselines of whole Chinese pages.
#include <gtest/gtest.h>

#include <QPainter>

#include "render/page_painter.h"
#include "render_test_support.h"

namespace print::render {
namespace {

using layout::DisplayItem;
using layout::PageDisplayList;
using layout::TextAlign;
using test::addItem;
using test::addText;
using test::darkPixels;
using test::textRun;

PageDisplayList smallPage() {
    PageDisplayList page;
    page.page = 1;
    page.paperWidth = 300;
    page.paperHeight = 200;
    return page;
}

QImage draw(const PageDisplayList& page, double dpi = 72) {
    const PagePainter painter;
    return renderPage(page, dpi, painter);
}

DisplayItem box(layout::ShapeKind kind, layout::PageRect rect, layout::Pen pen,
                layout::Brush brush) {
    layout::BoxShape shape;
    shape.kind = kind;
    shape.box = rect;
    shape.pen = pen;
    shape.brush = brush;
    shape.cornerRadiusX = 10;
    shape.cornerRadiusY = 10;
    DisplayItem item;
    item.shape = shape;
    return item;
}

// The leftmost and rightmost columns holding ink in a band of rows.
std::pair<int, int> inkColumns(const QImage& image, int top, int bottom) {
    int first = image.width(), last = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (darkPixels(image, QRect(x, top, 1, bottom - top + 1)) == 0) continue;
        first = std::min(first, x);
        last = x;
    }
    return {first, last};
}

TEST(PagePainter, AlignsTextRunsWithinTheirBoxes) {
    PageDisplayList page = smallPage();
    addText(page, textRun("合计", 50, 10, 200, "宋体", 12, TextAlign::Left));
    addText(page, textRun("合计", 50, 40, 200, "宋体", 12, TextAlign::Right));
    addText(page, textRun("合计", 50, 70, 200, "宋体", 12, TextAlign::Center));
    const QImage image = draw(page);
    const auto [leftFirst, leftLast] = inkColumns(image, 10, 25);
    const auto [rightFirst, rightLast] = inkColumns(image, 40, 55);
    const auto [centerFirst, centerLast] = inkColumns(image, 70, 85);
    // Glyphs keep a point or so of side bearing inside their advance.
    EXPECT_NEAR(leftFirst, 50, 4);
    EXPECT_NEAR(leftLast, 74, 4);
    EXPECT_NEAR(rightLast, 250, 4);
    EXPECT_NEAR(rightFirst, 226, 4);
    EXPECT_NEAR((centerFirst + centerLast) / 2.0, 150, 2);
}

TEST(PagePainter, JustifiedRunsSpreadOverBlanksOrBetweenCharacters) {
    PageDisplayList page = smallPage();
    addText(page, textRun("合计金额", 20, 10, 260, "宋体", 12, TextAlign::Justify));
    addText(page, textRun("net amount due", 20, 40, 260, "Arial", 12, TextAlign::Justify));
    // A run that fills its box already is drawn as it is.
    layout::TextRun full = textRun("合计金额", 20, 70, 48, "宋体", 12, TextAlign::Justify);
    addText(page, full);
    const QImage image = draw(page);
    for (const int top : {10, 40}) {
        const auto [first, last] = inkColumns(image, top, top + 15);
        EXPECT_NEAR(first, 20, 4) << top;
        EXPECT_NEAR(last, 280, 4) << top;
    }
    // The blanks grew, not the words: "net" keeps its width at the left edge.
    EXPECT_EQ(darkPixels(image, QRect(50, 40, 60, 15)), 0);
    const auto [first, last] = inkColumns(image, 70, 85);
    EXPECT_NEAR(first, 20, 4);
    EXPECT_NEAR(last, 68, 4);
}

TEST(PagePainter, ClipRectanglesCutTextAndShapes) {
    PageDisplayList page = smallPage();
    DisplayItem text;
    text.shape = textRun("超出边框的很长很长的一段文字", 10, 10, 100, "宋体", 12);
    text.clip = layout::PageRect{10, 10, 60, 20};
    addItem(page, text);
    DisplayItem filled = box(layout::ShapeKind::Rectangle, {10, 100, 200, 50}, {},
                             {layout::BrushStyle::Solid, 0x000000});
    filled.clip = layout::PageRect{10, 100, 100, 50};
    addItem(page, filled);
    const QImage image = draw(page);
    EXPECT_GT(darkPixels(image, QRect(10, 10, 60, 20)), 20);
    EXPECT_EQ(darkPixels(image, QRect(71, 0, 229, 40)), 0);
    EXPECT_EQ(darkPixels(image, QRect(112, 100, 100, 50)), 0);
    EXPECT_GT(darkPixels(image, QRect(10, 100, 100, 50)), 4000);
}

TEST(PagePainter, PenStylesDrawGapsAndOpaqueBackgroundsFillThem) {
    PageDisplayList page = smallPage();
    const auto line = [](double y, layout::PenStyle style, std::optional<uint32_t> background) {
        layout::LineShape shape;
        shape.from = {10, y};
        shape.to = {290, y};
        shape.pen = {style, 2, 0x000000};
        DisplayItem item;
        item.shape = shape;
        item.background = background;
        return item;
    };
    addItem(page, line(20, layout::PenStyle::Solid, std::nullopt));
    addItem(page, line(40, layout::PenStyle::Dash, std::nullopt));
    addItem(page, line(60, layout::PenStyle::Dot, 0xFF0000));
    addItem(page, line(80, layout::PenStyle::None, std::nullopt));
    const QImage image = draw(page);
    const auto inkAlong = [&](int y) { return darkPixels(image, QRect(20, y, 260, 1)); };
    EXPECT_GT(inkAlong(20), 255);
    EXPECT_GT(inkAlong(40), 100);
    EXPECT_LT(inkAlong(40), 240);
    EXPECT_EQ(inkAlong(80), 0);
    // The dotted line's gaps are red, not white.
    int white = 0, black = 0;
    for (int x = 20; x < 280; ++x) {
        white += image.pixel(x, 60) == qRgb(255, 255, 255) ? 1 : 0;
        black += qRed(image.pixel(x, 60)) < 128 ? 1 : 0;
    }
    EXPECT_EQ(white, 0);
    EXPECT_GT(black, 60);
    EXPECT_LT(black, 200);
}

TEST(PagePainter, HatchedSolidAndTransparentBrushes) {
    PageDisplayList page = smallPage();
    const layout::Pen noPen{layout::PenStyle::None, 0, 0};
    addItem(page, box(layout::ShapeKind::Rectangle, {10, 10, 80, 80}, noPen,
                      {layout::BrushStyle::Solid, 0x000000}));
    addItem(page, box(layout::ShapeKind::Rectangle, {110, 10, 80, 80}, noPen,
                      {layout::BrushStyle::Cross, 0x000000}));
    addItem(page, box(layout::ShapeKind::Rectangle, {210, 10, 80, 80}, {},
                      {layout::BrushStyle::None, 0x000000}));
    addItem(page, box(layout::ShapeKind::Rectangle, {10, 100, 80, 80}, noPen,
                      {layout::BrushStyle::Horizontal, 0x000000}));
    const QImage image = draw(page);
    EXPECT_EQ(darkPixels(image, QRect(12, 12, 76, 76)), 76 * 76);
    const int hatched = darkPixels(image, QRect(112, 12, 76, 76));
    EXPECT_GT(hatched, 76 * 76 / 10);
    EXPECT_LT(hatched, 76 * 76 / 2);
    // Hatch lines keep their spacing on the paper at any resolution: as many lines cross the
    // box at 288 dpi as at 72 dpi.
    const QImage fine = draw(page, 288);
    const auto crossings = [](const QImage& img, int x, int top, int bottom) {
        int count = 0;
        bool inLine = false;
        for (int y = top; y < bottom; ++y) {
            const bool dark = qGray(img.pixel(x, y)) < 200;
            if (dark && !inLine) ++count;
            inLine = dark;
        }
        return count;
    };
    const int coarseLines = crossings(image, 50, 102, 178);
    EXPECT_GE(coarseLines, 8);
    EXPECT_NEAR(crossings(fine, 200, 408, 712), coarseLines, 2);
    // A transparent brush: the frame only.
    EXPECT_EQ(darkPixels(image, QRect(214, 14, 72, 72)), 0);
    EXPECT_GT(darkPixels(image, QRect(209, 9, 3, 82)), 70);
}

TEST(PagePainter, RoundRectanglesAndEllipsesLeaveTheirCornersEmpty) {
    PageDisplayList page = smallPage();
    const layout::Brush black{layout::BrushStyle::Solid, 0x000000};
    addItem(page, box(layout::ShapeKind::RoundRectangle, {10, 10, 100, 60}, {}, black));
    addItem(page, box(layout::ShapeKind::Ellipse, {150, 10, 100, 60}, {}, black));
    const QImage image = draw(page);
    EXPECT_EQ(darkPixels(image, QRect(10, 10, 2, 2)), 0);
    EXPECT_EQ(darkPixels(image, QRect(150, 10, 10, 10)), 0);
    EXPECT_EQ(darkPixels(image, QRect(30, 30, 60, 20)), 60 * 20);
    EXPECT_EQ(darkPixels(image, QRect(180, 30, 40, 10)), 40 * 10);
}

TEST(PagePainter, PicturesAreScaledIntoTheirBoxAndAMissingOneIsWarnedOf) {
    test::TempDir dir;
    QImage logo(10, 10, QImage::Format_RGB32);
    logo.fill(Qt::black);
    ASSERT_TRUE(logo.save(QString::fromStdString(dir.file("logo.png"))));
    PageDisplayList page = smallPage();
    DisplayItem picture;
    picture.shape = layout::ImageBox{{20, 20, 100, 50}, dir.file("logo.png"), false};
    picture.tag.object = "p_logo";
    addItem(page, picture);
    const PagePainter painter;
    EXPECT_TRUE(painter.pictureWarnings(page).empty());
    const QImage image = renderPage(page, 72, painter);
    EXPECT_EQ(darkPixels(image, QRect(21, 21, 98, 48)), 98 * 48);
    EXPECT_EQ(darkPixels(image, QRect(125, 20, 50, 50)), 0);

    picture.shape = layout::ImageBox{{20, 20, 100, 50}, dir.file("logo.png"), true};
    PageDisplayList inverted = smallPage();
    addItem(inverted, picture);
    EXPECT_EQ(darkPixels(renderPage(inverted, 72, painter), QRect(21, 21, 98, 48)), 0);

    PageDisplayList missing = smallPage();
    picture.shape = layout::ImageBox{{20, 20, 100, 50}, dir.file("gone.png"), false};
    addItem(missing, picture);
    // A missing picture is a warning: the page is drawn without it.
    EXPECT_EQ(painter.pictureWarnings(missing),
              (std::vector<std::string>{"the picture " + dir.file("gone.png") +
                                        " of p_logo cannot be read: File not found"}));
    ASSERT_TRUE(writePng(missing, dir.file("page.png"), 72, painter).ok());
    QImage drawn(QString::fromStdString(dir.file("page.png")));
    EXPECT_EQ(darkPixels(drawn, QRect(21, 21, 98, 48)), 0);
    // One without a file name (set at run time) is no picture at all.
    PageDisplayList unnamed = smallPage();
    picture.shape = layout::ImageBox{{20, 20, 100, 50}, "", false};
    addItem(unnamed, picture);
    EXPECT_TRUE(painter.pictureWarnings(unnamed).empty());
    EXPECT_EQ(darkPixels(renderPage(unnamed, 72, painter), QRect(21, 21, 98, 48)), 0);
}

TEST(PagePainter, RotatedTextRunsUpFromTheBaseline) {
    PageDisplayList page = smallPage();
    layout::TextRun run = textRun("竖排文字", 100, 150, 60, "宋体", 12);
    run.escapement = 90;
    addText(page, run);
    const QImage image = draw(page);
    const int baseline = static_cast<int>(run.baseline);
    EXPECT_GT(darkPixels(image, QRect(85, baseline - 50, 20, 48)), 50);
    EXPECT_EQ(darkPixels(image, QRect(110, 0, 190, 200)), 0);
}

TEST(PagePainter, AnyResolutionDrawsTheSamePage) {
    PageDisplayList page = smallPage();
    addText(page, textRun("合计", 50, 10, 200, "宋体", 12, TextAlign::Right));
    const QImage coarse = draw(page, 72);
    const QImage fine = draw(page, 216);
    EXPECT_EQ(fine.size(), QSize(900, 600));
    EXPECT_EQ(fine.dotsPerMeterX(), static_cast<int>(std::lround(216 / 0.0254)));
    const auto [coarseFirst, coarseLast] = inkColumns(coarse, 10, 25);
    const auto [fineFirst, fineLast] = inkColumns(fine, 30, 75);
    // Thin strokes fade below the ink threshold at 72 dpi.
    EXPECT_NEAR(fineFirst / 3.0, coarseFirst, 3);
    EXPECT_NEAR(fineLast / 3.0, coarseLast, 3);
}

TEST(PagePainter, ChineseBillMatchesItsBaseline) {
    EXPECT_TRUE(test::matchesBaseline(draw(test::chineseBillPage(1, 2), 100), "chinese_bill"));
}

}  // namespace
}  // namespace print::render

namespace print::render {
namespace {

TEST(PagePainter, WhatTheScreenShowsOnlyNeverReachesPaper) {
    PageDisplayList page = smallPage();
    DisplayItem cross = box(layout::ShapeKind::Rectangle, {20, 20, 100, 50},
                            {layout::PenStyle::Solid, 2, 0xFF0000}, {});
    cross.previewOnly = true;
    addItem(page, cross);
    PagePainter painter;
    EXPECT_EQ(darkPixels(renderPage(page, 72, painter), QRect(0, 0, 300, 200)), 0);
    painter.setPreview(true);
    EXPECT_GT(darkPixels(renderPage(page, 72, painter), QRect(0, 0, 300, 200)), 100);
}

}  // namespace
}  // namespace print::render
