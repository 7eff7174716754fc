#pragma once

#include <string>

#include "model.hpp"

namespace tessellox {

// The metadata block between two "---" lines, with no final line feed.
std::string render_front_matter(const SourceDocument& document);

}  // namespace tessellox
