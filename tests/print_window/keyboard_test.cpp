// The print window's own keys: they act wherever the focus is, only while the button they stand
// for could be clicked.
#include <gtest/gtest.h>

#include "print_window_test_support.h"

namespace print::print_window::test {
namespace {

class Keyboard : public PrintWindowTest {
protected:
    // A goods list long enough for several pages.
    std::string run(const std::string& script) { return runGoodsReport(script, 40); }
};

TEST_P(Keyboard, PageKeysTurnThePreviewsPages) {
    const std::string out =
        run("key pagedown\nshow dw_preview\n"
            "key end ctrl\nshow dw_preview\n"
            "key pagedown\nshow dw_preview\n"
            "key pageup\nshow dw_preview\n"
            "key home ctrl\nshow dw_preview\n"
            "key pageup\nshow dw_preview\n"
            // In settings mode the preview is hidden: the keys turn nothing.
            "click uob_preview\nkey pagedown\nclick uob_preview\nshow dw_preview\n");
    std::vector<std::string> pages;
    for (size_t at = out.find("page="); at != std::string::npos; at = out.find("page=", at + 1))
        pages.push_back(out.substr(at + 5, out.find(' ', at) - at - 5));
    ASSERT_EQ(pages.size(), 7u) << out;
    const std::string last = pages[1].substr(pages[1].find('/') + 1);
    ASSERT_NE(last, "1") << "the report needs more than one page";
    EXPECT_EQ(pages[0], "2/" + last);
    EXPECT_EQ(pages[1], last + "/" + last);
    EXPECT_EQ(pages[2], last + "/" + last);
    EXPECT_EQ(pages[3], std::to_string(std::stol(last) - 1) + "/" + last);
    EXPECT_EQ(pages[4], "1/" + last);
    EXPECT_EQ(pages[5], "1/" + last);
    EXPECT_EQ(pages[6], "1/" + last);
}

TEST_P(Keyboard, CtrlPPrintsOnceFromEitherModeAndCtrlYRedoes) {
    Operator& a = goodsOperator(40);
    const std::string out =
        run("key p ctrl\n"
            "click uob_preview\nset tabpage_setup.dw_set 1 copies 2\nkey p ctrl\n"
            "click uob_preview\ndescribe dw_preview DataWindow.Print.Copies\n"
            "mouse down @st_repname\nmouse up @st_repname\n"
            "describe dw_preview st_repname.x\n"
            "key right\ndescribe dw_preview st_repname.x\n"
            "key z ctrl\ndescribe dw_preview st_repname.x\n"
            "key y ctrl\ndescribe dw_preview st_repname.x\n"
            // Nothing left to redo: the key does nothing.
            "key y ctrl\ndescribe dw_preview st_repname.x\n");
    ASSERT_EQ(a.services.printJobs().size(), 2u);
    std::istringstream lines(out);
    std::vector<std::string> xs;
    for (std::string line; std::getline(lines, line);)
        if (line != ".") xs.push_back(line);
    ASSERT_EQ(xs.size(), 6u) << out;
    EXPECT_EQ(xs[0], "2");
    xs.erase(xs.begin());
    EXPECT_NE(xs[1], xs[0]);
    EXPECT_EQ(xs[2], xs[0]);
    EXPECT_EQ(xs[3], xs[1]);
    EXPECT_EQ(xs[4], xs[1]);
}

PRINT_DB_BACKENDS(Keyboard);

}  // namespace
}  // namespace print::print_window::test
