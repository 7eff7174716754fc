// The version 4 converters: us-patent-grant (4.0 to 4.7) and
// us-patent-application (4.0 to 4.6). Both families share every rule; they
// differ only in their root and bibliographic element names. Alternative
// element names of the document type versions are all accepted in place.
#include "source/xml/v4.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "source/xml/extract.hpp"
#include "text.hpp"

namespace tessellox {

namespace {

using xml::NodeKind;
using xml::NodeRef;

struct FamilyNames {
  std::string_view root;
  std::string_view wrong_root_message;
  std::string_view bibliographic;
};

constexpr FamilyNames kGrant{"us-patent-grant", messages::kV4GrantRootRequired, "us-bibliographic-data-grant"};
constexpr FamilyNames kApplication{"us-patent-application", messages::kV4ApplicationRootRequired,
                                   "us-bibliographic-data-application"};

bool is_paragraph_name(std::string_view name) noexcept { return name == "p" || name == "paragraph"; }

// ---------------------------------------------------------------------------
// Bibliographic data
// ---------------------------------------------------------------------------

// The trimmed texts of every child named `name`, blank ones left out.
List<std::string_view> non_blank_child_texts(NodeRef element, std::string_view name, Arena& arena) {
  List<std::string_view> texts;
  for (NodeRef child : xml::child_elements(element)) {
    if (child.local_name() != name) continue;
    const std::string_view text = xml::trimmed_text(child, arena);
    if (!text.empty()) texts.push_back(arena, text);
  }
  return texts;
}

// Child text of `name` under the first `document-id` of `element`; absent
// when either step is missing.
OptString document_id_text(NodeRef element, std::string_view name, Arena& arena) {
  const NodeRef document_id = element.is_null() ? NodeRef() : xml::first_child_element(element, "document-id");
  if (document_id.is_null()) return std::nullopt;
  return xml::child_text(document_id, name, arena);
}

NodeRef first_child_or_null(NodeRef element, std::string_view name) noexcept {
  return element.is_null() ? NodeRef() : xml::first_child_element(element, name);
}

BibliographicItem publication_reference(NodeRef element, Arena& arena) {
  const NodeRef document_id = xml::first_child_element(element, "document-id");
  if (document_id.is_null()) return xml::capture_node(element, arena);
  return xml::document_identity(document_id, arena);
}

BibliographicItem application_reference(NodeRef element, Arena& arena) {
  DomesticFilingData data;
  data.attributes = xml::copy_attributes(element, arena);
  const NodeRef document_id = xml::first_child_element(element, "document-id");
  ApplicationNumber number;
  number.appl_type = xml::attribute_string(element, "appl-type");
  OptString filing_date;
  if (!document_id.is_null()) {
    number.doc_number = xml::child_text(document_id, "doc-number", arena);
    filing_date = xml::child_text(document_id, "date", arena);
  }
  data.entries.emplace_back(arena, std::move(number));
  if (filing_date) data.entries.emplace_back(arena, FilingDate{std::move(*filing_date)});
  return data;
}

void add_series_code(NodeRef element, List<BibliographicItem>& items, Arena& arena) {
  SeriesCode code{xml::trimmed_text(element, arena)};
  if (!items.empty()) {
    if (auto* data = std::get_if<DomesticFilingData>(&items.back())) {
      data->entries.emplace_back(arena, std::move(code));
      return;
    }
  }
  DomesticFilingData data;
  data.entries.emplace_back(arena, std::move(code));
  items.emplace_back(arena, std::move(data));
}

// Consecutive classifications and titles share one TechnicalInformation item.
void add_technical_entry(TechnicalEntry entry, List<BibliographicItem>& items, Arena& arena) {
  if (!items.empty()) {
    if (auto* technical = std::get_if<TechnicalInformation>(&items.back())) {
      technical->entries.push_back(arena, std::move(entry));
      return;
    }
  }
  TechnicalInformation technical;
  technical.entries.push_back(arena, std::move(entry));
  items.emplace_back(arena, std::move(technical));
}

// section, class, subclass and main group run together, then "/" and the
// subgroup ("H01L21/02"); absent when any part is missing.
OptString ipcr_code(NodeRef element, Arena& arena) {
  OptString section = xml::child_text(element, "section", arena);
  OptString class_code = xml::child_text(element, "class", arena);
  OptString subclass = xml::child_text(element, "subclass", arena);
  OptString main_group = xml::child_text(element, "main-group", arena);
  OptString subgroup = xml::child_text(element, "subgroup", arena);
  if (!section || !class_code || !subclass || !main_group || !subgroup) return std::nullopt;
  std::string code(*section);
  code.reserve(code.size() + class_code->size() + subclass->size() + main_group->size() + subgroup->size() + 1);
  code += *class_code;
  code += *subclass;
  code += *main_group;
  code += '/';
  code += *subgroup;
  return arena.copy(code);
}

ClassificationIpc classification_ipc(NodeRef element, Arena& arena) {
  ClassificationIpc ipc;
  ipc.attributes = xml::copy_attributes(element, arena);
  ipc.main_classification = xml::child_text(element, "main-classification", arena);
  ipc.further_classifications = non_blank_child_texts(element, "further-classification", arena);
  return ipc;
}

ClassificationIpc classifications_ipcr(NodeRef element, Arena& arena) {
  ClassificationIpc ipc;
  ipc.attributes = xml::copy_attributes(element, arena);
  for (NodeRef child : xml::child_elements(element)) {
    if (child.local_name() != "classification-ipcr") continue;
    OptString code = ipcr_code(child, arena);
    if (!code) continue;
    if (!ipc.main_classification) {
      ipc.main_classification = std::move(code);
    } else {
      ipc.further_classifications.push_back(arena, std::move(*code));
    }
  }
  return ipc;
}

ClassificationUs classification_national(NodeRef element, Arena& arena) {
  ClassificationUs us;
  us.attributes = xml::copy_attributes(element, arena);
  us.main_classification = xml::child_text(element, "main-classification", arena);
  us.further_classifications = non_blank_child_texts(element, "further-classification", arena);
  return us;
}

// The organisation or person name of an applicant or assignee, read from its
// addressbook. Version 4.0 assignees carry `orgname` directly, without an
// addressbook; their names are read from the party element itself.
OptString party_name(NodeRef party, Arena& arena) {
  NodeRef addressbook = xml::first_child_element(party, "addressbook");
  if (addressbook.is_null()) addressbook = party;
  if (OptString name = xml::child_text(addressbook, {"orgname", "name"}, arena)) return name;
  std::string joined;
  for (std::string_view part : {"first-name", "middle-name", "last-name"}) {
    OptString piece = xml::child_text(addressbook, part, arena);
    if (!piece) continue;
    if (!joined.empty()) joined += ' ';
    joined += *piece;
  }
  if (joined.empty()) return std::nullopt;
  return arena.copy(joined);
}

List<PartyRecord> party_records(NodeRef group, std::string_view accepted, std::string_view also_accepted, Arena& arena) {
  List<PartyRecord> parties;
  for (NodeRef child : xml::child_elements(group)) {
    const std::string_view name = child.local_name();
    if (name != accepted && name != also_accepted) continue;
    PartyRecord& record = parties.emplace_back(arena);
    record.attributes = xml::copy_attributes(child, arena);
    record.name = party_name(child, arena);
  }
  return parties;
}

Applicants applicants(NodeRef element, Arena& arena) {
  Applicants group;
  group.attributes = xml::copy_attributes(element, arena);
  group.parties = party_records(element, "applicant", "us-applicant", arena);
  return group;
}

Assignees assignees(NodeRef element, Arena& arena) {
  Assignees group;
  group.attributes = xml::copy_attributes(element, arena);
  group.parties = party_records(element, "assignee", "assignee", arena);
  return group;
}

void add_parties(NodeRef wrapper, List<BibliographicItem>& items, Arena& arena) {
  for (NodeRef child : xml::child_elements(wrapper)) {
    const std::string_view name = child.local_name();
    if (name == "applicants" || name == "us-applicants") {
      items.emplace_back(arena, applicants(child, arena));
    } else if (name == "assignees") {
      items.emplace_back(arena, assignees(child, arena));
    } else {
      items.emplace_back(arena, xml::capture_node(child, arena));
    }
  }
}

ContinuityItem related_document(NodeRef element, Arena& arena) {
  const std::string_view name = element.local_name();
  if (name == "us-provisional-application") {
    ContinuityEntry entry;
    entry.attributes = xml::copy_attributes(element, arena);
    entry.parent_doc_number = document_id_text(element, "doc-number", arena);
    entry.parent_document_date = document_id_text(element, "date", arena);
    entry.relation_name = name;
    return entry;
  }
  if (name == "continuation" || name == "continuation-in-part" || name == "division") {
    ContinuityEntry entry;
    entry.attributes = xml::copy_attributes(element, arena);
    const NodeRef relation = xml::first_child_element(element, "relation");
    const NodeRef parent = first_child_or_null(relation, "parent-doc");
    const NodeRef child = first_child_or_null(relation, "child-doc");
    entry.parent_doc_number = document_id_text(parent, "doc-number", arena);
    entry.parent_document_date = document_id_text(parent, "date", arena);
    entry.child_doc_number = document_id_text(child, "doc-number", arena);
    entry.relation_name = name;
    return entry;
  }
  return xml::capture_node(element, arena);
}

ContinuityData related_documents(NodeRef element, Arena& arena) {
  ContinuityData data;
  data.attributes = xml::copy_attributes(element, arena);
  data.entries.reserve(arena, xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) data.entries.push_back(arena, related_document(child, arena));
  return data;
}

BibliographicInformation bibliographic_information(NodeRef element, Arena& arena) {
  BibliographicInformation information;
  information.attributes = xml::copy_attributes(element, arena);
  List<BibliographicItem>& items = information.items;
  items.reserve(arena, xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "publication-reference") {
      items.push_back(arena, publication_reference(child, arena));
    } else if (name == "application-reference") {
      items.push_back(arena, application_reference(child, arena));
    } else if (name == "us-application-series-code") {
      add_series_code(child, items, arena);
    } else if (name == "classification-ipc") {
      add_technical_entry(classification_ipc(child, arena), items, arena);
    } else if (name == "classifications-ipcr") {
      add_technical_entry(classifications_ipcr(child, arena), items, arena);
    } else if (name == "classification-national") {
      add_technical_entry(classification_national(child, arena), items, arena);
    } else if (name == "invention-title") {
      add_technical_entry(TitleOfInvention{xml::trimmed_text(child, arena)}, items, arena);
    } else if (name == "us-related-documents") {
      items.emplace_back(arena, related_documents(child, arena));
    } else if (name == "parties" || name == "us-parties") {
      add_parties(child, items, arena);
    } else if (name == "assignees") {
      items.emplace_back(arena, assignees(child, arena));
    } else {
      items.emplace_back(arena, xml::capture_node(child, arena));
    }
  }
  return information;
}

// ---------------------------------------------------------------------------
// Abstract, claims, drawings
// ---------------------------------------------------------------------------

Abstract abstract_part(NodeRef element, Arena& arena) {
  Abstract abstract;
  abstract.attributes = xml::copy_attributes(element, arena);
  abstract.entries.reserve(arena, xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    if (is_paragraph_name(child.local_name())) {
      abstract.entries.emplace_back(arena, xml::build_paragraph(child, arena));
    } else {
      abstract.entries.emplace_back(arena, xml::capture_node(child, arena));
    }
  }
  return abstract;
}

Claims claims_part(NodeRef element, Arena& arena) {
  Claims claims;
  claims.attributes = xml::copy_attributes(element, arena);
  claims.entries.reserve(arena, xml::child_element_count(element));
  xml::ReleaseBehind release(element.first_child());
  for (NodeRef child : xml::child_elements(element)) {
    release.reached(child);
    const std::string_view name = child.local_name();
    if (name == "claim") {
      claims.entries.emplace_back(arena, xml::build_claim_element(child, arena));
    } else if (name == "heading") {
      claims.entries.emplace_back(arena, xml::build_heading(child, arena));
    } else {
      claims.entries.emplace_back(arena, xml::capture_node(child, arena));
    }
  }
  return claims;
}

Drawings drawings_part(NodeRef element, Arena& arena) {
  Drawings drawings;
  drawings.attributes = xml::copy_attributes(element, arena);
  drawings.entries.reserve(arena, xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "figure") {
      drawings.entries.emplace_back(arena, xml::build_figure(child, arena));
    } else if (name == "heading") {
      drawings.entries.emplace_back(arena, xml::build_heading(child, arena));
    } else if (name == "representative-figure") {
      drawings.entries.emplace_back(arena, RepresentativeFigure{xml::trimmed_text(child, arena)});
    } else {
      drawings.entries.emplace_back(arena, xml::capture_node(child, arena));
    }
  }
  return drawings;
}

