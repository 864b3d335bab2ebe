// Byte classifiers of the hot loops, each in two forms that give the same
// answers: sixteen bytes at a time with SSE2, and a plain loop that every
// machine runs. The SSE2 forms are built where the compiler targets SSE2
// and QUILLMARK_SIMD is not 0 (the CMake option of that name); without
// them every caller runs the plain forms alone. The plain forms are always
// built, so that a test can run both on the same bytes.
#pragma once

#include <cstddef>

#if defined(__SSE2__) && (!defined(QUILLMARK_SIMD) || QUILLMARK_SIMD)
#define QUILLMARK_SSE2 1
#include <emmintrin.h>
#else
#define QUILLMARK_SSE2 0
#endif

namespace quillmark {

// True when byte c is one of the `count` values from `low` on (count 1 to
// 255; values do not wrap past 255).
constexpr bool byte_in_range(unsigned char c, unsigned char low, unsigned char count) {
    return c >= low && c - low < count;
}

#if QUILLMARK_SSE2
// Sixteen bytes at a time. A lane mask has all bits set in the bytes that
// pass a test and none in the others.
namespace sse2 {

inline __m128i load(const void* bytes) {
    return _mm_loadu_si128(static_cast<const __m128i*>(bytes));
}

inline void store(void* bytes, __m128i value) {
    _mm_storeu_si128(static_cast<__m128i*>(bytes), value);
}

// The lanes whose byte passes byte_in_range(byte, low, count); count from 1
// to 256 - low.
inline __m128i in_range(__m128i bytes, unsigned char low, unsigned char count) {
    const __m128i from_low = _mm_sub_epi8(bytes, _mm_set1_epi8(static_cast<char>(low)));
    const __m128i last = _mm_set1_epi8(static_cast<char>(count - 1));
    return _mm_cmpeq_epi8(_mm_min_epu8(from_low, last), from_low);
}

// The lanes whose byte is c.
inline __m128i equal(__m128i bytes, char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); }

// Bit i set when lane i of a lane mask is set.
inline unsigned lane_bits(__m128i lanes) { return static_cast<unsigned>(_mm_movemask_epi8(lanes)); }

// The sum of the sixteen bytes, each taken as unsigned.
inline int byte_sum(__m128i bytes) {
    const __m128i sums = _mm_sad_epu8(bytes, _mm_setzero_si128());
    return _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
}

} // namespace sse2
#endif

// Scans of a run of bytes, in both forms: ByteScans<ScanForm::sse2> (where
// it is built) runs whole blocks of sixteen and leaves the bytes after them
// to the loop that is all of ByteScans<ScanForm::plain>. `scan` is the form
// this build runs. They are defined here, so that a caller's constant bytes
// and ranges reach the loops.
enum class ScanForm { plain, sse2 };

