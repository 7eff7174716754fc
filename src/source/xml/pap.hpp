#pragma once

#include <string_view>

#include "handlers.hpp"

namespace tessellox {

ParseResult parse_pap(std::string_view text, SourceFormat format);

}  // namespace tessellox
