#include "qt/conversions.h"

#include <gtest/gtest.h>

namespace print::qt {
namespace {

using platform::FontChoice;
using platform::KeyCode;

TEST(FileFilters, PlatformPairsBecomeQtNameFilters) {
    EXPECT_EQ(toQtFilters("文本文件,*.txt,Excel 文件,*.xls"),
              (QStringList{"文本文件 (*.txt)", "Excel 文件 (*.xls)"}));
    // Several patterns of one pair, blanks around the parts.
    EXPECT_EQ(toQtFilters(" 表格 , *.csv; *.txt ,dBASE,*.dbf"),
              (QStringList{"表格 (*.csv *.txt)", "dBASE (*.dbf)"}));
    // A description with no pattern after it shows every file; no description, the patterns.
    EXPECT_EQ(toQtFilters("全部"), (QStringList{"全部 (*)"}));
    EXPECT_EQ(toQtFilters(",*.psr"), (QStringList{"*.psr (*.psr)"}));
    // A trailing comma adds nothing, an empty string no filter at all.
    EXPECT_EQ(toQtFilters("PDF,*.pdf,"), (QStringList{"PDF (*.pdf)"}));
    EXPECT_TRUE(toQtFilters("").isEmpty());
    EXPECT_TRUE(toQtFilters("  ").isEmpty());
}

TEST(FileFilters, TheChosenFilterGivesANameWithoutExtensionItsExtension) {
    EXPECT_EQ(filterExtension("文本 (*.csv)"), ".csv");
    EXPECT_EQ(filterExtension("表格 (*.xls *.xlsx)"), ".xls");
    // Descriptions holding brackets of their own: the last bracket holds the patterns.
    EXPECT_EQ(filterExtension("Excel (97) (*.xls)"), ".xls");
    EXPECT_EQ(filterExtension("压缩 (*.tar.gz)"), ".tar.gz");
    for (const char* none : {"全部 (*)", "全部 (*.*)", "数据 (data*)", ""})
        EXPECT_EQ(filterExtension(none), "") << none;

    EXPECT_EQ(withExtension("月报", ".csv"), "月报.csv");
    EXPECT_EQ(withExtension("月报.txt", ".csv"), "月报.txt");
    // A dot in a folder name is no extension of the file.
    EXPECT_EQ(withExtension("v1.2/月报", ".csv"), "v1.2/月报.csv");
    EXPECT_EQ(withExtension("月报", ""), "月报");
    EXPECT_EQ(withExtension("", ".csv"), "");
}

TEST(Fonts, WeightsColoursAndStylesGoToQtAndBack) {
    EXPECT_EQ(toQtWeight(0), QFont::Normal);
    EXPECT_EQ(toQtWeight(-5), QFont::Normal);
    EXPECT_EQ(toQtWeight(400), QFont::Normal);
    EXPECT_EQ(toQtWeight(700), QFont::Bold);
    EXPECT_EQ(toQtWeight(5000), 1000);
    EXPECT_EQ(fromQtWeight(QFont::Bold), 700);
    EXPECT_EQ(fromQtWeight(QFont::Thin), 100);

    // Blue-green-red: 0x0000FF is red, 0xFF0000 blue; bits above the colour are ignored.
    EXPECT_EQ(fromBgr(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(fromBgr(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(fromBgr(0x7F123456), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(toBgr(QColor(0x56, 0x34, 0x12)), 0x123456);

    FontChoice choice{"宋体", 12, 700, true, true, true, 0x00FF00};
    const QFont font = toQFont(choice);
    EXPECT_EQ(font.family(), "宋体");
    EXPECT_EQ(font.pointSize(), 12);
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_TRUE(font.italic() && font.underline() && font.strikeOut());
    FontChoice back{"", 9, 400, false, false, false, 0x123456};
    fromQFont(font, back);
    EXPECT_EQ(back.face, "宋体");
    EXPECT_EQ(back.height, 12);
    EXPECT_EQ(back.weight, 700);
    EXPECT_TRUE(back.italic && back.underline && back.strikeout);
    // A QFont has no colour: the choice keeps its own.
    EXPECT_EQ(back.color, 0x123456);

    // No height is the platform's 9 points; a font sized in pixels keeps the height it had.
    EXPECT_EQ(toQFont(FontChoice{"Arial", 0}).pointSize(), 9);
    QFont pixels("Arial");
    pixels.setPixelSize(20);
    FontChoice kept{"Arial", 11};
    fromQFont(pixels, kept);
    EXPECT_EQ(kept.height, 11);
}

TEST(Keys, QtKeysAndModifiersBecomeThePlatformsKeysAndFlags) {
    EXPECT_EQ(keyCodeOf(Qt::Key_Z), KeyCode::Z);
    EXPECT_EQ(keyCodeOf(Qt::Key_A), KeyCode::A);
    EXPECT_EQ(keyCodeOf(Qt::Key_0), KeyCode::Num0);
    EXPECT_EQ(keyCodeOf(Qt::Key_9), KeyCode::Num9);
    EXPECT_EQ(keyCodeOf(Qt::Key_F12), KeyCode::F12);
    EXPECT_EQ(keyCodeOf(Qt::Key_Left), KeyCode::Left);
    EXPECT_EQ(keyCodeOf(Qt::Key_Return), KeyCode::Enter);
    EXPECT_EQ(keyCodeOf(Qt::Key_Enter), KeyCode::Enter);
    EXPECT_EQ(keyCodeOf(Qt::Key_Escape), KeyCode::Escape);
    EXPECT_EQ(keyCodeOf(Qt::Key_Control), KeyCode::Control);
    EXPECT_EQ(keyCodeOf(Qt::Key_Alt), KeyCode::Alt);
    EXPECT_EQ(keyCodeOf(Qt::Key_F13), KeyCode::None);
    EXPECT_EQ(keyCodeOf(Qt::Key_Exclam), KeyCode::None);

    EXPECT_EQ(keyFlagsOf(Qt::NoModifier), 0);
    EXPECT_EQ(keyFlagsOf(Qt::ShiftModifier), 1);
    EXPECT_EQ(keyFlagsOf(Qt::ControlModifier), 2);
    EXPECT_EQ(keyFlagsOf(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier), 3);
}

TEST(Pictures, EveryToolbarPictureIsDrawnAndNamesAreNotCaseSensitive) {
    for (const char* name :
         {"Redo!",          "Undo!",           "BringToFront!", "SendToBack!",
          "SpaceVertical!", "SizeHorizontal!", "SizeVertical!", "SpaceHorizontal!",
          "SizeBoth!",      "AlignLeft!",      "AlignRight!",   "AlignBottom!",
          "AlignTop!",      "custom008!",      "ScriptNo!",     "EditDataTabular!",
          "SaveAs!",        "Print!",          "custom009!",    "VcrFirst!",
          "VcrPrior!",      "VcrNext!",        "VcrLast!",      "pic\\down16.bmp",
          "pic\\up16.bmp",  "PIC\\FOCUS.BMP"}) {
        const QIcon icon = pictureIcon(name);
        ASSERT_FALSE(icon.isNull()) << name;
        const QImage drawn = icon.pixmap(24, 24).toImage();
        ASSERT_FALSE(drawn.isNull()) << name << ": the SVG icon plug-in (libqt6svg6) is missing";
        // Something is drawn: not every pixel is transparent.
        bool inked = false;
        for (int y = 0; y < drawn.height() && !inked; ++y)
            for (int x = 0; x < drawn.width() && !inked; ++x) inked = qAlpha(drawn.pixel(x, y));
        EXPECT_TRUE(inked) << name;
    }
    EXPECT_EQ(pictureResource("print!"), pictureResource("PRINT!"));
    EXPECT_EQ(pictureResource("Pic/Up16.bmp"), pictureResource("pic\\up16.bmp"));
    EXPECT_TRUE(pictureResource("Print").isEmpty());
    EXPECT_TRUE(pictureIcon("Unknown!").isNull());
    EXPECT_TRUE(pictureIcon("").isNull());
}

}  // namespace
}  // namespace print::qt
