// Comparing printed PDFs page by page as pictures (through poppler's pdftoppm), and waiting for
// the PDF a print queue writes. For tests only: failures come back as empty results.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace print::test {

// Holds the test print queue for one test at a time: tests run in parallel, and a test tells
// its PDF from the others' as the one that came while it held the queue.
class PrintQueueLock {
public:
    explicit PrintQueueLock(const std::string& dir)
        : m_fd(::open((dir + "/.lock").c_str(), O_CREAT | O_RDWR, 0666)) {
        if (m_fd >= 0) ::flock(m_fd, LOCK_EX);
    }
    ~PrintQueueLock() {
        if (m_fd >= 0) ::close(m_fd);
    }
    PrintQueueLock(const PrintQueueLock&) = delete;
    PrintQueueLock& operator=(const PrintQueueLock&) = delete;

private:
    int m_fd;
};

struct GrayPage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;
};

// The pages of `pdf` in grey at `dpi`; empty when it cannot be read.
inline std::vector<GrayPage> rasterizePdf(const std::string& pdf, int dpi = 40) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() /
                         ("pdfpages_" + std::to_string(std::hash<std::string>{}(pdf)));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string cmd = "pdftoppm -gray -r " + std::to_string(dpi) + " '" + pdf + "' '" +
                            (dir / "p").string() + "' 2>/dev/null";
    std::vector<GrayPage> pages;
    if (std::system(cmd.c_str()) == 0) {
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path());
        std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
            const std::string x = a.stem().string(), y = b.stem().string();
            return x.size() != y.size() ? x.size() < y.size() : x < y;
        });
        for (const fs::path& f : files) {
            std::ifstream in(f, std::ios::binary);
            std::string magic;
            GrayPage page;
            int maxval = 0;
            in >> magic >> page.width >> page.height >> maxval;
            in.get();
            page.pixels.assign(std::istreambuf_iterator<char>(in), {});
            if (magic != "P5" || page.pixels.size() != size_t(page.width) * page.height) return {};
            pages.push_back(std::move(page));
        }
    }
    fs::remove_all(dir);
    return pages;
}

// A page turned a quarter clockwise (`clockwise`) or counter-clockwise: a landscape page comes
// out of a printer turned onto the portrait sheet.
inline GrayPage turned(const GrayPage& page, bool clockwise) {
    GrayPage out{page.height, page.width, std::vector<unsigned char>(page.pixels.size())};
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            const int nx = clockwise ? page.height - 1 - y : y;
            const int ny = clockwise ? x : page.width - 1 - x;
            out.pixels[size_t(ny) * out.width + nx] = page.pixels[size_t(y) * page.width + x];
        }
    return out;
}

// The part of a page that holds ink (anything darker than light grey); the whole page when blank.
inline GrayPage inked(const GrayPage& page) {
    int left = page.width, top = page.height, right = -1, bottom = -1;
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x)
            if (page.pixels[size_t(y) * page.width + x] < 200) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0) return page;
    GrayPage out{right - left + 1, bottom - top + 1, {}};
    for (int y = top; y <= bottom; ++y)
        out.pixels.insert(out.pixels.end(), page.pixels.begin() + size_t(y) * page.width + left,
                          page.pixels.begin() + size_t(y) * page.width + right + 1);
    return out;
}

// `page` scaled to `width` by `height` by averaging the pixels each new one covers.
inline GrayPage scaled(const GrayPage& page, int width, int height) {
    GrayPage out{width, height, std::vector<unsigned char>(size_t(width) * height)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int x0 = x * page.width / width, x1 = std::max(x0 + 1, (x + 1) * page.width / width);
            const int y0 = y * page.height / height,
                      y1 = std::max(y0 + 1, (y + 1) * page.height / height);
            long sum = 0;
            for (int yy = y0; yy < y1; ++yy)
                for (int xx = x0; xx < x1; ++xx) sum += page.pixels[size_t(yy) * page.width + xx];
            out.pixels[size_t(y) * width + x] = static_cast<unsigned char>(sum / ((x1 - x0) * (y1 - y0)));
        }
    return out;
}

// How far a printed sheet is from the page it printed: 0 the same, 1 no ink in common. The
// print system may turn a landscape page onto a portrait sheet and fit it to the sheet, so the
// inked parts are compared, turned either way, at one coarse size, relative to their ink.
inline double sheetDifference(const GrayPage& page, const GrayPage& sheet) {
    constexpr int kSize = 100;
    const GrayPage printed = scaled(inked(sheet), kSize, kSize);
    double best = 1;
    for (int turn = 0; turn < 3; ++turn) {
        const GrayPage p = scaled(inked(turn == 0 ? page : turned(page, turn == 1)), kSize, kSize);
        double diff = 0, ink = 0;
        for (size_t i = 0; i < p.pixels.size(); ++i) {
            diff += std::abs(int(p.pixels[i]) - printed.pixels[i]);
            ink += (255 - p.pixels[i]) + (255 - printed.pixels[i]);
        }
        if (ink > 0) best = std::min(best, diff / ink);
    }
    return best;
}

// The darkness of a page: 0 for blank paper.
inline double inkOf(const GrayPage& page) {
    double sum = 0;
    for (unsigned char p : page.pixels) sum += 255 - p;
    return page.pixels.empty() ? 0 : sum / (255.0 * page.pixels.size());
}

// The PDF files in `dir`.
inline std::set<std::string> pdfsIn(const std::string& dir) {
    std::set<std::string> found;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec))
        if (e.path().extension() == ".pdf") found.insert(e.path().string());
    return found;
}

// Waits for a PDF in `dir` that is not among `before` and is written to its end; its path, or
// "" when none came in time.
inline std::string waitForNewPdf(const std::string& dir, const std::set<std::string>& before,
                                 std::chrono::seconds timeout = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        for (const std::string& path : pdfsIn(dir)) {
            if (before.count(path)) continue;
            std::ifstream in(path, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), {});
            const size_t eof = bytes.rfind("%%EOF");
            if (eof != std::string::npos && eof + 16 >= bytes.size()) return path;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return {};
}

}  // namespace print::test
