#include "source/xml/parse_tree.hpp"

#include <optional>
#include <utility>

#include "source/xml/expat_tree.hpp"
#include "source/xml/scanner.hpp"

namespace tessellox::xml {

Result<Tree, ParseError> parse_tree(std::string_view text, HollowNames hollow) {
  if (std::optional<Tree> scanned = scan_tree(text, hollow)) return std::move(*scanned);
  return parse_tree_with_expat(text);
}

Result<Tree, ParseError> parse_tree_in_place(std::span<char> text, HollowNames hollow) {
  if (std::optional<Tree> scanned = scan_tree_in_place(text, hollow)) return std::move(*scanned);
  return parse_tree_with_expat(std::string_view(text.data(), text.size()));
}

}  // namespace tessellox::xml
