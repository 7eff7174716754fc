// Sequence listings (root sequence-cwu). They carry sequence data rather than
// patent text: only the publication identity is read, and every other node
// of the root, text between elements included, is kept verbatim.
#include "source/xml/sequence.hpp"

#include <utility>

#include "source/xml/extract.hpp"

namespace tessellox {

namespace {

using xml::NodeRef;

RootPart root_part(NodeRef node, Arena& arena) {
  if (xml::is_element_named(node, "publication-reference")) {
    const NodeRef document_id = xml::first_child_element(node, "document-id");
    if (!document_id.is_null()) {
      BibliographicInformation information;
      information.attributes = xml::copy_attributes(node, arena);
      information.items.push_back(arena, xml::document_identity(document_id, arena));
      return information;
    }
  }
  return xml::capture_node(node, arena);
}

}  // namespace

ParseResult parse_sequence_listing(SourceText text, SourceFormat format, ParseScope) {
  return xml::run_front_end(std::move(text), "sequence-cwu", messages::kSequenceRootRequired, format, {},
                            [](NodeRef root, SourceDocument& document) {
                              document.parts.reserve(document.arena, xml::child_count(root));
                              for (NodeRef child : root.children())
                                document.parts.push_back(document.arena, root_part(child, document.arena));
                            });
}

}  // namespace tessellox
