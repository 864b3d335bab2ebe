#include "grading/sheet_reader.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "grading/sheet_line.h"
#include "platform/env.h"

namespace quillmark {
namespace {

std::string describe(const ScannedSheet& s) {
    return std::string("[") + s.student_id + "][" + s.form_letter + "][" + s.exam_no + "][" +
           s.responses + "]";
}

// Lines of the shapes that cutting has to get right: fields of every length
// around their limits, commas anywhere, zero bytes, carriage returns, bytes
// above 127, and response fields around 1000 and 1100 characters.
std::string random_line(std::mt19937& random) {
    static const char pieces[] = {',', ',', ' ', '\r',   '\0',   'a',    'B', 'z',
                                  '7', '-', '#', '\x80', '\xe9', '\xff', 'Q', 'E'};
    auto below = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    auto noise = [&](std::size_t length) {
        std::string text;
        for (std::size_t i = 0; i < length; ++i)
            text +=
                below(3) == 0 ? pieces[below(sizeof pieces)] : static_cast<char>('A' + below(5));
        return text;
    };
    auto without_comma = [&](std::size_t length) {
        std::string text = noise(length);
        for (char& c : text)
            if (c == ',' || c == '\0') c = 'x';
        return text;
    };
    switch (below(4)) {
    case 0: // anything
        return noise(below(40));
    case 1: // long unbroken fields
        return without_comma(below(3000)) + "," + noise(below(4)) + "," + noise(below(30));
    default: { // a sheet line with responses around the limits
        static const std::size_t lengths[] = {0,    9,    10,   11,   999,  1000, 1001,
                                              1089, 1098, 1099, 1100, 1101, 1110, 1200};
        std::string line =
            without_comma(below(14)) + "," + noise(below(3)) + "," + without_comma(below(6)) + ",";
        line += below(4) == 0 ? noise(lengths[below(14)])
                              : std::string(lengths[below(14)], "ABCD -"[below(6)]);
        if (below(8) == 0) line += noise(below(5)); // a stray carriage return or zero byte
        return line;
    }
    }
}

// The sheet that the reduced line gives, the line fed in pieces of random
// sizes.
ScannedSheet reduced_sheet(const std::string& line, std::mt19937& random) {
    static LineReducer reducer;
    reducer_start(reducer);
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t piece = 1 + random() % 700;
        const std::size_t count = piece < line.size() - at ? piece : line.size() - at;
        reducer_feed(reducer, line.data() + at, count);
        at += count;
    }
    return parse_sheet_line(reducer_text(reducer));
}

TEST(LineReducer, CutsEveryLineIntoTheSameSheetAsTheWholeLine) {
    std::mt19937 random(20261208);
    for (int i = 0; i < 20000; ++i) {
        const std::string line = random_line(random);
        const ScannedSheet whole = parse_sheet_line(line.c_str());
        const ScannedSheet reduced = reduced_sheet(line, random);
        ASSERT_EQ(describe(reduced), describe(whole)) << "line " << i << " of " << line.size();
    }
}

TEST(LineReducer, KeepsNoMoreThanItsLimit) {
    static LineReducer reducer;
    reducer_start(reducer);
    const std::string huge(5 * REDUCED_LINE_MAX, 'A');
    const std::string fields =
        std::string(50, '1') + "," + std::string(50, 'B') + "," + std::string(50, '0') + ",";
    reducer_feed(reducer, fields.data(), fields.size());
    for (int i = 0; i < 10; ++i) reducer_feed(reducer, huge.data(), huge.size());
    const std::string text = reducer_text(reducer);
    EXPECT_EQ(text, std::string(10, '1') + ",B," + "000," + std::string(RESPONSE_FIELD_READ, 'A'));
}

// Writes the text to a file of the test's own and reads it back as a sheet
// file, once with the whole-line reader and once with the sheet reader.
struct BothReadings {
    std::vector<std::string> whole;
    std::vector<std::string> streamed;
};

BothReadings read_both_ways(const std::string& text, const char* name) {
    const std::string path = testing::TempDir() + name;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    EXPECT_NE(out, nullptr);
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);

    BothReadings both;
    std::FILE* in = open_text_file(path.c_str());
    LineBuffer buffer;
    while (read_text_line(in, buffer))
        both.whole.push_back(describe(parse_sheet_line(buffer.data)));
    EXPECT_EQ(buffer.error, 0);
    std::fclose(in);
    std::free(buffer.data);

    in = open_text_file(path.c_str());
    sheet_lines_open(in);
    std::size_t length = 0;
    while (const char* line = sheet_lines_next(length)) {
        EXPECT_EQ(line[length], '\0');
        both.streamed.push_back(
            describe(parse_sheet_text(line, length, length + 1 + LINE_READ_AHEAD)));
    }
    EXPECT_EQ(sheet_lines_error(), 0);
    std::fclose(in);
    std::remove(path.c_str());
    return both;
}

TEST(SheetLines, ReadEveryFileIntoTheSameSheetsAsWholeLines) {
    std::mt19937 random(7);
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        text += random_line(random);
        text += random() % 5 == 0 ? "\r\n" : "\n";
    }
    // Lines longer than a read block, one of them with its carriage return
    // and line feed pair falling across the blocks' edges, empty lines, and a
    // last line without a line feed.
    text += "4024001417,A,001," + std::string(600000, 'B') + "\r\n\n\n";
    text += std::string(300000, '9') + ",C,12345," + std::string(1200, 'C') + "\r\r\n";
    // Carriage returns at the last place of a full block, where they are kept
    // characters unless the line feed follows: as the form letter, and as a
    // response after a long exam number field.
    const std::size_t block = std::size_t{1} << 18;
    for (std::size_t shift = 0; shift < 3; ++shift) {
        text += std::string(block - 2 - shift, '9') + ",\r" + std::string(shift, 'E') + "\r\n";
        text += "1,A," + std::string(block - 9 - shift, '0') + ",ABC\r" + std::string(shift, 'F') +
                "\n";
    }
    text += "\r";
    text += "1,B,2,ABC";
    const BothReadings both = read_both_ways(text, "quillmark_sheet_lines.txt");
    ASSERT_EQ(both.streamed.size(), both.whole.size());
    for (std::size_t i = 0; i < both.whole.size(); ++i)
        ASSERT_EQ(both.streamed[i], both.whole[i]) << i;
}

TEST(SheetLines, AnEmptyFileAndAFileWithoutLineFeeds) {
    EXPECT_TRUE(read_both_ways("", "quillmark_empty.txt").streamed.empty());
    const std::string endless(3 * (std::size_t{1} << 18) + 5, 'A');
    const BothReadings both = read_both_ways("7,A,3," + endless, "quillmark_endless.txt");
    ASSERT_EQ(both.streamed.size(), 1u);
    EXPECT_EQ(both.streamed, both.whole);
}

} // namespace
} // namespace quillmark
