#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quillmark {
namespace {

namespace fs = std::filesystem;

std::string contents(const std::string& name) {
    std::string text;
    if (std::FILE* in = std::fopen(name.c_str(), "rb")) {
        char block[4096];
        std::size_t got;
        while ((got = std::fread(block, 1, sizeof block, in)) > 0) text.append(block, got);
        std::fclose(in);
    }
    return text;
}

void put(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
}

TEST(FileSystem, FolderAndLastPartOfAName) {
    struct Case {
        const char* name;
        const char* folder;
        const char* last;
    };
    const Case cases[] = {
        {"a.csv", ".", "a.csv"},
        {"out/a.csv", "out", "a.csv"},
        {"/a.csv", "/", "a.csv"},
        {"/x/y/z.json", "/x/y", "z.json"},
#if defined(_WIN32)
        {"out\\a.csv", "out", "a.csv"},
        {"C:\\a.csv", "C:\\", "a.csv"},
        {"C:a.csv", "C:.", "a.csv"},
#endif
    };
    for (const Case& c : cases) {
        EXPECT_EQ(folder_of(c.name), c.folder) << c.name;
        EXPECT_EQ(last_part(c.name), c.last) << c.name;
    }
}

TEST(FileSystem, ANewFileBesideTakesTheTargetsPlaceOnlyWhenPutThere) {
    fs::create_directory("fs_test_beside");
    const std::string target = "fs_test_beside/out.csv";
    put(target, "old");
    std::string temporary;
    std::FILE* stream = create_file_beside(target, temporary);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(folder_of(temporary), "fs_test_beside");
    EXPECT_NE(temporary, target);
    std::fputs("new", stream);
    ASSERT_TRUE(close_durably(stream));
    EXPECT_EQ(contents(target), "old");
    ASSERT_TRUE(replace_file(temporary, target));
    EXPECT_EQ(contents(target), "new");
    EXPECT_FALSE(fs::exists(temporary));
    // A second file beside the same target never takes the first one's name.
    std::string first, second;
    std::FILE* one = create_file_beside(target, first);
    std::FILE* two = create_file_beside(target, second);
    ASSERT_TRUE(one && two);
    EXPECT_NE(first, second);
    std::fclose(one);
    std::fclose(two);
    fs::remove_all("fs_test_beside");
}

TEST(FileSystem, NoFileBesideATargetInAMissingFolder) {
    std::string temporary;
    errno = 0;
    EXPECT_EQ(create_file_beside("fs_test_missing/out.csv", temporary), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

} // namespace
} // namespace quillmark
