#include "designer/layout_designer.h"

namespace print::designer {

void LayoutDesigner::wf_clearselect() {
    is_select.clear();
    ii_select = 0;
}

void LayoutDesigner::ue_align(const std::string&) {}

void LayoutDesigner::resetHistory() {
    il_syntaxupper = 0;
    is_redosyntaxmodify.clear();
}

}  // namespace print::designer
