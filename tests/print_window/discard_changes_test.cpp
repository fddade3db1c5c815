// Moved objects and changed settings are not thrown away without a word: closing, Esc and
// 新模板 ask first where the window can save templates.
#include <gtest/gtest.h>

#include "print_window_test_support.h"

namespace print::print_window::test {
namespace {

const char* const kQuestion = "提示 | 当前模板已修改，是否保存？ | Question! | YesNoCancel! -> ";

class DiscardChanges : public PrintWindowTest {
protected:
    std::string run(const std::string& script) { return runGoodsReport(script); }
    static constexpr const char* kMove =
        "mouse down @st_repname\nmouse up @st_repname\nkey right\n";
};

TEST_P(DiscardChanges, CancelStaysNoDiscardsAndAnUnchangedLayoutClosesAtOnce) {
    // Nothing changed (a selection is no change): no question.
    run("mouse down @st_repname\nmouse up @st_repname\nclick uob_exit\nshow uob_exit\n");
    EXPECT_TRUE(goodsOperator().boxes().empty());

    const std::string out = run(std::string(kMove) +
                                "answer 3\nclick uob_exit\nshow uob_exit\n"
                                "answer 3\nkey escape\nshow uob_exit\n"
                                "answer 2\nkey escape\nshow uob_exit\n");
    // The window stayed through both Cancels and closed on No: the last show never ran.
    EXPECT_EQ(out, "visible=1 enabled=1 text=关 闭\n.\nvisible=1 enabled=1 text=关 闭\n.\n");
    EXPECT_EQ(goodsOperator().boxes(),
              (std::vector<std::string>{std::string(kQuestion) + "3", std::string(kQuestion) + "3",
                                        std::string(kQuestion) + "2"}));
}

TEST_P(DiscardChanges, ChangedSettingsAskBeforeANewTemplateAndYesSavesFirst) {
    const std::string out =
        run("click uob_preview\nset tabpage_setup.dw_set 1 copies 3\n"
            // Yes, then the save dialog is cancelled: nothing is thrown away.
            "answer 1\nclick uob_new\nclick uob_cancel\n"
            "describe dw_preview DataWindow.Print.Copies\n"
            // Yes and a name: saved, then the new template.
            "answer 1\nclick uob_new\ntype sle_name 三份\nclick uob_ok\n"
            "describe dw_preview DataWindow.Print.Copies\n"
            "describe dw_template Evaluate('rowcount()',1)\n"
            // Nothing changed since: closes without a question.
            "click uob_exit\n");
    EXPECT_EQ(out, "3\n.\n1\n.\n1\n.\n");
    const std::vector<std::string> boxes = goodsOperator().boxes();
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], std::string(kQuestion) + "1");
    EXPECT_EQ(boxes[1], std::string(kQuestion) + "1");
    for (size_t i = 2; i < boxes.size(); ++i)
        EXPECT_EQ(boxes[i].find("是否保存"), std::string::npos) << boxes[i];
}

PRINT_DB_BACKENDS(DiscardChanges);

}  // namespace
}  // namespace print::print_window::test
