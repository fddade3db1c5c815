// The editor a screen form puts over one cell while the operator types into it, chosen by the
// column's edit style:
// - edit, or an edit mask without spin: a line edit holding the stored value;
// - edit mask with spin: a spin box (whole numbers) or a double spin box bounded by the spin
//   range "low~high";
// - check box: a check box that stores the column's on or off value;
// - drop-down list box, radio buttons or an edit with a code table: a combo box of the code
//   table's display values, editable when the style allows typing;
// - drop-down DataWindow: a combo box of the child report's rows, showing the display column
//   and storing the data column.
//
// Leaving the editor (Enter, Tab, losing the focus, choosing in a combo, clicking the check
// box) hands the text to `DataWindowControl::operatorSetItem`, so the item events run as the
// engine runs them. A value the engine or the window refuses stays in the editor, which keeps
// the focus; the report keeps its old value (and, as the engine does, holds the refused text as
// its pending edit). Esc puts the stored value back, in the editor and as the report's edit, and
// closes the editor. Nothing is handed over when the operator changed nothing.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/datawindow_control.h"

namespace print::qt {

// Whether column object `object` takes typing on row `row`: it has a tab order and is not
// protected there.
bool editableColumn(platform::DataWindowControl& control, const std::string& object, long row);

class FormEditor : public QObject {
    Q_OBJECT

public:
    enum class Kind { Line, Spin, DoubleSpin, Check, Combo };

    // An editor for column object `object` on `row` whose widget is a child of `parent` (not
    // yet placed). The caller owns the editor; deleting it deletes the widget.
    FormEditor(platform::DataWindowControl& control, long row, std::string object, QWidget* parent);
    ~FormEditor() override;

    long row() const { return m_row; }
    const std::string& object() const { return m_object; }
    Kind kind() const { return m_kind; }
    QWidget* widget() const { return m_widget; }

    // Shows the stored value again and forgets what was typed.
    void load();
    // The text the editor would store now (a combo's data value for a listed entry).
    std::string text() const;
    // Whether the operator changed the value since it was loaded.
    bool modified() const { return text() != m_loaded; }
    // A combo's entry whose data value or shown text is `value`: its index, -1 when none.
    int entryOf(const std::string& value) const;
    // A check box's value when ticked.
    const std::string& onValue() const { return m_on; }
    // Hands a changed value to the control: true when it was stored or nothing had changed,
    // false when it was refused (the editor then keeps the focus and the typed value).
    bool commit();

Q_SIGNALS:
    // Tab or Shift+Tab after a stored value: the caller moves to the next or prior column.
    void tabbed(bool backwards);
    // Esc: the caller closes the editor.
    void cancelled();
    // A value was stored.
    void stored();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build(const std::string& style);
    void fillCodeTable();
    void fillChildRows();

    platform::DataWindowControl& m_control;
    long m_row;
    std::string m_object;
    std::string m_column;  // the table column
    Kind m_kind = Kind::Line;
    QPointer<QWidget> m_widget;
    std::string m_loaded;             // the text the editor showed when loaded
    std::vector<std::string> m_data;  // a combo's data value per entry
    std::string m_on, m_off;          // a check box's values
    bool m_committing = false;
    bool m_refused = false;  // the last value handed over was refused
};

}  // namespace print::qt