// ---------------------------------------------------------------------------
// Description
// ---------------------------------------------------------------------------

// USPTO documents bracket their description sections with processing
// instructions (<?BRFSUM description="..." end="lead"?> ... end="tail"?>).
// The builder cuts the description into parts at those instructions and,
// inside a part, into sections that begin at each heading.
//
// It walks the description twice: the first walk only counts what each
// section, part and the description will hold, so that the second can give
// every list its exact size. A list grown by doubling would leave its
// outgrown copies in the arena, a third of a long description's model.
class DescriptionBuilder {
 public:
  explicit DescriptionBuilder(Arena& arena) noexcept : arena(arena) {}

  Description build(NodeRef element) {
    counting_ = true;
    walk(element);
    counting_ = false;
    Description description;
    description.attributes = xml::copy_attributes(element, arena);
    output_.reserve(arena, output_count_);
    walk(element);
    description.entries = std::move(output_);
    return description;
  }

 private:
  void walk(NodeRef element) {
    xml::ReleaseBehind release(element.first_child());
    for (NodeRef child : xml::significant_child_nodes(element)) {
      if (!counting_) release.reached(child);
      switch (child.kind()) {
        case NodeKind::Element:
          element_child(child);
          break;
        case NodeKind::ProcessingInstruction:
          instruction(child);
          break;
        case NodeKind::Text:
        case NodeKind::CData:
          append_loose(child);
          break;
        default:  // comments and entity references
          break;
      }
    }
    close_part();
  }

