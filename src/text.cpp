#include "text.hpp"

namespace tessellox {

bool is_unicode_white_space(char32_t c) noexcept {
  if (c <= 0x20) return c == 0x20 || (c >= 0x09 && c <= 0x0D);
  if (c < 0x85) return false;
  switch (c) {
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000: return true;
    default: return c >= 0x2000 && c <= 0x200A;
  }
}

std::size_t leading_white_space_length(std::string_view text) noexcept {
  if (text.empty()) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  if (p[0] < 0x80) return is_unicode_white_space(p[0]) ? 1 : 0;
  const std::size_t length = utf8_sequence_length(p, p + text.size());
  // No white space lies beyond the first three UTF-8 lengths.
  return length != 0 && length < 4 && is_unicode_white_space(decode_utf8(p, length)) ? length : 0;
}

std::size_t trailing_white_space_length(std::string_view text) noexcept {
  if (text.empty()) return 0;
  const auto* end = reinterpret_cast<const unsigned char*>(text.data()) + text.size();
  if (end[-1] < 0x80) return is_unicode_white_space(end[-1]) ? 1 : 0;
  std::size_t length = 1;
  while (length < 3 && length < text.size() && is_utf8_continuation(text[text.size() - length])) ++length;
  return leading_white_space_length(text.substr(text.size() - length)) == length ? length : 0;
}

// Most text starts with a letter, so the first byte usually decides; the
// indentation between elements is ASCII, read a byte at a time. Only from
// a byte beyond ASCII on is the text decoded for Unicode's spaces.
bool is_white_space_only(std::string_view text) noexcept {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x80) return trim_start(text.substr(i)).empty();
    if (byte != ' ' && (byte < '\t' || byte > '\r')) return false;
  }
  return true;
}

std::string_view trim_start(std::string_view text) noexcept {
  while (std::size_t n = leading_white_space_length(text)) text.remove_prefix(n);
  return text;
}

std::string_view trim_end(std::string_view text) noexcept {
  while (std::size_t n = trailing_white_space_length(text)) text.remove_suffix(n);
  return text;
}

std::string_view trim(std::string_view text) noexcept { return trim_end(trim_start(text)); }

std::optional<std::string_view> trimmed_value(std::string_view text) noexcept {
  text = trim(text);
  if (text.empty()) return std::nullopt;
  return text;
}

std::optional<std::uint32_t> decimal_count(std::string_view digits) noexcept {
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  std::uint32_t count = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    count = count * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return count;
}

bool is_ascii_digits(std::string_view text) noexcept {
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string collapse_white_space(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool pending_space = false;
  std::size_t i = 0;
  while (i < text.size()) {
    if (std::size_t n = leading_white_space_length(text.substr(i))) {
      pending_space = !out.empty();
      i += n;
      continue;
    }
    // A word is copied whole: it runs to the next byte that may start white
    // space, an ASCII space or control or any byte beyond ASCII.
    std::size_t end = i + 1;
    while (end < text.size()) {
      const auto byte = static_cast<unsigned char>(text[end]);
      if (byte <= ' ' || byte >= 0x80) break;
      ++end;
    }
    if (pending_space) {
      out.push_back(' ');
      pending_space = false;
    }
    out.append(text.data() + i, end - i);
    i = end;
  }
  return out;
}

}  // namespace tessellox
