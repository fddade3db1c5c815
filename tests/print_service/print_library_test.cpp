#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace print::service::test
