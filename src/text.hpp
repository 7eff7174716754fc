// Small text helpers shared by every subsystem. White space is the Unicode
// White_Space property; texts are UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessellox {

bool is_unicode_white_space(char32_t code_point) noexcept;

// True for the bytes that continue a UTF-8 sequence (10xxxxxx).
constexpr bool is_utf8_continuation(char byte) noexcept { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// Length in bytes of the white-space character that starts (or ends) `text`,
// or 0 when it does not start (end) with one.
std::size_t leading_white_space_length(std::string_view text) noexcept;
std::size_t trailing_white_space_length(std::string_view text) noexcept;

std::string_view trim(std::string_view text) noexcept;
// Whether every character of `text` is Unicode white space (true when empty).
bool is_white_space_only(std::string_view text) noexcept;
std::string_view trim_start(std::string_view text) noexcept;
std::string_view trim_end(std::string_view text) noexcept;

// True when every byte is an ASCII digit (true for the empty text).
bool is_ascii_digits(std::string_view text) noexcept;

// Splits at runs of white space and joins the words with one space.
std::string collapse_white_space(std::string_view text);

// Removes every string equal to an earlier one, keeping the order of first
// occurrences. Linear in the list's length, however many entries it holds.
void remove_repeated_strings(std::vector<std::string>& values);

// Writes the UTF-8 form of `code_points` at `out`, which must have room for
// four bytes per code point, and returns the number of bytes written; or
// returns nothing when a surrogate (U+D800 to U+DFFF) or a value above
// U+10FFFF occurs, neither of which UTF-8 can carry.
std::optional<std::size_t> encode_utf8(std::span<const std::uint32_t> code_points, char* out) noexcept;

}  // namespace tessellox
