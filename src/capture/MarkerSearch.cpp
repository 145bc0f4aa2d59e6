#include "MarkerSearch.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define CORVANE_MARKER_SSE2 1
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define CORVANE_MARKER_AVX2 1
#endif
#endif

namespace {

const uchar *findByte(const uchar *begin, const uchar *end, char byte)
{
    const void *found = std::memchr(begin, static_cast<uchar>(byte), size_t(end - begin));
    return found ? static_cast<const uchar *>(found) : end;
}

const uchar *findScalar(const uchar *begin, const uchar *end, std::string_view marker)
{
    const qsizetype size = qsizetype(marker.size());
    const uchar *lastStart = end - size;
    for (const uchar *p = begin; p <= lastStart; ++p) {
        p = findByte(p, lastStart + 1, marker.front());
        if (p > lastStart) {
            break;
        }
        if (std::memcmp(p + 1, marker.data() + 1, size_t(size - 1)) == 0) {
            return p;
        }
    }
    return end;
}

#ifdef CORVANE_MARKER_AVX2
// The same filter on 32 start positions per block where the processor has AVX2; advances p past the
// positions it has ruled out.
__attribute__((target("avx2"))) const uchar *findAvx2(const uchar *&p, const uchar *end, std::string_view marker)
{
    const qsizetype size = qsizetype(marker.size());
    const __m256i first = _mm256_set1_epi8(marker.front());
    const __m256i last = _mm256_set1_epi8(marker.back());
    const auto candidatesAt = [&](const uchar *at) __attribute__((target("avx2")))
    {
        const __m256i head = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
        const __m256i tail = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at + size - 1));
        return _mm256_and_si256(_mm256_cmpeq_epi8(first, head), _mm256_cmpeq_epi8(last, tail));
    };
    for (; end - p >= 64 + size - 1; p += 64) {
        const __m256i low = candidatesAt(p);
        const __m256i high = candidatesAt(p + 32);
        if (_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high))) {
            continue;
        }
        const quint64 mask
            = quint64(unsigned(_mm256_movemask_epi8(low))) | quint64(unsigned(_mm256_movemask_epi8(high))) << 32;
        for (quint64 candidates = mask; candidates != 0; candidates &= candidates - 1) {
            const uchar *start = p + std::countr_zero(candidates);
            if (std::memcmp(start + 1, marker.data() + 1, size_t(size - 2)) == 0) {
                return start;
            }
        }
    }
    return nullptr;
}

bool hasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

} // namespace

const uchar *findMarker(const uchar *begin, const uchar *end, std::string_view marker)
{
    const qsizetype size = qsizetype(marker.size());
    if (size == 0 || end - begin < size) {
        return end;
    }
    if (size == 1) {
        return findByte(begin, end, marker.front());
    }
    const uchar *p = begin;
#ifdef CORVANE_MARKER_AVX2
    if (hasAvx2()) {
        if (const uchar *found = findAvx2(p, end, marker)) {
            return found;
        }
    }
#endif
#ifdef CORVANE_MARKER_SSE2
    const __m128i first = _mm_set1_epi8(marker.front());
    const __m128i last = _mm_set1_epi8(marker.back());
    // Lanes of start positions at .. at + 15 whose first and last bytes match; reads up to at + 15 + size - 1.
    const auto candidatesAt = [&](const uchar *at) {
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + size - 1));
        return _mm_and_si128(_mm_cmpeq_epi8(first, head), _mm_cmpeq_epi8(last, tail));
    };
    const auto verify = [&](const uchar *at, __m128i lanes) -> const uchar * {
        for (auto candidates = unsigned(_mm_movemask_epi8(lanes)); candidates != 0; candidates &= candidates - 1) {
            const uchar *start = at + std::countr_zero(candidates);
            if (std::memcmp(start + 1, marker.data() + 1, size_t(size - 2)) == 0) {
                return start;
            }
        }
        return nullptr;
    };
    // Four blocks per step keep the common case (no candidate at all) to one branch per 64 positions.
    for (; end - p >= 64 + size - 1; p += 64) {
        const __m128i lanes[4] = { candidatesAt(p), candidatesAt(p + 16), candidatesAt(p + 32), candidatesAt(p + 48) };
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(lanes[0], lanes[1]), _mm_or_si128(lanes[2], lanes[3]))) == 0) {
            continue;
        }
        for (int block = 0; block < 4; ++block) {
            if (const uchar *found = verify(p + 16 * block, lanes[block])) {
                return found;
            }
        }
    }
    for (; end - p >= 16 + size - 1; p += 16) {
        if (const uchar *found = verify(p, candidatesAt(p))) {
            return found;
        }
    }
#endif
    return findScalar(p, end, marker);
}
