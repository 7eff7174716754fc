// The version 4 converters: us-patent-grant (4.0 to 4.7) and
// us-patent-application (4.0 to 4.6). Both families share every rule; they
// differ only in their root and bibliographic element names. Alternative
// element names of the document type versions are all accepted in place.
#include "source/xml/v4.hpp"

#include <optional>
#include <string>
#include <utility>

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
std::vector<std::string> non_blank_child_texts(NodeRef element, std::string_view name) {
  std::vector<std::string> texts;
  for (NodeRef child : xml::child_elements(element)) {
    if (child.local_name() != name) continue;
    std::string text = xml::trimmed_text(child);
    if (!text.empty()) texts.push_back(std::move(text));
  }
  return texts;
}

// Child text of `name` under the first `document-id` of `element`; absent
// when either step is missing.
OptString document_id_text(NodeRef element, std::string_view name) {
  const NodeRef document_id = element.is_null() ? NodeRef() : xml::first_child_element(element, "document-id");
  if (document_id.is_null()) return std::nullopt;
  return xml::child_text(document_id, name);
}

NodeRef first_child_or_null(NodeRef element, std::string_view name) noexcept {
  return element.is_null() ? NodeRef() : xml::first_child_element(element, name);
}

BibliographicItem publication_reference(NodeRef element) {
  const NodeRef document_id = xml::first_child_element(element, "document-id");
  if (document_id.is_null()) return xml::capture_node(element);
  return xml::document_identity(document_id);
}

BibliographicItem application_reference(NodeRef element) {
  DomesticFilingData data;
  data.attributes = xml::copy_attributes(element);
  const NodeRef document_id = xml::first_child_element(element, "document-id");
  ApplicationNumber number;
  number.appl_type = xml::attribute_string(element, "appl-type");
  OptString filing_date;
  if (!document_id.is_null()) {
    number.doc_number = xml::child_text(document_id, "doc-number");
    filing_date = xml::child_text(document_id, "date");
  }
  data.entries.emplace_back(std::move(number));
  if (filing_date) data.entries.emplace_back(FilingDate{std::move(*filing_date)});
  return data;
}

void add_series_code(NodeRef element, std::vector<BibliographicItem>& items) {
  SeriesCode code{xml::trimmed_text(element)};
  if (!items.empty()) {
    if (auto* data = std::get_if<DomesticFilingData>(&items.back())) {
      data->entries.emplace_back(std::move(code));
      return;
    }
  }
  DomesticFilingData data;
  data.entries.emplace_back(std::move(code));
  items.emplace_back(std::move(data));
}

// Consecutive classifications and titles share one TechnicalInformation item.
void add_technical_entry(TechnicalEntry entry, std::vector<BibliographicItem>& items) {
  if (!items.empty()) {
    if (auto* technical = std::get_if<TechnicalInformation>(&items.back())) {
      technical->entries.push_back(std::move(entry));
      return;
    }
  }
  TechnicalInformation technical;
  technical.entries.push_back(std::move(entry));
  items.emplace_back(std::move(technical));
}

// section, class, subclass and main group run together, then "/" and the
// subgroup ("H01L21/02"); absent when any part is missing.
OptString ipcr_code(NodeRef element) {
  OptString section = xml::child_text(element, "section");
  OptString class_code = xml::child_text(element, "class");
  OptString subclass = xml::child_text(element, "subclass");
  OptString main_group = xml::child_text(element, "main-group");
  OptString subgroup = xml::child_text(element, "subgroup");
  if (!section || !class_code || !subclass || !main_group || !subgroup) return std::nullopt;
  std::string code = std::move(*section);
  code.reserve(code.size() + class_code->size() + subclass->size() + main_group->size() + subgroup->size() + 1);
  code += *class_code;
  code += *subclass;
  code += *main_group;
  code += '/';
  code += *subgroup;
  return code;
}

ClassificationIpc classification_ipc(NodeRef element) {
  ClassificationIpc ipc;
  ipc.attributes = xml::copy_attributes(element);
  ipc.main_classification = xml::child_text(element, "main-classification");
  ipc.further_classifications = non_blank_child_texts(element, "further-classification");
  return ipc;
}

ClassificationIpc classifications_ipcr(NodeRef element) {
  ClassificationIpc ipc;
  ipc.attributes = xml::copy_attributes(element);
  for (NodeRef child : xml::child_elements(element)) {
    if (child.local_name() != "classification-ipcr") continue;
    OptString code = ipcr_code(child);
    if (!code) continue;
    if (!ipc.main_classification) {
      ipc.main_classification = std::move(code);
    } else {
      ipc.further_classifications.push_back(std::move(*code));
    }
  }
  return ipc;
}

ClassificationUs classification_national(NodeRef element) {
  ClassificationUs us;
  us.attributes = xml::copy_attributes(element);
  us.main_classification = xml::child_text(element, "main-classification");
  us.further_classifications = non_blank_child_texts(element, "further-classification");
  return us;
}

