// Small text helpers shared by every subsystem. White space is the Unicode
// White_Space property; texts are UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "utf8.hpp"

namespace tessellox {

bool is_unicode_white_space(char32_t code_point) noexcept;

// Length in bytes of the white-space character that starts (or ends) `text`,
// or 0 when it does not start (end) with one.
std::size_t leading_white_space_length(std::string_view text) noexcept;
std::size_t trailing_white_space_length(std::string_view text) noexcept;

std::string_view trim(std::string_view text) noexcept;
// The text trimmed; absent when nothing is left.
std::optional<std::string_view> trimmed_value(std::string_view text) noexcept;
// Whether every character of `text` is Unicode white space (true when empty).
bool is_white_space_only(std::string_view text) noexcept;
std::string_view trim_start(std::string_view text) noexcept;
std::string_view trim_end(std::string_view text) noexcept;

// The count that one to nine ASCII digits write; absent for anything else.
std::optional<std::uint32_t> decimal_count(std::string_view digits) noexcept;

// True when every byte is an ASCII digit (true for the empty text).
bool is_ascii_digits(std::string_view text) noexcept;

// Splits at runs of white space and joins the words with one space.
std::string collapse_white_space(std::string_view text);

}  // namespace tessellox
