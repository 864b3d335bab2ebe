#include "platform/program_info.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

// An argument vector for info_request, the program name first.
InfoRequest request_of(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    return info_request(static_cast<int>(words.size()), argv.data());
}

TEST(InfoRequest, OnlyTheExactWordAsTheOnlyArgument) {
    EXPECT_EQ(request_of({"quillmark", "--help"}), InfoRequest::help);
    EXPECT_EQ(request_of({"quillmark", "-h"}), InfoRequest::help);
    EXPECT_EQ(request_of({"quillmark", "--version"}), InfoRequest::version);

    // No argument, or the word among others: the run goes on as before.
    EXPECT_EQ(request_of({"quillmark"}), InfoRequest::none);
    EXPECT_EQ(request_of({"quillmark", "--help", "cols:x"}), InfoRequest::none);
    EXPECT_EQ(request_of({"quillmark", "sheets.txt", "--help"}), InfoRequest::none);
    EXPECT_EQ(request_of({"quillmark", "--version", "--version"}), InfoRequest::none);

    // Other spellings are file names.
    for (const char* name : {"./--help", "--HELP", "-help", "--help ", "--helpx", "-H", "-v",
                             "--version=1", "-", "--", ""})
        EXPECT_EQ(request_of({"quillmark", name}), InfoRequest::none) << name;
}

// What is written, and a write that fails, are checked by the end-to-end
// cases help_* of both programs.

} // namespace
} // namespace quillmark
