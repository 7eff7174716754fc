// Format detection: names the format of a text with a cheap scan, without
// parsing XML. A text that passes can still fail in its parser.
#pragma once

#include <string_view>

#include "errors.hpp"
#include "model.hpp"
#include "result.hpp"

namespace tessellox {

Result<SourceFormat, DetectError> detect_source_format(std::string_view text);

}  // namespace tessellox
