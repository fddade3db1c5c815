#include "print_service/nvo_commdlg.h"

#include <cmath>

namespace print::service {

int nvo_commdlg::of_getfilesavename(const std::string& title, std::string& directory,
                                    std::string& fileName, const std::string& filters,
                                    int firstFilter) {
    platform::FileSaveRequest request;
    request.title = title;
    request.directory = directory;
    request.fileName = fileName;
    request.filters = filters;
    request.firstFilter = firstFilter;
    const int rc = m_services.fileSaveDialog(request);
    if (rc != 1) return rc < 0 ? -1 : 0;
    directory = request.directory;
    fileName = request.fileName;
    return 1;
}

long nvo_commdlg::pointsToHeight(int points) {
    return -std::lround(std::abs(points) * 96.0 / 72.0);
}

int nvo_commdlg::heightToPoints(long height) {
    return static_cast<int>(std::lround(std::labs(height) * 72.0 / 96.0));
}

int nvo_commdlg::fontdialog() {
    platform::FontChoice font;
    font.face = facename;
    font.height = height == 0 ? 9 : heightToPoints(height);
    font.weight = weight;
    font.italic = italic != 0;
    font.underline = underline != 0;
    font.strikeout = strikeout != 0;
    font.color = rgbcolors;
    if (m_services.fontDialog(font) != 1) return 0;
    facename = font.face;
    height = pointsToHeight(font.height);
    weight = font.weight;
    italic = font.italic ? 1 : 0;
    underline = font.underline ? 1 : 0;
    strikeout = font.strikeout ? 1 : 0;
    rgbcolors = font.color;
    return 1;
}

}  // namespace print::service
