// Any text handed to the definition parser and the report builder must give a report or an
// error, never a crash; a report that loads must write a syntax that loads again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/datastore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    print::engine::DataStore report;
    std::string error;
    if (report.Create(text, error) != 1) return 0;
    std::string syntax = report.Describe("DataWindow.Syntax");
    print::engine::DataStore again;
    if (again.Create(syntax, error) != 1) std::abort();
    if (again.Describe("DataWindow.Syntax") != syntax) std::abort();
    report.Describe("DataWindow.Objects DataWindow.Bands DataWindow.Column.Count");
    return 0;
}