  void element_child(NodeRef child) {
    const std::string_view name = child.local_name();
    if (name == "heading") {
      open_part_if_none(DescriptionPartKind::DetailedDescription);
      heading(child);
    } else if (is_paragraph_name(name)) {
      open_part_if_none(DescriptionPartKind::DetailedDescription);
      paragraph(child);
    } else if (name == "description-of-drawings") {
      open_part_if_none(DescriptionPartKind::BriefDescriptionOfDrawings);
      drawings_description(child);
    } else {
      append_loose(child);
    }
  }

  void heading(NodeRef child) {
    move_group_to_part();
    open_group();
    add_to_group([&] { return SectionBlock(xml::build_heading(child, arena)); });
  }

  void paragraph(NodeRef child) {
    if (!group_open_) open_group();
    add_to_group([&] { return SectionBlock(xml::build_paragraph(child, arena)); });
  }

  // Its headings and paragraphs join the open part; the wrapper leaves no trace.
  void drawings_description(NodeRef element) {
    for (NodeRef child : xml::significant_child_nodes(element)) {
      const std::string_view name = child.is_element() ? child.local_name() : std::string_view();
      if (name == "heading") {
        heading(child);
      } else if (is_paragraph_name(name)) {
        paragraph(child);
      } else {
        append_in_part(child);
      }
    }
  }

