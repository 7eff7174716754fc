#include "raw_xml.hpp"

namespace tessellox {

void append_start_tag(const RawXml& element, std::string& out) {
  out += '<';
  out += element.qualified_name();
  for (const Attribute& attribute : element.attributes()) {
    out += ' ';
    out += attribute.qualified_name();
    out += "=\"";
    out += attribute.value();
    out += '"';
  }
  out += '>';
}

void append_end_tag(const RawXml& element, std::string& out) {
  out += "</";
  out += element.qualified_name();
  out += '>';
}

void append_raw_xml(const RawXml& node, std::string& out) {
  append_raw_xml_with(node, out, [](const RawXml&) { return false; });
}

}  // namespace tessellox
