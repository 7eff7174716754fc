// APS Green Book fixed-tag text.
#pragma once

#include <string>
#include <string_view>

#include "parse_result.hpp"

namespace tessellox {

ParseResult parse_aps(SourceText text, SourceFormat format);
Result<std::string, ParseError> serialize_aps(const SourceDocument& document);

}  // namespace tessellox
