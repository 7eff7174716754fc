// Strict UTF-8 checks, accepting exactly what Python's "utf-8" codec
// accepts: no overlong forms, no surrogates, nothing above U+10FFFF. ASCII,
// the bulk of patent text, is passed over eight bytes at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessellox::python {

inline std::uint64_t load_word(const unsigned char* at) noexcept {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// The length of the well-formed sequence that starts with the non-ASCII
// byte at `at`, or 0 when it is not one.
inline std::size_t utf8_sequence_length(const unsigned char* at, const unsigned char* end) noexcept {
  const unsigned char lead = at[0];
  const std::size_t left = static_cast<std::size_t>(end - at);
  auto continuation = [](unsigned char byte) { return (byte & 0xC0) == 0x80; };
  if (lead >= 0xC2 && lead <= 0xDF) return left >= 2 && continuation(at[1]) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (left < 3 || !continuation(at[2])) return 0;
    const unsigned char second = at[1];
    const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;   // overlong below
    const unsigned char high = lead == 0xED ? 0x9F : 0xBF;  // surrogates above
    return second >= low && second <= high ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (left < 4 || !continuation(at[2]) || !continuation(at[3])) return 0;
    const unsigned char second = at[1];
    const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;   // overlong below
    const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;  // beyond U+10FFFF above
    return second >= low && second <= high ? 4 : 0;
  }
  return 0;
}

inline bool is_valid_utf8(std::string_view text) noexcept {
  const auto* at = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = at + text.size();
  while (at < end) {
#if defined(__SSE2__)
    while (end - at >= 64) {
      const auto* block = reinterpret_cast<const __m128i*>(at);
      const __m128i bytes = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(block), _mm_loadu_si128(block + 1)),
                                         _mm_or_si128(_mm_loadu_si128(block + 2), _mm_loadu_si128(block + 3)));
      if (_mm_movemask_epi8(bytes) != 0) break;
      at += 64;
    }
#endif
    while (end - at >= 32 &&
           ((load_word(at) | load_word(at + 8) | load_word(at + 16) | load_word(at + 24)) & kHighBits) == 0)
      at += 32;
    while (end - at >= 8 && (load_word(at) & kHighBits) == 0) at += 8;
    if (at == end) break;
    if (*at < 0x80) {
      ++at;
      continue;
    }
    const std::size_t length = utf8_sequence_length(at, end);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

}  // namespace tessellox::python
