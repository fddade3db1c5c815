// Operators sharing one template store: a question on one screen holds nobody else up, what a
// question was about is checked again under the lock, and a load never mixes two saves.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "print_window_test_support.h"

namespace print::print_window::test {
namespace {

using platform::Icon;
using platform::MessageBoxRecord;

class SharedStore : public PrintWindowTest {
protected:
    Operator& reportOperator(const std::string& operid, const std::string& library = {}) {
        Operator& op = addOperator(operid, library);
        op.create(op.dw_detail, kGoodsReport);
        fillGoods(op.dw_detail);
        return op;
    }
    Operator& billOperator(const std::string& operid) {
        Operator& op = addOperator(operid);
        op.create(op.dw_header, kBillHeader);
        fillHeader(op.dw_header);
        op.create(op.dw_detail, kGoodsReport);
        fillGoods(op.dw_detail);
        return op;
    }
    std::string print(Operator& op, const std::string& script,
                      const std::string& docname = "商品清单,月结") {
        return op.run([&] { op.host.gnu_print.of_print(&op.dw_detail, docname); }, script);
    }
    static std::string save(const std::string& name, bool def = false) {
        return "click uob_save\ntype sle_name " + name + "\ncheck cbx_priv on\ncheck cbx_default " +
               (def ? "on" : "off") + "\nanswer 1\nclick uob_ok\n";
    }
    std::string column(const std::string& sql) {
        std::string out;
        sqlca.query(sql, {}, [&](const std::vector<Value>& r) {
            out += (out.empty() ? "" : ",") + (r[0].isNull() ? std::string("null") : r[0].toText());
            return true;
        });
        return out;
    }
    // On PostgreSQL a lock that is not let go fails after a while instead of hanging the test;
    // SQLite gives up on its own (after 10 s, "database is locked").
    void limitLockWaits(Operator& op) {
        if (GetParam() != db::Backend::PostgreSql) return;
        ASSERT_EQ(op.host.sqlca.execute("SET lock_timeout = '3s'"), 0);
        ASSERT_EQ(op.host.sqlca.commit(), 0);
    }
};

TEST_P(SharedStore, AnOperatorHeldInTheOverwriteQuestionHoldsNobodyUp) {
    // Two sessions on one workstation: one print library, one search list.
    const std::string library = tempPath("shared.plib");
    Operator& a = reportOperator("A", library);
    Operator& b = reportOperator("B", library);
    print(a, "click uob_preview\n" + save("甲"));
    a.boxes();
    limitLockWaits(b);

    bool othersDone = false;
    long hostWrite = -2;
    a.services.onMessageBox = [&](const MessageBoxRecord& box) {
        if (box.icon != Icon::Question || othersDone) return;
        othersDone = true;
        // While A reads the question, B saves another template of the same document ...
        print(b, "click uob_preview\n" + save("乙"));
        // ... and the host writes to its own tables.
        db::Transaction host = connected();
        hostWrite = host.execute("INSERT INTO t_Privatepara (code, value) VALUES ('99', 'x')");
        if (hostWrite == 0) hostWrite = host.commit();
    };
    print(a, "click uob_preview\n" + save("甲"));
    a.services.onMessageBox = nullptr;

    ASSERT_TRUE(othersDone);
    EXPECT_EQ(b.boxes(), std::vector<std::string>{"提示 | 打印模板保存成功！ | None! | OK! -> 1"});
    EXPECT_EQ(hostWrite, 0);
    EXPECT_EQ(a.boxes(),
              (std::vector<std::string>{
                  "提示 | 该模板名称已存在，且为公共模板，您的修改将影响到其他人对此模板的使用！"
                  "您确信要保存并覆盖该模板吗？ | Question! | OKCancel! -> 1",
                  "提示 | 打印模板保存成功！ | None! | OK! -> 1"}));
    EXPECT_EQ(column("SELECT rtname || rtoperid FROM T_RPT_MODONE ORDER BY rtoperid"), "甲A,乙B");
}

TEST_P(SharedStore, WhatTheQuestionWasAboutIsCheckedUnderTheLockAndAskedAgainWhenItChanged) {
    Operator& a = reportOperator("A");
    print(a, "click uob_preview\n" + save("甲") + save("乙", true));
    a.boxes();
    const std::string beforeStamp =
        column("SELECT rtoperdate FROM T_RPT_MODONE WHERE rtname = '甲'");
    int questions = 0;
    a.services.onMessageBox = [&](const MessageBoxRecord& box) {
        if (box.icon != Icon::Question || ++questions != 1) return;
        // Meanwhile somebody makes 甲 the document's default.
        db::Transaction other = connected();
        ASSERT_EQ(other.execute("UPDATE T_RPT_MODONE SET rtdefault = CASE WHEN rtname = '甲' "
                                "THEN 'Y' ELSE 'N' END"),
                  0);
        ASSERT_EQ(other.commit(), 0);
    };
    // The operator agreed to overwrite a public template; it is now the public default, so he
    // is asked again, and his Cancel leaves it as the other one made it.
    print(a,
          "click uob_preview\nclick uob_save\ntype sle_name 甲\nanswer 1\nanswer 2\n"
          "click uob_ok\nclick uob_cancel\n");
    EXPECT_EQ(a.boxes(),
              (std::vector<std::string>{
                  "提示 | 该模板名称已存在，且为公共模板，您的修改将影响到其他人对此模板的使用！"
                  "您确信要保存并覆盖该模板吗？ | Question! | OKCancel! -> 1",
                  "提示 | 该模板名称已存在，且为公共缺省模板，您的修改将影响到其他人对此模板的"
                  "使用！您确信要保存并覆盖该模板吗？ | Question! | OKCancel! -> 2"}));
    EXPECT_EQ(column("SELECT rtname FROM T_RPT_MODONE WHERE rtdefault = 'Y'"), "甲");
    EXPECT_EQ(column("SELECT rtoperdate FROM T_RPT_MODONE WHERE rtname = '甲'"), beforeStamp);

    // A row gone after the question is written anew, without another question.
    questions = 0;
    a.services.onMessageBox = [&](const MessageBoxRecord& box) {
        if (box.icon != Icon::Question || ++questions != 1) return;
        db::Transaction other = connected();
        ASSERT_EQ(other.execute("DELETE FROM T_RPT_MODONE WHERE rtname = '乙'"), 0);
        ASSERT_EQ(other.commit(), 0);
    };
    print(a, "click uob_preview\nclick uob_save\ntype sle_name 乙\nanswer 1\nclick uob_ok\n");
    a.services.onMessageBox = nullptr;
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(a.boxes().back(), "提示 | 打印模板保存成功！ | None! | OK! -> 1");
    EXPECT_EQ(column("SELECT count(*) FROM T_RPT_MODONE a JOIN T_RPT_MODTWO b ON b.rtdocname = "
                     "a.rtdocname AND b.rtname = a.rtname AND b.rtoperid = a.rtoperid WHERE "
                     "a.rtname = '乙' AND a.rtmdata IS NOT NULL AND b.rtcdata IS NOT NULL"),
              "1");
}

TEST_P(SharedStore, ANewBillLayoutSavedUnderTheProposedNameAsksBeforeReplacingAnothersTemplate) {
    Operator& b = billOperator("B");
    b.run([&] { b.host.gnu_print.of_print("101", &b.dw_header, &b.dw_detail); },
          "click uob_preview\nclick uob_save\nclick uob_ok\n");
    ASSERT_EQ(column("SELECT bpname || bpoperid FROM T_GOODSPRINT1"), "新的打印模板B");
    // A's window opens with a new layout (B's template is no default) proposing the same name.
    Operator& a = billOperator("A");
    a.run([&] { a.host.gnu_print.of_print("101", &a.dw_header, &a.dw_detail); },
          "click uob_preview\nclick uob_save\nanswer 2\nclick uob_ok\nclick uob_cancel\n");
    EXPECT_EQ(a.boxes(), std::vector<std::string>{
                             "提示 | 该模板名称已存在，您确信要保存并覆盖该模板吗？ | Question! | "
                             "OKCancel! -> 2"});
    EXPECT_EQ(column("SELECT bpname || bpoperid FROM T_GOODSPRINT1"), "新的打印模板B");
}

TEST_P(SharedStore, ALoadShowsTheFrameAndTheListOfOneSaveWhileAnotherOperatorKeepsSaving) {
    Operator& a = reportOperator("A");
    // Without a title part the frame keeps the title each save stored.
    print(a, "click uob_preview\n" + save("甲"), "商品清单");
    a.boxes();
    std::string frame, list;
    ASSERT_EQ(sqlca.selectBlob("SELECT rtmdata FROM T_RPT_MODONE", {}, frame), 0);
    ASSERT_EQ(sqlca.selectBlob("SELECT rtcdata FROM T_RPT_MODTWO", {}, list), 0);
    ASSERT_NE(frame.find("text=\"商品清单\""), std::string::npos);
    ASSERT_NE(list.find("text=\"商品名称\""), std::string::npos);
    auto marked = [](std::string syntax, const std::string& from, const std::string& to) {
        for (size_t at = syntax.find(from); at != std::string::npos; at = syntax.find(from, at))
            syntax.replace(at, from.size(), to);
        return syntax;
    };

    // Another operator saves version after version: frame and list in one transaction, each
    // with its number.
    auto saveVersion = [&](db::Transaction& other, int v) {
        const std::string tag = "text=\"版本" + std::to_string(v) + "\"";
        const Value stamp(DateTime::now());
        if (other.updateBlob("UPDATE T_RPT_MODONE SET rtmdata = :b, rtoperdate = :stamp",
                             marked(frame, "text=\"商品清单\"", tag), {stamp}) == 0 &&
            other.updateBlob("UPDATE T_RPT_MODTWO SET rtcdata = :b",
                             marked(list, "text=\"商品名称\"", tag), {}) == 0 &&
            other.commit() == 0)
            return true;
        other.rollback();
        return false;
    };
    ASSERT_TRUE(saveVersion(sqlca, 0));
    std::atomic<bool> stop{false};
    std::atomic<int> versions{0};
    std::thread saver([&] {
        db::Transaction other = connected();
        for (int v = 1; !stop; ++v) {
            if (saveVersion(other, v)) versions = v;
            // An operator saves now and then, not without a pause: readers get their turn.
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });
    std::vector<std::string> mixed;
    int loads = 0;
    a.runWith([&] { a.host.gnu_print.of_print(&a.dw_detail, std::string("商品清单")); },
              [&](w_print& w) {
                  for (; loads < 120; ++loads) {
                      w.is_tmpname.clear();
                      w.dw_template.SetRow(1);
                      w.ue_loadtemplate();
                      engine::DataWindowChild* shown = nullptr;
                      ASSERT_EQ(w.dw_preview.GetChild("dw_report", shown), 1);
                      const std::string title = w.dw_preview.Describe("st_repname.text");
                      const std::string heading = shown->Describe("goodsname_t.text");
                      if (title != heading) mixed.push_back(title + " / " + heading);
                  }
              });
    stop = true;
    saver.join();
    EXPECT_GT(versions.load(), 1);
    EXPECT_TRUE(mixed.empty()) << mixed.size() << " of " << loads << " loads mixed two saves, "
                               << "first " << mixed.front();
    const std::vector<std::string> boxes = a.boxes();
    EXPECT_TRUE(boxes.empty()) << boxes.front();
}

PRINT_DB_BACKENDS(SharedStore);

}  // namespace
}  // namespace print::print_window::test
