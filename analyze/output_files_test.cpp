#include "analyze/output_files.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <csignal>
#include <sys/resource.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace quillmark {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& name) {
    std::string text;
    if (std::FILE* in = std::fopen(name.string().c_str(), "rb")) {
        char block[4096];
        std::size_t got;
        while ((got = std::fread(block, 1, sizeof block, in)) > 0) text.append(block, got);
        std::fclose(in);
    }
    return text;
}

// A folder of its own for each test, made current while the test runs and
// removed after it, holding the report and an earlier good output.
class OutputFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = fs::current_path();
        folder_ =
            home_ / ("output_files_test_" +
                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "sub");
        fs::current_path(folder_);
        std::ofstream("report.csv", std::ios::binary) << "the report\n";
        std::ofstream("good.csv", std::ios::binary) << "an earlier good output\n";
    }
    void TearDown() override {
        fs::current_path(home_);
        fs::remove_all(folder_);
    }
    // The names in the folder, the test's own and whatever a run left.
    static std::set<std::string> names() {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator("."))
            found.insert(entry.path().filename().string());
        return found;
    }
    const std::set<std::string> at_start_{"report.csv", "good.csv", "sub"};

private:
    fs::path home_, folder_;
};

TEST_F(OutputFilesTest, RefusesAnOutputThatIsAnInputOrAnotherOutput) {
    struct Case {
        std::vector<std::string> outputs;
        bool taken;
    };
    const Case cases[] = {
        {{"report.csv"}, false},
        {{"./report.csv"}, false},
        {{"sub/../report.csv"}, false},
        {{"a.csv", "a.csv"}, false},
        {{"new.csv", "sub/../new.csv"}, false},
        {{"good.csv", "./good.csv"}, false},
        {{"-", "-"}, false},
        {{"sub"}, false},
        {{"missing/a.csv"}, false},
        {{"a.csv", "sub/a.csv", "-"}, true},
        {{"good.csv", "b.json"}, true},
    };
    for (const Case& c : cases) {
        OutputFiles files;
        files.add_input("the report", "report.csv");
        for (const std::string& name : c.outputs) files.add_output("-o", name);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(files.prepare(), c.taken) << c.outputs[0];
        const std::string message = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(message.empty(), c.taken) << message;
        files.abandon();
        EXPECT_EQ(names(), at_start_) << c.outputs[0];
        EXPECT_EQ(contents("report.csv"), "the report\n");
        EXPECT_EQ(contents("good.csv"), "an earlier good output\n");
    }
}

TEST_F(OutputFilesTest, RefusesAnotherNameOfTheReport) {
    fs::create_hard_link("report.csv", "alias.csv");
    OutputFiles files;
    files.add_input("the report", "report.csv");
    files.add_output("--json", "alias.csv");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(files.prepare());
    EXPECT_EQ(
        ::testing::internal::GetCapturedStderr(),
        "--json alias.csv is the same file as the report report.csv: nothing read or written\n");
}

TEST_F(OutputFilesTest, OutputsTakeTheirPlacesTogetherWhenAllAreComplete) {
    OutputFiles files;
    files.add_input("the report", "report.csv");
    const std::size_t tables = files.add_output("-o", "good.csv");
    const std::size_t json = files.add_output("--json", "sub/new.json");
    ASSERT_TRUE(files.prepare());
    files.write(tables, "new tables\n");
    EXPECT_EQ(contents("good.csv"), "an earlier good output\n"); // not yet in place
    files.write(json, "{}\n");
    EXPECT_TRUE(files.finish());
    EXPECT_EQ(contents("good.csv"), "new tables\n");
    EXPECT_EQ(contents("sub/new.json"), "{}\n");
    EXPECT_EQ(names(), at_start_);
}

TEST_F(OutputFilesTest, AbandonedOutputsLeaveTheirTargetsAsTheyWere) {
    OutputFiles files;
    files.add_input("the report", "report.csv");
    const std::size_t tables = files.add_output("-o", "good.csv");
    files.add_output("--json", "new.json");
    ASSERT_TRUE(files.prepare());
    files.write(tables, "half a table");
    files.abandon();
    EXPECT_EQ(contents("good.csv"), "an earlier good output\n");
    EXPECT_EQ(names(), at_start_);
}

#if !defined(_WIN32)
// An output named by a symbolic link replaces the file the link names, and
// the link stays; a link to the report is the report.
TEST_F(OutputFilesTest, ALinkedOutputReplacesTheFileItNames) {
    fs::create_symlink("good.csv", "link.csv");
    fs::create_symlink("report.csv", "report-link.csv");
    OutputFiles files;
    files.add_input("the report", "report.csv");
    const std::size_t tables = files.add_output("-o", "link.csv");
    ASSERT_TRUE(files.prepare());
    files.write(tables, "new tables\n");
    EXPECT_TRUE(files.finish());
    EXPECT_TRUE(fs::is_symlink("link.csv"));
    EXPECT_EQ(contents("good.csv"), "new tables\n");
    OutputFiles again;
    again.add_input("the report", "report.csv");
    again.add_output("-o", "report-link.csv");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(again.prepare());
    ::testing::internal::GetCapturedStderr();
}

// A disk that takes no more than 1000 bytes a file, as a full one would stop
// a write: the second output fails, and neither replaces its earlier file.
TEST_F(OutputFilesTest, AFailedWriteLeavesEveryEarlierFileAsItWas) {
    std::ofstream("old.json", std::ios::binary) << "{\"earlier\": true}\n";
    OutputFiles files;
    files.add_input("the report", "report.csv");
    const std::size_t tables = files.add_output("-o", "good.csv");
    const std::size_t json = files.add_output("--json", "old.json");
    ASSERT_TRUE(files.prepare());
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 1000;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    files.write(tables, "new tables\n");
    files.write(json, std::string(5000, 'j'));
    ::testing::internal::CaptureStderr();
    const bool finished = files.finish();
    const std::string message = ::testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(finished);
    EXPECT_EQ(message,
              "Error writing old.json: File too large\n"
              "Not written: good.csv, old.json.\n");
    EXPECT_EQ(contents("good.csv"), "an earlier good output\n");
    EXPECT_EQ(contents("old.json"), "{\"earlier\": true}\n");
    std::set<std::string> expected = at_start_;
    expected.insert("old.json");
    EXPECT_EQ(names(), expected);
}
#endif

} // namespace
} // namespace quillmark
