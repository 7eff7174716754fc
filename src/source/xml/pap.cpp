#include "source/xml/pap.hpp"

namespace tessellox {

ParseResult parse_pap(std::string_view, SourceFormat format) {
  return ParseError::structure(std::string(source_format_name(format)) + " is not supported yet");
}

}  // namespace tessellox
