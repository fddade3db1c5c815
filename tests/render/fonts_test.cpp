// The faces that stand in for the Windows faces, and metrics that add up as layout needs.
#include <gtest/gtest.h>

#include <QFont>
#include <QStringList>

#include "render/fonts.h"

namespace print::render {
namespace {

const std::vector<std::string> kCjkFamilies = {"AR PL UMing CN", "Noto Serif CJK SC",
                                               "Noto Sans CJK SC", "WenQuanYi Micro Hei"};

bool isCjkFamily(const std::string& family) {
    return std::find(kCjkFamilies.begin(), kCjkFamilies.end(), family) != kCjkFamilies.end();
}

layout::FontSpec spec(const std::string& face, double size = 12) {
    layout::FontSpec font;
    font.face = face;
    font.size = size;
    return font;
}

TEST(Fonts, SongAndHeiFacesResolveToInstalledChineseFamilies) {
    for (const char* face : {"宋体", "SimSun", "新宋体", "NSimSun", "黑体", "SimHei"})
        EXPECT_TRUE(isCjkFamily(resolvedFamily(face))) << face << " -> " << resolvedFamily(face);
    // A Song face must stay a Song (serif) face when the first choice is there.
    EXPECT_EQ(resolvedFamily("宋体"), "AR PL UMing CN");
    EXPECT_EQ(resolvedFamily("黑体"), "WenQuanYi Micro Hei");
}

TEST(Fonts, QtKnowsTheSubstitutionsWithoutTheFontconfigFile) {
    // Qt keeps the names in lower case.
    const QStringList song = QFont::substitutes(QStringLiteral("宋体"));
    ASSERT_EQ(song.size(), 3);
    EXPECT_EQ(song.join(",").toStdString(), "ar pl uming cn,noto serif cjk sc,wenquanyi micro hei");
    EXPECT_EQ(QFont::substitutes(QStringLiteral("SimHei")).join(",").toStdString(),
              "wenquanyi micro hei,noto sans cjk sc");
}

TEST(Fonts, ChineseTextHasNoMissingGlyphInAnyFaceReportsUse) {
    const std::string text =
        "采购订单 供应商结算单 合计：￥1,234.56 第1页 共3页 制单人 审核 （盖章）";
    for (const char* face : {"宋体", "黑体", "新宋体", "Arial", "Times New Roman", "楷体"}) {
        const std::u32string missing = missingCharacters(spec(face), text);
        EXPECT_TRUE(missing.empty()) << face << " misses " << missing.size() << " characters";
    }
}

TEST(Fonts, AnUnassignedCodePointIsReportedMissing) {
    const std::u32string missing = missingCharacters(spec("宋体"), "合\u0378计 ");
    EXPECT_EQ(missing, std::u32string(U"\u0378"));
}

TEST(Fonts, WidthsAddUpSoThatLayoutCanMeasureWordByWord) {
    const QtFontMetrics metrics;
    for (const char* face : {"宋体", "Arial"}) {
        const layout::FontSpec font = spec(face, 10.5);
        const double whole = metrics.width(font, "Office fit 合计 1,234.56");
        const double parts = metrics.width(font, "Office") + metrics.width(font, " ") +
                             metrics.width(font, "fit") + metrics.width(font, " ") +
                             metrics.width(font, "合") + metrics.width(font, "计") +
                             metrics.width(font, " ") + metrics.width(font, "1,234.56");
        EXPECT_NEAR(whole, parts, 0.01) << face;
    }
}

TEST(Fonts, MetricsAreInPointsAndScaleWithTheSize) {
    const QtFontMetrics metrics;
    // A Chinese character is one em wide in a Song face.
    EXPECT_NEAR(metrics.width(spec("宋体", 12), "合计"), 24.0, 0.01);
    EXPECT_NEAR(metrics.width(spec("宋体", 24), "合计"), 48.0, 0.01);
    const layout::FontSpec font = spec("宋体", 12);
    EXPECT_GT(metrics.ascent(font), 8);
    EXPECT_GT(metrics.descent(font), 0);
    EXPECT_GE(metrics.lineSpacing(font), metrics.ascent(font) + metrics.descent(font) - 0.01);
    layout::FontSpec bold = spec("Arial", 12);
    bold.weight = 700;
    EXPECT_GT(metrics.width(bold, "Total amount"),
              metrics.width(spec("Arial", 12), "Total amount"));
}

}  // namespace
}  // namespace print::render
