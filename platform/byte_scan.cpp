#include "platform/byte_scan.h"

namespace quillmark {

namespace plain {

std::size_t count_byte(const char* p, std::size_t n, char counted, char other, char another,
                       bool& only_these) {
    std::size_t count = 0;
    bool known = true;
    for (std::size_t i = 0; i < n; ++i) {
        count += p[i] == counted;
        known = known && (p[i] == counted || p[i] == other || p[i] == another);
    }
    only_these = known;
    return count;
}

bool all_bytes_are(const char* p, std::size_t n, char c) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != c) return false;
    return true;
}

std::size_t last_byte(const char* p, std::size_t n, char c) {
    for (std::size_t end = n; end > 0; --end)
        if (p[end - 1] == c) return end - 1;
    return n;
}

std::size_t first_class_difference(const char* a, const char* b, std::size_t n, char c) {
    for (std::size_t i = 0; i < n; ++i)
        if ((a[i] == c) != (b[i] == c)) return i;
    return n;
}

unsigned char highest_in_range(const char* p, std::size_t n, unsigned char low,
                               unsigned char count) {
    unsigned char highest = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto byte = static_cast<unsigned char>(p[i]);
        if (byte_in_range(byte, low, count) && byte > highest) highest = byte;
    }
    return highest;
}

} // namespace plain

#if QUILLMARK_SSE2
// Whole blocks of sixteen; the bytes after the last whole block go to the
// plain form.
namespace sse2 {

std::size_t count_byte(const char* p, std::size_t n, char counted, char other, char another,
                       bool& only_these) {
    std::size_t i = 0;
    std::size_t count = 0;
    bool known = true;
    for (; i + 16 <= n; i += 16) {
        const __m128i bytes = load(p + i);
        const __m128i hits = equal(bytes, counted);
        known = known && lane_bits(_mm_or_si128(_mm_or_si128(hits, equal(bytes, other)),
                                                equal(bytes, another))) == 0xFFFFu;
        count += static_cast<std::size_t>(__builtin_popcount(lane_bits(hits)));
    }
    bool known_tail = true;
    count += plain::count_byte(p + i, n - i, counted, other, another, known_tail);
    only_these = known && known_tail;
    return count;
}

bool all_bytes_are(const char* p, std::size_t n, char c) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16)
        if (lane_bits(equal(load(p + i), c)) != 0xFFFFu) return false;
    return plain::all_bytes_are(p + i, n - i, c);
}

std::size_t last_byte(const char* p, std::size_t n, char c) {
    std::size_t end = n;
    for (; end >= 16; end -= 16) {
        const unsigned hits = lane_bits(equal(load(p + end - 16), c));
        if (hits != 0) return end - 16 + static_cast<std::size_t>(31 - __builtin_clz(hits));
    }
    const std::size_t found = plain::last_byte(p, end, c);
    return found < end ? found : n;
}

std::size_t first_class_difference(const char* a, const char* b, std::size_t n, char c) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const unsigned differ = lane_bits(equal(load(a + i), c)) ^ lane_bits(equal(load(b + i), c));
        if (differ != 0) return i + static_cast<std::size_t>(__builtin_ctz(differ));
    }
    return i + plain::first_class_difference(a + i, b + i, n - i, c);
}

unsigned char highest_in_range(const char* p, std::size_t n, unsigned char low,
                               unsigned char count) {
    std::size_t i = 0;
    __m128i most = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i bytes = load(p + i);
        most = _mm_max_epu8(most, _mm_and_si128(bytes, in_range(bytes, low, count)));
    }
    most = _mm_max_epu8(most, _mm_srli_si128(most, 8));
    most = _mm_max_epu8(most, _mm_srli_si128(most, 4));
    most = _mm_max_epu8(most, _mm_srli_si128(most, 2));
    most = _mm_max_epu8(most, _mm_srli_si128(most, 1));
    const auto highest = static_cast<unsigned char>(_mm_cvtsi128_si32(most) & 0xFF);
    const unsigned char tail = plain::highest_in_range(p + i, n - i, low, count);
    return tail > highest ? tail : highest;
}

} // namespace sse2
#endif

} // namespace quillmark
