// Escaping text for the syntax it is written into, by a table: what each
// byte is written as. The tables of the renderings (a pipe table's cell, an
// HTML cell, LaTeX's \text{...}) are data; the loop is this one.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace tessellox {

// What each byte is written as: a byte the table leaves out (every byte of
// a multi-byte character among them) stands as it is.
class CharacterEscapes {
 public:
  constexpr CharacterEscapes(std::initializer_list<std::pair<char, std::string_view>> escapes) noexcept {
    for (const auto& [c, written] : escapes) written_[static_cast<unsigned char>(c)] = written;
  }

  // What `c` is written as; empty when it stands as it is.
  constexpr std::string_view operator[](char c) const noexcept { return written_[static_cast<unsigned char>(c)]; }

 private:
  std::array<std::string_view, 256> written_{};
};

inline void append_escaped(std::string_view text, const CharacterEscapes& escapes, std::string& out) {
  for (const char c : text) {
    const std::string_view written = escapes[c];
    if (written.empty()) {
      out += c;
    } else {
      out += written;
    }
  }
}

// The same, where an entity reference that the text kept ("&name;") has a
// rule of its own: each '&' is handed to `reference(rest)`, `rest` being the
// text from that '&' on, which appends what it is written as and returns how
// many bytes of `rest` it took (at least the '&').
template <class Reference>
void append_escaped(std::string_view text, const CharacterEscapes& escapes, std::string& out, Reference&& reference) {
  while (!text.empty()) {
    const std::size_t ampersand = text.find('&');
    append_escaped(text.substr(0, ampersand), escapes, out);
    if (ampersand == std::string_view::npos) return;
    text.remove_prefix(ampersand);
    text.remove_prefix(reference(text));
  }
}

}  // namespace tessellox
