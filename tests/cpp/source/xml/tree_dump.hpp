// A canonical text form of a tree, so that two trees built by different
// paths (the scanner and expat) can be compared byte for byte, and a
// difference shows where it is.
#pragma once

#include <string>
#include <string_view>

#include "source/xml/tree.hpp"

namespace tessellox::xml {

// One line for the recorded XML version, one for the document type
// declaration, then one line per node in document order (depth first) with
// its depth, kind, qualified name, prefix, value and whether the replacement
// text is known, each followed by one line per attribute (prefix, local
// name, value). Strings are quoted with `"` and `\` escaped and every byte
// outside printable ASCII written as \xHH, and an absent optional is the bare
// word `absent`, so two trees give the same dump only when they are equal.
std::string dump_tree(const Tree& tree);

// `dump` (of dump_tree) as the tree would be had the root's children whose
// local name is `hollow` been scanned hollow: without their descendants.
std::string dump_without_hollow_content(const std::string& dump, std::string_view hollow);

}  // namespace tessellox::xml
