// Sequence listings (root sequence-cwu). They carry sequence data rather than
// patent text: only the publication identity is read, and every other node
// of the root, text between elements included, is kept verbatim.
#include "source/xml/sequence.hpp"

#include <utility>

#include "source/xml/extract.hpp"

namespace tessellox {

namespace {

using xml::NodeRef;

RootPart root_part(NodeRef node) {
  if (xml::is_element_named(node, "publication-reference")) {
    const NodeRef document_id = xml::first_child_element(node, "document-id");
    if (!document_id.is_null()) {
      BibliographicInformation information;
      information.attributes = xml::copy_attributes(node);
      information.items.emplace_back(xml::document_identity(document_id));
      return information;
    }
  }
  return xml::capture_node(node);
}

}  // namespace

ParseResult parse_sequence_listing(std::string_view text, SourceFormat format) {
  return xml::run_front_end(text, "sequence-cwu", messages::kSequenceRootRequired, format,
                            [](NodeRef root, SourceDocument& document) {
                              for (NodeRef child : root.children()) document.parts.push_back(root_part(child));
                            });
}

}  // namespace tessellox
