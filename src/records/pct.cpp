#include "records/pct.hpp"

#include <optional>

#include "records/raw_text.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

void read_v4_document_id(const RawXml* id, OptString& country, OptString& number, OptString* kind_code, OptString& date,
                         Arena& arena) {
  if (id == nullptr) return;
  country = raw_path_text(id, {"country"}, arena);
  number = raw_path_text(id, {"doc-number"}, arena);
  if (kind_code != nullptr) *kind_code = raw_path_text(id, {"kind"}, arena);
  date = raw_path_text(id, {"date"}, arena);
}

void read_v4(const RawXml& bibliographic, std::vector<PctRow>& rows, Arena& arena) {
  const RawXml* filing = raw_child(&bibliographic, "pct-or-regional-filing-data");
  const RawXml* publishing = raw_child(&bibliographic, "pct-or-regional-publishing-data");
  if (filing == nullptr && publishing == nullptr) return;
  PctRow& row = rows.emplace_back();
  read_v4_document_id(raw_child(filing, "document-id"), row.country, row.number, &row.kind_code, row.date, arena);
  row.date_371 = raw_path_text(filing, {"us-371c124-date", "date"}, arena);
  if (!row.date_371) row.date_371 = raw_path_text(filing, {"us-371c12-date", "date"}, arena);
  OptString publication_country;
  read_v4_document_id(raw_child(publishing, "document-id"), publication_country, row.publication_number, nullptr,
                      row.publication_date, arena);
}

// Each international application the publication entered from: the parent
// of its pair.
void read_pap(const RawXml& bibliographic, std::vector<PctRow>& rows, Arena& arena) {
  const RawXml* continuity = raw_child(&bibliographic, "continuity-data");
  if (continuity == nullptr) return;
  const auto read = [&](const RawXml& international) {
    for (const RawXml& pair : international.children()) {
      if (!pair.is_element() || pair.name() != "parent-child") continue;
      const RawXml* id = raw_path(&pair, {"parent", "document-id"});
      PctRow& row = rows.emplace_back();
      row.number = raw_path_text(id, {"doc-number"}, arena);
      row.date = raw_path_text(id, {"document-date"}, arena);
      row.kind_code = raw_path_text(id, {"kind-code"}, arena);
      row.country = raw_path_text(id, {"country-code"}, arena);
    }
  };
  for (const RawXml& item : continuity->children()) {
    if (!item.is_element()) continue;
    if (item.name() == "a-371-of-international")
      read(item);
    else
      for (const RawXml& grouped : item.children())
        if (grouped.is_element() && grouped.name() == "a-371-of-international") read(grouped);
  }
}

// The first DOC below `node`.
const RawXml* first_doc(const RawXml* node) noexcept {
  if (node == nullptr) return nullptr;
  for (const RawXml& child : node->children()) {
    if (!child.is_element()) continue;
    if (child.name() == "DOC") return &child;
    if (const RawXml* found = first_doc(&child)) return found;
  }
  return nullptr;
}

void read_st32(const RawXml& bibliographic, std::vector<PctRow>& rows, Arena& arena) {
  const RawXml* filing = raw_path(&bibliographic, {"B800", "B860"});
  const RawXml* publishing = raw_path(&bibliographic, {"B800", "B870"});
  if (filing == nullptr) filing = raw_child(&bibliographic, "B860");
  if (publishing == nullptr) publishing = raw_child(&bibliographic, "B870");
  if (filing == nullptr && publishing == nullptr) return;
  PctRow& row = rows.emplace_back();
  const RawXml* filed = first_doc(filing);
  row.number = raw_path_text(filed, {"DNUM"}, arena);
  row.date = raw_path_text(filed, {"DATE"}, arena);
  row.kind_code = raw_path_text(filed, {"KIND"}, arena);
  row.country = raw_path_text(filed, {"CTRY"}, arena);
  row.date_371 = raw_path_text(filing, {"B863", "DATE"}, arena);
  const RawXml* published = first_doc(publishing);
  row.publication_number = raw_path_text(published, {"DNUM"}, arena);
  row.publication_date = raw_path_text(published, {"DATE"}, arena);
}

}  // namespace

std::vector<PctRow> xml_pct_rows(const RawXml* bibliographic, SourceFormat format, Arena& arena) {
  std::vector<PctRow> rows;
  if (bibliographic == nullptr) return rows;
  switch (format) {
    case SourceFormat::UsptoApplicationV15:
    case SourceFormat::UsptoApplicationV16: read_pap(*bibliographic, rows, arena); break;
    case SourceFormat::UsptoGrantV25: read_st32(*bibliographic, rows, arena); break;
    case SourceFormat::UsptoGrantApsGreenBook:
    case SourceFormat::UsptoSequenceCwu: break;
    default: read_v4(*bibliographic, rows, arena); break;
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
