#pragma once

#include <string_view>

#include "handlers.hpp"

namespace tessellox {

ParseResult parse_sequence_listing(SourceText text, SourceFormat format);

}  // namespace tessellox