template <ScanForm form> struct ByteScans {
    static constexpr bool blocks = QUILLMARK_SSE2 && form == ScanForm::sse2;

    // The number of bytes of p[0, n) equal to `counted`; `only_these` tells
    // whether every byte is `counted`, `other` or `another`.
    static std::size_t count_byte(const char* p, std::size_t n, char counted, char other,
                                  char another, bool& only_these) {
        std::size_t i = 0;
        std::size_t count = 0;
        bool known = true;
#if QUILLMARK_SSE2
        if constexpr (blocks) {
            // Each lane counts its hits in a byte, added up before it can
            // overflow.
            __m128i lanes = _mm_setzero_si128();
            int in_lanes = 0;
            for (; i + 16 <= n; i += 16) {
                const __m128i bytes = sse2::load(p + i);
                const __m128i hits = sse2::equal(bytes, counted);
                const __m128i any = _mm_or_si128(_mm_or_si128(hits, sse2::equal(bytes, other)),
                                                 sse2::equal(bytes, another));
                known = known && sse2::lane_bits(any) == 0xFFFFu;
                lanes = _mm_sub_epi8(lanes, hits);
                if (++in_lanes == 255) {
                    count += static_cast<std::size_t>(sse2::byte_sum(lanes));
                    lanes = _mm_setzero_si128();
                    in_lanes = 0;
                }
            }
            count += static_cast<std::size_t>(sse2::byte_sum(lanes));
        }
#endif
        for (; i < n; ++i) {
            count += p[i] == counted;
            known = known && (p[i] == counted || p[i] == other || p[i] == another);
        }
        only_these = known;
        return count;
    }

    // True when every byte of p[0, n) is c (so for n = 0).
    static bool all_bytes_are(const char* p, std::size_t n, char c) {
        std::size_t i = 0;
#if QUILLMARK_SSE2
        if constexpr (blocks)
            for (; i + 16 <= n; i += 16)
                if (sse2::lane_bits(sse2::equal(sse2::load(p + i), c)) != 0xFFFFu) return false;
#endif
        for (; i < n; ++i)
            if (p[i] != c) return false;
        return true;
    }

    // The position of the last byte c in p[0, n); n when there is none.
    static std::size_t last_byte(const char* p, std::size_t n, char c) {
        // From the end: blocks of sixteen, then the bytes before them.
        std::size_t end = n;
#if QUILLMARK_SSE2
        if constexpr (blocks)
            for (; end >= 16; end -= 16) {
                const unsigned hits = sse2::lane_bits(sse2::equal(sse2::load(p + end - 16), c));
                if (hits != 0) return end - 16 + static_cast<std::size_t>(31 - __builtin_clz(hits));
            }
#endif
        for (; end > 0; --end)
            if (p[end - 1] == c) return end - 1;
        return n;
    }

    // The first position i below n where a[i] is c and b[i] is not, or the
    // other way round; n when there is none.
    static std::size_t first_class_difference(const char* a, const char* b, std::size_t n, char c) {
        std::size_t i = 0;
#if QUILLMARK_SSE2
        if constexpr (blocks)
            for (; i + 16 <= n; i += 16) {
                const unsigned differ = sse2::lane_bits(sse2::equal(sse2::load(a + i), c)) ^
                                        sse2::lane_bits(sse2::equal(sse2::load(b + i), c));
                if (differ != 0) return i + static_cast<std::size_t>(__builtin_ctz(differ));
            }
#endif
        for (; i < n; ++i)
            if ((a[i] == c) != (b[i] == c)) return i;
        return n;
    }

    // The highest byte of p[0, n) that passes byte_in_range(byte, low,
    // count), low at least 1; 0 when none does.
    static unsigned char highest_in_range(const char* p, std::size_t n, unsigned char low,
                                          unsigned char count) {
        std::size_t i = 0;
        unsigned char highest = 0;
#if QUILLMARK_SSE2
        if constexpr (blocks) {
            __m128i most = _mm_setzero_si128();
            for (; i + 16 <= n; i += 16) {
                const __m128i bytes = sse2::load(p + i);
                most = _mm_max_epu8(most, _mm_and_si128(bytes, sse2::in_range(bytes, low, count)));
            }
            most = _mm_max_epu8(most, _mm_srli_si128(most, 8));
            most = _mm_max_epu8(most, _mm_srli_si128(most, 4));
            most = _mm_max_epu8(most, _mm_srli_si128(most, 2));
            most = _mm_max_epu8(most, _mm_srli_si128(most, 1));
            highest = static_cast<unsigned char>(_mm_cvtsi128_si32(most) & 0xFF);
        }
#endif
        for (; i < n; ++i) {
            const auto byte = static_cast<unsigned char>(p[i]);
            if (byte_in_range(byte, low, count) && byte > highest) highest = byte;
        }
        return highest;
    }
};

#if QUILLMARK_SSE2
using scan = ByteScans<ScanForm::sse2>;
#else
using scan = ByteScans<ScanForm::plain>;
#endif

} // namespace quillmark
