#include "report_defs/report_defs.h"

#include <memory>
#include <string>

#include "engine/library.h"

namespace print::report_defs {

void install() {
    static const std::shared_ptr<engine::MemoryLibrary> builtIn = [] {
        auto library = std::make_shared<engine::MemoryLibrary>("(component)");
        for (const Definition& d : definitions()) library->put(d.name, std::string(d.text));
        return library;
    }();
    engine::LibrarySearchList::application().setBuiltIn(builtIn);
}

}  // namespace print::report_defs
