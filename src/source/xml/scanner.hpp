// The fast path of the XML front end: one pass over the UTF-8 text that
// checks well-formedness and writes the tree directly, with string data as
// views into the text wherever it needs no decoding.
#pragma once

#include <optional>
#include <string_view>

#include "source/xml/tree.hpp"

namespace tessellox::xml {

// The tree of `text`, equal to the one expat builds, or nothing when the
// scanner declines: the text is not well formed, reaches a limit of the
// front end, or uses what only expat handles (a DTD beyond plain-text and
// unparsed entity declarations, other encodings, XML 1.1, ...). Declining
// leaves the verdict and its message to expat.
std::optional<Tree> scan_tree(std::string_view text);

}  // namespace tessellox::xml