// The organisation or person name of an applicant or assignee, read from its
// addressbook. Version 4.0 assignees carry `orgname` directly, without an
// addressbook; their names are read from the party element itself.
OptString party_name(NodeRef party) {
  NodeRef addressbook = xml::first_child_element(party, "addressbook");
  if (addressbook.is_null()) addressbook = party;
  if (OptString name = xml::child_text(addressbook, {"orgname", "name"})) return name;
  std::string joined;
  for (std::string_view part : {"first-name", "middle-name", "last-name"}) {
    OptString piece = xml::child_text(addressbook, part);
    if (!piece) continue;
    if (!joined.empty()) joined += ' ';
    joined += *piece;
  }
  if (joined.empty()) return std::nullopt;
  return joined;
}

std::vector<PartyRecord> party_records(NodeRef group, std::string_view accepted, std::string_view also_accepted) {
  std::vector<PartyRecord> parties;
  for (NodeRef child : xml::child_elements(group)) {
    const std::string_view name = child.local_name();
    if (name != accepted && name != also_accepted) continue;
    PartyRecord& record = parties.emplace_back();
    record.attributes = xml::copy_attributes(child);
    record.name = party_name(child);
  }
  return parties;
}

Applicants applicants(NodeRef element) {
  Applicants group;
  group.attributes = xml::copy_attributes(element);
  group.parties = party_records(element, "applicant", "us-applicant");
  return group;
}

Assignees assignees(NodeRef element) {
  Assignees group;
  group.attributes = xml::copy_attributes(element);
  group.parties = party_records(element, "assignee", "assignee");
  return group;
}

void add_parties(NodeRef wrapper, std::vector<BibliographicItem>& items) {
  for (NodeRef child : xml::child_elements(wrapper)) {
    const std::string_view name = child.local_name();
    if (name == "applicants" || name == "us-applicants") {
      items.emplace_back(applicants(child));
    } else if (name == "assignees") {
      items.emplace_back(assignees(child));
    } else {
      items.emplace_back(xml::capture_node(child));
    }
  }
}

ContinuityItem related_document(NodeRef element) {
  const std::string_view name = element.local_name();
  if (name == "us-provisional-application") {
    ContinuityEntry entry;
    entry.attributes = xml::copy_attributes(element);
    entry.parent_doc_number = document_id_text(element, "doc-number");
    entry.parent_document_date = document_id_text(element, "date");
    entry.relation_name = std::string(name);
    return entry;
  }
  if (name == "continuation" || name == "continuation-in-part" || name == "division") {
    ContinuityEntry entry;
    entry.attributes = xml::copy_attributes(element);
    const NodeRef relation = xml::first_child_element(element, "relation");
    const NodeRef parent = first_child_or_null(relation, "parent-doc");
    const NodeRef child = first_child_or_null(relation, "child-doc");
    entry.parent_doc_number = document_id_text(parent, "doc-number");
    entry.parent_document_date = document_id_text(parent, "date");
    entry.child_doc_number = document_id_text(child, "doc-number");
    entry.relation_name = std::string(name);
    return entry;
  }
  return xml::capture_node(element);
}

ContinuityData related_documents(NodeRef element) {
  ContinuityData data;
  data.attributes = xml::copy_attributes(element);
  data.entries.reserve(xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) data.entries.push_back(related_document(child));
  return data;
}

BibliographicInformation bibliographic_information(NodeRef element) {
  BibliographicInformation information;
  information.attributes = xml::copy_attributes(element);
  std::vector<BibliographicItem>& items = information.items;
  items.reserve(xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "publication-reference") {
      items.push_back(publication_reference(child));
    } else if (name == "application-reference") {
      items.push_back(application_reference(child));
    } else if (name == "us-application-series-code") {
      add_series_code(child, items);
    } else if (name == "classification-ipc") {
      add_technical_entry(classification_ipc(child), items);
    } else if (name == "classifications-ipcr") {
      add_technical_entry(classifications_ipcr(child), items);
    } else if (name == "classification-national") {
      add_technical_entry(classification_national(child), items);
    } else if (name == "invention-title") {
      add_technical_entry(TitleOfInvention{xml::trimmed_text(child)}, items);
    } else if (name == "us-related-documents") {
      items.emplace_back(related_documents(child));
    } else if (name == "parties" || name == "us-parties") {
      add_parties(child, items);
    } else if (name == "assignees") {
      items.emplace_back(assignees(child));
    } else {
      items.emplace_back(xml::capture_node(child));
    }
  }
  return information;
}

// ---------------------------------------------------------------------------
// Abstract, claims, drawings
// ---------------------------------------------------------------------------

Abstract abstract_part(NodeRef element) {
  Abstract abstract;
  abstract.attributes = xml::copy_attributes(element);
  abstract.entries.reserve(xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    if (is_paragraph_name(child.local_name())) {
      abstract.entries.emplace_back(xml::build_paragraph(child));
    } else {
      abstract.entries.emplace_back(xml::capture_node(child));
    }
  }
  return abstract;
}

