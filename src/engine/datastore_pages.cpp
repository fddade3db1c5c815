// The report's entry points into its pages: Page() and PageCount(), the preview's page moves
// and the pointer's questions, all asked of the pages the layout module makes.
#include <atomic>

#include "common/text.h"
#include "engine/datastore.h"
#include "engine/report_pages.h"

namespace print::engine {
namespace {

std::atomic<ReportPagesFactory> g_pagesFactory{nullptr};

}  // namespace

void setReportPagesFactory(ReportPagesFactory factory) {
    g_pagesFactory.store(factory);
}

ReportPagesFactory reportPagesFactory() {
    return g_pagesFactory.load();
}

ReportPages* DataStore::pages() const {
    if (!m_pages) {
        ReportPagesFactory factory = g_pagesFactory.load();
        if (!factory) return nullptr;
        // The layout writes dragged geometry back through Modify; a report is never defined
        // const, only handed out as const for reading.
        m_pages = factory(const_cast<DataStore&>(*this));
    }
    return m_pages.get();
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
    ReportPages* p = pages();
    return p ? p->pageForExpression(row) : 1;
}

long DataStore::pageCount() const {
    ReportPages* p = pages();
    return p ? p->pageCountForExpression() : 1;
}

std::pair<long, long> DataStore::pageRange(long row) const {
    ReportPages* p = pages();
    return p ? p->pageRangeForExpression(row) : std::pair<long, long>{1, RowCount()};
}

void DataStore::showRowInPreview(long row) {
    if (!m_parent) {
        if (ReportPages* p = pages()) p->setCurrentPage(p->pageOfRow(row));
        return;
    }
    // A nested report is shown on its outer report's pages; the outermost one keeps the
    // preview.
    const DataStore* inner = this;
    const DataStore* outer = m_parent;
    long page = -1;
    ReportPages* outerPages = outer->pages();
    if (!outerPages) return;
    for (const auto& obj : outer->m_objects)
        if (obj.child.get() == inner) page = outerPages->pageOfNestedRow(obj.name, row);
    if (page < 1) return;
    while (outer->m_parent) outer = outer->m_parent;
    if (outer == m_parent) outerPages->setCurrentPage(page);
}

long DataStore::ScrollNextPage() {
    if (!m_created) return -1;
    ReportPages* p = pages();
    if (!p) return RowCount() > 0 ? 1 : 0;
    long page = p->currentPage();
    if (page < p->pageCount()) p->setCurrentPage(page + 1);
    return p->rowsOnPage(p->currentPage()).first;
}

long DataStore::ScrollPriorPage() {
    if (!m_created) return -1;
    ReportPages* p = pages();
    if (!p) return RowCount() > 0 ? 1 : 0;
    long page = p->currentPage();
    if (page > 1) p->setCurrentPage(page - 1);
    return p->rowsOnPage(p->currentPage()).first;
}

int DataStore::SetRowFocusIndicator(RowFocusIndicator indicator) {
    if (ReportPages* p = pages()) p->setRowFocusIndicator(indicator);
    return 1;
}

std::string DataStore::GetObjectAtPointer() const {
    ReportPages* p = pages();
    return p ? p->objectAtPointer() : std::string();
}

std::string DataStore::GetBandAtPointer() const {
    ReportPages* p = pages();
    return p ? p->bandAtPointer() : std::string();
}

}  // namespace print::engine
