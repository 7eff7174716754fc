// The related_documents table: the documents a document continues, divides,
// reissues or claims the benefit of, one row per document the source names.
#pragma once

#include <span>
#include <vector>

#include "model.hpp"
#include "records/tables.hpp"
#include "references.hpp"
#include "source/xml/tree.hpp"

namespace tessellox {

// From an XML generation's bibliographic element, read in the tree during a
// record's parse (see RecordCapture):
// version 4 `us-related-documents`, the pre-grant publications'
// `continuity-data` (but its international applications, which are the pct
// table's) and ST.32's `B600` group.
std::vector<RelatedDocumentRow> xml_related_rows(xml::NodeRef bibliographic, SourceFormat format, Arena& arena);

// From APS text's RLAP and REIS sections.
std::vector<RelatedDocumentRow> aps_related_rows(std::span<const ApsField> fields, Arena& arena);

}  // namespace tessellox