  void instruction(NodeRef child) {
    if (child.value().find("end=\"tail\"") != std::string_view::npos) {
      close_part();
      add_to_output(child);
      return;
    }
    if (std::optional<DescriptionPartKind> kind = section_kind(child.target())) {
      close_part();
      add_to_output(child);
      open_part(*kind);
      return;
    }
    append_loose(child);
  }

  static std::optional<DescriptionPartKind> section_kind(std::string_view target) {
    std::string lower(target);
    for (char& c : lower) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (lower == "brfsum" || lower == "summary-of-invention") return DescriptionPartKind::SummaryOfInvention;
    if (lower == "brief-description-of-drawings") return DescriptionPartKind::BriefDescriptionOfDrawings;
    if (lower == "detdesc" || lower == "detailed-description") return DescriptionPartKind::DetailedDescription;
    return std::nullopt;
  }

  void open_part_if_none(DescriptionPartKind kind) {
    if (!part_open_) open_part(kind);
  }

  void open_part(DescriptionPartKind kind) {
    part_open_ = true;
    if (counting_) {
      part_sizes_.push_back(0);
      return;
    }
    part_ = DescriptionPart();
    part_.kind = kind;
    part_.items.reserve(arena, part_sizes_[next_part_++]);
  }

  void open_group() {
    group_open_ = true;
    if (counting_) {
      group_sizes_.push_back(0);
      return;
    }
    group_ = Section();
    group_.blocks.reserve(arena, group_sizes_[next_group_++]);
  }

