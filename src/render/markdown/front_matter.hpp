#pragma once

#include <string>

#include "model.hpp"

namespace tessellox {

// The metadata block between two "---" lines, with no final line feed, from
// a document's derived record.
std::string render_front_matter(const DerivedRecord& derived);
// The same for a document whose record is not at hand: it is derived for
// the call, in an arena of its own, which leaves the document as it is.
std::string render_front_matter(const SourceDocument& document);

}  // namespace tessellox
