// The error values of detection, parsing and templates. All three have one
// shape: a kind, what the message needs, and message(), which spells it.
// Every message the system produces is built in errors.cpp or written in
// `messages` below.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessellox {

struct DetectError {
  enum class Kind : unsigned char { MalformedXml, UnsupportedRoot, UnknownXmlFormat, ConflictingVersionMarkers };

  Kind kind = Kind::MalformedXml;
  std::string root_name;  // UnsupportedRoot only

  static DetectError malformed_xml() { return {Kind::MalformedXml, {}}; }
  static DetectError unsupported_root(std::string_view name) { return {Kind::UnsupportedRoot, std::string(name)}; }
  static DetectError unknown_xml_format() { return {Kind::UnknownXmlFormat, {}}; }
  static DetectError conflicting_version_markers() { return {Kind::ConflictingVersionMarkers, {}}; }

  std::string message() const;
};

struct ParseError {
  enum class Kind : unsigned char { Detection, Structure, Xml };

  Kind kind = Kind::Structure;
  // Detection: the detection error's message; Structure and Xml: the whole message.
  std::string detail;

  static ParseError detection(const DetectError& error) { return {Kind::Detection, error.message()}; }
  static ParseError structure(std::string_view message) { return {Kind::Structure, std::string(message)}; }
  static ParseError xml(std::string message) { return {Kind::Xml, std::move(message)}; }

  std::string message() const;
};

struct TemplateError {
  enum class Kind : unsigned char { UnknownPlaceholder, UnterminatedPlaceholder };

  Kind kind = Kind::UnterminatedPlaceholder;
  std::string name;  // UnknownPlaceholder: the name as written, trimmed

  std::string message() const;
};

// The limits the XML front end enforces; the message names the limit's value.
enum class XmlLimit : unsigned char { NameBytes, TextBytes, Nodes, Depth, AttributeCount };
std::string xml_limit_message(XmlLimit limit, std::size_t value);

// The fixed messages of the parsers.
namespace messages {
inline constexpr std::string_view kMissingRootElement = "missing root element";
inline constexpr std::string_view kPapRootRequired = "UsptoApplicationV15 requires patent-application-publication root";
inline constexpr std::string_view kV4ApplicationRootRequired = "v4.x applications require us-patent-application root";
inline constexpr std::string_view kV4GrantRootRequired = "v4.x grants require us-patent-grant root";
inline constexpr std::string_view kSt32RootRequired = "UsptoGrantV25 requires PATDOC root";
inline constexpr std::string_view kSequenceRootRequired = "sequence listings require sequence-cwu root";
inline constexpr std::string_view kApsNoTaggedFields = "APS record has no recognizable tagged fields";
inline constexpr std::string_view kApsMissingWku = "APS record missing WKU (patent number)";
inline constexpr std::string_view kApsNoSerialization = "UsptoGrantApsGreenBook does not support serialization";
inline constexpr std::string_view kDetectionPrefix = "source detection failed: ";
}  // namespace messages

}  // namespace tessellox
