// The scanner against expat on arbitrary bytes: wherever the scanner builds
// a tree, expat must build the same one (compared through their dumps), and
// wherever expat fails, the scanner must have declined. Decoding in place
// builds the same tree again, and leaves the text as it was where it declines.
// Scanning the root's first child hollow declines where the full scan does
// and otherwise gives the same tree without that child's descendants.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "../cpp/source/xml/tree_dump.hpp"
#include "fuzz_support.hpp"
#include "source/xml/expat_tree.hpp"
#include "source/xml/scanner.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessellox;
  const std::string_view text = fuzz::as_text(data, size);
  const std::optional<xml::Tree> scanned = xml::scan_tree(text);
  std::string writable(text);
  const std::optional<xml::Tree> in_place = xml::scan_tree_in_place(writable);
  fuzz::require(scanned.has_value() == in_place.has_value());
  if (!scanned) {
    fuzz::require(writable == text);
    const std::string_view any_part[] = {"description"};
    fuzz::require(!xml::scan_tree(text, any_part).has_value());
    return 0;  // declining is always allowed; expat then decides
  }
  fuzz::require(xml::dump_tree(*scanned) == xml::dump_tree(*in_place));
  std::string_view hollow = "description";
  for (xml::NodeRef child = scanned->root_element().first_child(); child; child = child.next_sibling()) {
    if (child.kind() == xml::NodeKind::Element) {
      hollow = child.local_name();
      break;
    }
  }
  const std::string_view hollow_names[] = {hollow};
  const std::optional<xml::Tree> hollowed = xml::scan_tree(text, hollow_names);
  fuzz::require(hollowed.has_value());
  fuzz::require(xml::dump_tree(*hollowed) == xml::dump_without_hollow_content(xml::dump_tree(*scanned), hollow));
  const Result<xml::Tree, ParseError> expat = xml::parse_tree_with_expat(text);
  fuzz::require(expat.ok());
  fuzz::require(xml::dump_tree(*scanned) == xml::dump_tree(expat.value()));
  return 0;
}
