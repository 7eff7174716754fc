#include "errors.hpp"

#include <array>

namespace tessellox {

std::string DetectError::message() const {
  switch (kind) {
    case Kind::MalformedXml: return "malformed XML";
    case Kind::UnsupportedRoot:
      if (root_name == "table") return "supplemental XML root '" + root_name + "'";
      return "unsupported XML root '" + root_name + "'";
    case Kind::UnknownXmlFormat: return "unknown XML format";
    case Kind::ConflictingVersionMarkers: return "conflicting XML version markers";
  }
  return "malformed XML";
}

std::string ParseError::message() const {
  if (kind != Kind::Detection) return detail;
  std::string text(messages::kDetectionPrefix);
  text += detail;
  return text;
}

std::string TemplateError::message() const {
  if (kind == Kind::UnterminatedPlaceholder) return "unterminated template placeholder: '{{' with no closing '}}'";
  std::string text = "unknown template placeholder {{";
  text += name;
  text += "}}; expected one of frontmatter, title, abstract, description, claims";
  return text;
}

std::string xml_limit_message(XmlLimit limit, std::size_t value) {
  struct Wording {
    std::string_view before;
    std::string_view after;
  };
  // In XmlLimit's order.
  static constexpr std::array<Wording, 5> kWordings = {{
      {"XML name longer than the limit of ", " bytes"},
      {"XML text longer than the limit of ", " bytes"},
      {"XML document has more than the limit of ", " nodes"},
      {"XML elements nested deeper than the limit of ", ""},
      {"XML element has more than the limit of ", " attributes"},
  }};
  const Wording& wording = kWordings[static_cast<std::size_t>(limit)];
  std::string text(wording.before);
  text += std::to_string(value);
  text += wording.after;
  return text;
}

}  // namespace tessellox
