// The reference path of the XML front end: expat parses the text and the
// tree is built from its callbacks. It takes every document the scanner
// declines, and its error messages are the ones the front end reports.
#pragma once

#include <string_view>

#include "errors.hpp"
#include "result.hpp"
#include "source/xml/tree.hpp"

namespace tessellox::xml {

// The tree of `text` as expat reads it, or expat's error (or the limit
// exceeded) with its line and column.
Result<Tree, ParseError> parse_tree_with_expat(std::string_view text);

}  // namespace tessellox::xml
