#include "text.hpp"

#include <algorithm>
#include <unordered_set>

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

namespace {

// Decodes the well-formed UTF-8 sequence of `length` bytes at `p`.
char32_t decode(const unsigned char* p, std::size_t length) noexcept {
  switch (length) {
    case 1: return p[0];
    case 2: return (char32_t(p[0] & 0x1F) << 6) | (p[1] & 0x3F);
    case 3: return (char32_t(p[0] & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
    default: return 0;
  }
}

}  // namespace

std::size_t leading_white_space_length(std::string_view text) noexcept {
  if (text.empty()) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t length = 0;
  if (p[0] < 0x80)
    length = 1;
  else if ((p[0] & 0xE0) == 0xC0)
    length = 2;
  else if ((p[0] & 0xF0) == 0xE0)
    length = 3;
  else
    return 0;  // no white space lies outside the first three UTF-8 lengths
  if (length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i)
    if (!is_utf8_continuation(text[i])) return 0;
  return is_unicode_white_space(decode(p, length)) ? length : 0;
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
    if (pending_space) {
      out.push_back(' ');
      pending_space = false;
    }
    out.push_back(text[i++]);
  }
  return out;
}

void remove_repeated_strings(std::vector<std::string>& values) {
  constexpr std::size_t kScanLimit = 16;  // below this, comparing is cheaper than hashing
  std::vector<bool> keep(values.size(), true);
  if (values.size() <= kScanLimit) {
    for (std::size_t i = 1; i < values.size(); ++i)
      keep[i] = std::find(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(i), values[i]) ==
                values.begin() + static_cast<std::ptrdiff_t>(i);
  } else {
    std::unordered_set<std::string_view> seen;
    seen.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) keep[i] = seen.insert(values[i]).second;
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < values.size(); ++i)
    if (keep[i]) {
      if (kept != i) values[kept] = std::move(values[i]);
      ++kept;
    }
  values.resize(kept);
}

std::optional<std::size_t> encode_utf8(std::span<const std::uint32_t> code_points, char* out) noexcept {
  char* const start = out;
  const std::uint32_t* c = code_points.data();
  const std::uint32_t* const end = c + code_points.size();
  while (c != end) {
    // Runs of ASCII, the bulk of patent text, four at a time.
    while (end - c >= 4 && (c[0] | c[1] | c[2] | c[3]) < 0x80) {
      out[0] = static_cast<char>(c[0]);
      out[1] = static_cast<char>(c[1]);
      out[2] = static_cast<char>(c[2]);
      out[3] = static_cast<char>(c[3]);
      out += 4;
      c += 4;
    }
    if (c == end) break;
    const std::uint32_t code_point = *c++;
    if (code_point < 0x80) {
      *out++ = static_cast<char>(code_point);
    } else if (code_point < 0x800) {
      *out++ = static_cast<char>(0xC0 | (code_point >> 6));
      *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
      if (code_point >= 0xD800 && code_point <= 0xDFFF) return std::nullopt;
      *out++ = static_cast<char>(0xE0 | (code_point >> 12));
      *out++ = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point <= 0x10FFFF) {
      *out++ = static_cast<char>(0xF0 | (code_point >> 18));
      *out++ = static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
      *out++ = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
      return std::nullopt;
    }
  }
  return static_cast<std::size_t>(out - start);
}

}  // namespace tessellox
