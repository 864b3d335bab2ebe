#include "platform/byte_scan.h"

namespace quillmark {

// Each scan: with SSE2, whole blocks of sixteen first; then, in both forms,
// byte by byte to the end.

template <ScanForm form>
std::size_t ByteScans<form>::count_byte(const char* p, std::size_t n, char counted, char other,
                                        char another, bool& only_these) {
    std::size_t i = 0;
    std::size_t count = 0;
    bool known = true;
#if QUILLMARK_SSE2
    if constexpr (form == ScanForm::sse2)
        for (; i + 16 <= n; i += 16) {
            const __m128i bytes = sse2::load(p + i);
            const __m128i hits = sse2::equal(bytes, counted);
            const __m128i any = _mm_or_si128(_mm_or_si128(hits, sse2::equal(bytes, other)),
                                             sse2::equal(bytes, another));
            known = known && sse2::lane_bits(any) == 0xFFFFu;
            count += static_cast<std::size_t>(__builtin_popcount(sse2::lane_bits(hits)));
        }
#endif
    for (; i < n; ++i) {
        count += p[i] == counted;
        known = known && (p[i] == counted || p[i] == other || p[i] == another);
    }
    only_these = known;
    return count;
}

template <ScanForm form>
bool ByteScans<form>::all_bytes_are(const char* p, std::size_t n, char c) {
    std::size_t i = 0;
#if QUILLMARK_SSE2
    if constexpr (form == ScanForm::sse2)
        for (; i + 16 <= n; i += 16)
            if (sse2::lane_bits(sse2::equal(sse2::load(p + i), c)) != 0xFFFFu) return false;
#endif
    for (; i < n; ++i)
        if (p[i] != c) return false;
    return true;
}

template <ScanForm form>
std::size_t ByteScans<form>::last_byte(const char* p, std::size_t n, char c) {
    // From the end: blocks of sixteen, then the bytes before them.
    std::size_t end = n;
#if QUILLMARK_SSE2
    if constexpr (form == ScanForm::sse2)
        for (; end >= 16; end -= 16) {
            const unsigned hits = sse2::lane_bits(sse2::equal(sse2::load(p + end - 16), c));
            if (hits != 0) return end - 16 + static_cast<std::size_t>(31 - __builtin_clz(hits));
        }
#endif
    for (; end > 0; --end)
        if (p[end - 1] == c) return end - 1;
    return n;
}

template <ScanForm form>
std::size_t ByteScans<form>::first_class_difference(const char* a, const char* b, std::size_t n,
                                                    char c) {
    std::size_t i = 0;
#if QUILLMARK_SSE2
    if constexpr (form == ScanForm::sse2)
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

template <ScanForm form>
unsigned char ByteScans<form>::highest_in_range(const char* p, std::size_t n, unsigned char low,
                                                unsigned char count) {
    std::size_t i = 0;
    unsigned char highest = 0;
#if QUILLMARK_SSE2
    if constexpr (form == ScanForm::sse2) {
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

template struct ByteScans<ScanForm::plain>;
#if QUILLMARK_SSE2
template struct ByteScans<ScanForm::sse2>;
#endif

} // namespace quillmark
