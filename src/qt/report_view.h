// The report control on screen: a scrolling view of the report's current page.
#pragma once

#include <QAbstractScrollArea>

#include "platform/datawindow_control.h"

namespace print::qt {

class ReportView : public QAbstractScrollArea {
public:
    explicit ReportView(platform::DataWindowControl& control, QWidget* parent = nullptr);
    // Draws the control's report again when its definition or rows changed.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    platform::DataWindowControl& m_control;
};

}  // namespace print::qt
