#include "utf8.hpp"

namespace tessellox {

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
    const char32_t code_point = *c++;
    if ((code_point >= 0xD800 && code_point <= 0xDFFF) || code_point > 0x10FFFF) return std::nullopt;
    out += encode_utf8(code_point, out);
  }
  return static_cast<std::size_t>(out - start);
}

}  // namespace tessellox
