#include "designer/layout_designer.h"

#include <algorithm>

#include "common/text.h"

namespace print::designer {

namespace {

// The main colour of the primary object's grips: RGB(255, 0, 0) as the engine stores it.
const std::string kMainColor = "255";
constexpr long kNudge = 26;

std::string beforeTab(const std::string& text) {
    const size_t tab = text.find('\t');
    return tab == std::string::npos ? text : text.substr(0, tab);
}

std::optional<long> longOf(const std::string& text) {
    if (auto n = parseInteger(text)) return static_cast<long>(*n);
    return std::nullopt;
}

bool isMarker(const std::string& name) {
    return name.compare(0, 4, "bw__") == 0;
}

}  // namespace

long LayoutDesigner::number(const std::string& object, const std::string& property) const {
    return longOf(m_preview.Describe(object + "." + property)).value_or(0);
}

std::string LayoutDesigner::primaryObject() const {
    for (size_t i = is_select.size(); i > 0; --i)
        if (!is_select[i - 1].empty()) return is_select[i - 1];
    return "";
}

void LayoutDesigner::wf_drawfocus(platform::DataWindowControl& adw, const std::string& as_band,
                                  const std::string& as_obj, bool ab_add) {
    if (as_obj.empty() || as_obj == "datawindow") return;
    const std::string prefix = "bw__dot_" + as_obj + "_";

    // The previous primary object: the nearest selected name below the last slot.
    auto previousPrimary = [&]() -> std::string {
        for (size_t i = is_select.size() >= 1 ? is_select.size() - 1 : 0; i > 0; --i)
            if (!is_select[i - 1].empty()) return is_select[i - 1];
        return "";
    };

    if (!ab_add) {
        std::string text;
        for (int k = 1; k <= 5; ++k) text += "destroy " + prefix + std::to_string(k) + " ";
        const std::string prev = previousPrimary();
        if (!prev.empty())
            for (int k = 1; k <= 4; ++k)
                text += "bw__dot_" + prev + "_" + std::to_string(k) + ".background.color='" +
                        kMainColor + "' ";
        adw.Modify(text);
        return;
    }

    if (longOf(adw.Describe(prefix + "1.x"))) return;
    const std::string type = adw.Describe(as_obj + ".type");
    if (type == "!") return;

    auto num = [&](const char* property) {
        return longOf(adw.Describe(as_obj + "." + property)).value_or(0);
    };
    long gx[4], gy[4];
    long fx, fy, fw, fh;
    if (type != "line") {
        const long x = num("x"), y = num("y"), w = num("width"), h = num("height");
        gx[0] = x - 90, gy[0] = y - 90;
        gx[1] = x + w - 20, gy[1] = y - 90;
        gx[2] = x - 90, gy[2] = y + h - 20;
        gx[3] = x + w - 20, gy[3] = y + h - 20;
        fx = x - 30, fy = y - 30, fw = w + 20, fh = h + 60;
    } else {
        const long x1 = num("x1"), y1 = num("y1"), x2 = num("x2"), y2 = num("y2");
        gx[0] = x1 - 60, gy[0] = y1 - 60;
        gx[1] = x1, gy[1] = y1 - 60;
        gx[2] = x2 - 60, gy[2] = y2 - 40;
        gx[3] = x2, gy[3] = y2 - 40;
        // The frame encloses the line with the margins other objects get.
        fx = std::min(x1, x2) - 10, fy = std::min(y1, y2) - 10;
        fw = std::labs(x2 - x1) + 20, fh = std::labs(y2 - y1) + 20;
    }

    std::string text;
    for (int k = 0; k < 4; ++k) {
        text += "create text(name=" + prefix + std::to_string(k + 1) + " band=" + as_band +
                " font.charset='0' font.face='arial' font.family='2' font.height='-12' "
                "font.pitch='2' font.weight='400' background.mode='2' background.color='" +
                kMainColor + "' color='0' alignment='0' border='0' x='" + std::to_string(gx[k]) +
                "' y='" + std::to_string(gy[k]) + "' height='104' width='104' text='') ";
    }
    text += "create rectangle(name=" + prefix + "5 band=" + as_band + " x='" + std::to_string(fx) +
            "' y='" + std::to_string(fy) + "' height='" + std::to_string(fh) + "' width='" +
            std::to_string(fw) +
            "' visible='1' brush.hatch='7' brush.color='570425344' pen.style='2' pen.width='26' "
            "pen.color='65280'  background.mode='2' background.color='134217746' ) ";
    const std::string prev = previousPrimary();
    if (!prev.empty())
        for (int k = 1; k <= 4; ++k)
            text += "bw__dot_" + prev + "_" + std::to_string(k) + ".background.color='0' ";
    adw.Modify(text);
    // The frame goes behind everything in its band; the object keeps its place among the others,
    // so that selecting it never changes what prints over what.
    adw.SetPosition(prefix + "5", as_band, false);
}

void LayoutDesigner::wf_clearselect(platform::DataWindowControl& adw_target) {
    for (const std::string& name : is_select)
        if (!name.empty()) wf_drawfocus(adw_target, "", name, false);
    is_select.clear();
    ii_select = 0;
}

int LayoutDesigner::wf_is_select(const std::string& as_name) {
    if (ii_select == 0) return 0;
    for (std::string& slot : is_select) {
        if (slot != as_name) continue;
        slot.clear();
        wf_drawfocus(m_preview, "", as_name, false);
        return 1;
    }
    return -1;
}

void LayoutDesigner::wf_redrawfocus() {
    m_preview.SetRedraw(false);
    const std::vector<std::string> names = is_select;
    wf_clearselect(m_preview);
    for (const std::string& name : names) {
        if (name.empty()) continue;
        ++ii_select;
        is_select.push_back(name);
        wf_drawfocus(m_preview, m_preview.Describe(name + ".Band"), name, true);
    }
    m_preview.SetRedraw(true);
}

std::string LayoutDesigner::geometryText(const std::string& object) const {
    const bool line = m_preview.Describe(object + ".type") == "line";
    const char* const lineProps[] = {"X1", "Y1", "X2", "Y2"};
    const char* const boxProps[] = {"X", "Y", "Width", "Height"};
    std::string text;
    for (const char* p : line ? lineProps : boxProps) {
        if (!text.empty()) text += " ";
        text += object + "." + p + "=" + m_preview.Describe(object + "." + p);
    }
    return text;
}

void LayoutDesigner::wf_tracemouse(const std::string& as_obj) {
    const std::string now = geometryText(as_obj);
    if (now == m_lastGeometry) return;
    recordStep(m_lastGeometry, now);
}

long LayoutDesigner::ue_lbuttondown(int, long, long) {
    std::string name = beforeTab(objectUnderPointer());
    if (name.empty()) name = "datawindow";
    is_lastobjselect.clear();
    const bool ctrl = designerServices().keyDown(platform::KeyCode::Control);
    // Whatever the press does not capture, the engine must not drag: it would be a change
    // that no step records.
    if (ctrl) {
        if (wf_is_select(name) == 1) return 1;
    } else if (ii_select > 0) {
        wf_clearselect(m_preview);
    }
    if (name == "datawindow" || isMarker(name)) {
        wf_clearselect(m_preview);
        return 1;
    }
    ++ii_select;
    is_select.push_back(name);
    // The object's own band: the band under the pointer may be another one.
    wf_drawfocus(m_preview, m_preview.Describe(name + ".band"), name, true);
    // Whatever the engine drags from here is recorded, whether or not other objects are
    // selected and whether it is a line.
    capture(name);
    return 0;
}

void LayoutDesigner::capture(const std::string& name) {
    is_lastobjselect = name;
    is_lastobjx = m_preview.Describe(name + ".X");
    is_lastobjy = m_preview.Describe(name + ".Y");
    is_lastobjwidth = m_preview.Describe(name + ".Width");
    is_lastobjheight = m_preview.Describe(name + ".Height");
    m_lastGeometry = geometryText(name);
}

bool LayoutDesigner::pressUnderWay() const {
    return !is_lastobjselect.empty() || layout::layoutOf(m_preview).drag();
}

void LayoutDesigner::recaptureAfterStep() {
    // A step recorded while the button is held comes before the drag's own step: the drag's
    // step starts where that one ended, so that undoing the drag gives the state after it.
    if (!is_lastobjselect.empty()) capture(is_lastobjselect);
}

long LayoutDesigner::ue_lbuttonup(int, long, long) {
    if (!is_lastobjselect.empty()) {
        wf_tracemouse(is_lastobjselect);
        is_lastobjselect.clear();
    }
    wf_redrawfocus();
    return 0;
}

long LayoutDesigner::ue_keydown(int key, int keyflags) {
    using platform::KeyCode;
    platform::Services& services = designerServices();
    auto held = [&](KeyCode code) {
        return key == static_cast<int>(code) || services.keyDown(code);
    };
    if (held(KeyCode::Z) && keyflags == platform::kKeyFlagCtrl) {
        ue_align("undo");
        return 0;
    }
    const bool down = held(KeyCode::Down), up = held(KeyCode::Up), left = held(KeyCode::Left),
               right = held(KeyCode::Right);
    if (!down && !up && !left && !right) return 0;
    const bool shift = keyflags == platform::kKeyFlagShift;

    m_preview.SetRedraw(false);
    std::string apply, undoText;
    for (const std::string& name : is_select) {
        if (name.empty()) continue;
        const bool line = m_preview.Describe(name + ".type") == "line";
        struct Change {
            const char* property;
            long delta;
        };
        std::vector<Change> changes;
        auto add = [&](std::initializer_list<const char*> properties, long delta) {
            for (const char* p : properties) changes.push_back({p, delta});
        };
        bool skip = false;
        if (down)
            line ? (shift ? add({"y2"}, kNudge) : add({"y1", "y2"}, kNudge))
                 : (shift ? add({"height"}, kNudge) : add({"y"}, kNudge));
        if (up) {
            if (line) {
                shift ? add({"y2"}, -kNudge) : add({"y1", "y2"}, -kNudge);
            } else if (shift) {
                // A size never shrinks below one unit.
                if (number(name, "height") - kNudge < 1)
                    skip = true;
                else
                    add({"height"}, -kNudge);
            } else {
                add({"y"}, -kNudge);
            }
        }
        if (!skip && left) {
            if (line) {
                shift ? add({"x2"}, -kNudge) : add({"x1", "x2"}, -kNudge);
            } else if (shift) {
                if (number(name, "width") - kNudge < 1)
                    skip = true;
                else
                    add({"width"}, -kNudge);
            } else {
                add({"x"}, -kNudge);
            }
        }
        if (!skip && right)
            line ? (shift ? add({"x2"}, kNudge) : add({"x1", "x2"}, kNudge))
                 : (shift ? add({"width"}, kNudge) : add({"x"}, kNudge));
        if (skip) continue;
        std::string objectApply, objectUndo;
        bool numeric = true;
        for (const Change& c : changes) {
            // A position given by an expression is not a number to move by.
            const auto value = longOf(m_preview.Describe(name + "." + c.property));
            if (!value) {
                numeric = false;
                break;
            }
            objectUndo += "  " + name + "." + c.property + " = " + std::to_string(*value);
            objectApply +=
                "  " + name + "." + c.property + " = " + std::to_string(*value + c.delta);
        }
        if (!numeric) continue;
        apply += objectApply;
        undoText += objectUndo;
    }
    if (!apply.empty()) {
        m_preview.Modify(apply);
        recordStep(undoText, apply);
        recaptureAfterStep();
        wf_redrawfocus();
    }
    m_preview.SetRedraw(true);
    return 0;
}

void LayoutDesigner::recordStep(std::string undo, std::string redo) {
    ++il_syntaxupper;
    const size_t slot = static_cast<size_t>(il_syntaxupper);
    if (is_syntaxmodify.size() < slot) is_syntaxmodify.resize(slot);
    if (is_redosyntaxmodify.size() < slot) is_redosyntaxmodify.resize(slot);
    is_syntaxmodify[slot - 1] = std::move(undo);
    is_redosyntaxmodify[slot - 1] = std::move(redo);
    // Steps undone before this one belong to an abandoned branch: redo stops here.
    il_redosyntaxupper = il_syntaxupper;
}

void LayoutDesigner::resetHistory() {
    il_syntaxupper = 0;
    il_redosyntaxupper = 0;
    is_redosyntaxmodify.clear();
    is_syntaxmodify.clear();
}

void LayoutDesigner::undo() {
    if (il_syntaxupper == 0) {
        wf_clearselect(m_preview);
        return;
    }
    m_preview.Modify(is_syntaxmodify[static_cast<size_t>(il_syntaxupper) - 1]);
    --il_syntaxupper;
    wf_redrawfocus();
}

void LayoutDesigner::redo() {
    if (il_redosyntaxupper <= il_syntaxupper) return;
    ++il_syntaxupper;
    m_preview.Modify(is_redosyntaxmodify[static_cast<size_t>(il_syntaxupper) - 1]);
    wf_redrawfocus();
}

void LayoutDesigner::ue_align(const std::string& as_align) {
    if (!designerActive()) return;
    const std::string reference = primaryObject();
    // A press records its step when the button goes up, from the geometry taken at the press:
    // walking the history in between would leave a step that undoes to a state that never was.
    if ((as_align == "undo" || as_align == "redo") && pressUnderWay()) return;
    if (as_align == "undo") {
        undo();
        return;
    }
    if (as_align == "redo") {
        redo();
        return;
    }
    if (reference.empty()) return;

    auto isLine = [&](const std::string& name) {
        return m_preview.Describe(name + ".type") == "line";
    };
    auto numeric = [&](const std::string& name, const std::string& property) {
        return longOf(m_preview.Describe(name + "." + property));
    };

    if (as_align == "front" || as_align == "back") {
        const bool front = as_align == "front";
        for (const std::string& name : is_select)
            if (!name.empty())
                m_preview.SetPosition(name, m_preview.Describe(name + ".Band"), front);
        // The markers go back over the objects in their new order.
        wf_redrawfocus();
        return;
    }

    std::string apply, undoText;
    if (as_align == "hevenly" || as_align == "vevenly") {
        const std::string position = as_align == "hevenly" ? "X" : "Y";
        const std::string size = as_align == "hevenly" ? "width" : "height";
        // Lines have no position and size of that kind: they stay out of the spacing.
        std::vector<std::string> spaced;
        for (const std::string& name : is_select)
            if (!name.empty() && !isLine(name) && numeric(name, position) && numeric(name, size))
                spaced.push_back(name);
        if (spaced.size() >= 3) {
            const long firstEnd = *numeric(spaced[0], position) + *numeric(spaced[0], size);
            long next = *numeric(spaced[1], position);
            const long gap = next - firstEnd;
            next += *numeric(spaced[1], size);
            for (size_t i = 2; i < spaced.size(); ++i) {
                const std::string& t = spaced[i];
                next += gap;
                apply += t + "." + position + "=" + std::to_string(next) + "  ";
                next += *numeric(t, size);
                undoText +=
                    t + "." + position + "=" + m_preview.Describe(t + "." + position) + "  ";
            }
        }
    } else {
        // A line has no box to align others with.
        if (isLine(reference)) return;
        std::vector<std::string> targets;
        for (size_t i = is_select.size(); i > 0; --i) {
            const std::string& t = is_select[i - 1];
            if (t.empty() || t == reference || isLine(t)) continue;
            targets.push_back(t);
        }
        // Each pass sets one property of every target from one value of the reference; a value
        // that is not a number (an expression) is never written.
        auto pass = [&](const std::string& property, auto valueFor) {
            for (const std::string& t : targets) {
                const auto current = numeric(t, property);
                const std::optional<long> value = valueFor(t);
                if (!current || !value) continue;
                apply += t + "." + property + "=" + std::to_string(*value) + "  ";
                undoText += t + "." + property + "=" + std::to_string(*current) + "  ";
            }
        };
        auto copyOf = [&](const std::string& property) {
            return [&, property](const std::string&) { return numeric(reference, property); };
        };
        if (as_align == "top") {
            pass("y", copyOf("y"));
        } else if (as_align == "left") {
            pass("x", copyOf("x"));
        } else if (as_align == "bottom") {
            pass("y", [&](const std::string& t) -> std::optional<long> {
                const auto y = numeric(reference, "y"), h = numeric(reference, "height"),
                           th = numeric(t, "height");
                if (!y || !h || !th) return std::nullopt;
                return *y + *h - *th;
            });
        } else if (as_align == "right") {
            pass("x", [&](const std::string& t) -> std::optional<long> {
                const auto x = numeric(reference, "x"), w = numeric(reference, "width"),
                           tw = numeric(t, "width");
                if (!x || !w || !tw) return std::nullopt;
                return *x + *w - *tw;
            });
        } else if (as_align == "width" || as_align == "height") {
            pass(as_align, copyOf(as_align));
        } else if (as_align == "same") {
            pass("width", copyOf("width"));
            pass("height", copyOf("height"));
        }
    }
    if (apply.empty()) return;
    recordStep(undoText, apply);
    m_preview.Modify(apply);
    recaptureAfterStep();
    wf_redrawfocus();
}

}  // namespace print::designer
