#include <gtest/gtest.h>
#include <sqlite3.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "db/library_file.h"
#include "db_test_support.h"
#include "engine/library.h"

// A FAT stick and some network mounts refuse hard links; so does every folder this test program
// writes in, so that a library is shown to be made without them.
extern "C" int link(const char*, const char*) {
    errno = EPERM;
    return -1;
}

namespace print::db {
namespace {

const char* const kDefinition =
    "release 9;\n"
    "datawindow(units=0 processing=0 print.documentname=\"测试\" )\n"
    "header(height=80 )\n"
    "detail(height=72 )\n"
    "table(column=(type=char(10) updatewhereclause=yes name=billid dbname=\"billid\" )\n"
    " retrieve=\"SELECT billid FROM T_BILLMAIN WHERE billid = :billid\"\n"
    " arguments=((\"billid\", string)) )\n"
    "text(band=header alignment=\"0\" text=\"单据\" x=\"9\" y=\"8\" height=\"60\" width=\"300\" "
    "name=billid_t )\n"
    "column(band=detail id=1 x=\"9\" y=\"4\" height=\"60\" width=\"300\" name=billid )\n";

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class LibraryFileTest : public testing::Test {
protected:
    void SetUp() override { m_savedList = engine::LibrarySearchList::application().libraries(); }
    void TearDown() override { engine::LibrarySearchList::application().setLibraries(m_savedList); }

    test::TempDir dir;

private:
    std::vector<std::shared_ptr<engine::DefinitionLibrary>> m_savedList;
};

TEST_F(LibraryFileTest, ImportReplaceListExportDelete) {
    std::string lib = dir.path("print.plib");
    EXPECT_FALSE(fileExists(lib));
    ASSERT_EQ(libraryCreate(lib, "打印库"), 1);
    EXPECT_TRUE(fileExists(lib));
    EXPECT_EQ(libraryCreate(lib), -1) << "an existing file is never overwritten";
    EXPECT_EQ(libraryDirectory(lib), "") << "an empty library lists nothing";

    std::string errors = "stale";
    DateTime before = DateTime::now();
    ASSERT_EQ(libraryImport(lib, "dp_305app240318", kDefinition, errors, "订单"), 1) << errors;
    EXPECT_EQ(errors, "");
    ASSERT_EQ(libraryImport(lib, "d_a", kDefinition, errors), 1);

    std::string listing = libraryDirectory(lib);
    std::regex line(
        "d_a\t(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)\t\n"
        "dp_305app240318\t(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)\t订单\n");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(listing, m, line)) << listing;
    DateTime stamp = *DateTime::parse(m[2].str());
    // Listed to the second: not before the second the import started in.
    before.time = *Time::fromHms(before.time.hour(), before.time.minute(), before.time.second());
    EXPECT_LE(before, stamp);
    EXPECT_LE(stamp, DateTime::now());

    // Replacing an entry (any letter case) keeps one entry, with the new text and a new time.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    std::string replaced = std::string(kDefinition) + "text(band=header text=\"新\" name=t_new )\n";
    ASSERT_EQ(libraryImport(lib, "DP_305APP240318", replaced, errors), 1) << errors;
    auto entries = LibraryFile::open(lib).value().entries().value();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].name, "DP_305APP240318");
    EXPECT_GT(entries[1].modified, stamp);
    EXPECT_EQ(libraryExport(lib, "dp_305app240318"), replaced);
    EXPECT_EQ(libraryExport(lib, "nothing"), "");

    EXPECT_EQ(libraryDelete(lib, "d_A"), 1);
    EXPECT_EQ(libraryDelete(lib, "d_a"), -1);
    EXPECT_EQ(libraryDirectory(lib).find("d_a\t"), std::string::npos);

    EXPECT_EQ(libraryDelete(lib), 1);
    EXPECT_FALSE(fileExists(lib));
    EXPECT_EQ(libraryDelete(lib), -1);
}

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Threads that each open the library (creating it when missing) and store an entry, as
// `printctl lib import` does, all at the same moment; two names differ only in case.
TEST_F(LibraryFileTest, ImportsCreatingOneLibraryAtOnceAllStoreTheirEntries) {
    std::string lib = dir.path("shared.plib");
    const std::vector<std::string> names = {"d_a", "d_b", "d_c", "d_d", "d_e", "D_A"};
    std::vector<std::string> errors(names.size());
    std::atomic<bool> go = false;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < names.size(); ++i) {
        threads.emplace_back([&, i] {
            while (!go) std::this_thread::yield();
            auto opened = LibraryFile::openOrCreate(lib);
            if (!opened) {
                errors[i] = opened.error().message;
                return;
            }
            if (Status put = opened.value().put(names[i], kDefinition); !put)
                errors[i] = put.error().message;
        });
    }
    go = true;
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(errors, std::vector<std::string>(names.size()));
    auto entries = LibraryFile::open(lib).value().entries().value();
    EXPECT_EQ(entries.size(), 5u);
    EXPECT_EQ(filesIn(dir.path("")), std::vector<std::string>{"shared.plib"});

    // Of several creators of one new library only one makes it; the file is never replaced.
    std::string other = dir.path("other.plib");
    std::atomic<int> made = 0;
    threads.clear();
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] { made += libraryCreate(other, "打印库") == 1 ? 1 : 0; });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(made, 1);
    EXPECT_EQ(LibraryFile::open(other).value().comment().value(), "打印库");
    EXPECT_EQ(LibraryFile::create(other).error().message, "a file already exists at " + other);
    EXPECT_EQ(LibraryFile::create(dir.path("no/such/folder.plib")).error().message,
              "cannot create " + dir.path("no/such/folder.plib") + ": unable to open database file");
}

