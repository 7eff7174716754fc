// The fast path of the XML front end: one pass over the UTF-8 text that
// checks well-formedness and writes the tree directly, with string data as
// views into the text wherever it needs no decoding.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "source/xml/tree.hpp"

namespace tessellox::xml {

// The tree of `text`, equal to the one expat builds, or nothing when the
// scanner declines: the text is not well formed, reaches a limit of the
// front end, or uses what only expat handles (a DTD beyond plain-text and
// unparsed entity declarations, other encodings, XML 1.1, ...). Declining
// leaves the verdict and its message to expat.
//
// `hollow` names (by local name) children of the root whose content only
// needs checking: such an element is kept with its attributes but without
// children, which spares the nodes of a part that nobody reads.
std::optional<Tree> scan_tree(std::string_view text, HollowNames hollow = {});

// The same, decoding in place: a text or attribute value that decoding
// shortened is written over its own markup and the tree's view points there,
// so the decoded copies cost nothing beyond the text. When the scanner
// declines, the text is restored as it was before returning.
std::optional<Tree> scan_tree_in_place(std::span<char> text, HollowNames hollow = {});

}  // namespace tessellox::xml
