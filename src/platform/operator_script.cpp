#include "platform/operator_script.h"

#include <sstream>

#include "common/text.h"

namespace print::platform {

namespace {

// Splits off the first blank-separated word.
std::string nextWord(std::string& rest) {
    std::string_view view = trimView(rest);
    const size_t blank = view.find_first_of(" \t");
    std::string word(view.substr(0, blank));
    rest = blank == std::string_view::npos ? std::string() : std::string(view.substr(blank + 1));
    return word;
}

std::optional<long> number(const std::string& text) {
    auto n = parseInteger(text);
    if (!n) return std::nullopt;
    return static_cast<long>(*n);
}

}  // namespace

// --- the driver without a screen ------------------------------------------------------------

std::string OperatorDriver::screenshot(Window&, const std::string&) {
    return "screenshot needs a screen: play the script with print-demo --script";
}

std::string OperatorDriver::focused(Window& window) {
    const Control* focus = window.focusedControl();
    return focus ? focus->name() : std::string();
}

std::string HeadlessDriver::click(Window&, Control& c) {
    switch (c.kind()) {
        case ControlKind::CheckBox:
            static_cast<CheckBox&>(c).toggle();
            break;
        case ControlKind::TabPage: {
            auto& page = static_cast<TabPage&>(c);
            if (!page.tab() || page.tab()->selectTab(page) != 1)
                return "the tab page '" + c.name() + "' cannot be selected";
            break;
        }
        case ControlKind::DataWindow:
            static_cast<DataWindowControl&>(c).operatorClick(0);
            break;
        default:
            c.clicked();
    }
    return {};
}

std::string HeadlessDriver::doubleClick(Window&, DataWindowControl& dw, long row) {
    dw.operatorDoubleClick(row);
    return {};
}

std::string HeadlessDriver::rightClick(Window&, DataWindowControl& dw, long row) {
    if (row >= 1 && row <= dw.RowCount()) dw.SetRow(row);
    dw.operatorRightClick(row);
    return {};
}

std::string HeadlessDriver::key(Window& window, KeyCode key, int flags) {
    m_services.setKeyDown(key, true);
    m_services.setKeyDown(KeyCode::Control, flags & kKeyFlagCtrl);
    m_services.setKeyDown(KeyCode::Shift, flags & kKeyFlagShift);
    window.pressKey(key, flags);
    m_services.setKeyDown(key, false);
    m_services.setKeyDown(KeyCode::Control, false);
    m_services.setKeyDown(KeyCode::Shift, false);
    return {};
}

std::string HeadlessDriver::mouse(Window&, DataWindowControl& dw, MouseAction action,
                                  layout::PagePoint point, bool ctrl) {
    m_services.setKeyDown(KeyCode::Control, ctrl);
    dw.operatorMouse(action, point, ctrl);
    m_services.setKeyDown(KeyCode::Control, false);
    return {};
}

std::string HeadlessDriver::type(Window& window, SingleLineEdit& edit, const std::string& keys) {
    // Keys go where the operator is: into the edit, over its selected text.
    window.setFocus(&edit);
    edit.typeKeys(keys);
    return {};
}

std::string HeadlessDriver::check(Window&, CheckBox& box, bool on) {
    if (box.checked() != on) box.toggle();
    return {};
}

std::string HeadlessDriver::set(Window&, DataWindowControl& dw, long row, const std::string& column,
                                const std::string& value) {
    dw.operatorSetItem(row, column, value);
    return {};
}

std::string HeadlessDriver::menu(const std::string& item) {
    if (m_services.chooseMenuItem(item) != 1)
        return "no pop-up menu item '" + item + "' can be chosen";
    return {};
}

// --- the script -----------------------------------------------------------------------------

OperatorScript::OperatorScript(OperatorDriver& driver, std::istream& in, std::ostream& out,
                               std::ostream& err)
    : m_driver(driver), m_in(in), m_out(out), m_err(err) {}

std::optional<std::string> OperatorScript::nextLine() {
    if (m_pending) {
        std::optional<std::string> line = std::move(m_pending);
        m_pending.reset();
        m_line = m_pendingLine;
        return line;
    }
    std::string line;
    while (std::getline(m_in, line)) {
        ++m_line;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string_view trimmed = trimView(line);
        if (trimmed.empty() || trimmed.front() == '#') continue;
        return std::string(trimmed);
    }
    return std::nullopt;
}

std::optional<std::string> OperatorScript::takeMenuLine() {
    if (m_ended) return std::nullopt;
    std::optional<std::string> line = nextLine();
    if (!line) return std::nullopt;
    std::string rest = *line;
    if (asciiLower(nextWord(rest)) == "menu") return trim(rest);
    m_pending = std::move(line);
    m_pendingLine = m_line;
    return std::nullopt;
}

void OperatorScript::run(Window& window) {
    while (!m_ended && window.isOpen()) {
        std::optional<std::string> line = nextLine();
        if (!line) {
            m_ended = true;
            break;
        }
        if (!runLine(window, *line) || m_failed) {
            m_ended = true;
            break;
        }
    }
}

bool OperatorScript::fail(const std::string& message) {
    m_err << "error: line " << m_line << ": " << message << "\n";
    m_failed = true;
    return false;
}

void OperatorScript::stop(const std::string& message) {
    if (m_ended) return;
    fail(message);
    m_ended = true;
}

bool OperatorScript::check(const std::string& problem) {
    return problem.empty() ? true : fail(problem);
}

void OperatorScript::reply(const std::string& text) {
    size_t start = 0;
    while (true) {
        const size_t nl = text.find('\n', start);
        const std::string_view part = std::string_view(text).substr(
            start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!part.empty() && part.front() == '.') m_out << '.';
        m_out << part << '\n';
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    m_out << ".\n";
    m_out.flush();
}

Control* OperatorScript::control(Window& window, const std::string& path) {
    if (iequals(path, window.name())) return &window;
    return window.find(path);
}

engine::DataStore* OperatorScript::report(Window& window, const std::string& path) {
    // The longest prefix that names a report control; the rest names nested reports.
    std::vector<std::string> parts = split(path, '.');
    for (size_t n = parts.size(); n > 0; --n) {
        std::string prefix = parts[0];
        for (size_t i = 1; i < n; ++i) prefix += "." + parts[i];
        Control* c = window.find(prefix);
        if (!c || c->kind() != ControlKind::DataWindow) continue;
        engine::DataStore* current = static_cast<DataWindowControl*>(c);
        for (size_t i = n; i < parts.size() && current; ++i) {
            engine::DataWindowChild* child = nullptr;
            current = current->GetChild(parts[i], child) == 1 ? child : nullptr;
        }
        return current;
    }
    return nullptr;
}

bool OperatorScript::runLine(Window& window, const std::string& line) {
    std::string rest = line;
    const std::string command = asciiLower(nextWord(rest));

    if (command == "answer") {
        auto n = number(trim(rest));
        if (!n || *n < 1) return fail("answer needs a button number (1, 2 or 3)");
        m_driver.answer(static_cast<int>(*n));
        return true;
    }
    if (command == "filename") {
        m_driver.fileName(trim(rest));
        return true;
    }
    if (command == "fontdialog") {
        const std::string first = nextWord(rest);
        if (iequals(first, "cancel")) {
            m_driver.font(std::nullopt);
            return true;
        }
        FontChoice font;
        font.face = first;
        std::vector<long> values;
        while (!trim(rest).empty()) {
            auto n = number(nextWord(rest));
            if (!n)
                return fail("fontdialog needs FACE HEIGHT WEIGHT ITALIC UNDERLINE STRIKEOUT COLOR");
            values.push_back(*n);
        }
        if (font.face.empty() || values.size() != 6)
            return fail("fontdialog needs FACE HEIGHT WEIGHT ITALIC UNDERLINE STRIKEOUT COLOR");
        font.height = static_cast<int>(values[0]);
        font.weight = static_cast<int>(values[1]);
        font.italic = values[2] != 0;
        font.underline = values[3] != 0;
        font.strikeout = values[4] != 0;
        font.color = values[5];
        m_driver.font(font);
        return true;
    }
    if (command == "printersetup") {
        const std::string printer = trim(rest);
        if (printer.empty()) return fail("printersetup needs a printer name or cancel");
        m_driver.printer(iequals(printer, "cancel") ? std::nullopt
                                                    : std::optional<std::string>(printer));
        return true;
    }
    if (command == "menu") return check(m_driver.menu(trim(rest)));
    if (command == "screenshot") {
        const std::string file = trim(rest);
        if (file.empty()) return fail("screenshot needs a file name (FILE.png)");
        return check(m_driver.screenshot(window, file));
    }
    if (command == "focus") {
        reply(m_driver.focused(window));
        return true;
    }
    if (command == "key") {
        const std::string name = nextWord(rest);
        const KeyCode key = keyFromName(name);
        if (key == KeyCode::None) return fail("unknown key '" + name + "'");
        int flags = 0;
        while (!trim(rest).empty()) {
            const std::string modifier = asciiLower(nextWord(rest));
            if (modifier == "ctrl")
                flags |= kKeyFlagCtrl;
            else if (modifier == "shift")
                flags |= kKeyFlagShift;
            else
                return fail("unknown key modifier '" + modifier + "' (ctrl or shift)");
        }
        return check(m_driver.key(window, key, flags));
    }
    if (command == "mouse") {
        const std::string action = asciiLower(nextWord(rest));
        MouseAction act;
        if (action == "down")
            act = MouseAction::Down;
        else if (action == "move")
            act = MouseAction::Move;
        else if (action == "up")
            act = MouseAction::Up;
        else
            return fail("mouse needs down, move or up");
        Control* c = control(window, "dw_preview");
        if (!c || c->kind() != ControlKind::DataWindow) return fail("the window has no dw_preview");
        auto* dw = static_cast<DataWindowControl*>(c);
        if (!dw->shown()) return fail("dw_preview is not shown: the mouse cannot reach it");
        std::vector<std::string> words;
        for (std::string w = nextWord(rest); !w.empty(); w = nextWord(rest)) words.push_back(w);
        bool ctrl = false;
        if (!words.empty() && asciiLower(words.back()) == "ctrl") {
            ctrl = true;
            words.pop_back();
        }
        const char* usage = "mouse needs down|move|up X Y or @OBJECT [DX DY], then [ctrl]";
        layout::ReportLayout& pages = layout::layoutOf(*dw);
        layout::PagePoint point;
        if (!words.empty() && words[0].size() > 1 && words[0][0] == '@') {
            const std::string name = words[0].substr(1);
            if (words.size() != 1 && words.size() != 3) return fail(usage);
            auto placed = dw->placedObject(name);
            if (!placed) return fail("the shown page has no object '" + name + "'");
            if (words.size() == 3) {
                auto dx = number(words[1]);
                auto dy = number(words[2]);
                if (!dx || !dy) return fail(usage);
                const layout::PagePoint offset =
                    pages.pointInUnits(static_cast<double>(*dx), static_cast<double>(*dy));
                point = {placed->box.x + offset.x, placed->box.y + offset.y};
            } else if (placed->kind == "line") {
                point = {(placed->from.x + placed->to.x) / 2, (placed->from.y + placed->to.y) / 2};
            } else {
                point = {placed->box.x + placed->box.width / 2,
                         placed->box.y + placed->box.height / 2};
            }
        } else {
            if (words.size() != 2) return fail(usage);
            auto x = number(words[0]);
            auto y = number(words[1]);
            if (!x || !y) return fail(usage);
            point = pages.pointInUnits(static_cast<double>(*x), static_cast<double>(*y));
        }
        return check(m_driver.mouse(window, *dw, act, point, ctrl));
    }

    // Commands on a control.
    const std::string path = nextWord(rest);
    if (path.empty()) return fail(command + " needs a control");

    if (command == "describe" || command == "syntax" || command == "modify") {
        engine::DataStore* dw = report(window, path);
        if (!dw) return fail("no report control or nested report '" + path + "'");
        if (command == "describe") {
            reply(dw->Describe(rest));
        } else if (command == "modify") {
            reply(dw->Modify(rest));
        } else {
            std::string syntax = dw->Describe("DataWindow.Syntax");
            if (!syntax.empty() && syntax.back() == '\n') syntax.pop_back();
            reply(syntax);
        }
        return true;
    }

    Control* c = control(window, path);
    if (!c) return fail("no control '" + path + "' on " + window.name());
    auto* dw = c->kind() == ControlKind::DataWindow ? static_cast<DataWindowControl*>(c) : nullptr;

    if (command == "show") {
        std::string state = std::string("visible=") + (c->visible() ? "1" : "0") +
                            " enabled=" + (c->enabled() ? "1" : "0");
        if (c->kind() == ControlKind::CheckBox)
            state += std::string(" checked=") + (static_cast<CheckBox*>(c)->checked() ? "1" : "0");
        if (c->kind() == ControlKind::Tab)
            state += " selected=" + std::to_string(static_cast<Tab*>(c)->selectedTab());
        if (c->kind() == ControlKind::SingleLineEdit) {
            auto* edit = static_cast<SingleLineEdit*>(c);
            state += std::string(" focus=") + (window.focusedControl() == c ? "1" : "0") +
                     " selection=" + std::to_string(edit->selectionStart()) + "," +
                     std::to_string(edit->selectionLength());
        }
        if (dw) {
            state +=
                " rows=" + std::to_string(dw->RowCount()) + " row=" + std::to_string(dw->GetRow());
            if (dw->isCreated())
                state += " page=" + std::to_string(layout::layoutOf(*dw).currentPage()) + "/" +
                         std::to_string(layout::layoutOf(*dw).pageCount());
        }
        state += " text=" + c->text();
        reply(state);
        return true;
    }
    if (command == "click") {
        if (!c->enabled() || !c->shown()) {
            if (c->kind() != ControlKind::TabPage || !c->visible())
                return fail("'" + path + "' cannot be clicked: it is hidden or disabled");
        }
        return check(m_driver.click(window, *c));
    }
    if (command == "doubleclick" && c->kind() == ControlKind::Button) {
        if (!c->enabled() || !c->shown())
            return fail("'" + path + "' cannot be clicked: it is hidden or disabled");
        return check(m_driver.doubleClickButton(window, *c));
    }
    if (command == "doubleclick" || command == "rclick" || command == "row") {
        if (!dw) return fail("'" + path + "' is not a report control");
        const std::string rowText = nextWord(rest);
        auto row = rowText.empty() ? std::optional<long>(0) : number(rowText);
        if (!row) return fail(command + " needs a row number");
        if (command == "row") {
            if (dw->SetRow(*row) != 1) return fail("'" + path + "' has no row " + rowText);
            dw->ScrollToRow(*row);
            return true;
        }
        if (command == "doubleclick") return check(m_driver.doubleClick(window, *dw, *row));
        return check(m_driver.rightClick(window, *dw, *row));
    }
    if (command == "type") {
        if (c->kind() != ControlKind::SingleLineEdit)
            return fail("'" + path + "' is not a single-line edit");
        if (!c->enabled() || !c->shown()) return fail("'" + path + "' cannot be typed into");
        return check(m_driver.type(window, static_cast<SingleLineEdit&>(*c), rest));
    }
    if (command == "check") {
        if (c->kind() != ControlKind::CheckBox) return fail("'" + path + "' is not a check box");
        const std::string state = asciiLower(trim(rest));
        if (state != "on" && state != "off") return fail("check needs on or off");
        auto* box = static_cast<CheckBox*>(c);
        if (!box->enabled() || !box->shown())
            return fail("'" + path + "' cannot be clicked: it is hidden or disabled");
        return check(m_driver.check(window, *box, state == "on"));
    }
    if (command == "set") {
        if (!dw) return fail("'" + path + "' is not a report control");
        auto row = number(nextWord(rest));
        const std::string column = nextWord(rest);
        if (!row || column.empty()) return fail("set needs ROW COLUMN VALUE");
        if (*row < 1 || *row > dw->RowCount())
            return fail("'" + path + "' has no row " + std::to_string(*row));
        if (dw->columnIndex(column) < 0) return fail("'" + path + "' has no column " + column);
        return check(m_driver.set(window, *dw, *row, column, rest));
    }
    return fail("unknown command '" + command + "'");
}

}  // namespace print::platform
