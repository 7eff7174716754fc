#pragma once

#include <string_view>

#include "handlers.hpp"

namespace tessellox {

ParseResult parse_pap(SourceText text, SourceFormat format);

}  // namespace tessellox
