// Version 1.5/1.6 application publications (root
// patent-application-publication). Their elements map almost one to one onto
// the model; anything unrecognised is captured whole. This generation has its
// own, narrower lookup rules: single-name child texts, first-match descendant
// texts, `lvl` as the only level attribute, and an inline vocabulary that
// knows neither `b`, `i` nor `claim-ref`.
#include "source/xml/pap.hpp"

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "source/xml/extract.hpp"
#include "text.hpp"

namespace tessellox {

namespace {

using xml::NodeKind;
using xml::NodeRef;
using Names = std::initializer_list<std::string_view>;

// ---------------------------------------------------------------------------
// Lookups
// ---------------------------------------------------------------------------

bool name_in(std::string_view name, Names names) noexcept {
  for (std::string_view wanted : names) {
    if (name == wanted) return true;
  }
  return false;
}

// The first descendant element, depth-first in document order, named one of
// `names`. Depth is bounded by the parser's nesting limit.
NodeRef first_descendant(NodeRef node, Names names) noexcept {
  for (NodeRef child : xml::child_elements(node)) {
    if (name_in(child.local_name(), names)) return child;
    const NodeRef found = first_descendant(child, names);
    if (!found.is_null()) return found;
  }
  return NodeRef();
}

// Trimmed text of the first match only: a blank first match gives absent even
// when a later one has text.
OptString descendant_text(NodeRef node, Names names) {
  const NodeRef found = first_descendant(node, names);
  if (found.is_null()) return std::nullopt;
  return xml::non_empty(xml::trimmed_text(found));
}

OptLevel lvl(NodeRef element) noexcept {
  const std::optional<std::string_view> value = xml::attribute_value(element, "lvl");
  if (!value) return std::nullopt;
  return xml::parse_level(*value);
}

// ---------------------------------------------------------------------------
// Inline content
// ---------------------------------------------------------------------------

std::optional<InlineKind> inline_kind(std::string_view name) noexcept {
  if (name == "bold") return InlineKind::Bold;
  if (name == "italic") return InlineKind::Italic;
  if (name == "highlight") return InlineKind::Highlight;
  if (name == "number") return InlineKind::Number;
  if (name == "claim-text") return InlineKind::ClaimText;
  if (name == "cross-reference") return InlineKind::CrossReference;
  if (name == "figref") return InlineKind::FigureReference;
  if (name == "dependent-claim-reference") return InlineKind::DependentClaimReference;
  return std::nullopt;
}

OptString reference_target(NodeRef element, InlineKind kind) {
  switch (kind) {
    case InlineKind::CrossReference:
      return xml::attribute_string(element, "target");
    case InlineKind::FigureReference:
      if (OptString idref = xml::attribute_string(element, "idref")) return idref;
      return xml::attribute_string(element, "target");
    case InlineKind::DependentClaimReference:
      return xml::attribute_string(element, "depends_on");
    default:
      return std::nullopt;
  }
}

// Indentation between elements always holds a line feed; a space between two
// inline elements on one line ("<bold>1</bold> <italic>a</italic>") is content.
bool is_droppable_white_space(std::string_view text) noexcept {
  if (text.empty()) return true;
  return trim(text).empty() && text.find('\n') != std::string_view::npos;
}

void append_inline_content(NodeRef element, InlineContent& out) {
  for (NodeRef child : element.children()) {
    switch (child.kind()) {
      case NodeKind::Text:
      case NodeKind::CData:
        if (!is_droppable_white_space(child.value())) out.push_back(InlineNode{Text{std::string(child.value())}});
        break;
      case NodeKind::EntityReference:
        out.push_back(InlineNode{Text{xml::captured_text(child)}});
        break;
      case NodeKind::Element:
        if (const std::optional<InlineKind> kind = inline_kind(child.local_name())) {
          InlineElement inline_element;
          inline_element.kind = *kind;
          inline_element.attributes = xml::copy_attributes(child);
          inline_element.target = reference_target(child, *kind);
          inline_element.content.reserve(xml::child_count(child));
          append_inline_content(child, inline_element.content);
          out.push_back(InlineNode{std::move(inline_element)});
        } else {
          out.push_back(InlineNode{xml::capture_node(child)});
        }
        break;
      default:  // comments and processing instructions carry no text
        break;
    }
  }
}

InlineContent inline_nodes(NodeRef element) {
  InlineContent content;
  content.reserve(xml::child_count(element));
  append_inline_content(element, content);
  return content;
}

// ---------------------------------------------------------------------------
// Body records
// ---------------------------------------------------------------------------

Heading heading(NodeRef element) {
  Heading record;
  record.attributes = xml::copy_attributes(element);
  record.content = inline_nodes(element);
  record.align = xml::attribute_string(element, "align");
  record.lvl = lvl(element);
  return record;
}

Paragraph paragraph(NodeRef element) {
  Paragraph record;
  record.attributes = xml::copy_attributes(element);
  record.id = xml::attribute_string(element, "id");
  record.lvl = lvl(element);
  record.content = inline_nodes(element);
  return record;
}

ClaimElement claim(NodeRef element) {
  ClaimElement record;
  record.attributes = xml::copy_attributes(element);
  record.content = inline_nodes(element);
  record.id = xml::attribute_string(element, "id");
  return record;
}

Image image(NodeRef element) {
  Image record;
  record.attributes = xml::copy_attributes(element);
  record.id = xml::attribute_string(element, "id");
  record.file = xml::attribute_string(element, "file");
  record.imf = xml::attribute_string(element, "imf");
  record.ti = xml::attribute_string(element, "ti");
  return record;
}

Figure figure(NodeRef element) {
  Figure record;
  record.attributes = xml::copy_attributes(element);
  record.id = xml::attribute_string(element, "id");
  for (NodeRef child : xml::child_elements(element)) {
    if (child.local_name() == "image") {
      record.items.emplace_back(image(child));
    } else {
      record.items.emplace_back(xml::capture_node(child));
    }
  }
  return record;
}

Section section(NodeRef element) {
  Section record;
  record.attributes = xml::copy_attributes(element);
  record.blocks.reserve(xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "heading") {
      record.blocks.emplace_back(heading(child));
    } else if (name == "paragraph") {
      record.blocks.emplace_back(paragraph(child));
    } else {
      record.blocks.emplace_back(xml::capture_node(child));
    }
  }
  return record;
}

// ---------------------------------------------------------------------------
// Bibliographic items
// ---------------------------------------------------------------------------

DocumentId document_id(NodeRef element) {
  DocumentId id;
  if (OptString number = xml::child_text(element, "doc-number")) id.doc_number = std::move(*number);
  id.kind_code = xml::child_text(element, "kind-code");
  id.document_date = xml::child_text(element, "document-date");
  id.country_code = xml::child_text(element, "country-code");
  return id;
}

DomesticFilingData domestic_filing_data(NodeRef element) {
  DomesticFilingData data;
  data.attributes = xml::copy_attributes(element);
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "application-number") {
      ApplicationNumber number;
      number.attributes = xml::copy_attributes(child);
      number.appl_type = xml::attribute_string(child, "appl-type");
      number.doc_number = xml::child_text(child, "doc-number");
      data.entries.emplace_back(std::move(number));
    } else if (name == "application-number-series-code") {
      data.entries.emplace_back(SeriesCode{xml::trimmed_text(child)});
    } else if (name == "filing-date") {
      data.entries.emplace_back(FilingDate{xml::trimmed_text(child)});
    } else {
      data.entries.emplace_back(xml::capture_node(child));
    }
  }
  return data;
}

