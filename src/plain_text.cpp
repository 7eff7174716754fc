#include "plain_text.hpp"

#include "normalize.hpp"
#include "raw_xml.hpp"
#include "text.hpp"

namespace tessellox {

namespace {

// `start` is where this paragraph's or claim's text begins in `out`.
void append_inline(const InlineContent& content, std::size_t start, std::string& out, bool may_hold_ampersand) {
  for (const InlineNode& node : content) {
    if (const auto text = node.get_if<Text>()) {
      if (may_hold_ampersand)
        append_normalized_text(text->text, out);
      else
        out.append(text->text);
    } else if (const auto* element = node.get_if<InlineElement>()) {
      // Nested claim texts usually stand on lines of their own in the
      // source, parted by nothing but a blank text node; without a break
      // here their words would run together ("..., andlocal circuitry").
      if (element->kind == InlineKind::ClaimText && out.size() > start &&
          trailing_white_space_length(std::string_view(out).substr(start)) == 0)
        out.push_back('\n');
      append_inline(element->content, start, out, may_hold_ampersand);
    } else {
      append_raw_xml(node.get<RawXml>(), out);
    }
  }
}

}  // namespace

void append_plain_text(const InlineContent& content, std::string& out, bool may_hold_ampersand) {
  append_inline(content, out.size(), out, may_hold_ampersand);
}

std::string plain_text(const InlineContent& content) {
  std::string out;
  append_plain_text(content, out);
  return out;
}

}  // namespace tessellox
