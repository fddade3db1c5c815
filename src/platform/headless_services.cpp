#include "platform/headless_services.h"

#include <algorithm>

#include "engine/datastore.h"
#include "platform/window.h"

namespace print::platform {

HeadlessServices::HeadlessServices() = default;

bool HeadlessServices::stopSignShown() const {
    return std::any_of(m_boxes.begin(), m_boxes.end(),
                       [](const MessageBoxRecord& box) { return box.icon == Icon::StopSign; });
}

void HeadlessServices::clearRecords() {
    m_boxes.clear();
    m_errors.clear();
    m_pointerHistory.clear();
    m_openedNames.clear();
    m_fileDialogs.clear();
    m_fontDialogs.clear();
    m_printJobs.clear();
}

int HeadlessServices::messageBox(std::string_view title, std::string_view text, Icon icon,
                                 MessageButtons buttons, int defaultButton) {
    MessageBoxRecord box;
    box.title = std::string(title);
    box.text = std::string(text);
    box.icon = icon;
    box.buttons = buttons;
    const int count = buttonCount(buttons);
    if (!m_answers.empty()) {
        box.answer = std::clamp(m_answers.front(), 1, count);
        m_answers.pop_front();
        box.answered = true;
    } else {
        box.answer = count;
        if (m_policy == UnansweredBox::Error && count > 1)
            m_errors.push_back("no answer queued for the message box \"" + box.title + " | " +
                               box.text + "\"");
    }
    m_boxes.push_back(box);
    if (onMessageBox) onMessageBox(m_boxes.back());
    return box.answer;
}

Pointer HeadlessServices::setPointer(Pointer pointer) {
    Pointer previous = m_pointer;
    m_pointer = pointer;
    m_pointerHistory.push_back(pointer);
    return previous;
}

void HeadlessServices::setKeyDown(KeyCode key, bool down) {
    auto it = std::find(m_keysDown.begin(), m_keysDown.end(), key);
    if (down && it == m_keysDown.end()) m_keysDown.push_back(key);
    if (!down && it != m_keysDown.end()) m_keysDown.erase(it);
}

bool HeadlessServices::keyDown(KeyCode key) {
    return std::find(m_keysDown.begin(), m_keysDown.end(), key) != m_keysDown.end();
}

int HeadlessServices::openModal(Window& window) {
    if (window.isOpen()) return -1;
    m_openedNames.push_back(window.name());
    m_openWindows.push_back(&window);
    window.runOpen(*this);
    if (window.isOpen() && modalInteraction) modalInteraction(window);
    if (window.isOpen()) window.closeWindow();
    m_openWindows.pop_back();
    return 1;
}

void HeadlessServices::popMenu(const Menu& menu, Window& parent, long x, long y) {
    m_lastMenu = menu;
}

int HeadlessServices::chooseMenuItem(std::string_view item) {
    if (!m_lastMenu) {
        m_errors.push_back("no pop-up menu is shown");
        return -1;
    }
    const int result = m_lastMenu->click(item);
    if (result != 1)
        m_errors.push_back("the pop-up menu has no item " + std::string(item) +
                           " that can be chosen");
    return result;
}

int HeadlessServices::fileSaveDialog(FileSaveRequest& request) {
    m_fileDialogs.push_back(request);
    if (m_fileNames.empty()) {
        m_errors.push_back("no answer queued for the file dialog \"" + request.title + "\"");
        return 0;
    }
    std::string path = std::move(m_fileNames.front());
    m_fileNames.pop_front();
    if (path.empty()) return 0;
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        request.fileName = path;
    } else {
        request.directory = path.substr(0, slash == 0 ? 1 : slash);
        request.fileName = path.substr(slash + 1);
    }
    return request.fileName.empty() ? 0 : 1;
}

int HeadlessServices::fontDialog(FontChoice& font) {
    m_fontDialogs.push_back(font);
    if (m_fonts.empty()) {
        m_errors.push_back("no answer queued for the font dialog");
        return 0;
    }
    std::optional<FontChoice> answer = std::move(m_fonts.front());
    m_fonts.pop_front();
    if (!answer) return 0;
    font = *answer;
    return 1;
}

int HeadlessServices::printerSetup(std::string& printer) {
    if (m_printers.empty()) {
        m_errors.push_back("no answer queued for the printer-setup dialog");
        return 0;
    }
    std::optional<std::string> answer = std::move(m_printers.front());
    m_printers.pop_front();
    if (!answer) return 0;
    printer = *answer;
    return 1;
}

bool HeadlessServices::progress(std::string_view title, long done, long total) {
    ++m_progressReports;
    if (onProgress) onProgress(title, done, total);
    return m_cancelAfter <= 0 || done < m_cancelAfter;
}

int HeadlessServices::print(const PrintJob& job) {
    PrintRecord record;
    record.documentName = job.documentName;
    if (job.report) record.reportObject = job.report->dataObject();
    record.result = printer ? printer(job) : 1;
    m_printJobs.push_back(record);
    return record.result;
}

int HeadlessServices::writePdf(const PrintJob& job, const std::string& path, std::string& error) {
    if (!pdfWriter) {
        error = "no PDF writer is installed";
        return -1;
    }
    return pdfWriter(job, path, error);
}

}  // namespace print::platform
