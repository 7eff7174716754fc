// UTF-8: validating, decoding and encoding. Validation is strict and accepts
// exactly what Python's "utf-8" codec accepts: no overlong forms, no
// surrogates, nothing above U+10FFFF. ASCII, the bulk of patent text, is
// passed over many bytes at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessellox {

// True for the bytes that continue a UTF-8 sequence (10xxxxxx).
constexpr bool is_utf8_continuation(char byte) noexcept { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }
constexpr bool is_utf8_continuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// The length of the well-formed sequence that starts with the non-ASCII
// byte at `at`, or 0 when it is not one.
inline std::size_t utf8_sequence_length(const unsigned char* at, const unsigned char* end) noexcept {
  const auto left = static_cast<std::size_t>(end - at);
  const unsigned char lead = at[0];
  if (lead >= 0xC2 && lead <= 0xDF) return left >= 2 && is_utf8_continuation(at[1]) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (left < 3 || !is_utf8_continuation(at[1]) || !is_utf8_continuation(at[2])) return 0;
    if (lead == 0xE0 && at[1] < 0xA0) return 0;   // overlong
    if (lead == 0xED && at[1] >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (left < 4 || !is_utf8_continuation(at[1]) || !is_utf8_continuation(at[2]) || !is_utf8_continuation(at[3]))
      return 0;
    if (lead == 0xF0 && at[1] < 0x90) return 0;   // overlong
    if (lead == 0xF4 && at[1] >= 0x90) return 0;  // beyond U+10FFFF
    return 4;
  }
  return 0;
}

namespace utf8_detail {

inline std::uint64_t load_word(const unsigned char* at) noexcept {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

}  // namespace utf8_detail

inline bool is_valid_utf8(std::string_view text) noexcept {
  using utf8_detail::kHighBits;
  using utf8_detail::load_word;
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

// The code point of the well-formed sequence of `length` (1 to 4) bytes at `at`.
constexpr char32_t decode_utf8(const unsigned char* at, std::size_t length) noexcept {
  switch (length) {
    case 1: return at[0];
    case 2: return (char32_t(at[0] & 0x1F) << 6) | (at[1] & 0x3F);
    case 3: return (char32_t(at[0] & 0x0F) << 12) | (char32_t(at[1] & 0x3F) << 6) | (at[2] & 0x3F);
    default:
      return (char32_t(at[0] & 0x07) << 18) | (char32_t(at[1] & 0x3F) << 12) | (char32_t(at[2] & 0x3F) << 6) |
             (at[3] & 0x3F);
  }
}

// Writes the UTF-8 form of a code point up to U+10FFFF at `out`, which has
// room for four bytes, and returns its length. Surrogates are written as
// they come: the callers either never pass one or reject them first.
constexpr std::size_t encode_utf8(char32_t code_point, char* out) noexcept {
  if (code_point < 0x80) {
    out[0] = static_cast<char>(code_point);
    return 1;
  }
  if (code_point < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code_point >> 6));
    out[1] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 2;
  }
  if (code_point < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (code_point >> 12));
    out[1] = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (code_point >> 18));
  out[1] = static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (code_point & 0x3F));
  return 4;
}

inline void append_utf8(std::string& out, char32_t code_point) {
  char bytes[4];
  out.append(bytes, encode_utf8(code_point, bytes));
}

// Writes the UTF-8 form of `code_points` at `out`, which must have room for
// four bytes per code point, and returns the number of bytes written; or
// returns nothing when a surrogate (U+D800 to U+DFFF) or a value above
// U+10FFFF occurs, neither of which UTF-8 can carry.
std::optional<std::size_t> encode_utf8(std::span<const std::uint32_t> code_points, char* out) noexcept;

}  // namespace tessellox
