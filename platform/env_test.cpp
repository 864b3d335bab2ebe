#include "platform/env.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace quillmark {
namespace {

// A file of the given bytes in the working folder, removed afterwards.
class TextFile {
public:
    TextFile(const char* name, const std::string& bytes) : name_(name) {
        std::FILE* f = std::fopen(name, "wb");
        EXPECT_NE(f, nullptr);
        if (f) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    ~TextFile() { std::remove(name_); }
    const char* name() const { return name_; }

private:
    const char* name_;
};

// Every line read_text_line yields from the file, as the text before the
// zero byte, with a check that length agrees with it.
std::vector<std::string> read_all(const char* name, int* error = nullptr) {
    std::vector<std::string> lines;
    std::FILE* f = open_text_file(name);
    EXPECT_NE(f, nullptr);
    if (!f) return lines;
    LineBuffer buffer;
    while (read_text_line(f, buffer)) {
        EXPECT_EQ(buffer.length, std::strlen(buffer.data));
        lines.emplace_back(buffer.data, buffer.length);
    }
    if (error) *error = buffer.error;
    std::fclose(f);
    std::free(buffer.data);
    return lines;
}

using Lines = std::vector<std::string>;

TEST(ReadTextLine, LineEndsCarriageReturnsAndZeroBytes) {
    using namespace std::string_literals;
    const std::pair<std::string, Lines> cases[] = {
        // Only the carriage return directly before the line feed goes; one
        // before that, one inside the line and one at the very end stay.
        {"plain\nwindows\r\nAB\rC\r\ntwo\r\r\n\nlast\r",
         {"plain", "windows", "AB\rC", "two\r", "", "last\r"}},
        {"", {}},
        {"one\ntwo", {"one", "two"}}, // the last line without a line feed
        // A zero byte ends the text, not the line.
        {"ABC\0DEF\r\nnext\n\0\n"s, {"ABC", "next", ""}},
    };
    for (const auto& [bytes, lines] : cases) {
        TextFile file("env_test_lines.txt", bytes);
        int error = -1;
        EXPECT_EQ(read_all(file.name(), &error), lines) << bytes;
        EXPECT_EQ(error, 0) << bytes;
    }
}

TEST(ReadTextLine, LongLinesComeWhole) {
    // Lengths around the buffer's first sizes, and one of many pieces.
    std::string bytes;
    Lines expected;
    for (std::size_t n : {1022u, 1023u, 1024u, 1025u, 2047u, 2048u, 5000u, 70000u}) {
        std::string line(n, 'a');
        line[n - 1] = 'z';
        expected.push_back(line);
        bytes += line + "\r\n";
    }
    bytes += "short\n";
    expected.push_back("short");
    TextFile file("env_test_long.txt", bytes);
    EXPECT_EQ(read_all(file.name()), expected);
}

TEST(ReadTextLine, ZeroByteAtAndAfterAPieceBoundary) {
    // Zero bytes near the place where the first read of a line stops.
    std::string bytes;
    Lines expected;
    for (std::size_t at : {1021u, 1022u, 1023u, 1024u, 3000u}) {
        std::string line(4000, 'q');
        line[at] = '\0';
        bytes += line + "\n";
        expected.push_back(std::string(at, 'q'));
    }
    TextFile file("env_test_zero_long.txt", bytes);
    EXPECT_EQ(read_all(file.name()), expected);
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
// A line longer than the memory the process may have is an error of the
// read, not the end of the file. (Memory is limited in a child process;
// AddressSanitizer's own reservations do not live with such a limit.)
// In a process of at most 256 MiB: 0 when the file's first line comes and
// its second ends the input with the error ENOMEM.
[[noreturn]] void read_with_little_memory(const char* name) {
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = 256L << 20;
    setrlimit(RLIMIT_AS, &limit);
    std::FILE* in = open_text_file(name);
    LineBuffer buffer;
    bool first = in && read_text_line(in, buffer);
    bool second = in && read_text_line(in, buffer);
    std::exit(first && !second && buffer.error == ENOMEM ? 0 : 1);
}

TEST(ReadTextLine, LineTooLongForMemoryIsAnError) {
    const char* name = "env_test_huge_line.txt";
    std::FILE* f = std::fopen(name, "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("first\n", f);
    std::fseek(f, 400L << 20, SEEK_SET); // 400 MiB of zero bytes, without a line end
    std::fputs("x\n", f);
    std::fclose(f);
    EXPECT_EXIT(read_with_little_memory(name), ::testing::ExitedWithCode(0), "");
    std::remove(name);
}
#endif

TEST(OpenTextFile, MissingFileSetsErrno) {
    errno = 0;
    EXPECT_EQ(open_text_file("env_test_no_such_file.txt"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_STREQ(system_error_text(ENOENT), "No such file or directory");
}

TEST(FailedCallError, FirstNonZeroNumberElseEio) {
    struct Case {
        int error_number, fallback_number, expected;
    };
    for (const Case& c : {Case{ENOSPC, 0, ENOSPC}, Case{ENOSPC, EACCES, ENOSPC},
                          Case{0, EACCES, EACCES}, Case{0, 0, EIO}})
        EXPECT_EQ(failed_call_error(c.error_number, c.fallback_number), c.expected)
            << c.error_number << ", " << c.fallback_number;
    EXPECT_EQ(failed_call_error(0), EIO);
}

TEST(OpenTextFile, CaseOfTheNameMattersUnlessTheSystemIgnoresIt) {
    TextFile file("Env_Test_Mixed.Txt", "x\n");
    std::FILE* f = open_text_file("env_test_mixed.txt");
    EXPECT_EQ(f != nullptr, file_names_ignore_case());
    if (f) std::fclose(f);
}

TEST(SystemFileTime, AgreesWithTheCalendarClock) {
    // 116444736000000000 intervals of 100 ns lie between 1601 and 1970.
    std::uint64_t before = static_cast<std::uint64_t>(clock_seconds());
    std::uint64_t now = system_file_time();
    std::uint64_t after = static_cast<std::uint64_t>(clock_seconds());
    EXPECT_GE(now, before * 10000000u + 116444736000000000u);
    EXPECT_LT(now, (after + 1) * 10000000u + 116444736000000000u);
}

TEST(Formatting, LongDoubleFormatsPrintExtendedValues) {
    // The reports print extended values with %Lf and %Lg; a formatter that
    // read them as double would print something else entirely.
    char text[64];
    std::snprintf(text, sizeof text, "%.1Lf|%.4Lg", 200.0L / 3.0L, 200.0L / 3.0L);
    EXPECT_STREQ(text, "66.7|66.67");
    // Beyond double's range and precision.
    std::snprintf(text, sizeof text, "%Lg", 1e4000L);
    EXPECT_STREQ(text, "1e+4000");
    std::snprintf(text, sizeof text, "%.20Lg", 1.0L + 0x1p-63L);
    EXPECT_STREQ(text, "1.0000000000000000001");
    std::snprintf(text, sizeof text, "%.1Lf", -0.05L);
    EXPECT_STREQ(text, "-0.1");
}

} // namespace
} // namespace quillmark
