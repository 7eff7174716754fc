// The fixed entity mapping applied to document text at rendering and in
// plain text.
#pragma once

#include <string>
#include <string_view>

namespace tessellox {

std::string normalize_text(std::string_view text);
void append_normalized_text(std::string_view text, std::string& out);

}  // namespace tessellox
