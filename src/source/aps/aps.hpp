// APS Green Book fixed-tag text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "parse_result.hpp"
#include "source/aps/fields.hpp"

namespace tessellox {

ParseResult parse_aps(SourceText text, SourceFormat format, ParseScope scope = ParseScope::Document);
// The same, keeping the fields the text was cut into (views into the text,
// which the document holds) for readers of the fields the model leaves out.
ParseResult parse_aps_keeping_fields(SourceText text, SourceFormat format, std::vector<ApsField>& fields);
Result<std::string, ParseError> serialize_aps(const SourceDocument& document);

}  // namespace tessellox