TechnicalInformation technical_information(NodeRef element) {
  TechnicalInformation technical;
  technical.attributes = xml::copy_attributes(element);
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "classification-ipc") {
      ClassificationIpc ipc;
      ipc.attributes = xml::copy_attributes(child);
      ipc.main_classification = descendant_text(child, {"ipc"});
      technical.entries.emplace_back(std::move(ipc));
    } else if (name == "classification-us") {
      ClassificationUs us;
      us.attributes = xml::copy_attributes(child);
      us.main_classification = descendant_text(child, {"class", "subclass"});
      technical.entries.emplace_back(std::move(us));
    } else if (name == "title-of-invention") {
      technical.entries.emplace_back(TitleOfInvention{xml::trimmed_text(child)});
    } else {
      technical.entries.emplace_back(xml::capture_node(child));
    }
  }
  return technical;
}

bool is_continuity_entry_name(std::string_view name) noexcept {
  return name == "continuations" || name == "continuation-of" || name == "a-371-of-international" ||
         name == "continuation-in-part-of" || name == "division-of";
}

// An entry holds parent-child with the child (this application itself)
// before the parent, so the parent's number and date are looked up inside
// `parent` whenever the entry has one.
ContinuityEntry continuity_entry(NodeRef element) {
  ContinuityEntry entry;
  entry.attributes = xml::copy_attributes(element);
  NodeRef scope = first_descendant(element, {"parent"});
  if (scope.is_null()) scope = element;
  entry.parent_doc_number = descendant_text(scope, {"doc-number"});
  entry.parent_document_date = descendant_text(scope, {"document-date"});
  entry.relation_name = std::string(element.local_name());
  return entry;
}

