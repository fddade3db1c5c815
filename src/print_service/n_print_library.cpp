// The print library: the library file where report definitions made from templates live, and
// its place on the application's library search list.
#include "common/text.h"
#include "db/library_file.h"
#include "print_service/host_context.h"
#include "print_service/n_print.h"

namespace print::service {

namespace {

// The search list holds `path` as one of its items (not case sensitive).
bool onSearchList(const std::string& path) {
    for (const std::string& item : split(db::getLibraryList(), ','))
        if (iequals(trim(item), path)) return true;
    return false;
}

// The listing line of entry `name` (whole name, not case sensitive): the text after the name's
// tab, or nullopt when there is no such entry.
std::optional<std::string> listingRest(const std::string& listing, const std::string& name) {
    for (const std::string& line : split(listing, '\n')) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        if (iequals(std::string_view(line).substr(0, tab), name)) return line.substr(tab + 1);
    }
    return std::nullopt;
}

}  // namespace

int n_print::of_setprintlib(const std::string& as_libfile) {
    is_printlib.clear();
    // A session killed while it created the library leaves an empty file (its journal played
    // back): it is made a library as a missing one is.
    if ((!db::fileExists(as_libfile) || db::libraryUnfinished(as_libfile)) &&
        db::libraryCreate(as_libfile) != 1)
        return -1;
    if (!onSearchList(as_libfile)) db::setLibraryList(db::getLibraryList() + "," + as_libfile);
    is_printlib = as_libfile;
    removeLeftovers(as_libfile);
    return 1;
}

void n_print::removeLeftovers(const std::string& libfile) {
    // A window removes the temporary entry of an unsaved layout when it closes; a session killed
    // meanwhile leaves it. Temporary entries carry the generated "dp_" names and, unlike the
    // copies of templates, no row stamp in their comment. A day is longer than any window stays
    // open on one layout, so an older one belongs to no running session.
    auto library = db::LibraryFile::open(libfile);
    if (!library) return;
    auto entries = library.value().entries();
    if (!entries) return;
    const DateTime now = DateTime::now();
    const DateTime dayAgo{Date{now.date.days - 1}, now.time};
    for (const db::LibraryEntry& entry : entries.value()) {
        if (!istartsWith(entry.name, kTemporaryPrefix) || !entry.comment.empty()) continue;
        if (entry.modified < dayAgo) (void)library.value().remove(entry.name);
    }
}

bool n_print::of_libisvalid(const std::string& libfile) const {
    if (f_str_isnull(libfile) || !db::fileExists(libfile)) return false;
    return onSearchList(libfile);
}

bool n_print::of_dwisinlib(const std::string& libfile, const std::string& dwname) const {
    const std::string path = trim(libfile);
    if (!of_libisvalid(path)) return false;
    const std::string listing = db::libraryDirectory(path);
    if (f_str_isnull(listing)) return false;
    return listingRest(listing, dwname).has_value();
}

bool n_print::of_dwisinlib(const std::string& dwname) const {
    return of_dwisinlib(is_printlib, dwname);
}

int n_print::of_getdwdatetime(const std::string& libfile, const std::string& dwname,
                              DateTime& dwdate) const {
    const std::string path = trim(libfile);
    if (!of_libisvalid(path)) return -1;
    const std::string listing = db::libraryDirectory(path);
    if (f_str_isnull(listing)) return -1;
    const std::optional<std::string> rest = listingRest(listing, dwname);
    if (!rest) return -1;
    const size_t tab = rest->find('\t');
    if (tab == std::string::npos) return -1;
    const std::string stamp = trim(std::string_view(*rest).substr(0, tab));
    const size_t space = stamp.find(' ');
    if (space == std::string::npos) return -1;
    const std::optional<Date> date = Date::parse(stamp.substr(0, space));
    const std::optional<Time> time = Time::parse(stamp.substr(space + 1));
    if (!date || !time) return -1;
    dwdate = DateTime{*date, *time};
    return 1;
}

int n_print::of_getdwdatetime(const std::string& dwname, DateTime& dwdate) const {
    return of_getdwdatetime(is_printlib, dwname, dwdate);
}

int n_print::of_importlibdw(engine::DataStore& a_dw, const std::string& a_name) {
    // A report without a definition has no syntax worth importing.
    if (!of_libisvalid(is_printlib) || !a_dw.isCreated()) return -1;
    const std::string syntax = a_dw.Describe("DataWindow.Syntax");
    if (syntax == "!" || syntax == "?" || syntax.empty()) return -1;
    std::string errors;
    return db::libraryImport(is_printlib, a_name, syntax, errors);
}

int n_print::of_setdebuglib(const std::string& as_syntax, const std::string& as_name,
                            const std::string& comment) {
    if (!of_libisvalid(is_printlib)) return -1;
    std::string errors;
    // The import's own result: a failed import must not pass for a loaded template.
    return db::libraryImport(is_printlib, as_name, as_syntax, errors, comment);
}

std::string n_print::of_getdwcomment(const std::string& dwname) const {
    if (!of_libisvalid(is_printlib)) return "";
    const std::optional<std::string> rest = listingRest(db::libraryDirectory(is_printlib), dwname);
    if (!rest) return "";
    const size_t tab = rest->find('\t');
    return tab == std::string::npos ? std::string() : rest->substr(tab + 1);
}

int n_print::of_deletelibdw(const std::string& a_name) {
    if (!of_libisvalid(is_printlib)) return -1;
    return db::libraryDelete(is_printlib, a_name);
}

int n_print::of_deleteprintlib() {
    if (f_str_isnull(is_printlib)) return -1;
    if (!db::fileDelete(is_printlib)) return -1;
    is_printlib.clear();
    return 1;
}

}  // namespace print::service
