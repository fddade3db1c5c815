// Hand-made display lists, image comparison with baselines, and running the poppler tools.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <memory>
#include <string>

#include "layout/display_list.h"
#include "render/page_output.h"

namespace print::render::test {

// An A4 page (595.28 x 841.89 points) with no items.
layout::PageDisplayList a4Page(long number = 1);

// A text run of `text` in `face` at `size` points, its box at (x, y) `width` wide, measured
// with the process's font metrics (Qt's).
layout::TextRun textRun(const std::string& text, double x, double y, double width,
                        const std::string& face = "宋体", double size = 12,
                        layout::TextAlign align = layout::TextAlign::Left);

void addItem(layout::PageDisplayList& page, layout::DisplayItem item);
void addText(layout::PageDisplayList& page, layout::TextRun run);

// A page source over fixed pages, numbered from 1.
PageSource sourceOf(std::vector<std::shared_ptr<const layout::PageDisplayList>> pages);

// Compares `image` with the baseline PNG `name` (tests/render/baselines/NAME.png): equal sizes,
// and at most `tolerance` of the pixels differing by more than a quarter of a channel's range.
// With PRINT_UPDATE_BASELINES=1 in the environment the baseline is written instead.
::testing::AssertionResult matchesBaseline(const QImage& image, const std::string& name,
                                           double tolerance = 0.005);

// Runs a program and gives its standard output; fails the test when it cannot be run.
std::string runTool(const std::string& commandLine);

// Number of pixels in `rect` darker than mid-grey.
int darkPixels(const QImage& image, const QRect& rect);

// A fresh empty directory under the system's temporary directory, removed at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

}  // namespace print::render::test

namespace print::render::test {

// A hand-made page of a Chinese purchase order: title, header fields, a ruled table of goods
// with amounts, a total in capitals and a page footer "第N页 共M页"; drawn with 宋体 and 黑体.
layout::PageDisplayList chineseBillPage(long page, long pageCount);

}  // namespace print::render::test
