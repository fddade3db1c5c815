// Files written over: what the file was stays (permissions, owner, a link and its target), and
// what is no file is never replaced by one.
#include "common/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace print {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("atomic_file_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "sub");
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    static Status writeAll(const std::string& path, const std::string& bytes) {
        AtomicFile file;
        if (Status s = file.open(path); !s) return s;
        file.write(bytes);
        return file.commit();
    }
    static std::string slurp(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static struct stat lstatOf(const std::string& p) {
        struct stat st {};
        EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
        return st;
    }
    // Everything in the folder and its sub-folder: no temporary file may be left.
    size_t entries() const {
        size_t n = 0;
        for (auto it = fs::recursive_directory_iterator(dir); it != fs::end(it); ++it) ++n;
        return n;
    }

    fs::path dir;
};

TEST_F(AtomicFileTest, AFileWrittenOverKeepsItsPermissionsAndOwner) {
    std::ofstream(path("private.csv")) << "old";
    ::chmod(path("private.csv").c_str(), 0600);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path("private.csv").c_str(), 4321, 4322), 0);
    }
    ASSERT_TRUE(writeAll(path("private.csv"), "new").ok());
    const struct stat st = lstatOf(path("private.csv"));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
    }
    EXPECT_EQ(slurp(path("private.csv")), "new");

    // A new file gets what the creation mask allows, as any program's would.
    const mode_t saved = ::umask(027);
    const Status created = writeAll(path("new.csv"), "x");
    ::umask(saved);
    ASSERT_TRUE(created.ok());
    EXPECT_EQ(lstatOf(path("new.csv")).st_mode & 07777, 0640u);
    EXPECT_EQ(entries(), 3u);
}

TEST_F(AtomicFileTest, ALinkStaysALinkAndItsTargetGetsTheBytes) {
    // A chain of relative links, across folders: the file at its end is written, in its own
    // folder, and every link stays.
    std::ofstream(path("sub/target.pdf")) << "old";
    ::chmod(path("sub/target.pdf").c_str(), 0640);
    fs::create_symlink("sub/target.pdf", path("first.pdf"));
    fs::create_symlink("../first.pdf", path("sub/second.pdf"));
    AtomicFile file;
    ASSERT_TRUE(file.open(path("sub/second.pdf")).ok());
    EXPECT_EQ(file.target(), path("sub/../sub/target.pdf"));
    file.write("new");
    ASSERT_TRUE(file.commit().ok());
    EXPECT_TRUE(S_ISLNK(lstatOf(path("first.pdf")).st_mode));
    EXPECT_TRUE(S_ISLNK(lstatOf(path("sub/second.pdf")).st_mode));
    EXPECT_EQ(slurp(path("sub/target.pdf")), "new");
    EXPECT_EQ(lstatOf(path("sub/target.pdf")).st_mode & 07777, 0640u);

    // A link to nothing yet: the file it names is created.
    fs::create_symlink("sub/later.pdf", path("later.pdf"));
    ASSERT_TRUE(writeAll(path("later.pdf"), "made").ok());
    EXPECT_EQ(slurp(path("sub/later.pdf")), "made");
    EXPECT_EQ(entries(), 6u);

    // Links that go round in a circle are no file at all.
    fs::create_symlink("loop-b", path("loop-a"));
    fs::create_symlink("loop-a", path("loop-b"));
    const Status loop = writeAll(path("loop-a"), "x");
    ASSERT_FALSE(loop.ok());
    EXPECT_EQ(loop.error().message,
              "cannot write " + path("loop-a") + ": Too many levels of symbolic links");
}

TEST_F(AtomicFileTest, WhatIsNoRegularFileIsRefusedAndStaysAsItWas) {
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    fs::create_symlink("pipe", path("to-pipe"));
    for (const std::string name : {"pipe", "to-pipe"}) {
        const Status s = writeAll(path(name), "x");
        ASSERT_FALSE(s.ok()) << name;
        EXPECT_EQ(s.error().message, "cannot write " + path(name) + ": it is not a regular file");
    }
    EXPECT_TRUE(S_ISFIFO(lstatOf(path("pipe")).st_mode));
    const Status folder = writeAll(path("sub"), "x");
    ASSERT_FALSE(folder.ok());
    EXPECT_EQ(folder.error().message, "cannot write " + path("sub") + ": it is a folder");
    const Status missing = writeAll(path("none/x.csv"), "x");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().message, "cannot write " + path("none/x.csv") + ": the folder " +
                                           path("none") + " does not exist");
    EXPECT_EQ(entries(), 3u);
}

}  // namespace
}  // namespace print
