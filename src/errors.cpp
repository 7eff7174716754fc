#include "errors.hpp"

namespace tessellox {

std::string DetectError::message() const {
  switch (kind) {
    case Kind::MalformedXml:
      return "malformed XML";
    case Kind::UnsupportedRoot:
      if (root_name == "table") return "supplemental XML root '" + root_name + "'";
      return "unsupported XML root '" + root_name + "'";
    case Kind::UnknownXmlFormat:
      return "unknown XML format";
    case Kind::ConflictingVersionMarkers:
      return "conflicting XML version markers";
  }
  return "malformed XML";
}

ParseError ParseError::detection(const DetectError& error) {
  std::string text(messages::kDetectionPrefix);
  text += error.message();
  return {Kind::Detection, std::move(text)};
}

}  // namespace tessellox
