#pragma once

#include <string_view>

#include "handlers.hpp"

namespace tessellox {

ParseResult parse_st32(std::string_view text, SourceFormat format);

}  // namespace tessellox
