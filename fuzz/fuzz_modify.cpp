// Modify and Describe with any text on a small report must answer, never crash, and leave a
// report whose syntax still loads. The library search list holds the report as d_small and a
// definition that nests itself as d_fuzz, for report objects to nest.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/datastore.h"
#include "engine/library.h"

namespace {
const char* kReport = R"def(release 9;
datawindow(units=0 processing=1 )
header(height=64 )
detail(height=72 )
table(column=(type=char(10) name=a dbname="a" ) column=(type=decimal(2) name=b dbname="b" ) )
group(level=1 header.height=0 trailer.height=0 by=("a" ) )
text(band=header text="A" x="10" y="4" height="56" width="300" name=a_t )
column(band=detail id=1 x="10" y="4" height="64" width="300" name=a )
column(band=detail id=2 x="320" y="4" height="64" width="200" name=b format="#,##0.00" )
compute(band=trailer.1 expression="sum(b for group 1)" x="320" y="4" height="64" width="200" name=c )
)def";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool registered = [] {
        auto lib = std::make_shared<print::engine::MemoryLibrary>();
        lib->put("d_small", kReport);
        lib->put("d_fuzz",
                 "release 9;\ndatawindow(units=0 )\ntable(column=(type=char(10) name=a ) )\n"
                 "report(band=detail dataobject=\"d_fuzz\" name=r1 )\n"
                 "report(band=detail dataobject=\"d_fuzz\" name=r2 )\n");
        print::engine::LibrarySearchList::application().setLibraries({lib});
        return true;
    }();
    (void)registered;
    std::string text(reinterpret_cast<const char*>(data), size);
    print::engine::DataStore report;
    std::string error;
    if (report.Create(kReport, error) != 1) std::abort();
    report.InsertRow(0);
    report.SetItem(1, "a", print::Value("x"));
    report.Modify(text);
    report.Describe(text);
    report.GetItemText(1, "b");
    report.GetItem(1, "c");
    std::string syntax = report.Describe("DataWindow.Syntax");
    print::engine::DataStore again;
    if (again.Create(syntax, error) != 1) std::abort();
    return 0;
}
