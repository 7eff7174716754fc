// The error values of detection and parsing. Every message the system
// produces is built in errors.cpp.
#pragma once

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
  std::string message;  // the text form, prefix included for Detection

  static ParseError detection(const DetectError& error);
  static ParseError structure(std::string message) { return {Kind::Structure, std::move(message)}; }
  static ParseError xml(std::string message) { return {Kind::Xml, std::move(message)}; }
};

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
