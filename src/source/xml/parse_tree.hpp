// The XML front end's parse: the scanner first, expat for what it declines.
#pragma once

#include <span>
#include <string_view>

#include "errors.hpp"
#include "result.hpp"
#include "source/xml/tree.hpp"

namespace tessellox::xml {

// Parses the whole text (UTF-8, whatever its declaration says) into a tree
// that points into `text`. Fails with a ParseError Xml: expat's description +
// " at line L, column C", or a message naming the exceeded limit. No DTD or
// external entity is ever loaded; a reference to an undeclared entity becomes
// an EntityReference node.
//
// The scanner builds the tree; whatever it does not handle, or finds not
// well formed, goes to expat, which builds the same tree or gives the error.
//
// `hollow` names children of the root whose content is checked but need not
// be kept (see scan_tree); expat, when it takes over, keeps it all the same.
Result<Tree, ParseError> parse_tree(std::string_view text, HollowNames hollow = {});

// The same, for a text that nothing else reads as XML afterwards: the
// scanner writes decoded texts and attribute values over their own markup
// (see scan_tree_in_place), which keeps them out of the tree's arena. The
// text stays unchanged when the parse fails.
Result<Tree, ParseError> parse_tree_in_place(std::span<char> text, HollowNames hollow = {});

}  // namespace tessellox::xml
