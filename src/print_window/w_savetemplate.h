// The save dialog `w_savetemplate`: asks for a template name and, for report templates,
// whether the template is public and the default; writes the template row and both syntax blobs
// in one transaction that holds the document's template rows locked, keeps a single default,
// commits, and has the print window show the saved layout.
//
// Every question (overwrite) is asked before the transaction begins: no lock is held while the
// operator reads a message. Under the lock the save checks that the stored row is still what
// the question was about (there or not, its flags, its owner) and asks again when it changed.
// The dialog opens with the shown template's flags, its name selected in `sle_name`.
//
// Every failure before the commit rolls the whole attempt back, before its message: nothing of
// it waits on the host's transaction for a later commit.
#pragma once

#include <string>

#include "common/value.h"
#include "platform/control.h"
#include "platform/window.h"

namespace print::print_window {

class w_print;

class w_savetemplate : public platform::w_center {
public:
    // `print` is the print window the dialog saves from; null when there is none.
    explicit w_savetemplate(w_print* print);

    platform::StaticText st_1{this, "st_1"};
    platform::SingleLineEdit sle_name{this, "sle_name"};
    platform::GroupBox gb_1{this, "gb_1"};
    platform::CheckBox cbx_default{this, "cbx_default"};
    platform::CheckBox cbx_priv{this, "cbx_priv"};
    platform::u_button uob_ok{this, "uob_ok"};
    platform::u_button uob_cancel{this, "uob_cancel"};

    bool ib_newtemplate = false;

    void ue_postopen() override;
    void ue_ok_report();
    void ue_ok_bill();
    int triggerEvent(std::string_view event) override;

private:
    // Writes the template; true when it was committed.
    bool save(bool bill);
    // The name to type next: focus in `sle_name`, its text selected.
    void focusName();

    w_print* m_print;
};

}  // namespace print::print_window
