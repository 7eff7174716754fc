// Captured nodes written back as markup, for the Markdown body and for plain
// text alike.
#pragma once

#include <string>

#include "model.hpp"

namespace tessellox {

// Appends `node` as XML: explicit end tags, attributes in their order with
// values unchanged, nothing escaped; text nodes pass through the entity
// mapping. Iterative, as every walk over RawXml is.
void append_raw_xml(const RawXml& node, std::string& out);

}  // namespace tessellox
