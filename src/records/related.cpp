#include "records/related.hpp"

#include <optional>
#include <utility>

#include "records/raw_text.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

struct NamedRelation {
  std::string_view source;
  std::string_view relation;
};

// Every generation's names for the relations, in one vocabulary. A name
// missing here reads "other".
constexpr NamedRelation kRelations[] = {
    // version 4
    NamedRelation{"continuation", "continuation"},
    NamedRelation{"continuation-in-part", "continuation-in-part"},
    NamedRelation{"division", "division"},
    NamedRelation{"reissue", "reissue"},
    NamedRelation{"continuing-reissue", "continuing reissue"},
    NamedRelation{"us-reexamination-reissue-merger", "reexamination reissue merger"},
    NamedRelation{"reexamination", "reexamination"},
    NamedRelation{"us-provisional-application", "provisional"},
    NamedRelation{"related-publication", "related publication"},
    NamedRelation{"substitution", "substitution"},
    NamedRelation{"correction", "correction"},
    NamedRelation{"addition", "addition"},
    NamedRelation{"utility-model-basis", "utility model basis"},
    // pre-grant publications
    NamedRelation{"continuation-of", "continuation"},
    NamedRelation{"continuation-in-part-of", "continuation-in-part"},
    NamedRelation{"division-of", "division"},
    NamedRelation{"reissue-of", "reissue"},
    NamedRelation{"substitute-for", "substitution"},
    NamedRelation{"non-provisional-of-provisional", "provisional"},
    // ST.32
    NamedRelation{"B610", "addition"},
    NamedRelation{"B620", "division"},
    NamedRelation{"B631", "continuation"},
    NamedRelation{"B632", "continuation-in-part"},
    NamedRelation{"B640", "reissue"},
    NamedRelation{"B645", "reexamination"},
    NamedRelation{"B650", "related publication"},
    NamedRelation{"B660", "substitution"},
    NamedRelation{"B680US", "provisional"},
    // APS: RLAP's codes, then the REIS section
    NamedRelation{"71", "continuation"},
    NamedRelation{"72", "continuation-in-part"},
    NamedRelation{"73", "division"},
    NamedRelation{"REIS", "reissue"},
};

std::string_view relation_of(std::string_view source) noexcept {
  for (const NamedRelation& named : kRelations)
    if (named.source == source) return named.relation;
  return "other";
}

// Which document of a pair an element holds, by its name in each generation.
OptString pair_role_of(std::string_view name) noexcept {
  if (name == "parent-doc" || name == "parent" || name == "PDOC") return std::string_view("parent");
  if (name == "child-doc" || name == "child" || name == "CDOC") return std::string_view("child");
  if (name == "parent-grant-document") return std::string_view("parent grant");
  if (name == "parent-pct-document") return std::string_view("parent pct");
  return std::nullopt;
}

// The status an element of a pair gives its parent.
bool is_status(std::string_view name) noexcept { return name == "parent-status" || name == "PSTA"; }

class RelatedReader {
 public:
  RelatedReader(std::vector<RelatedDocumentRow>& rows, Arena& arena) noexcept : rows_(rows), arena_(arena) {}

  // One relation element: a row per document identifier below it.
  void relation(xml::NodeRef element, std::string_view relation) {
    ++sequence_;
    walk(element, relation, std::nullopt, std::nullopt);
  }

 private:
  void walk(xml::NodeRef node, std::string_view relation, OptString pair_role, OptString status) {
    // The parent's status stands beside its document in the pair (pre-grant
    // publications, ST.32) or inside it (version 4).
    for (xml::NodeRef child : node.children())
      if (child.is_element() && is_status(child.local_name())) status = node_text(child, arena_);
    for (xml::NodeRef child : node.children()) {
      if (!child.is_element()) continue;
      const std::string_view name = child.local_name();
      if (name == "document-id" || name == "DOC") {
        add(child, relation, pair_role, pair_role == std::string_view("parent") ? status : std::nullopt);
      } else if (const OptString role = pair_role_of(name)) {
        walk(child, relation, role, status);
      } else if (!is_status(name)) {
        walk(child, relation, pair_role, status);
      }
    }
  }

