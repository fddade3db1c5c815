// The report view's preview keeps its picture: after a change it paints again only where the
// page changed, and what it shows is what painting the whole page shows.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <string>

#include "layout/report_layout.h"
#include "platform/datawindow_control.h"
#include "qt/report_view.h"

namespace print::qt {
namespace {

// Texts, a line, a hatched box and a picture-less frame over one page, previewed.
std::string crowdedPage(const std::string& extra = "") {
    std::string s =
        "release 9;\ndatawindow(units=1 processing=0 print.preview=yes print.paper.size=9 " +
        extra +
        " )\nheader(height=700 )\nsummary(height=0 )\nfooter(height=40 )\ndetail(height=20 )\n"
        "table(column=(type=char(10) name=a dbname=\"a\" ) )\n"
        "line(band=header x1=\"10\" y1=\"300\" x2=\"500\" y2=\"320\" pen.width=\"2\" "
        "name=l_1 moveable=1 )\n"
        "rectangle(band=header x=\"40\" y=\"400\" width=\"200\" height=\"80\" brush.hatch=\"3\" "
        "brush.color=\"255\" name=r_1 moveable=1 )\n"
        "compute(band=footer expression=\"'page ' + page() + ' of ' + pageCount()\" x=\"10\" "
        "y=\"5\" width=\"200\" height=\"20\" name=pageno moveable=1 )\n";
    for (int i = 0; i < 120; ++i) {
        const int x = 10 + (i % 12) * 55, y = 10 + (i / 12) * 24;
        s += "text(band=header text=\"字段 " + std::to_string(i) + "\" x=\"" + std::to_string(x) +
             "\" y=\"" + std::to_string(y) +
             "\" height=\"20\" width=\"50\" moveable=1 font.face=\"宋体\" font.height=\"-9\" "
             "background.mode=\"" +
             (i % 7 == 0 ? "0\" background.color=\"65535" : "1") + "\" name=t_" +
             std::to_string(i) + " )\n";
    }
    return s;
}

QImage paint(ReportView& view) {
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    view.paintView(painter);
    return image;
}

// What a view made afresh shows for the control as it is now.
QImage freshPicture(platform::DataWindowControl& control, QSize size) {
    ReportView view(control);
    view.resize(size);
    return paint(view);
}

TEST(QtReportView, PaintingWhatChangedShowsWhatPaintingAllShows) {
    platform::DataWindowControl control(nullptr, "dw_preview");
    std::string error;
    ASSERT_EQ(control.Create(crowdedPage(), error), 1) << error;
    ReportView view(control);
    view.resize(900, 700);
    paint(view);
    // One text nudged, one over its neighbours, the line and the hatched box moved, a text
    // hidden and shown again, the footer's compute moved, a text taken half off the paper.
    const char* const changes[] = {
        "t_13.x=70",   "t_14.x=90 t_14.y=30", "l_1.x2=300",
        "r_1.x=60",    "t_20.visible=0",      "t_20.visible=1",
        "pageno.x=40", "t_0.x=-30",           "t_7.background.color=255"};
    for (const char* change : changes) {
        ASSERT_EQ(control.Modify(change), "") << change;
        view.refresh();
        const QImage shown = paint(view);
        EXPECT_TRUE(shown == freshPicture(control, view.size())) << "after " << change;
    }
    // A repaint without a change shows the same picture again.
    EXPECT_TRUE(paint(view) == freshPicture(control, view.size()));
}

TEST(QtReportView, ZoomedAndScrolledThePictureStillFollowsTheChanges) {
    platform::DataWindowControl control(nullptr, "dw_preview");
    std::string error;
    ASSERT_EQ(control.Create(crowdedPage("print.preview.zoom=250 print.preview.rulers=yes"), error),
              1)
        << error;
    ReportView view(control);
    view.resize(600, 500);
    view.verticalScrollBar()->setValue(120);
    view.horizontalScrollBar()->setValue(60);
    paint(view);
    ASSERT_EQ(control.Modify("t_3.x=150 t_3.y=40"), "");
    view.refresh();
    const QImage shown = paint(view);
    ReportView fresh(control);
    fresh.resize(view.size());
    fresh.verticalScrollBar()->setValue(120);
    fresh.horizontalScrollBar()->setValue(60);
    EXPECT_TRUE(shown == paint(fresh));
}

}  // namespace
}  // namespace print::qt
