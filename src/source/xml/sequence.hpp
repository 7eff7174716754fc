#pragma once

#include <string_view>

#include "parse_result.hpp"

namespace tessellox {

ParseResult parse_sequence_listing(SourceText text, SourceFormat format);

}  // namespace tessellox
