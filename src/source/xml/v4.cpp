#include "source/xml/v4.hpp"

namespace tessellox {

ParseResult parse_v4_grant(std::string_view, SourceFormat format) {
  return ParseError::structure(std::string(source_format_name(format)) + " is not supported yet");
}

ParseResult parse_v4_application(std::string_view, SourceFormat format) {
  return ParseError::structure(std::string(source_format_name(format)) + " is not supported yet");
}

}  // namespace tessellox
