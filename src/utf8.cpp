#include "utf8.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessellox {

std::optional<std::size_t> encode_utf8(std::span<const std::uint32_t> code_points, char* out) noexcept {
  char* const start = out;
  const std::uint32_t* c = code_points.data();
  const std::uint32_t* const end = c + code_points.size();
  while (c != end) {
    // Runs of ASCII, the bulk of patent text: sixteen at a time, narrowed
    // to bytes by two packs, then four at a time.
#if defined(__SSE2__)
    const __m128i non_ascii = _mm_set1_epi32(~0x7F);
    while (end - c >= 16) {
      const auto* block = reinterpret_cast<const __m128i*>(c);
      const __m128i first = _mm_loadu_si128(block);
      const __m128i second = _mm_loadu_si128(block + 1);
      const __m128i third = _mm_loadu_si128(block + 2);
      const __m128i fourth = _mm_loadu_si128(block + 3);
      const __m128i high =
          _mm_and_si128(_mm_or_si128(_mm_or_si128(first, second), _mm_or_si128(third, fourth)), non_ascii);
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(high, _mm_setzero_si128())) != 0xFFFF) break;
      // Every lane is below 0x80, so neither pack saturates.
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                       _mm_packus_epi16(_mm_packs_epi32(first, second), _mm_packs_epi32(third, fourth)));
      out += 16;
      c += 16;
    }
#endif
    while (end - c >= 4 && (c[0] | c[1] | c[2] | c[3]) < 0x80) {
      out[0] = static_cast<char>(c[0]);
      out[1] = static_cast<char>(c[1]);
      out[2] = static_cast<char>(c[2]);
      out[3] = static_cast<char>(c[3]);
      out += 4;
      c += 4;
    }
    if (c == end) break;
    const char32_t code_point = *c++;
    if ((code_point >= 0xD800 && code_point <= 0xDFFF) || code_point > 0x10FFFF) return std::nullopt;
    out += encode_utf8(code_point, out);
  }
  return static_cast<std::size_t>(out - start);
}

}  // namespace tessellox
