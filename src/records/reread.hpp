// The bibliographic part read again, whole, for the record values the model
// does not keep (the parts of a party's name and address, examiners, related
// documents, PCT data). The parse may decode the document's text in place, so
// the part's markup is copied out before the parse and read after it.
#pragma once

#include <string>
#include <string_view>

#include "arena.hpp"
#include "model.hpp"

namespace tessellox {

// The markup of the first bibliographic element of an XML generation's text,
// start tag to end tag; empty for other formats or when there is none.
std::string bibliographic_markup(std::string_view text, SourceFormat format);

// `markup` parsed by the XML front end and kept, as captured nodes, in
// `arena`; nullptr when it is empty or not well formed.
const RawXml* reread_bibliographic(std::string_view markup, Arena& arena);

}  // namespace tessellox
