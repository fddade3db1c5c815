#include "demo_window.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "qt/report_view.h"

namespace demo {

DemoWindow::DemoWindow(DemoHost& host, QWidget* parent) : QMainWindow(parent), m_host(host) {
    setWindowTitle(QStringLiteral("鑫源连锁 · 单据与报表 (打印组件演示)"));
    auto* toolbar = addToolBar(QStringLiteral("操作"));
    toolbar->setMovable(false);
    toolbar->addWidget(new QLabel(QStringLiteral(" 操作员: ")));
    m_operator = new QComboBox;
    for (const Operator& op : operators())
        m_operator->addItem(QString::fromStdString(op.id + " " + op.name +
                                                   (op.role == "00" ? " (经理)" : " (收货员)")));
    toolbar->addWidget(m_operator);
    toolbar->addSeparator();
    auto* print = new QPushButton(QStringLiteral("打印..."));
    print->setDefault(true);
    toolbar->addWidget(print);

    m_list = new QListWidget;
    m_documents = m_host.documents();
    for (const Document& doc : m_documents) {
        auto* item = new QListWidgetItem(QString::fromStdString(
            (doc.billid.empty() ? std::string("报表  ") : doc.billid + "  ") + doc.title +
            (doc.status == "Y" ? "" : "  (未审核)")));
        m_list->addItem(item);
    }

    auto* views = new QWidget;
    auto* column = new QVBoxLayout(views);
    column->setContentsMargins(0, 0, 0, 0);
    auto* headView = new print::qt::ReportView(m_host.dw_head);
    auto* detailView = new print::qt::ReportView(m_host.dw_detail);
    auto* detail2View = new print::qt::ReportView(m_host.dw_detail2);
    headView->setMinimumHeight(140);
    column->addWidget(headView, 1);
    column->addWidget(detailView, 3);
    column->addWidget(detail2View, 1);

    auto* split = new QSplitter;
    split->addWidget(m_list);
    split->addWidget(views);
    split->setStretchFactor(1, 1);
    split->setSizes({260, 900});
    setCentralWidget(split);
    m_status = new QLabel;
    statusBar()->addWidget(m_status, 1);
    // As large as the screen's free room allows, frame and title bar included, in its middle.
    QRect room(0, 0, 1366, 768);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) room = screen->availableGeometry();
    const QSize size(std::min(1200, room.width() - 40), std::min(800, room.height() - 60));
    resize(size);
    move(room.x() + (room.width() - size.width()) / 2,
         room.y() + (room.height() - size.height() - 30) / 2);

    connect(m_operator, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) m_host.setOperator(operators()[static_cast<size_t>(index)]);
    });
    connect(m_list, &QListWidget::currentRowChanged, this, [=, this](int row) {
        showDocument(row);
        headView->refresh();
        detailView->refresh();
        detail2View->refresh();
        detail2View->setVisible(m_host.dw_detail2.isCreated());
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { printDocument(); });
    connect(print, &QPushButton::clicked, this, [this] { printDocument(); });
    if (!m_documents.empty()) m_list->setCurrentRow(0);
}

void DemoWindow::showDocument(int index) {
    m_shown = -1;
    if (index < 0 || index >= static_cast<int>(m_documents.size())) return;
    std::string error;
    if (!m_host.load(m_documents[static_cast<size_t>(index)], error)) {
        m_status->setText(QString::fromStdString("不能打开: " + error));
        return;
    }
    m_shown = index;
    m_status->setText(QString::fromStdString(
        m_documents[static_cast<size_t>(index)].title + ": " +
        std::to_string(m_host.dw_detail.RowCount()) + " 行"));
}

void DemoWindow::printDocument() {
    if (m_shown < 0) return;
    m_host.print(m_documents[static_cast<size_t>(m_shown)]);
}

}  // namespace demo
