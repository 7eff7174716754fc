// The parties table: one row per party element of the source.
#pragma once

#include <span>
#include <vector>

#include "model.hpp"
#include "records/tables.hpp"
#include "references.hpp"
#include "source/xml/tree.hpp"

namespace tessellox {

// From an XML generation's bibliographic element, read in the tree during a
// record's parse (see RecordCapture): version 4 applicants, inventors, agents, correspondence
// address, assignees and examiners; the pre-grant publications' inventors,
// assignees and correspondence address; ST.32's B720, B730, B740 and B745.
std::vector<PartyRow> xml_party_rows(xml::NodeRef bibliographic, SourceFormat format, Arena& arena);

// From APS text's fields: INVT, ASSG, LREP and the examiners of PATN.
std::vector<PartyRow> aps_party_rows(std::span<const ApsField> fields, Arena& arena);

}  // namespace tessellox
