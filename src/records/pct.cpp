#include "records/pct.hpp"

#include <optional>

#include "records/raw_text.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

void read_v4_document_id(xml::NodeRef id, OptString& country, OptString& number, OptString* kind_code, OptString& date,
                         Arena& arena) {
  if (id.is_null()) return;
  country = path_text(id, {"country"}, arena);
  number = path_text(id, {"doc-number"}, arena);
  if (kind_code != nullptr) *kind_code = path_text(id, {"kind"}, arena);
  date = path_text(id, {"date"}, arena);
}

void read_v4(xml::NodeRef bibliographic, std::vector<PctRow>& rows, Arena& arena) {
  xml::NodeRef filing = node_child(bibliographic, "pct-or-regional-filing-data");
  xml::NodeRef publishing = node_child(bibliographic, "pct-or-regional-publishing-data");
  if (filing.is_null() && publishing.is_null()) return;
  PctRow& row = rows.emplace_back();
  read_v4_document_id(node_child(filing, "document-id"), row.country, row.number, &row.kind_code, row.date, arena);
  row.date_371 = path_text(filing, {"us-371c124-date", "date"}, arena);
  if (!row.date_371) row.date_371 = path_text(filing, {"us-371c12-date", "date"}, arena);
  OptString publication_country;
  read_v4_document_id(node_child(publishing, "document-id"), publication_country, row.publication_number, nullptr,
                      row.publication_date, arena);
}

// Each international application the publication entered from: the parent
// of its pair.
void read_pap(xml::NodeRef bibliographic, std::vector<PctRow>& rows, Arena& arena) {
  xml::NodeRef continuity = node_child(bibliographic, "continuity-data");
  if (continuity.is_null()) return;
  const auto read = [&](xml::NodeRef international) {
    for (xml::NodeRef pair : international.children()) {
      if (!pair.is_element() || pair.local_name() != "parent-child") continue;
      xml::NodeRef id = path_of(pair, {"parent", "document-id"});
      PctRow& row = rows.emplace_back();
      row.number = path_text(id, {"doc-number"}, arena);
      row.date = path_text(id, {"document-date"}, arena);
      row.kind_code = path_text(id, {"kind-code"}, arena);
      row.country = path_text(id, {"country-code"}, arena);
    }
  };
  for (xml::NodeRef item : continuity.children()) {
    if (!item.is_element()) continue;
    if (item.local_name() == "a-371-of-international")
      read(item);
    else
      for (xml::NodeRef grouped : item.children())
        if (grouped.is_element() && grouped.local_name() == "a-371-of-international") read(grouped);
  }
}

// The first DOC below `node`.
xml::NodeRef first_doc(xml::NodeRef node) noexcept {
  for (xml::NodeRef child : node.children()) {
    if (!child.is_element()) continue;
    if (child.local_name() == "DOC") return child;
    if (xml::NodeRef found = first_doc(child)) return found;
  }
  return {};
}

void read_st32(xml::NodeRef bibliographic, std::vector<PctRow>& rows, Arena& arena) {
  xml::NodeRef filing = path_of(bibliographic, {"B800", "B860"});
  xml::NodeRef publishing = path_of(bibliographic, {"B800", "B870"});
  if (filing.is_null()) filing = node_child(bibliographic, "B860");
  if (publishing.is_null()) publishing = node_child(bibliographic, "B870");
  if (filing.is_null() && publishing.is_null()) return;
  PctRow& row = rows.emplace_back();
  xml::NodeRef filed = first_doc(filing);
  row.number = path_text(filed, {"DNUM"}, arena);
  row.date = path_text(filed, {"DATE"}, arena);
  row.kind_code = path_text(filed, {"KIND"}, arena);
  row.country = path_text(filed, {"CTRY"}, arena);
  row.date_371 = path_text(filing, {"B863", "DATE"}, arena);
  xml::NodeRef published = first_doc(publishing);
  row.publication_number = path_text(published, {"DNUM"}, arena);
  row.publication_date = path_text(published, {"DATE"}, arena);
}

}  // namespace

std::vector<PctRow> xml_pct_rows(xml::NodeRef bibliographic, SourceFormat format, Arena& arena) {
  std::vector<PctRow> rows;
  if (bibliographic.is_null()) return rows;
  switch (format) {
    case SourceFormat::UsptoApplicationV15:
    case SourceFormat::UsptoApplicationV16: read_pap(bibliographic, rows, arena); break;
    case SourceFormat::UsptoGrantV25: read_st32(bibliographic, rows, arena); break;
    case SourceFormat::UsptoGrantApsGreenBook:
    case SourceFormat::UsptoSequenceCwu: break;
    default: read_v4(bibliographic, rows, arena); break;
  }
  return rows;
}

// PCN the application, PD3 its filing date, PD1 its 371 date, PCP and PCD
// its publication; PD2, the 102(e) date, has no column.
std::vector<PctRow> aps_pct_rows(std::span<const ApsField> fields, Arena& arena) {
  std::vector<PctRow> rows;
  std::optional<std::uint32_t> open_section;
  for (const ApsField& field : fields) {
    if (field.section != ApsSection::Pcta) continue;
    if (open_section != field.section_number) {
      open_section = field.section_number;
      rows.emplace_back();
    }
    PctRow& row = rows.back();
    const OptString value = trimmed_value(aps_value(field, arena));
    if (field.tag == "PCN")
      row.number = value;
    else if (field.tag == "PD3")
      row.date = value;
    else if (field.tag == "PD1")
      row.date_371 = value;
    else if (field.tag == "PCP")
      row.publication_number = value;
    else if (field.tag == "PCD")
      row.publication_date = value;
  }
  return rows;
}

}  // namespace tessellox
