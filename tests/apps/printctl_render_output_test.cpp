// printctl render writing PDF and PNG files: what they hold, where they go, and clear errors for
// output that cannot be written.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class PrintctlRenderOutput : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("printctl_render_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(dir / "goods.tsv") << "goodsname\n可口可乐\n雪碧 330ml\n";
    }
    void TearDown() override { fs::remove_all(dir); }

    Outcome run(const std::string& command) {
        const std::string cmd =
            command + " </dev/null >" + (dir / "out").string() + " 2>" + (dir / "err").string();
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir / "out"),
                slurp(dir / "err")};
    }
    Outcome printctl(const std::string& args) {
        return run(std::string(PRINTCTL_PATH) + " " + args);
    }
    std::string file(const std::string& name) const { return (dir / name).string(); }

    const std::string list = std::string(RENDER_DATA_DIR) + "/goods_list.srd";
    fs::path dir;
};

TEST_F(PrintctlRenderOutput, WritesAPdfAndOnePngAPage) {
    Outcome r = printctl("render " + list + " --pdf " + file("goods.pdf") + " --png-dir " +
                         file("png") + " --dpi 30");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "pages: 5\n");
    EXPECT_EQ(r.err, "");
    Outcome text = run("pdftotext " + file("goods.pdf") + " -");
    EXPECT_NE(text.out.find("商品清单"), std::string::npos);
    EXPECT_NE(text.out.find("商品40"), std::string::npos);
    EXPECT_NE(text.out.find("第5页 共5页"), std::string::npos) << text.out;
    std::vector<std::string> pngs;
    for (const auto& entry : fs::directory_iterator(dir / "png"))
        pngs.push_back(entry.path().filename().string());
    std::sort(pngs.begin(), pngs.end());
    EXPECT_EQ(pngs, (std::vector<std::string>{"page-1.png", "page-2.png", "page-3.png",
                                              "page-4.png", "page-5.png"}));
    // A4 at 30 dpi.
    const std::string png = slurp(dir / "png" / "page-1.png");
    ASSERT_GT(png.size(), 24u);
    const auto be32 = [&](size_t at) {
        return (static_cast<unsigned char>(png[at]) << 24) |
               (static_cast<unsigned char>(png[at + 1]) << 16) |
               (static_cast<unsigned char>(png[at + 2]) << 8) |
               static_cast<unsigned char>(png[at + 3]);
    };
    EXPECT_EQ(be32(16), 248u);
    EXPECT_EQ(be32(20), 351u);
}

TEST_F(PrintctlRenderOutput, OnePageAndRowsFromAFile) {
    Outcome r = printctl("render " + list + " --rows " + file("goods.tsv") + " --page 1 --pdf " +
                         file("one.pdf"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "pages: 1\n");
    Outcome text = run("pdftotext " + file("one.pdf") + " -");
    EXPECT_NE(text.out.find("雪碧 330ml"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("商品01"), std::string::npos);
    EXPECT_NE(run("pdfinfo " + file("one.pdf")).out.find("Pages:           1"), std::string::npos);
}

TEST_F(PrintctlRenderOutput, BadOutputIsAClearErrorAndLeavesNoFile) {
    Outcome r = printctl("render " + list + " --pdf " + file("no/such/dir.pdf"));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "error: cannot write " + file("no/such/dir.pdf") + ": the folder " +
                         file("no/such") + " does not exist\n");
    EXPECT_EQ(r.out, "");

    std::ofstream(dir / "plain") << "x";
    r = printctl("render " + list + " --png-dir " + file("plain/png"));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err,
              "error: cannot create the folder " + file("plain/png") + ": Not a directory\n");

    r = printctl("render " + list + " --png-dir " + file("png") + " --dpi 5000");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "error: --dpi must be between 10 and 600\n");
    r = printctl("render " + list + " --dpi 100");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "error: --dpi needs --png-dir\n");
    r = printctl("render " + list + " --page 9 --pdf " + file("nine.pdf"));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "error: page 9 does not exist: the report has 5 pages\n");
    EXPECT_FALSE(fs::exists(dir / "nine.pdf"));
    EXPECT_FALSE(fs::exists(dir / "png"));
}

}  // namespace
