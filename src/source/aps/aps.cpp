#include "source/aps/aps.hpp"

namespace tessellox {

ParseResult parse_aps(std::string_view, SourceFormat format) {
  return ParseError::structure(std::string(source_format_name(format)) + " is not supported yet");
}

Result<std::string, ParseError> serialize_aps(const SourceDocument&) {
  return ParseError::structure(std::string(messages::kApsNoSerialization));
}

}  // namespace tessellox