// What a writer killed in the middle of a transaction leaves: the file with some of the new
// pages written and a journal holding what they replaced. SQLite writes it itself here, the
// way a library write would, and the process dies before its commit.
void killWriterMidway(const std::string& path, const char* work) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        // A one-page cache makes SQLite write pages into the file before the commit.
        sqlite3_exec(db, "PRAGMA cache_size = 1; BEGIN IMMEDIATE;", nullptr, nullptr, nullptr);
        sqlite3_exec(db, work, nullptr, nullptr, nullptr);
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    struct stat journal {};
    ASSERT_EQ(::stat((path + "-journal").c_str(), &journal), 0) << "no journal was left";
    ASSERT_GT(journal.st_size, 0);
}

const char* const kBigWrite =
    "CREATE TABLE IF NOT EXISTS filler (x BLOB);"
    "INSERT INTO filler SELECT randomblob(1000) FROM (WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL "
    "SELECT n + 1 FROM s WHERE n < 300) SELECT n FROM s);";

// A first import killed part-way: the next import takes the file over, and what the dead one
// left (its journal, the empty file) goes.
TEST_F(LibraryFileTest, AKilledFirstImportIsTakenOverByTheNextOne) {
    std::string lib = dir.path("new.plib");
    killWriterMidway(lib, kBigWrite);
    ASSERT_TRUE(fileExists(lib));

    // Until an import completes, the file holds no library: an error to open, nothing on the
    // search list.
    EXPECT_EQ(LibraryFile::open(lib).error().message,
              lib + " is an empty file: no library was completed in it");
    EXPECT_EQ(filesIn(dir.path("")), std::vector<std::string>{"new.plib"}) << "journal removed";
    EXPECT_TRUE(libraryUnfinished(lib));
    LibraryFileDefinitions onList(lib);
    auto found = onList.find("d_a");
    ASSERT_TRUE(found.ok()) << found.error().message;
    EXPECT_FALSE(found.value().has_value());
    std::string errors;
    EXPECT_EQ(libraryImport(lib, "d_a", kDefinition, errors), -1);
    EXPECT_EQ(errors, lib + " is an empty file: no library was completed in it");

    auto opened = LibraryFile::openOrCreate(lib);
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    EXPECT_TRUE(opened.value().entries().value().empty());
    ASSERT_TRUE(opened.value().put("d_a", kDefinition).ok());
    EXPECT_EQ(libraryExport(lib, "d_a"), kDefinition);
    EXPECT_FALSE(libraryUnfinished(lib));
    EXPECT_FALSE(libraryUnfinished(dir.path("missing.plib")));
    EXPECT_EQ(filesIn(dir.path("")), std::vector<std::string>{"new.plib"});

    // Earlier versions built a library under a temporary name; what one killed then left goes
    // when the library is written, unless it is recent enough to belong to a create running.
    std::string recent = dir.path("created.plib.tmp424242");
    for (const char* name :
         {"created.plib.tmp123456", "created.plib.tmp123456-journal", "created.plib.tmp-old"}) {
        writeFile(dir.path(name), "left behind");
        std::filesystem::last_write_time(
            dir.path(name), std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    }
    writeFile(recent, "being made");

    // A create killed the same way is taken over by the next create.
    std::string created = dir.path("created.plib");
    killWriterMidway(created, kBigWrite);
    EXPECT_EQ(libraryCreate(created, "打印库"), 1);
    EXPECT_EQ(LibraryFile::open(created).value().comment().value(), "打印库");
    EXPECT_EQ(filesIn(dir.path("")),
              (std::vector<std::string>{"created.plib", "created.plib.tmp-old",
                                        "created.plib.tmp424242", "new.plib"}));
}

// A crashed write on a library that someone without write access then reads: SQLite must undo
// the write before anything can be read, and cannot.
TEST_F(LibraryFileTest, RecoveringAfterACrashedWriteNeedsWriteAccess) {
    std::string lib = dir.path("print.plib");
    ASSERT_EQ(libraryCreate(lib), 1);
    std::string errors;
    ASSERT_EQ(libraryImport(lib, "d_a", kDefinition, errors), 1) << errors;
    killWriterMidway(lib, kBigWrite);

    // The reader runs as another user, or, when this test is not run by root, in a folder this
    // user may not write.
    ::chmod(dir.path("").c_str(), 0755);
    ::chmod(lib.c_str(), 0644);
    ::chmod((lib + "-journal").c_str(), 0644);
    bool root = ::geteuid() == 0;
    if (!root) {
        ::chmod(dir.path("").c_str(), 0555);
        ::chmod(lib.c_str(), 0444);
    }
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(pipeEnds[0]);
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        auto opened = LibraryFile::open(lib);
        std::string message = opened ? "opened" : opened.error().message;
        (void)!::write(pipeEnds[1], message.data(), message.size());
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string message;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, n);
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::chmod(dir.path("").c_str(), 0700);
    ::chmod(lib.c_str(), 0644);
    EXPECT_EQ(message, lib +
                           " was left half-written by a program that stopped; recovering it "
                           "needs write access to the file and its folder");

    // With write access the half-done write is undone and the library reads as before it.
    EXPECT_EQ(libraryDirectory(lib).substr(0, 4), "d_a\t");
    EXPECT_EQ(libraryExport(lib, "d_a"), kDefinition);
    EXPECT_EQ(filesIn(dir.path("")), std::vector<std::string>{"print.plib"});
}

