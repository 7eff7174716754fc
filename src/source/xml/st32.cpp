#include "source/xml/st32.hpp"

namespace tessellox {

ParseResult parse_st32(std::string_view, SourceFormat format) {
  return ParseError::structure(std::string(source_format_name(format)) + " is not supported yet");
}

}  // namespace tessellox
