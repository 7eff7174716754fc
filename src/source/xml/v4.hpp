#pragma once

#include <string_view>

#include "handlers.hpp"

namespace tessellox {

ParseResult parse_v4_grant(std::string_view text, SourceFormat format);
ParseResult parse_v4_application(std::string_view text, SourceFormat format);

}  // namespace tessellox