ContinuityData continuity_data(NodeRef element) {
  ContinuityData data;
  data.attributes = xml::copy_attributes(element);
  for (NodeRef child : xml::child_elements(element)) {
    if (is_continuity_entry_name(child.local_name())) {
      data.entries.emplace_back(continuity_entry(child));
    } else {
      data.entries.emplace_back(xml::capture_node(child));
    }
  }
  return data;
}

Inventors inventors(NodeRef element) {
  Inventors group;
  group.attributes = xml::copy_attributes(element);
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name != "first-named-inventor" && name != "inventor") {
      group.entries.emplace_back(xml::capture_node(child));
      continue;
    }
    InventorRecord record;
    record.first_named = name == "first-named-inventor";
    record.attributes = xml::copy_attributes(child);
    record.given_name = descendant_text(child, {"given-name"});
    record.family_name = descendant_text(child, {"family-name"});
    record.city = descendant_text(child, {"city"});
    record.state = descendant_text(child, {"state"});
    record.country_code = descendant_text(child, {"country-code"});
    group.entries.emplace_back(std::move(record));
  }
  return group;
}

Address address(NodeRef element) {
  Address record;
  record.attributes = xml::copy_attributes(element);
  for (NodeRef child : xml::child_elements(element)) {
    // Blank lines stay, so line numbers keep their positions.
    if (child.local_name().starts_with("address-")) record.address_lines.push_back(xml::trimmed_text(child));
  }
  record.city = xml::child_text(element, "city");
  record.state = xml::child_text(element, "state");
  record.country_code = descendant_text(element, {"country-code"});
  record.postalcode = xml::child_text(element, "postalcode");
  return record;
}

CorrespondenceAddress correspondence_address(NodeRef element) {
  CorrespondenceAddress correspondence;
  correspondence.attributes = xml::copy_attributes(element);
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "name-1") {
      correspondence.entries.emplace_back(Name1{xml::trimmed_text(child)});
    } else if (name == "name-2") {
      correspondence.entries.emplace_back(Name2{xml::trimmed_text(child)});
    } else if (name == "address") {
      correspondence.entries.emplace_back(address(child));
    } else {
      correspondence.entries.emplace_back(xml::capture_node(child));
    }
  }
  return correspondence;
}

