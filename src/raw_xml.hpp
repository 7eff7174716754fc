// Captured nodes written back as markup, for the Markdown body and for plain
// text alike.
#pragma once

#include <string>

#include "model.hpp"

namespace tessellox {

// Appends `node` as XML: explicit end tags, attributes in their order with
// values unchanged, nothing escaped; text nodes pass through the entity
// mapping.
//
// A captured tree is as deep as the XML it was taken from, which the front
// end bounds at xml::kMaxDepth; a model built by other means has no such
// bound. Walks over RawXml therefore keep an explicit stack instead of
// recursing, as this one does.
void append_raw_xml(const RawXml& node, std::string& out);

}  // namespace tessellox