Claims claims_part(NodeRef element) {
  Claims claims;
  claims.attributes = xml::copy_attributes(element);
  claims.entries.reserve(xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "claim") {
      claims.entries.emplace_back(xml::build_claim_element(child));
    } else if (name == "heading") {
      claims.entries.emplace_back(xml::build_heading(child));
    } else {
      claims.entries.emplace_back(xml::capture_node(child));
    }
  }
  return claims;
}

Drawings drawings_part(NodeRef element) {
  Drawings drawings;
  drawings.attributes = xml::copy_attributes(element);
  drawings.entries.reserve(xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "figure") {
      drawings.entries.emplace_back(xml::build_figure(child));
    } else if (name == "heading") {
      drawings.entries.emplace_back(xml::build_heading(child));
    } else if (name == "representative-figure") {
      drawings.entries.emplace_back(RepresentativeFigure{xml::trimmed_text(child)});
    } else {
      drawings.entries.emplace_back(xml::capture_node(child));
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
class DescriptionBuilder {
 public:
  Description build(NodeRef element) {
    Description description;
    description.attributes = xml::copy_attributes(element);
    for (NodeRef child : xml::significant_child_nodes(element)) {
      switch (child.kind()) {
        case NodeKind::Element:
          element_child(child);
          break;
        case NodeKind::ProcessingInstruction:
          instruction(child);
          break;
        case NodeKind::Text:
        case NodeKind::CData:
          append_loose(xml::capture_node(child));
          break;
        default:  // comments and entity references
          break;
      }
    }
    close_part();
    description.entries = std::move(output_);
    return description;
  }

 private:
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
      append_loose(xml::capture_node(child));
    }
  }

  void heading(NodeRef child) {
    move_group_to_part();
    group_.emplace();
    group_->blocks.emplace_back(xml::build_heading(child));
  }

  void paragraph(NodeRef child) {
    if (!group_) group_.emplace();
    group_->blocks.emplace_back(xml::build_paragraph(child));
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
        append_in_part(xml::capture_node(child));
      }
    }
  }

  void instruction(NodeRef child) {
    RawXml captured = xml::capture_node(child);
    if (child.value().find("end=\"tail\"") != std::string_view::npos) {
      close_part();
      output_.emplace_back(std::move(captured));
      return;
    }
    if (std::optional<DescriptionPartKind> kind = section_kind(child.target())) {
      close_part();
      output_.emplace_back(std::move(captured));
      part_.emplace();
      part_->kind = *kind;
      return;
    }
    append_loose(std::move(captured));
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
    if (part_) return;
    part_.emplace();
    part_->kind = kind;
  }

  void move_group_to_part() {
    if (!group_) return;
    part_->items.emplace_back(std::move(*group_));
    group_.reset();
  }

  // Closes the open part, empty or not, into the output list.
  void close_part() {
    if (!part_) return;
    move_group_to_part();
    output_.emplace_back(std::move(*part_));
    part_.reset();
  }

  // Into the open group, else the open part's items; a part must be open.
  void append_in_part(RawXml node) {
    if (group_) {
      group_->blocks.emplace_back(std::move(node));
    } else {
      part_->items.emplace_back(std::move(node));
    }
  }

  // Like append_in_part, but straight into the output list when no part is open.
  void append_loose(RawXml node) {
    if (!part_) {
      output_.emplace_back(std::move(node));
    } else {
      append_in_part(std::move(node));
    }
  }

  std::vector<DescriptionEntry> output_;
  std::optional<DescriptionPart> part_;
  std::optional<Section> group_;
};

// ---------------------------------------------------------------------------
// Root
// ---------------------------------------------------------------------------

RootPart root_part(NodeRef child, const FamilyNames& family) {
  const std::string_view name = child.local_name();
  if (name == family.bibliographic) return bibliographic_information(child);
  if (name == "abstract") return abstract_part(child);
  if (name == "description") return DescriptionBuilder().build(child);
  if (name == "claims") return claims_part(child);
  if (name == "drawings") return drawings_part(child);
  return xml::capture_node(child);
}

ParseResult parse_v4(std::string_view text, SourceFormat format, const FamilyNames& family) {
  return xml::run_front_end(text, family.root, family.wrong_root_message, format,
                            [&family](NodeRef root, SourceDocument& document) {
                              xml::append_root_parts(root, document,
                                                     [&family](NodeRef child) { return root_part(child, family); });
                            });
}

}  // namespace

ParseResult parse_v4_grant(std::string_view text, SourceFormat format) { return parse_v4(text, format, kGrant); }

ParseResult parse_v4_application(std::string_view text, SourceFormat format) {
  return parse_v4(text, format, kApplication);
}

}  // namespace tessellox