TEST_F(LibraryFileTest, ImportRefusesWhatCouldNotBeOpenedAgain) {
    std::string lib = dir.path("print.plib");
    ASSERT_EQ(libraryCreate(lib), 1);
    std::string errors;
    EXPECT_EQ(libraryImport(lib, "d_bad", "release 9;\ndatawindow(units=0\n", errors), -1);
    EXPECT_EQ(errors.rfind("Line ", 0), 0u) << errors;
    EXPECT_EQ(libraryImport(lib, "bad\tname", kDefinition, errors), -1);
    EXPECT_EQ(errors, "'bad\tname' is not a valid entry name");
    EXPECT_EQ(libraryImport(lib, "", kDefinition, errors), -1);
    EXPECT_EQ(libraryImport(dir.path("missing.plib"), "d_x", kDefinition, errors), -1);
    EXPECT_EQ(errors, "no library file at " + dir.path("missing.plib"));
    EXPECT_EQ(libraryDirectory(lib), "");
}

TEST_F(LibraryFileTest, FilesThatAreNoLibraryAreErrors) {
    std::string text = dir.path("text.plib");
    writeFile(text, std::string(4096, 'x'));
    std::string otherDb = dir.path("other.db");
    {
        Transaction t;
        ASSERT_EQ(t.connect("sqlite:" + otherDb), 0);
        ASSERT_EQ(t.execute("CREATE TABLE entry (name TEXT)"), 0);
        ASSERT_EQ(t.commit(), 0);
    }
    std::string good = dir.path("good.plib");
    ASSERT_EQ(libraryCreate(good), 1);
    std::string errors;
    ASSERT_EQ(libraryImport(good, "d_a", kDefinition, errors), 1);
    std::string truncated = dir.path("truncated.plib");
    writeFile(truncated, readFile(good).substr(0, 5000));
    std::string scribbled = dir.path("scribbled.plib");
    std::string bytes = readFile(good);
    for (size_t i = 100; i < bytes.size(); i += 7) bytes[i] = static_cast<char>(i * 31);
    writeFile(scribbled, bytes);

    EXPECT_EQ(LibraryFile::open(text).error().message,
              text + " is not a library file: file is not a database");
    EXPECT_EQ(LibraryFile::open(otherDb).error().message, otherDb + " is not a library file");
    EXPECT_EQ(LibraryFile::open(dir.path("")).error().message,
              "no library file at " + dir.path(""));
    for (const std::string& bad : {text, otherDb, truncated, scribbled}) {
        EXPECT_EQ(libraryDirectory(bad), "") << bad;
        EXPECT_EQ(libraryExport(bad, "d_a"), "") << bad;
        EXPECT_EQ(libraryImport(bad, "d_a", kDefinition, errors), -1) << bad;
        EXPECT_FALSE(errors.empty());
        EXPECT_EQ(libraryDelete(bad, "d_a"), -1) << bad;
    }
    EXPECT_EQ(libraryDelete(text), -1) << "only library files are deleted as libraries";
    EXPECT_TRUE(fileExists(text));
    EXPECT_TRUE(fileDelete(text));
    EXPECT_FALSE(fileExists(text));
}

