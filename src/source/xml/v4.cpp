// The version 4 converters: us-patent-grant (4.0 to 4.7) and
// us-patent-application (4.0 to 4.6). Both families share every rule; they
// differ only in their root and bibliographic element names. Alternative
// element names of the document type versions are all accepted in place.
#include "source/xml/v4.hpp"

#include <array>
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

// Appends `entry` to the last item when that is a `Group`, else to a new
// `Group` item: consecutive series codes share one DomesticFilingData item,
// consecutive classifications and titles one TechnicalInformation item.
template <class Group, class Entry>
void add_to_trailing_group(Entry entry, List<BibliographicItem>& items, Arena& arena) {
  Group* group = items.empty() ? nullptr : std::get_if<Group>(&items.back());
  if (group == nullptr) group = &std::get<Group>(items.emplace_back(arena, Group{}));
  group->entries.emplace_back(arena, std::move(entry));
}

void add_series_code(NodeRef element, List<BibliographicItem>& items, Arena& arena) {
  add_to_trailing_group<DomesticFilingData>(SeriesCode{xml::trimmed_text(element, arena)}, items, arena);
}

// Adds the entry `build` makes to the trailing TechnicalInformation item.
template <auto build>
void add_technical_entry(NodeRef element, List<BibliographicItem>& items, Arena& arena) {
  add_to_trailing_group<TechnicalInformation>(TechnicalEntry(build(element, arena)), items, arena);
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

// A classification read from its main-classification and
// further-classification children.
template <class Classification>
Classification listed_classification(NodeRef element, Arena& arena) {
  Classification classification;
  classification.attributes = xml::copy_attributes(element, arena);
  classification.main_classification = xml::child_text(element, "main-classification", arena);
  classification.further_classifications = non_blank_child_texts(element, "further-classification", arena);
  return classification;
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

List<PartyRecord> party_records(NodeRef group, std::string_view accepted, std::string_view also_accepted,
                                Arena& arena) {
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
  xml::convert_children(wrapper, items, arena, xml::ChildRule{"applicants", applicants},
                        xml::ChildRule{"us-applicants", applicants}, xml::ChildRule{"assignees", assignees});
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
  xml::append_each_child(element, data.entries, arena, related_document);
  return data;
}

BibliographicInformation bibliographic_information(NodeRef element, Arena& arena, RecordCapture* capture) {
  const auto citations = [capture](NodeRef child, Arena& into) { return xml::capture_citations(child, capture, into); };
  return xml::converted_record<BibliographicInformation, &BibliographicInformation::items>(
      element, arena, xml::ChildRule{"publication-reference", publication_reference},
      xml::ChildRule{"application-reference", application_reference},
      xml::ChildRule{"us-application-series-code", add_series_code},
      xml::ChildRule{"classification-ipc", add_technical_entry<listed_classification<ClassificationIpc>>},
      xml::ChildRule{"classifications-ipcr", add_technical_entry<classifications_ipcr>},
      xml::ChildRule{"classification-national", add_technical_entry<listed_classification<ClassificationUs>>},
      xml::ChildRule{"invention-title", add_technical_entry<xml::trimmed_text_entry<TitleOfInvention>>},
      xml::ChildRule{"us-related-documents", related_documents}, xml::ChildRule{"parties", add_parties},
      xml::ChildRule{"us-parties", add_parties}, xml::ChildRule{"assignees", assignees},
      xml::ChildRule{"us-references-cited", citations}, xml::ChildRule{"references-cited", citations});
}

// ---------------------------------------------------------------------------
// Abstract, claims, drawings
// ---------------------------------------------------------------------------

Abstract abstract_part(NodeRef element, Arena& arena) {
  return xml::converted_record<Abstract>(element, arena, xml::ChildRule{"p", xml::build_paragraph},
                                         xml::ChildRule{"paragraph", xml::build_paragraph});
}

Claims claims_part(NodeRef element, Arena& arena, xml::Tree& tree) {
  Claims claims;
  claims.attributes = xml::copy_attributes(element, arena);
  claims.entries.reserve(arena, xml::child_element_count(element));
  xml::ReleaseBehind release(tree, element.first_child());
  for (NodeRef child : xml::child_elements(element)) {
    release.reached(child);
    xml::convert_child(child, claims.entries, arena, xml::ChildRule{"claim", xml::build_claim_element},
                       xml::ChildRule{"heading", xml::build_heading});
  }
  return claims;
}

Drawings drawings_part(NodeRef element, Arena& arena) {
  return xml::converted_record<Drawings>(
      element, arena, xml::ChildRule{"figure", xml::build_figure}, xml::ChildRule{"heading", xml::build_heading},
      xml::ChildRule{"representative-figure", xml::trimmed_text_entry<RepresentativeFigure>});
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
  DescriptionBuilder(Arena& arena, xml::Tree& tree) noexcept : arena_(arena), tree_(tree) {}

  Description build(NodeRef element) {
    counting_ = true;
    walk(element);
    counting_ = false;
    Description description;
    description.attributes = xml::copy_attributes(element, arena_);
    output_.reserve(arena_, output_count_);
    walk(element);
    description.entries = std::move(output_);
    return description;
  }

 private:
  void walk(NodeRef element) {
    xml::ReleaseBehind release(tree_, element.first_child());
    for (NodeRef child : xml::significant_child_nodes(element)) {
      if (!counting_) release.reached(child);
      switch (child.kind()) {
        case NodeKind::Element: element_child(child); break;
        case NodeKind::ProcessingInstruction: instruction(child); break;
        case NodeKind::Text:
        case NodeKind::CData: append_loose(child); break;
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
    add_to_group([&] { return SectionBlock(xml::build_heading(child, arena_)); });
  }

  void paragraph(NodeRef child) {
    if (!group_open_) open_group();
    add_to_group([&] { return SectionBlock(xml::build_paragraph(child, arena_)); });
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
    part_.items.reserve(arena_, part_sizes_[next_part_++]);
  }

  void open_group() {
    group_open_ = true;
    if (counting_) {
      group_sizes_.push_back(0);
      return;
    }
    group_ = Section();
    group_.blocks.reserve(arena_, group_sizes_[next_group_++]);
  }

  // `build` makes the block; the counting walk never calls it.
  template <class Build>
  void add_to_group(Build build) {
    if (counting_) {
      ++group_sizes_.back();
    } else {
      group_.blocks.emplace_back(arena_, build());
    }
  }

  void move_group_to_part() {
    if (!group_open_) return;
    group_open_ = false;
    if (counting_) {
      ++part_sizes_.back();
    } else {
      part_.items.emplace_back(arena_, group_);
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
      output_.emplace_back(arena_, part_);
    }
  }

  void add_to_output(NodeRef child) {
    if (counting_) {
      ++output_count_;
    } else {
      output_.emplace_back(arena_, xml::capture_node(child, arena_));
    }
  }

  // Into the open group, else the open part's items; a part must be open.
  void append_in_part(NodeRef child) {
    if (group_open_) {
      add_to_group([&] { return SectionBlock(xml::capture_node(child, arena_)); });
    } else if (counting_) {
      ++part_sizes_.back();
    } else {
      part_.items.emplace_back(arena_, xml::capture_node(child, arena_));
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

  Arena& arena_;
  xml::Tree& tree_;
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

Description description_part(NodeRef element, Arena& arena, xml::Tree& tree) {
  return DescriptionBuilder(arena, tree).build(element);
}

// The description, then the drawings (see hollow_for).
constexpr std::array<std::string_view, 2> kUnreadByRecords{"description", "drawings"};

ParseResult parse_v4(SourceText text, SourceFormat format, ParseScope scope, const FamilyNames& family,
                     RecordCapture* capture) {
  return xml::convert_root_parts(
      std::move(text), family.root, family.wrong_root_message, format, xml::hollow_for(scope, kUnreadByRecords),
      xml::ChildRule{family.bibliographic, xml::keeping_for_record(&bibliographic_information, capture)},
      xml::ChildRule{"abstract", abstract_part},
      xml::ChildRule{"description", xml::description_for(scope, description_part)},
      xml::ChildRule{"claims", claims_part}, xml::ChildRule{"drawings", drawings_part});
}

}  // namespace

ParseResult parse_v4_grant(SourceText text, SourceFormat format, ParseScope scope) {
  return parse_v4(std::move(text), format, scope, kGrant, nullptr);
}

ParseResult parse_v4_application(SourceText text, SourceFormat format, ParseScope scope) {
  return parse_v4(std::move(text), format, scope, kApplication, nullptr);
}

ParseResult parse_v4_grant_for_record(SourceText text, SourceFormat format, ParseScope scope, RecordCapture& capture) {
  return parse_v4(std::move(text), format, scope, kGrant, &capture);
}

ParseResult parse_v4_application_for_record(SourceText text, SourceFormat format, ParseScope scope,
                                            RecordCapture& capture) {
  return parse_v4(std::move(text), format, scope, kApplication, &capture);
}

}  // namespace tessellox