  // `build` makes the block; the counting walk never calls it.
  template <class Build>
  void add_to_group(Build build) {
    if (counting_) {
      ++group_sizes_.back();
    } else {
      group_.blocks.emplace_back(arena, build());
    }
  }

  void move_group_to_part() {
    if (!group_open_) return;
    group_open_ = false;
    if (counting_) {
      ++part_sizes_.back();
    } else {
      part_.items.emplace_back(arena, group_);
    }
  }

  // Closes the open part, empty or not, into the output list.
  void close_part() {
    if (!part_open_) return;
    move_group_to_part();
    part_open_ = false;
    if (counting_) {
      ++output_count_;
    } else {
      output_.emplace_back(arena, part_);
    }
  }

  void add_to_output(NodeRef child) {
    if (counting_) {
      ++output_count_;
    } else {
      output_.emplace_back(arena, xml::capture_node(child, arena));
    }
  }

  // Into the open group, else the open part's items; a part must be open.
  void append_in_part(NodeRef child) {
    if (group_open_) {
      add_to_group([&] { return SectionBlock(xml::capture_node(child, arena)); });
    } else if (counting_) {
      ++part_sizes_.back();
    } else {
      part_.items.emplace_back(arena, xml::capture_node(child, arena));
    }
  }

  // Like append_in_part, but straight into the output list when no part is open.
  void append_loose(NodeRef child) {
    if (!part_open_) {
      add_to_output(child);
    } else {
      append_in_part(child);
    }
  }

  Arena& arena;
  bool counting_ = false;
  // What the counting walk found, in the order the building walk opens them.
  std::vector<std::uint32_t> group_sizes_;
  std::vector<std::uint32_t> part_sizes_;
  std::uint32_t output_count_ = 0;
  std::size_t next_group_ = 0;
  std::size_t next_part_ = 0;
  List<DescriptionEntry> output_;
  DescriptionPart part_;
  Section group_;
  bool part_open_ = false;
  bool group_open_ = false;
};

// ---------------------------------------------------------------------------
// Root
// ---------------------------------------------------------------------------

RootPart root_part(NodeRef child, const FamilyNames& family, Arena& arena) {
  const std::string_view name = child.local_name();
  if (name == family.bibliographic) return bibliographic_information(child, arena);
  if (name == "abstract") return abstract_part(child, arena);
  if (name == "description") return DescriptionBuilder(arena).build(child);
  if (name == "claims") return claims_part(child, arena);
  if (name == "drawings") return drawings_part(child, arena);
  return xml::capture_node(child, arena);
}

ParseResult parse_v4(SourceText text, SourceFormat format, const FamilyNames& family) {
  return xml::run_front_end(std::move(text), family.root, family.wrong_root_message, format,
                            [&family](NodeRef root, SourceDocument& document) {
                              xml::append_root_parts(root, document, [&family, &document](NodeRef child) {
                                return root_part(child, family, document.arena);
                              });
                            });
}

}  // namespace

ParseResult parse_v4_grant(SourceText text, SourceFormat format) { return parse_v4(std::move(text), format, kGrant); }

ParseResult parse_v4_application(SourceText text, SourceFormat format) {
  return parse_v4(std::move(text), format, kApplication);
}

}  // namespace tessellox
