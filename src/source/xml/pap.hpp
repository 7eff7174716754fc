#pragma once

#include <string_view>

#include "parse_result.hpp"

namespace tessellox {

ParseResult parse_pap(SourceText text, SourceFormat format, ParseScope scope = ParseScope::Document);

}  // namespace tessellox
