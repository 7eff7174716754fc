// The pct table: the international application a US filing entered the
// national stage from, and its international publication.
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
// version 4 `pct-or-regional-filing-data` and
// `pct-or-regional-publishing-data`, the pre-grant publications'
// `continuity-data/a-371-of-international`, ST.32's B860 and B870. One row per filing, with the first publication.
std::vector<PctRow> xml_pct_rows(xml::NodeRef bibliographic, SourceFormat format, Arena& arena);

// From APS text's PCTA sections.
std::vector<PctRow> aps_pct_rows(std::span<const ApsField> fields, Arena& arena);

}  // namespace tessellox
