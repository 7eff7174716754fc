#pragma once

#include <string_view>

#include "parse_result.hpp"

namespace tessellox {

ParseResult parse_v4_grant(SourceText text, SourceFormat format, ParseScope scope = ParseScope::Document);
ParseResult parse_v4_application(SourceText text, SourceFormat format, ParseScope scope = ParseScope::Document);

}  // namespace tessellox
