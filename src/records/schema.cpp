#include "records/schema.hpp"

#include <array>

namespace tessellox {
namespace {

using enum ColumnType;

// Each shape's id is its position in kShapes below.
enum ShapeId : std::uint8_t {
  kDocuments,
  kClaims,
  kPriority,
  kCitations,
  kClassifications,
  kParties,
  kRelatedDocuments,
  kPct,
  kTextSections,
  kShapeCount
};

constexpr Column kClaimColumns[] = {
    {"number", Integer, false},
    {"text", Text, false},
    {"depends_on", IntegerList, false},
    {"exemplary", Flag, true},
};
constexpr TableShape kClaimsShape{"claims", kClaimColumns, kClaims};

constexpr Column kPriorityColumns[] = {
    {"country", Text, true},
    {"number", Text, true},
    {"date", Text, true},
};
constexpr TableShape kPriorityShape{"foreign_priority", kPriorityColumns, kPriority};

constexpr Column kCitationColumns[] = {
    {"kind", Text, false},                              // "patent" or "other"
    {"country", Text, true},   {"number", Text, true},  // a document number: text
    {"kind_code", Text, true}, {"date", Text, true},   {"name", Text, true},
    {"category", Text, true},  {"text", Text, true},
};
constexpr TableShape kCitationsShape{"citations", kCitationColumns, kCitations};

constexpr Column kClassificationColumns[] = {
    {"scheme", Text, false},  // cpc, ipc, uspc, locarno or national
    {"sequence", Integer, false},
    {"main", Flag, false},
    {"code", Text, true},
    {"combination_set", Integer, true},
    {"combination_rank", Integer, true},
    {"version_date", Text, true},
    {"section", Text, true},
    {"class", Text, true},
    {"subclass", Text, true},
    {"main_group", Text, true},
    {"subgroup", Text, true},
    {"symbol_position", Text, true},
    {"classification_value", Text, true},
    {"us_main_class", Text, true},
    {"us_subclass", Text, true},
};
constexpr TableShape kClassificationsShape{"classifications", kClassificationColumns, kClassifications};

constexpr Column kPartyColumns[] = {
    // inventor, applicant, assignee, attorney, agent, correspondent, primary
    // examiner or assistant examiner
    {"role", Text, false},
    // the source's own, else the order within the role from 1
    {"sequence", Integer, false},
    {"given_name", Text, true},
    {"family_name", Text, true},
    {"organization", Text, true},
    {"city", Text, true},
    {"state", Text, true},
    {"country", Text, true},
    {"type", Text, true},  // assignee type code, applicant designation or authority, app-type
    {"art_unit", Text, true},
    {"deceased", Flag, false},
};
constexpr TableShape kPartiesShape{"parties", kPartyColumns, kParties};

constexpr Column kRelatedDocumentColumns[] = {
    {"relation", Text, false}, {"sequence", Integer, false}, {"country", Text, true},
    {"number", Text, true},    {"kind_code", Text, true},    {"date", Text, true},
    {"status", Text, true},    {"pair_role", Text, true},  // parent, child, parent grant or parent pct; null outside a
                                                           // pair
};
constexpr TableShape kRelatedDocumentsShape{"related_documents", kRelatedDocumentColumns, kRelatedDocuments};

constexpr Column kPctColumns[] = {
    {"country", Text, true},          {"number", Text, true},
    {"kind_code", Text, true},        {"date", Text, true},
    {"date_371", Text, true},         {"publication_number", Text, true},
    {"publication_date", Text, true},
};
constexpr TableShape kPctShape{"pct", kPctColumns, kPct};

constexpr Column kTextSectionColumns[] = {
    // summary, detailed description, drawing description, government
    // interest, background, related applications or other
    {"kind", Text, false},
    {"heading", Text, true},
    {"sequence", Integer, false},
    {"text", Text, false},
};
constexpr TableShape kTextSectionsShape{"text_sections", kTextSectionColumns, kTextSections};

constexpr Column kDocumentColumns[] = {
    // The origin; a record made without one has them null, a table never.
    {"file", Text, false},
    {"member", Text, true},
    {"ordinal", Integer, false},
    {"offset", Integer, false},
    {"source_format", Text, false},
    {"publication_number", Text, true},
    {"patent_number", Text, true},
    {"application_number", Text, true},
    {"title", Text, true},
    {"filing_date", Text, true},
    {"publication_date", Text, true},
    {"priority_date", Text, true},
    {"inventors", TextList, false},
    {"applicants", TextList, false},
    {"assignees", TextList, false},
    {"ipc_classifications", TextList, false},
    {"us_classifications", TextList, false},
    {"abstract_text", Text, true},
    {"claims", Rows, false, &kClaimsShape},
    {"kind_code", Text, true},
    {"document_type", Text, false},
    {"cpc_classifications", TextList, false},
    {"foreign_priority", Entries, false, &kPriorityShape},
    {"earliest_priority_date", Text, true},
    {"citations", Rows, false, &kCitationsShape},
    // Schema 3.
    {"num_claims", Integer, true},
    {"num_figures", Integer, true},
    {"num_sheets", Integer, true},
    {"series_code", Text, true},
    {"application_type", Text, true},
    {"term_extension_days", Integer, true},
    {"term_disclaimer", Flag, true},
    {"disclaimer_date", Text, true},
    {"term_of_grant", Integer, true},  // years
    {"botanic_latin_name", Text, true},
    {"botanic_variety", Text, true},
    {"classifications", Rows, false, &kClassificationsShape},
    {"parties", Rows, false, &kPartiesShape},
    {"related_documents", Rows, false, &kRelatedDocumentsShape},
    {"pct", Rows, false, &kPctShape},
    // Null unless asked for: the descriptions are most of a corpus's bytes.
    {"text_sections", Rows, true, &kTextSectionsShape},
};
constexpr TableShape kDocumentsShape{"documents", kDocumentColumns, kDocuments};

constexpr std::array<const TableShape*, kShapeCount> kShapes = {
    &kDocumentsShape, &kClaimsShape,           &kPriorityShape, &kCitationsShape,   &kClassificationsShape,
    &kPartiesShape,   &kRelatedDocumentsShape, &kPctShape,      &kTextSectionsShape};

constexpr bool ids_match_positions() {
  for (std::size_t index = 0; index < kShapes.size(); ++index)
    if (kShapes[index]->id != index) return false;
  return true;
}
static_assert(ids_match_positions());

constexpr bool names_fit() {
  for (const TableShape* shape : kShapes)
    for (const Column& column : shape->columns)
      if (column.name.size() > kMaxColumnNameSize) return false;
  return true;
}
static_assert(names_fit(), "a column name longer than kMaxColumnNameSize");

}  // namespace

std::span<const TableShape* const> record_shapes() noexcept { return kShapes; }

const TableShape& documents_shape() noexcept { return kDocumentsShape; }

std::string_view column_type_name(ColumnType type) noexcept {
  switch (type) {
    case Text: return "text";
    case Integer: return "integer";
    case Flag: return "flag";
    case TextList: return "text_list";
    case IntegerList: return "integer_list";
    case Entries: return "entries";
    case Rows: return "rows";
  }
  return "text";
}

}  // namespace tessellox
