// APS Green Book fixed-tag text.
#pragma once

#include <string>

#include "parse_result.hpp"
#include "references.hpp"

namespace tessellox {

ParseResult parse_aps(SourceText text, SourceFormat format, ParseScope scope = ParseScope::Document);
// The same, reading besides from the fields the text was cut into what the
// model leaves out and a record holds: the reference sections.
ParseResult parse_aps_with_references(SourceText text, SourceFormat format, SourceReferences& references);
Result<std::string, ParseError> serialize_aps(const SourceDocument& document);

}  // namespace tessellox