// Page 1 (the header and the schema) intact, the pages of the entries scribbled over: the file
// opens as a library and fails only when its entries are read.
TEST_F(LibraryFileTest, DamageBehindAGoodHeaderIsAnErrorToo) {
    std::string lib = dir.path("damaged.plib");
    ASSERT_EQ(libraryCreate(lib, "打印库"), 1);
    std::string errors;
    ASSERT_EQ(libraryImport(lib, "d_a", kDefinition, errors), 1) << errors;
    std::string bytes = readFile(lib);
    ASSERT_GT(bytes.size(), 4096u);
    for (size_t i = 4096; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xA5 ^ (i * 7));
    writeFile(lib, bytes);

    auto opened = LibraryFile::open(lib);
    ASSERT_TRUE(opened.ok()) << opened.error().message;
    EXPECT_FALSE(opened.value().entries().ok());
    EXPECT_EQ(libraryDirectory(lib), "");
    EXPECT_EQ(libraryImport(lib, "d_b", kDefinition, errors), -1);

#ifdef PRINTCTL_PATH
    if (!fileExists(PRINTCTL_PATH)) GTEST_SKIP() << "printctl is not built";
    std::string out = dir.path("out");
    std::string command =
        std::string(PRINTCTL_PATH) + " lib ls " + lib + " >" + out + " 2>" + dir.path("err");
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0)
        << "a damaged library lists as empty";
    EXPECT_EQ(readFile(out), "");
    EXPECT_EQ(readFile(dir.path("err")).rfind("printctl: " + lib + ": ", 0), 0u)
        << readFile(dir.path("err"));
#endif
}

TEST_F(LibraryFileTest, SearchListFindsEntriesInLibraryFiles) {
    std::string first = dir.path("first.plib");
    std::string second = dir.path("second.plib");
    ASSERT_EQ(libraryCreate(first), 1);
    ASSERT_EQ(libraryCreate(second), 1);
    std::string errors;
    ASSERT_EQ(libraryImport(second, "d_only_second", kDefinition, errors), 1);

    EXPECT_EQ(setLibraryList(" ," + first + " , " + second + ","), 1);
    EXPECT_EQ(getLibraryList(), first + "," + second);
    auto& list = engine::LibrarySearchList::application();
    auto found = list.find("D_ONLY_SECOND");
    ASSERT_TRUE(found.ok());
    ASSERT_TRUE(found.value().has_value());
    EXPECT_EQ(*found.value(), kDefinition);
    EXPECT_FALSE(list.find("d_nowhere").value().has_value());

    // An entry imported later is found; a library deleted later holds nothing; a damaged one
    // stops the search, since it might hold the name and hide the libraries after it.
    ASSERT_EQ(libraryImport(first, "d_later", kDefinition, errors), 1);
    EXPECT_TRUE(list.find("d_later").value().has_value());
    ASSERT_EQ(libraryDelete(first), 1);
    EXPECT_TRUE(list.find("d_only_second").value().has_value());
    auto gone = list.find("d_later");
    ASSERT_TRUE(gone.ok());
    EXPECT_FALSE(gone.value().has_value());
    std::ofstream(first) << "not a library";
    auto damaged = list.find("d_only_second");
    ASSERT_FALSE(damaged.ok());
    EXPECT_NE(damaged.error().message.find("is not a library file"), std::string::npos);
    std::filesystem::remove(first);

    EXPECT_EQ(setLibraryList(" , "), -1);
    EXPECT_EQ(getLibraryList(), first + "," + second) << "a refused list changes nothing";
}

}  // namespace
}  // namespace print::db
