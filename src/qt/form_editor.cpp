#include "qt/form_editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSpinBox>
#include <cmath>
#include <limits>

#include "common/decimal.h"
#include "common/text.h"

namespace print::qt {
namespace {

bool flagOn(const engine::AttributeList& attrs, std::string_view name) {
    const std::string v = asciiLower(trim(attrs.get(name)));
    return v == "yes" || v == "1" || v == "true";
}

// A property that may be "default<TAB>expression": its value on `row`.
std::string valueOnRow(platform::DataWindowControl& control, const std::string& raw, long row) {
    const size_t tab = raw.find('\t');
    if (tab == std::string::npos) return raw;
    auto v = control.evaluate(raw.substr(tab + 1), row);
    return v ? v.value().toText() : raw.substr(0, tab);
}

bool sameValue(const std::string& a, const std::string& b) {
    if (a == b) return true;
    const auto x = Decimal::parse(a), y = Decimal::parse(b);
    return x && y && *x == *y;
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// The number of decimals an edit mask shows ("#,##0.00" has two).
int maskDecimals(const std::string& mask) {
    const size_t dot = mask.find('.');
    if (dot == std::string::npos) return 0;
    int n = 0;
    for (size_t i = dot + 1; i < mask.size() && (mask[i] == '0' || mask[i] == '#'); ++i) ++n;
    return n;
}

const engine::ReportObject* columnObject(platform::DataWindowControl& control,
                                         const std::string& object) {
    const engine::ReportObject* obj = control.findObject(object);
    return obj && obj->kind == "column" ? obj : nullptr;
}

}  // namespace

bool editableColumn(platform::DataWindowControl& control, const std::string& object, long row) {
    const engine::ReportObject* obj = columnObject(control, object);
    if (!obj || row < 1 || row > control.RowCount()) return false;
    const auto tab = parseInteger(trim(valueOnRow(control, obj->attrs.get("tabsequence"), row)));
    if (!tab || *tab <= 0) return false;
    const std::string protect =
        asciiLower(trim(valueOnRow(control, obj->attrs.get("protect"), row)));
    return !(protect == "1" || protect == "yes" || protect == "true");
}

FormEditor::FormEditor(platform::DataWindowControl& control, long row, std::string object,
                       QWidget* parent)
    : m_control(control), m_row(row), m_object(std::move(object)) {
    const engine::ReportObject* obj = columnObject(control, m_object);
    const int index = control.columnIndex(m_object);
    if (index >= 0) m_column = control.columns()[static_cast<size_t>(index)].name;
    build(obj ? engine::editStyleOf(obj->attrs) : std::string("edit"));
    m_widget->setParent(parent);
    m_widget->installEventFilter(this);
    for (QLineEdit* inner : m_widget->findChildren<QLineEdit*>()) inner->installEventFilter(this);
    load();
}

FormEditor::~FormEditor() {
    // Deleting a focused widget moves the focus, which would hand its text over once more.
    m_committing = true;
    delete m_widget.data();
}

void FormEditor::build(const std::string& style) {
    const engine::ReportObject* obj = columnObject(m_control, m_object);
    const engine::AttributeList empty;
    const engine::AttributeList& attrs = obj ? obj->attrs : empty;

    if (style == "checkbox") {
        m_kind = Kind::Check;
        m_on = attrs.get("checkbox.on");
        m_off = attrs.get("checkbox.off");
        auto* box = new QCheckBox(qs(attrs.get("checkbox.text")));
        // It covers the box the form draws for the cell, not shows through beside it.
        box->setAutoFillBackground(true);
        connect(box, &QCheckBox::clicked, this, [this] { commit(); });
        m_widget = box;
        return;
    }
    if (style == "dddw" || style == "ddlb" || style == "radiobuttons" ||
        (style == "edit" && flagOn(attrs, "edit.codetable") && attrs.find("values"))) {
        m_kind = Kind::Combo;
        auto* combo = new QComboBox;
        combo->setEditable((style == "ddlb" && flagOn(attrs, "ddlb.allowedit")) ||
                           (style == "dddw" && flagOn(attrs, "dddw.allowedit")));
        // A typed value goes to the report, never into the list: the list is the definition's.
        combo->setInsertPolicy(QComboBox::NoInsert);
        m_widget = combo;
        if (style == "dddw")
            fillChildRows();
        else
            fillCodeTable();
        connect(combo, &QComboBox::activated, this, [this] { commit(); });
        if (QLineEdit* edit = combo->lineEdit())
            connect(edit, &QLineEdit::editingFinished, this, [this] { commit(); });
        return;
    }
    const std::string range = attrs.get("editmask.spinrange");
    const size_t tilde = range.find('~');
    if (style == "editmask" && flagOn(attrs, "editmask.spin") && tilde != std::string::npos) {
        const auto low = Decimal::parse(trim(range.substr(0, tilde)));
        const auto high = Decimal::parse(trim(range.substr(tilde + 1)));
        const double lo = low ? low->toDouble() : -1e15;
        const double hi = high ? high->toDouble() : 1e15;
        const int decimals = maskDecimals(attrs.get("editmask.mask"));
        const bool whole = decimals == 0 && std::floor(lo) == lo && std::floor(hi) == hi &&
                           lo >= std::numeric_limits<int>::min() &&
                           hi <= std::numeric_limits<int>::max();
        if (whole) {
            m_kind = Kind::Spin;
            auto* spin = new QSpinBox;
            spin->setRange(static_cast<int>(lo), static_cast<int>(hi));
            spin->setKeyboardTracking(false);
            connect(spin, &QSpinBox::editingFinished, this, [this] { commit(); });
            m_widget = spin;
        } else {
            m_kind = Kind::DoubleSpin;
            auto* spin = new QDoubleSpinBox;
            spin->setDecimals(decimals);
            spin->setRange(lo, hi);
            spin->setKeyboardTracking(false);
            connect(spin, &QDoubleSpinBox::editingFinished, this, [this] { commit(); });
            m_widget = spin;
        }
        const auto step = Decimal::parse(trim(attrs.get("editmask.spinincr")));
        if (step && m_kind == Kind::Spin)
            static_cast<QSpinBox*>(m_widget.data())
                ->setSingleStep(static_cast<int>(step->toDouble()));
        return;
    }
    m_kind = Kind::Line;
    auto* edit = new QLineEdit;
    const auto limit = parseInteger(trim(attrs.get(style == "edit" ? "edit.limit" : "")));
    if (limit && *limit > 0 && *limit < 32768) edit->setMaxLength(static_cast<int>(*limit));
    if (flagOn(attrs, "edit.password")) edit->setEchoMode(QLineEdit::Password);
    connect(edit, &QLineEdit::editingFinished, this, [this] { commit(); });
    m_widget = edit;
}

void FormEditor::fillCodeTable() {
    auto* combo = static_cast<QComboBox*>(m_widget.data());
    const engine::ReportObject* obj = columnObject(m_control, m_object);
    if (!obj) return;
    for (const std::string& entry : split(obj->attrs.get("values"), '/')) {
        if (entry.empty()) continue;
        const size_t tab = entry.find('\t');
        const std::string display = entry.substr(0, tab);
        combo->addItem(qs(display));
        m_data.push_back(tab == std::string::npos ? display : entry.substr(tab + 1));
    }
}

void FormEditor::fillChildRows() {
    auto* combo = static_cast<QComboBox*>(m_widget.data());
    const engine::ReportObject* obj = columnObject(m_control, m_object);
    engine::DataWindowChild* child = nullptr;
    if (!obj || m_control.GetChild(m_column.empty() ? m_object : m_column, child) != 1 || !child)
        return;
    const std::string dataColumn = obj->attrs.get("dddw.datacolumn");
    const std::string displayColumn = obj->attrs.get("dddw.displaycolumn");
    for (long r = 1; r <= child->RowCount(); ++r) {
        const auto display = child->GetItem(r, displayColumn);
        const auto data = child->GetItem(r, dataColumn);
        combo->addItem(qs(display && !display->isNull() ? display->toText() : std::string()));
        m_data.push_back(data && !data->isNull() ? data->toText() : std::string());
    }
}

void FormEditor::load() {
    if (!m_widget) return;
    const std::string stored = m_control.GetItemString(m_row, m_object).value_or("");
    switch (m_kind) {
        case Kind::Line:
            static_cast<QLineEdit*>(m_widget.data())->setText(qs(stored));
            break;
        case Kind::Spin: {
            const auto n = Decimal::parse(stored);
            static_cast<QSpinBox*>(m_widget.data())
                ->setValue(n ? static_cast<int>(std::lround(n->toDouble())) : 0);
            break;
        }
        case Kind::DoubleSpin: {
            const auto n = Decimal::parse(stored);
            static_cast<QDoubleSpinBox*>(m_widget.data())->setValue(n ? n->toDouble() : 0);
            break;
        }
        case Kind::Check:
            static_cast<QCheckBox*>(m_widget.data())->setChecked(sameValue(stored, m_on));
            break;
        case Kind::Combo: {
            auto* combo = static_cast<QComboBox*>(m_widget.data());
            int found = -1;
            for (size_t i = 0; i < m_data.size() && found < 0; ++i)
                if (!stored.empty() && sameValue(m_data[i], stored)) found = static_cast<int>(i);
            combo->setCurrentIndex(found);
            if (found < 0 && combo->isEditable()) combo->setEditText(qs(stored));
            break;
        }
    }
    m_loaded = text();
}

std::string FormEditor::text() const {
    if (!m_widget) return m_loaded;
    switch (m_kind) {
        case Kind::Line:
            return static_cast<QLineEdit*>(m_widget.data())->text().toStdString();
        case Kind::Spin:
            return std::to_string(static_cast<QSpinBox*>(m_widget.data())->value());
        case Kind::DoubleSpin: {
            auto* spin = static_cast<QDoubleSpinBox*>(m_widget.data());
            return QString::number(spin->value(), 'f', spin->decimals()).toStdString();
        }
        case Kind::Check:
            return static_cast<QCheckBox*>(m_widget.data())->isChecked() ? m_on : m_off;
        case Kind::Combo: {
            auto* combo = static_cast<QComboBox*>(m_widget.data());
            const int index = combo->currentIndex();
            const auto listed = [&](int i) {
                return i >= 0 && static_cast<size_t>(i) < m_data.size();
            };
            if (combo->isEditable()) {
                const QString typed = combo->currentText();
                // The typed text stands for the listed entry it spells; the engine maps other
                // display values and data values itself.
                if (listed(index) && combo->itemText(index) == typed)
                    return m_data[static_cast<size_t>(index)];
                return typed.toStdString();
            }
            return listed(index) ? m_data[static_cast<size_t>(index)] : m_loaded;
        }
    }
    return m_loaded;
}

int FormEditor::entryOf(const std::string& value) const {
    auto* combo = qobject_cast<QComboBox*>(m_widget.data());
    if (!combo) return -1;
    for (size_t i = 0; i < m_data.size(); ++i)
        if (sameValue(m_data[i], value)) return static_cast<int>(i);
    for (int i = 0; i < combo->count(); ++i)
        if (combo->itemText(i).toStdString() == value) return i;
    return -1;
}

bool FormEditor::commit() {
    if (m_committing || !m_widget) return true;
    // A number field takes typed digits into its value only when told to; the arrows have
    // already set it.
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(m_widget.data())) spin->interpretText();
    const std::string value = text();
    if (value == m_loaded) return true;
    m_committing = true;
    const int accepted = m_control.operatorSetItem(m_row, m_object, value);
    m_committing = false;
    if (accepted != 1) {
        // The engine kept the old value; the typed one stays for the operator to mend.
        m_refused = true;
        if (m_widget) m_widget->setFocus(Qt::OtherFocusReason);
        return false;
    }
    m_refused = false;
    load();
    Q_EMIT stored();
    return true;
}

bool FormEditor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (commit()) Q_EMIT tabbed(key->key() == Qt::Key_Backtab);
            return true;
        case Qt::Key_Escape:
            load();
            // The report still holds the refused text as its edit, which it would check again on
            // the next row change: the stored value replaces it.
            if (m_refused) {
                m_committing = true;
                const int accepted = m_control.operatorSetItem(m_row, m_object, m_loaded);
                m_committing = false;
                if (accepted != 1) return true;
                m_refused = false;
            }
            Q_EMIT cancelled();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_kind == Kind::Check || m_kind == Kind::Combo) {
                commit();
                return m_kind == Kind::Check;
            }
            return false;
        default:
            return false;
    }
}

}  // namespace print::qt
