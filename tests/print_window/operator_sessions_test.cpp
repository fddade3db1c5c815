// Random operator sessions on the designer of the demo's order 305 and its sales report, played
// through the operator script that `printctl print --script` plays: presses on and around
// objects and far beyond them, drags, Ctrl-clicks, arrow keys, Ctrl+Z and the history buttons
// in the middle of a drag, the toolbar commands and trips into the settings and back. After
// every session: nothing the designer put into the report is left once it leaves design,
// every position and size is a number, undoing every step gives the start again and redoing
// them gives the end again. The seed is fixed: a failure names its session and prints the
// lines that made it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "common/text.h"
#include "demo_documents.h"

namespace print::print_window::test {
namespace {

// The definitions of the frame and its list without the designer's markers and without the
// order of the objects (front and back change it and are not steps of the history).
std::string comparable(w_print& w) {
    std::string syntax = w.dw_preview.Describe("DataWindow.Syntax");
    engine::DataWindowChild* list = nullptr;
    if (w.dw_preview.GetChild("dw_report", list) == 1 && list)
        syntax += "\n" + list->Describe("DataWindow.Syntax");
    std::vector<std::string> lines;
    for (const std::string& line : split(syntax, '\n'))
        if (line.find("name=bw__") == std::string::npos) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

// The lines of `actual` that `expected` lacks ("+") and those it has that `actual` lacks ("-");
// "" when both hold the same lines.
std::string difference(const std::string& actual, const std::string& expected) {
    const std::vector<std::string> a = split(actual, '\n'), e = split(expected, '\n');
    std::vector<std::string> extra, missing;
    std::set_difference(a.begin(), a.end(), e.begin(), e.end(), std::back_inserter(extra));
    std::set_difference(e.begin(), e.end(), a.begin(), a.end(), std::back_inserter(missing));
    std::string out;
    for (const std::string& line : extra) out += "+ " + line + "\n";
    for (const std::string& line : missing) out += "- " + line + "\n";
    return out;
}

// The objects of the frame whose geometry is not a whole number.
std::string geometryThatIsNoNumber(w_print& w) {
    std::string bad;
    for (const std::string& name : split(w.dw_preview.Describe("DataWindow.Objects"), '\t')) {
        if (name.empty()) continue;
        const bool line = w.dw_preview.Describe(name + ".type") == "line";
        for (const char* p : line ? std::vector<const char*>{"x1", "y1", "x2", "y2"}
                                  : std::vector<const char*>{"x", "y", "width", "height"}) {
            const std::string value = w.dw_preview.Describe(name + "." + p);
            if (!parseInteger(value)) bad += name + "." + p + "=" + value + " ";
        }
    }
    return bad;
}

// The address sanitizer build runs a fifth of the sessions.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSlowdown = 5;
#else
constexpr int kSlowdown = 1;
#endif

// Makes one session's lines, one action at a time, from what the window shows now.
class SessionMaker {
public:
    explicit SessionMaker(unsigned seed) : m_random(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    bool chance(int percent) { return below(100) < percent; }
    template <class T>
    const T& pick(const std::vector<T>& from) {
        return from[static_cast<size_t>(below(static_cast<int>(from.size())))];
    }

    // Where on or around an object a press or release goes: inside, on an edge, just beside
    // it, or far off (also off the paper).
    std::string around(const std::string& object, long width, long height) {
        auto offset = [&](long size) {
            const std::vector<long> choices = {
                -6000, -900, -120,     -50,       -26,      -1,   0,         5,
                26,    50,   size / 2, size - 26, size - 1, size, size + 50, size + 900};
            return pick(choices);
        };
        if (chance(15)) return "@" + object;
        return "@" + object + " " + std::to_string(offset(width)) + " " +
               std::to_string(offset(height));
    }

    // One action, as script lines; the window is in preview mode.
    std::vector<std::string> action(w_print& w) {
        std::vector<std::pair<std::string, std::pair<long, long>>> shown;
        for (const std::string& name : split(w.dw_preview.Describe("DataWindow.Objects"), '\t')) {
            if (name.empty() || istartsWith(name, "bw__")) continue;
            auto placed = w.dw_preview.placedObject(name);
            if (!placed) continue;
            const long width = parseInteger(w.dw_preview.Describe(name + ".width")).value_or(0);
            const long height = parseInteger(w.dw_preview.Describe(name + ".height")).value_or(0);
            shown.push_back({name, {width, height}});
        }
        static const std::vector<std::string> kCommands = {
            "pb_top",  "pb_bottom", "pb_left", "pb_right",   "pb_width",  "pb_height",
            "pb_same", "pb_front",  "pb_back", "pb_hevenly", "pb_vevenly"};
        static const std::vector<std::string> kKeys = {
            "key Right",       "key Left",       "key Up",       "key Down",
            "key Right shift", "key Left shift", "key Up shift", "key Down shift"};
        const int kind = below(100);
        if (kind < 45 && !shown.empty()) {
            const auto& [name, size] = pick(shown);
            const std::string ctrl = chance(25) ? " ctrl" : "";
            const std::string at = around(name, size.first, size.second);
            std::vector<std::string> lines{"mouse down " + at + ctrl};
            std::string last = at;
            const int steps = below(4);
            for (int i = 0; i < steps; ++i) {
                if (chance(30)) {
                    // Keys and buttons while the button is held.
                    const int which = below(4);
                    if (which == 0) lines.push_back("key Z ctrl");
                    if (which == 1) lines.push_back(pick(kKeys));
                    if (which == 2) lines.push_back("click uo_undo");
                    if (which == 3) lines.push_back("click uo_redo");
                    continue;
                }
                last = around(name, size.first, size.second);
                lines.push_back("mouse move " + last + ctrl);
            }
            // Released where it was pressed (a click) or somewhere else.
            if (chance(40)) last = around(name, size.first, size.second);
            lines.push_back("mouse up " + last + ctrl);
            return lines;
        }
        if (kind < 50) {
            const std::string point =
                std::to_string(below(36000) - 3000) + " " + std::to_string(below(26000) - 3000);
            const std::string ctrl = chance(30) ? " ctrl" : "";
            return {"mouse down " + point + ctrl, "mouse up " + point + ctrl};
        }
        if (kind < 68) return {pick(kKeys)};
        if (kind < 82) return {"click " + pick(kCommands)};
        if (kind < 89) return {"click uo_undo"};
        if (kind < 93) return {"key Z ctrl"};
        if (kind < 98) return {"click uo_redo"};
        return {"click uob_preview", "click uob_preview"};
    }

private:
    std::mt19937 m_random;
};

class OperatorSessions : public DemoDocuments {
protected:
    // One session in a window of its own: `actions` actions that `maker` makes for the window
    // as it is then, then the checks. What went wrong, "" when nothing did; `played` gets the
    // session's lines.
    std::string session(Operator& op, const std::function<void()>& request, SessionMaker& maker,
                        int actions, std::string& played) {
        std::string failure;
        op.runWith(request, [&](w_print& w) {
            bool acting = true;
            auto run = [&](const std::vector<std::string>& lines) {
                std::string text;
                for (const std::string& line : lines) text += line + "\n";
                if (acting) played += text;
                std::istringstream in(text);
                std::ostringstream out, err;
                platform::HeadlessDriver driver(op.services);
                platform::OperatorScript player(driver, in, out, err);
                player.run(w);
                return !player.failed() ? std::string() : err.str();
            };
            if (!w.reportLoaded()) {
                failure = "the document did not load";
                for (const std::string& box : op.boxes()) failure += "\n" + box;
                return;
            }
            const std::string start = comparable(w);
            for (int a = 0; a < actions && failure.empty(); ++a) failure = run(maker.action(w));
            if (!failure.empty()) return;
            acting = false;
            // Out of design and back: no marker stays, nothing else changes.
            const std::string before = comparable(w);
            run({"click uob_preview"});
            if (w.dw_preview.Describe("DataWindow.Syntax").find("bw__") != std::string::npos)
                failure += "a marker outside design\n";
            run({"click uob_preview"});
            if (const std::string d = difference(comparable(w), before); !d.empty())
                failure += "settings and back changed:\n" + d;
            if (const std::string bad = geometryThatIsNoNumber(w); !bad.empty())
                failure += "geometry that is no number: " + bad + "\n";
            const std::string end = comparable(w);
            const long steps = w.il_syntaxupper;
            for (long i = 0; i <= steps; ++i) run({i % 2 ? "key Z ctrl" : "click uo_undo"});
            if (const std::string d = difference(comparable(w), start); !d.empty())
                failure += "undo to the start left:\n" + d;
            for (long i = 0; i < steps; ++i) run({"click uo_redo"});
            if (const std::string d = difference(comparable(w), end); !d.empty())
                failure += "redo to the end left:\n" + d;
        });
        return failure;
    }

    // Plays `sessions` random sessions of `actions` actions on the document `request` opens.
    void play(Operator& op, const std::function<void()>& request, unsigned seed, int sessions,
              int actions) {
        SessionMaker maker(seed);
        for (int s = 0; s < sessions / kSlowdown; ++s) {
            std::string played;
            const std::string failure = session(op, request, maker, actions, played);
            ASSERT_EQ(failure, "") << "session " << s << ":\n" << played;
        }
    }
};

TEST_P(OperatorSessions, UndoGivesTheStartAndRedoTheEndOnOrder305) {
    DemoDocument order = order305();
    play(*order.op, order.print, 19, 150, 30);
}

TEST_P(OperatorSessions, UndoGivesTheStartAndRedoTheEndOnTheSalesReport) {
    DemoDocument report = salesReport();
    play(*report.op, report.print, 305, 150, 30);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, OperatorSessions, testing::Values(db::Backend::Sqlite),
                         db::test::backendName);

}  // namespace
}  // namespace print::print_window::test
