#include "uprightscaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define KELVORA_X86_VECTORS 1
#endif

namespace {
// Where picture pixel i's centre falls among count source pixels: the first of the
// two sampled and the second one's share of 256.
std::pair<int, int> sample(int i, int count, int outCount)
{
    const double at = std::clamp((i + 0.5) * count / outCount - 0.5, 0.0, count - 1.0);
    const int first = int(at);
    return {first, int(std::lround((at - first) * 256))};
}

uchar mix(uchar a, uchar b, int weight)
{
    return uchar((a * (256 - weight) + b * weight + 128) >> 8);
}

// Each byte of (a * (256 - weight) + b * weight) / 256, rounded.
void mixRows(const uchar *a, const uchar *b, int count, int weight, uchar *out)
{
    int i = 0;
#ifdef KELVORA_X86_VECTORS
    const __m128i weightA = _mm_set1_epi16(qint16(256 - weight));
    const __m128i weightB = _mm_set1_epi16(qint16(weight));
    const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi16(128);
    const auto mixHalf = [&](__m128i pa, __m128i pb) {
        const __m128i sum =
            _mm_add_epi16(_mm_mullo_epi16(pa, weightA), _mm_mullo_epi16(pb, weightB));
        return _mm_srli_epi16(_mm_add_epi16(sum, half), 8);
    };
    for (; i + 16 <= count; i += 16) {
        const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
        const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
        const __m128i low = mixHalf(_mm_unpacklo_epi8(pa, zero), _mm_unpacklo_epi8(pb, zero));
        const __m128i high = mixHalf(_mm_unpackhi_epi8(pa, zero), _mm_unpackhi_epi8(pb, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packus_epi16(low, high));
    }
#endif
    for (; i < count; ++i)
        out[i] = mix(a[i], b[i], weight);
}

quint32 samplePixel(const uchar *row, const UprightScaler::Tap &tap)
{
    const uchar *left = row + tap.left;
    const int weight = tap.weights[4];
    return 0xff000000u | quint32(mix(left[2], left[5], weight)) << 16 |
           quint32(mix(left[1], left[4], weight)) << 8 | mix(left[0], left[3], weight);
}

void sampleRow(const uchar *row, const UprightScaler::Tap *taps, int count, quint32 *out)
{
    for (int x = 0; x < count; ++x)
        out[x] = samplePixel(row, taps[x]);
}

#ifdef KELVORA_X86_VECTORS
// The pair of BGR pixels a tap falls between, spread to 16 bits a channel by one
// shuffle and weighed.
__attribute__((target("ssse3"))) __m128i weighedPair(const uchar *row,
                                                     const UprightScaler::Tap &tap)
{
    const __m128i spread = _mm_setr_epi8(0, -1, 1, -1, 2, -1, -1, -1, 3, -1, 4, -1, 5, -1, -1, -1);
    const __m128i pair = _mm_shuffle_epi8(
        _mm_loadl_epi64(reinterpret_cast<const __m128i *>(row + tap.left)), spread);
    return _mm_mullo_epi16(pair,
                           _mm_loadu_si128(reinterpret_cast<const __m128i *>(tap.weights.data())));
}

// Two picture pixels a step.
__attribute__((target("ssse3"))) void
sampleRowSsse3(const uchar *row, const UprightScaler::Tap *taps, int count, quint32 *out)
{
    const __m128i half = _mm_set1_epi16(128), opaque = _mm_set1_epi32(int(0xff000000u));
    int x = 0;
    for (; x + 2 <= count; x += 2) {
        const __m128i first = weighedPair(row, taps[x]), second = weighedPair(row, taps[x + 1]);
        const __m128i sum =
            _mm_add_epi16(_mm_unpacklo_epi64(first, second), _mm_unpackhi_epi64(first, second));
        const __m128i mixed = _mm_srli_epi16(_mm_add_epi16(sum, half), 8);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + x),
                         _mm_or_si128(_mm_packus_epi16(mixed, mixed), opaque));
    }
    if (x < count)
        out[x] = samplePixel(row, taps[x]);
}
#endif

using SampleRow = void (*)(const uchar *, const UprightScaler::Tap *, int, quint32 *);
SampleRow fastestSampleRow()
{
#ifdef KELVORA_X86_VECTORS
    if (__builtin_cpu_supports("ssse3"))
        return sampleRowSsse3;
#endif
    return sampleRow;
}
} // namespace

void UprightScaler::prepare(int width, int outWidth)
{
    if (m_width == width && int(m_taps.size()) == outWidth)
        return;
    m_width = width;
    m_taps.resize(outWidth);
    for (int x = 0; x < outWidth; ++x) {
        const auto [left, weight] = sample(x, width, outWidth);
        Tap &tap = m_taps[x];
        tap.left = left * 3;
        std::fill(tap.weights.begin(), tap.weights.begin() + 4, qint16(256 - weight));
        std::fill(tap.weights.begin() + 4, tap.weights.end(), qint16(weight));
    }
    // Two pixels are read from the left one on, eight bytes at a time.
    m_row.assign(qsizetype(width) * 3 + 8, 0);
}

void UprightScaler::scale(const uchar *rows, int width, int height, QImage &picture)
{
    static const SampleRow sampleRowFast = fastestSampleRow();
    const int outWidth = picture.width(), outHeight = picture.height();
    const qsizetype stride = qsizetype(width) * 3;
    prepare(width, outWidth);
    for (int y = 0; y < outHeight; ++y) {
        const auto [top, weight] = sample(y, height, outHeight);
        const uchar *upper = rows + (height - 1 - top) * stride;
        const uchar *lower = rows + (height - 1 - std::min(top + 1, height - 1)) * stride;
        mixRows(upper, lower, int(stride), weight, m_row.data());
        std::memcpy(m_row.data() + stride, m_row.data() + stride - 3, 3);
        sampleRowFast(m_row.data(), m_taps.data(), outWidth,
                      reinterpret_cast<quint32 *>(picture.scanLine(y)));
    }
}