  void add(xml::NodeRef id, std::string_view relation, OptString pair_role, OptString status) {
    RelatedDocumentRow& row = rows_.emplace_back();
    row.relation = relation;
    row.sequence = sequence_;
    row.pair_role = pair_role;
    row.status = status;
    if (id.local_name() == "DOC") {
      row.number = path_text(id, {"DNUM"}, arena_);
      row.date = path_text(id, {"DATE"}, arena_);
      row.kind_code = path_text(id, {"KIND"}, arena_);
      row.country = path_text(id, {"CTRY"}, arena_);
      return;
    }
    row.number = path_text(id, {"doc-number"}, arena_);
    row.date = path_text(id, {"date"}, arena_);
    if (!row.date) row.date = path_text(id, {"document-date"}, arena_);
    row.kind_code = path_text(id, {"kind"}, arena_);
    if (!row.kind_code) row.kind_code = path_text(id, {"kind-code"}, arena_);
    row.country = path_text(id, {"country"}, arena_);
    if (!row.country) row.country = path_text(id, {"country-code"}, arena_);
  }

  std::vector<RelatedDocumentRow>& rows_;
  Arena& arena_;
  std::uint32_t sequence_ = 0;
};

// The relation elements of a pre-grant publication's continuity data, which
// may be grouped (`continuations`); international applications are left to
// the pct table.
void read_pap_continuity(xml::NodeRef group, RelatedReader& reader) {
  for (xml::NodeRef child : group.children()) {
    if (!child.is_element() || child.local_name() == "a-371-of-international") continue;
    if (!node_child(child, "parent-child").is_null() || relation_of(child.local_name()) != "other")
      reader.relation(child, relation_of(child.local_name()));
    else
      read_pap_continuity(child, reader);
  }
}

// B630 groups the continuations.
void read_st32_continuity(xml::NodeRef group, RelatedReader& reader) {
  for (xml::NodeRef child : group.children()) {
    if (!child.is_element()) continue;
    if (child.local_name() == "B630")
      read_st32_continuity(child, reader);
    else
      reader.relation(child, relation_of(child.local_name()));
  }
}

}  // namespace

std::vector<RelatedDocumentRow> xml_related_rows(xml::NodeRef bibliographic, SourceFormat format, Arena& arena) {
  std::vector<RelatedDocumentRow> rows;
  if (bibliographic.is_null()) return rows;
  RelatedReader reader(rows, arena);
  for (xml::NodeRef item : bibliographic.children()) {
    if (!item.is_element()) continue;
    const std::string_view name = item.local_name();
    if (format == SourceFormat::UsptoGrantV25) {
      if (name == "B600") read_st32_continuity(item, reader);
    } else if (name == "continuity-data") {
      read_pap_continuity(item, reader);
    } else if (name == "us-related-documents") {
      for (xml::NodeRef relation : item.children())
        if (relation.is_element()) reader.relation(relation, relation_of(relation.local_name()));
    }
  }
  return rows;
}

std::vector<RelatedDocumentRow> aps_related_rows(std::span<const ApsField> fields, Arena& arena) {
  std::vector<RelatedDocumentRow> rows;
  std::uint32_t sequence = 0;
  std::string_view relation;
  // The rows of the section's parent application and of the patent granted
  // on it (PNO, ISD), by index; kNone before the section names them.
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t application = kNone;
  std::size_t grant = kNone;
  const auto row_of = [&](std::size_t& index, std::string_view pair_role) -> RelatedDocumentRow& {
    if (index == kNone) {
      RelatedDocumentRow& row = rows.emplace_back();
      row.sequence = sequence;
      row.relation = relation;
      row.pair_role = pair_role;
      index = rows.size() - 1;
    }
    return rows[index];
  };
  std::optional<std::uint32_t> open_section;
  for (const ApsField& field : fields) {
    if (field.section != ApsSection::Rlap && field.section != ApsSection::Reis) continue;
    if (open_section != field.section_number) {
      open_section = field.section_number;
      application = kNone;
      grant = kNone;
      ++sequence;
      relation = relation_of(field.section == ApsSection::Reis ? "REIS" : "");
    }
    const OptString value = trimmed_value(aps_value(field, arena));
    const std::string_view tag = field.tag;
    if (tag == "COD" && field.section == ApsSection::Rlap) {
      // The code may follow the fields it qualifies.
      relation = relation_of(value.value_or(std::string_view()));
      for (RelatedDocumentRow& row : rows)
        if (row.sequence == sequence) row.relation = relation;
    } else if (tag == "APN") {
      row_of(application, "parent").number = value;
    } else if (tag == "APD") {
      row_of(application, "parent").date = value;
    } else if (tag == "PSC") {
      row_of(application, "parent").status = value;
    } else if (tag == "PNO") {
      row_of(grant, "parent grant").number = value;
    } else if (tag == "ISD") {
      row_of(grant, "parent grant").date = value;
    }
  }
  return rows;
}

}  // namespace tessellox
