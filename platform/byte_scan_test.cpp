#include "platform/byte_scan.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

// What each scan means, on small cases worked out by hand; run on the form
// this build runs.
TEST(ByteScan, AnswersOnHandWorkedCases) {
    bool only = false;
    EXPECT_EQ(scan::count_byte("cX-cc", 5, 'c', 'X', '-', only), 3u);
    EXPECT_TRUE(only);
    EXPECT_EQ(scan::count_byte("cXZc", 4, 'c', 'X', '-', only), 2u);
    EXPECT_FALSE(only);
    EXPECT_EQ(scan::count_byte("", 0, 'c', 'X', '-', only), 0u);
    EXPECT_TRUE(only);

    EXPECT_TRUE(scan::all_bytes_are("", 0, '-'));
    EXPECT_TRUE(scan::all_bytes_are("-----------------", 17, '-'));
    EXPECT_FALSE(scan::all_bytes_are("----------------A", 17, '-'));

    EXPECT_EQ(scan::last_byte("\"A:B,\":X\",\":cX\"", 15, ':'), 11u);
    EXPECT_EQ(scan::last_byte("abc", 3, ':'), 3u);
    EXPECT_EQ(scan::last_byte(":bc", 3, ':'), 0u);

    EXPECT_EQ(scan::first_class_difference("cc-cX", "cX-c-", 5, '-'), 4u);
    EXPECT_EQ(scan::first_class_difference("c-", "X-", 2, '-'), 2u);

    // Letters A to Y: Z and the bytes above 127 are not among them.
    EXPECT_EQ(scan::highest_in_range("AZ\xC1Y-", 5, 'A', 25), 'Y');
    EXPECT_EQ(scan::highest_in_range("Z*\xFF", 3, 'A', 25), 0);

    EXPECT_TRUE(byte_in_range('A', 'A', 16));
    EXPECT_TRUE(byte_in_range('P', 'A', 16));
    EXPECT_FALSE(byte_in_range('Q', 'A', 16));
    EXPECT_FALSE(byte_in_range('@', 'A', 16));
    EXPECT_TRUE(byte_in_range(255, 200, 56));
}

#if QUILLMARK_SSE2
// The byte ranges the callers test: answer letters, counted letters, lower
// case, and ranges at both ends of the byte values.
struct Range {
    unsigned char low;
    unsigned char count;
};
const Range RANGES[] = {{'A', 16}, {'A', 25}, {'a', 26}, {1, 1}, {1, 255}, {128, 128}, {255, 1}};

TEST(ByteScanTwins, LaneClassifiersAgreeOnEveryByteInEveryLane) {
    for (int lane = 0; lane < 16; ++lane)
        for (int value = 0; value < 256; ++value) {
            alignas(16) unsigned char bytes[16];
            for (int i = 0; i < 16; ++i) bytes[i] = static_cast<unsigned char>(value + 37 * i);
            bytes[lane] = static_cast<unsigned char>(value);
            const __m128i block = sse2::load(bytes);
            for (const Range& r : RANGES) {
                const unsigned lanes = sse2::lane_bits(sse2::in_range(block, r.low, r.count));
                for (int i = 0; i < 16; ++i)
                    ASSERT_EQ((lanes >> i & 1u) != 0, byte_in_range(bytes[i], r.low, r.count))
                        << "byte " << int(bytes[i]) << " range " << int(r.low) << "+"
                        << int(r.count);
            }
            for (int c : {0, int{'-'}, int{'c'}, int{':'}, int{' '}, 0x80, 0xFF}) {
                const unsigned lanes = sse2::lane_bits(sse2::equal(block, static_cast<char>(c)));
                for (int i = 0; i < 16; ++i)
                    ASSERT_EQ((lanes >> i & 1u) != 0, bytes[i] == static_cast<unsigned char>(c));
            }
        }
}

// Texts to scan: all 256 byte values, the marks of a scoring string, and
// runs of one byte with a different one at a single place.
std::vector<std::string> sample_texts() {
    std::vector<std::string> texts;
    std::string all;
    for (int round = 0; round < 2; ++round)
        for (int value = 0; value < 256; ++value)
            all += static_cast<char>(round == 0 ? value : (value * 97 + 13) & 0xFF);
    texts.push_back(all);
    std::string marks;
    for (int i = 0; i < 300; ++i) marks += "cX-"[(i * i + i / 7) % 3];
    texts.push_back(marks);
    // Long enough for a byte counter of each lane to be added up on the way.
    std::string long_marks(16 * 600 + 7, 'c');
    long_marks[5000] = 'X';
    texts.push_back(long_marks);
    for (int place : {0, 5, 15, 16, 31, 47, 70}) {
        for (char fill : {'-', 'c', ':'}) {
            std::string run(80, fill);
            run[static_cast<std::size_t>(place)] = fill == ':' ? 'Y' : ':';
            texts.push_back(run);
        }
    }
    return texts;
}

// Every scan in both forms from every alignment and for every length up to
// 80 bytes (so every length of the tail after the whole blocks), and for
// the whole text.
TEST(ByteScanTwins, ScansAgreeAtEveryAlignmentAndLength) {
    using Simd = ByteScans<ScanForm::sse2>;
    using Plain = ByteScans<ScanForm::plain>;
    const std::vector<std::string> texts = sample_texts();
    for (const std::string& text : texts) {
        for (std::size_t start = 0; start < 16; ++start) {
            const char* p = text.data() + start;
            const std::size_t longest = text.size() - start;
            std::vector<std::size_t> lengths;
            for (std::size_t n = 0; n <= 80 && n < longest; ++n) lengths.push_back(n);
            lengths.push_back(longest);
            for (std::size_t n : lengths) {
                for (char c : {'-', 'c', ':', '\0', static_cast<char>(0xC1)}) {
                    bool only_sse2 = false;
                    bool only_plain = false;
                    ASSERT_EQ(Simd::count_byte(p, n, c, 'X', '-', only_sse2),
                              Plain::count_byte(p, n, c, 'X', '-', only_plain));
                    ASSERT_EQ(only_sse2, only_plain);
                    ASSERT_EQ(Simd::all_bytes_are(p, n, c), Plain::all_bytes_are(p, n, c));
                    ASSERT_EQ(Simd::last_byte(p, n, c), Plain::last_byte(p, n, c));
                    // Against the text one byte further on: its classes
                    // differ wherever a byte and its neighbour do.
                    const std::size_t both = n - (n == longest);
                    ASSERT_EQ(Simd::first_class_difference(p, p + 1, both, c),
                              Plain::first_class_difference(p, p + 1, both, c));
                }
                for (const Range& r : RANGES)
                    ASSERT_EQ(Simd::highest_in_range(p, n, r.low, r.count),
                              Plain::highest_in_range(p, n, r.low, r.count))
                        << "start " << start << " length " << n;
            }
        }
    }
}
#endif

} // namespace
} // namespace quillmark
