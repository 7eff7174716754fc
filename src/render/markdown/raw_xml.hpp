// Captured nodes written back as markup, for the Markdown body.
#pragma once

#include <string>

#include "model.hpp"

namespace tessellox {

// Appends `node` as XML: explicit end tags, attributes in their order with
// values unchanged, nothing escaped; text nodes pass through the entity
// mapping.
void append_raw_xml(const RawXml& node, std::string& out);

}  // namespace tessellox
