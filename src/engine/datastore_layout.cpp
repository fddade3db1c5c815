// The report's entry points into its layout: pages for Page() and PageCount(), the preview's
// page moves and the pointer's questions.
#include "common/text.h"
#include "engine/datastore.h"
#include "engine/report_layout.h"

namespace print::engine {

ReportLayout& DataStore::layout() const {
    // The layout writes dragged geometry back through Modify; a report is never defined const,
    // only handed out as const for reading.
    if (!m_layout) m_layout = std::make_unique<ReportLayout>(const_cast<DataStore&>(*this));
    return *m_layout;
}

const AttributeList* DataStore::bandAttributes(std::string_view band) const {
    std::string b = asciiLower(band);
    if (b == "header") return &m_header.attrs;
    if (b == "detail") return &m_detail.attrs;
    if (b == "summary") return &m_summary.attrs;
    if (b == "footer") return &m_footer.attrs;
    return nullptr;
}

long DataStore::page(long row) const {
    return layout().pageForExpression(row);
}

long DataStore::pageCount() const {
    return layout().pageCountForExpression();
}

std::pair<long, long> DataStore::pageRange(long row) const {
    return layout().pageRangeForExpression(row);
}

void DataStore::showRowInPreview(long row) {
    if (!m_parent) {
        layout().setCurrentPage(layout().pageOfRow(row));
        return;
    }
    // A nested report is shown on its outer report's pages; the outermost one keeps the
    // preview.
    const DataStore* inner = this;
    const DataStore* outer = m_parent;
    long page = -1;
    for (const auto& obj : outer->m_objects)
        if (obj.child.get() == inner) page = outer->layout().pageOfNestedRow(obj.name, row);
    if (page < 1) return;
    while (outer->m_parent) outer = outer->m_parent;
    if (outer == m_parent) outer->layout().setCurrentPage(page);
}

long DataStore::ScrollNextPage() {
    if (!m_created) return -1;
    ReportLayout& l = layout();
    long page = l.currentPage();
    if (page < l.pageCount()) l.setCurrentPage(page + 1);
    return l.rowsOnPage(l.currentPage()).first;
}

long DataStore::ScrollPriorPage() {
    if (!m_created) return -1;
    ReportLayout& l = layout();
    long page = l.currentPage();
    if (page > 1) l.setCurrentPage(page - 1);
    return l.rowsOnPage(l.currentPage()).first;
}

int DataStore::SetRowFocusIndicator(RowFocusIndicator indicator) {
    layout().setRowFocusIndicator(indicator);
    return 1;
}

std::string DataStore::GetObjectAtPointer() const {
    return layout().objectAtPointer();
}

std::string DataStore::GetBandAtPointer() const {
    return layout().bandAtPointer();
}

}  // namespace print::engine
