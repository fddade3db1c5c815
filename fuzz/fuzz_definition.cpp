// Any text handed to the definition parser and the report builder must give a report or an
// error, never a crash; a report that loads must write a syntax that loads again. The text is
// also on the library search list as d_fuzz, so that a report nesting d_fuzz nests itself, and
// the report's first computed fields and columns are evaluated on its first row.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/datastore.h"
#include "engine/library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    static auto library = [] {
        auto lib = std::make_shared<print::engine::MemoryLibrary>();
        print::engine::LibrarySearchList::application().setLibraries({lib});
        return lib;
    }();
    library->put("d_fuzz", text);
    print::engine::DataStore report;
    std::string error;
    if (report.Create(text, error) != 1) return 0;
    std::string syntax = report.Describe("DataWindow.Syntax");
    print::engine::DataStore again;
    if (again.Create(syntax, error) != 1) std::abort();
    if (again.Describe("DataWindow.Syntax") != syntax) std::abort();
    report.Describe("DataWindow.Objects DataWindow.Bands DataWindow.Column.Count");
    int evaluated = 0;
    for (const auto& object : report.objects()) {
        if (object.name.empty() || (object.kind != "compute" && object.kind != "column")) continue;
        if (++evaluated > 16) break;
        (void)report.GetItem(1, object.name);
        (void)report.GetItemText(1, object.name);
    }
    return 0;
}