// Assignees are not read in this generation: like every unlisted element
// they are captured.
BibliographicItem bibliographic_item(NodeRef element) {
  const std::string_view name = element.local_name();
  if (name == "document-id") return document_id(element);
  if (name == "publication-filing-type") return PublicationFilingType{xml::trimmed_text(element)};
  if (name == "domestic-filing-data") return domestic_filing_data(element);
  if (name == "technical-information") return technical_information(element);
  if (name == "continuity-data") return continuity_data(element);
  if (name == "inventors") return inventors(element);
  if (name == "correspondence-address") return correspondence_address(element);
  return xml::capture_node(element);
}

BibliographicInformation bibliographic_information(NodeRef element) {
  BibliographicInformation information;
  information.attributes = xml::copy_attributes(element);
  information.items.reserve(xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) information.items.push_back(bibliographic_item(child));
  return information;
}

// ---------------------------------------------------------------------------
// Abstract, description, claims, drawings
// ---------------------------------------------------------------------------

Abstract abstract_part(NodeRef element) {
  Abstract abstract;
  abstract.attributes = xml::copy_attributes(element);
  abstract.entries.reserve(xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    if (child.local_name() == "paragraph") {
      abstract.entries.emplace_back(paragraph(child));
    } else {
      abstract.entries.emplace_back(xml::capture_node(child));
    }
  }
  return abstract;
}

std::optional<DescriptionPartKind> description_part_kind(std::string_view name) noexcept {
  if (name == "summary-of-invention") return DescriptionPartKind::SummaryOfInvention;
  if (name == "brief-description-of-drawings") return DescriptionPartKind::BriefDescriptionOfDrawings;
  if (name == "detailed-description") return DescriptionPartKind::DetailedDescription;
  return std::nullopt;
}

// A summary, drawings description or detailed description: its sections.
DescriptionPart description_division(NodeRef element, DescriptionPartKind kind) {
  DescriptionPart part;
  part.kind = kind;
  part.attributes = xml::copy_attributes(element);
  part.items.reserve(xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    if (child.local_name() == "section") {
      part.items.emplace_back(section(child));
    } else {
      part.items.emplace_back(xml::capture_node(child));
    }
  }
  return part;
}

Description description_part(NodeRef element) {
  Description description;
  description.attributes = xml::copy_attributes(element);
  description.entries.reserve(xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "cross-reference-to-related-applications") {
      description.entries.emplace_back(section(child));
    } else if (const std::optional<DescriptionPartKind> kind = description_part_kind(name)) {
      description.entries.emplace_back(description_division(child, *kind));
    } else {
      description.entries.emplace_back(xml::capture_node(child));
    }
  }
  return description;
}

Claims claims_part(NodeRef element) {
  Claims claims;
  claims.attributes = xml::copy_attributes(element);
  claims.entries.reserve(xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "claim") {
      claims.entries.emplace_back(claim(child));
    } else if (name == "heading") {
      claims.entries.emplace_back(heading(child));
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
      drawings.entries.emplace_back(figure(child));
    } else if (name == "heading") {
      drawings.entries.emplace_back(heading(child));
    } else if (name == "representative-figure") {
      drawings.entries.emplace_back(RepresentativeFigure{xml::trimmed_text(child)});
    } else {
      drawings.entries.emplace_back(xml::capture_node(child));
    }
  }
  return drawings;
}

RootPart root_part(NodeRef element) {
  const std::string_view name = element.local_name();
  if (name == "subdoc-bibliographic-information") return bibliographic_information(element);
  if (name == "subdoc-abstract") return abstract_part(element);
  if (name == "subdoc-description") return description_part(element);
  if (name == "subdoc-claims") return claims_part(element);
  if (name == "subdoc-drawings") return drawings_part(element);
  return xml::capture_node(element);
}

}  // namespace

// Both versions share one converter; only the stored format differs, and the
// wrong-root message names version 1.5 for either.
ParseResult parse_pap(std::string_view text, SourceFormat format) {
  return xml::run_front_end(text, "patent-application-publication", messages::kPapRootRequired, format,
                            [](NodeRef root, SourceDocument& document) {
                              xml::append_root_parts(root, document, root_part);
                            });
}

}  // namespace tessellox
