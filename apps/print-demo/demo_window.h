// The demo host's main window: the documents of the demo database on the left; the chosen one
// in the host's own report views on the right, with a print button that hands it to the print
// component; the operator at the top (templates are private per operator, and only managers
// see purchase prices).
#pragma once

#include <QMainWindow>

#include "demo_host.h"

class QComboBox;
class QListWidget;
class QLabel;

namespace demo {

class DemoWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit DemoWindow(DemoHost& host, QWidget* parent = nullptr);

private:
    void showDocument(int index);
    void printDocument();

    DemoHost& m_host;
    std::vector<Document> m_documents;
    QComboBox* m_operator = nullptr;
    QListWidget* m_list = nullptr;
    QLabel* m_status = nullptr;
    int m_shown = -1;
};

}  // namespace demo
