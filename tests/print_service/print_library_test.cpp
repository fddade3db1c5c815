#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/text.h"
#include "db/library_file.h"
#include "db_test_support.h"
#include "engine/library.h"
#include "print_service_test_support.h"

namespace print::service::test {
namespace {

const char* kReport =
    "release 9;\ndatawindow(units=0)\ndetail(height=80)\n"
    "table(column=(type=char(10) name=a dbname=\"a\"))\n";

class PrintLibrary : public testing::Test {
protected:
    void SetUp() override { m_saved = engine::LibrarySearchList::application().libraries(); }
    void TearDown() override { engine::LibrarySearchList::application().setLibraries(m_saved); }

    db::test::TempDir dir;
    TestHost t;
    std::vector<std::shared_ptr<engine::DefinitionLibrary>> m_saved;
};

TEST_F(PrintLibrary, SettingTheLibraryCreatesItAndPutsItOnTheListOnce) {
    n_print& p = t.host.gnu_print;
    const std::string path = dir.path("print.plib");
    EXPECT_EQ(p.of_setprintlib(path), 1);
    EXPECT_TRUE(db::fileExists(path));
    EXPECT_EQ(p.is_printlib, path);
    EXPECT_TRUE(p.of_libisvalid(path));

    std::string upper = path;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const size_t before = engine::LibrarySearchList::application().libraries().size();
    EXPECT_EQ(p.of_setprintlib(path), 1);
    EXPECT_EQ(engine::LibrarySearchList::application().libraries().size(), before);

    // A library file that is not on the list is not valid, nor is a path that only begins
    // like one on the list.
    const std::string other = dir.path("other.plib");
    ASSERT_EQ(db::libraryCreate(other), 1);
    EXPECT_FALSE(p.of_libisvalid(other));
    EXPECT_FALSE(p.of_libisvalid(""));
    ASSERT_EQ(db::libraryCreate(path + "x"), 1);
    EXPECT_FALSE(p.of_libisvalid(path + "x"));

    // A path where no library can be made: -1 and no library set.
    EXPECT_EQ(p.of_setprintlib(dir.path("no/such/folder/p.plib")), -1);
    EXPECT_EQ(p.is_printlib, "");
}

TEST_F(PrintLibrary, EntriesAreFoundByTheirWholeName) {
    n_print& p = t.host.gnu_print;
    ASSERT_EQ(p.of_setprintlib(dir.path("print.plib")), 1);
    EXPECT_FALSE(p.of_dwisinlib("dp_T1001_12"));
    DateTime stamp;
    EXPECT_EQ(p.of_getdwdatetime("dp_T1001_12", stamp), -1);

    ASSERT_EQ(p.of_setdebuglib(kReport, "dp_T1001_123", "2024-05-06 07:08:09"), 1);
    EXPECT_TRUE(p.of_dwisinlib("DP_t1001_123"));
    EXPECT_FALSE(p.of_dwisinlib("dp_T1001_12"));
    EXPECT_FALSE(p.of_dwisinlib("T1001_123"));
    EXPECT_EQ(p.of_getdwdatetime("dp_T1001_12", stamp), -1);
    ASSERT_EQ(p.of_getdwdatetime("dp_T1001_123", stamp), 1);
    const DateTime now = DateTime::now();
    EXPECT_EQ(stamp.date, now.date);
    EXPECT_EQ(p.of_getdwcomment("dp_T1001_123"), "2024-05-06 07:08:09");
    EXPECT_EQ(p.of_getdwcomment("dp_T1001_12"), "");

    // The library is on the search list: the report object loads by its name.
    engine::DataStore dw;
    EXPECT_EQ(dw.SetDataObject("dp_T1001_123"), 1);
}

TEST_F(PrintLibrary, ImportsReportDeletesEntriesAndTheFile) {
    n_print& p = t.host.gnu_print;
    engine::DataStore dw;
    EXPECT_EQ(p.of_importlibdw(dw, "d_x"), -1);  // no library yet
    ASSERT_EQ(p.of_setprintlib(dir.path("print.plib")), 1);
    EXPECT_EQ(p.of_importlibdw(dw, "d_x"), -1);  // a report without syntax imports nothing
    EXPECT_FALSE(p.of_dwisinlib("d_x"));
    createReport(dw, kReport);
    EXPECT_EQ(p.of_importlibdw(dw, "d_x"), 1);
    EXPECT_TRUE(p.of_dwisinlib("d_x"));

    // A failed import says so.
    EXPECT_EQ(p.of_setdebuglib("release 9; datawindow(", "d_bad"), -1);
    EXPECT_FALSE(p.of_dwisinlib("d_bad"));
    EXPECT_EQ(p.of_setdebuglib(kReport, "bad name!"), -1);

    EXPECT_EQ(p.of_deletelibdw("d_x"), 1);
    EXPECT_EQ(p.of_deletelibdw("d_x"), -1);
    const std::string path = p.is_printlib;
    EXPECT_EQ(p.of_deleteprintlib(), 1);
    EXPECT_FALSE(db::fileExists(path));
    EXPECT_FALSE(p.of_libisvalid(p.is_printlib));
    EXPECT_EQ(p.of_deletelibdw("d_x"), -1);
    EXPECT_EQ(p.of_deleteprintlib(), -1);
    EXPECT_EQ(p.of_setdebuglib(kReport, "d_y"), -1);
}

TEST_F(PrintLibrary, AnEmptyFileLeftByAKilledCreateBecomesTheLibrary) {
    n_print& p = t.host.gnu_print;
    const std::string path = dir.path("print.plib");
    std::ofstream(path).close();
    ASSERT_EQ(p.of_setprintlib(path), 1);
    EXPECT_EQ(p.of_setdebuglib(kReport, "dp_T1001_1"), 1);
    EXPECT_TRUE(p.of_dwisinlib("dp_T1001_1"));

    // A file that holds something else is no library to take over.
    const std::string text = dir.path("notes.plib");
    std::ofstream(text) << "not a library";
    EXPECT_FALSE(db::libraryUnfinished(text));
    EXPECT_EQ(p.of_setprintlib(text), 1);
    EXPECT_EQ(p.of_setdebuglib(kReport, "dp_T1001_1"), -1);
    std::ifstream kept(text);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "not a library");
}

TEST_F(PrintLibrary, TemporaryEntriesOfKilledSessionsGoADayLater) {
    n_print& p = t.host.gnu_print;
    const std::string path = dir.path("print.plib");
    ASSERT_EQ(p.of_setprintlib(path), 1);
    // Unsaved layouts (no stamp), template copies (their row's stamp), a host's own entry.
    for (const char* name :
         {"dp_tmpT24010100000012345", "dp_101T24010100000012346", "dp_tmpT24010100000012347"})
        ASSERT_EQ(p.of_setdebuglib(kReport, name), 1);
    ASSERT_EQ(p.of_setdebuglib(kReport, "dp_tmpT24010100000000001", "2024-01-01 00:00:00"), 1);
    ASSERT_EQ(p.of_setdebuglib(kReport, "d_host_list"), 1);
    {
        db::Transaction file;
        ASSERT_EQ(file.connect("sqlite:" + path), 0) << file.sqlErrText();
        const DateTime now = DateTime::now();
        const DateTime old{Date{now.date.days - 2}, now.time};
        ASSERT_EQ(
            file.execute("UPDATE entry SET modified = :old WHERE name <> :recent",
                         {Value(old.toString().substr(0, 19)), Value("dp_tmpT24010100000012347")}),
            0)
            << file.sqlErrText();
        ASSERT_EQ(file.commit(), 0);
    }
    // Opened again (a later session): the old unsaved ones go; the recent one may belong to a
    // window still open; copies and the host's entries stay.
    TestHost later;
    ASSERT_EQ(later.host.gnu_print.of_setprintlib(path), 1);
    std::vector<std::string> names;
    for (const std::string& line : split(db::libraryDirectory(path), '\n'))
        if (!line.empty()) names.push_back(line.substr(0, line.find('\t')));
    EXPECT_EQ(names, (std::vector<std::string>{"d_host_list", "dp_tmpT24010100000000001",
                                               "dp_tmpT24010100000012347"}));
}

}  // namespace
}  // namespace print::service::test
