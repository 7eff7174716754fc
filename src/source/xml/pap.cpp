// Version 1.5/1.6 application publications (root
// patent-application-publication). Their elements map almost one to one onto
// the model; anything unrecognised is captured whole. This generation has its
// own, narrower lookup rules: single-name child texts, first-match descendant
// texts, `lvl` as the only level attribute, and an inline vocabulary that
// knows neither `b`, `i` nor `claim-ref`.
#include "source/xml/pap.hpp"

#include <array>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "source/xml/extract.hpp"
#include "text.hpp"

namespace tessellox {

namespace {

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
OptString descendant_text(NodeRef node, Names names, Arena& arena) {
  const NodeRef found = first_descendant(node, names);
  if (found.is_null()) return std::nullopt;
  return xml::non_empty(xml::trimmed_text(found, arena));
}

OptLevel lvl(NodeRef element) noexcept { return xml::level_attribute(element, "lvl"); }

// ---------------------------------------------------------------------------
// Inline content
// ---------------------------------------------------------------------------

constexpr xml::InlineName kInlineNames[] = {
    {"bold", InlineKind::Bold},
    {"italic", InlineKind::Italic},
    {"highlight", InlineKind::Highlight},
    {"number", InlineKind::Number},
    {"claim-text", InlineKind::ClaimText},
    {"cross-reference", InlineKind::CrossReference},
    {"figref", InlineKind::FigureReference},
    {"dependent-claim-reference", InlineKind::DependentClaimReference},
};

constexpr xml::TargetAttributes kTargets[] = {
    {InlineKind::CrossReference, {"target"}},
    {InlineKind::FigureReference, {"idref", "target"}},
    {InlineKind::DependentClaimReference, {"depends_on"}},
};

// Processing instructions carry no text here and are dropped.
constexpr xml::InlineVocabulary kInline{.names = kInlineNames, .targets = kTargets};

// ---------------------------------------------------------------------------
// Body records
// ---------------------------------------------------------------------------

constexpr auto heading = xml::heading_with<kInline, &lvl>;
constexpr auto paragraph = xml::paragraph_with<kInline, &lvl>;
constexpr auto claim = xml::claim_with<kInline>;

Figure figure(NodeRef element, Arena& arena) {
  Figure record;
  record.attributes = xml::copy_attributes(element, arena);
  record.id = xml::attribute_string(element, "id");
  xml::convert_children(element, record.items, arena, xml::ChildRule{"image", xml::build_image});
  return record;
}

Section section(NodeRef element, Arena& arena) {
  return xml::converted_record<Section, &Section::blocks>(element, arena, xml::ChildRule{"heading", heading},
                                                          xml::ChildRule{"paragraph", paragraph});
}

// ---------------------------------------------------------------------------
// Bibliographic items
// ---------------------------------------------------------------------------

DocumentId document_id(NodeRef element, Arena& arena) {
  DocumentId id;
  if (OptString number = xml::child_text(element, "doc-number", arena)) id.doc_number = std::move(*number);
  id.kind_code = xml::child_text(element, "kind-code", arena);
  id.document_date = xml::child_text(element, "document-date", arena);
  id.country_code = xml::child_text(element, "country-code", arena);
  return id;
}

ApplicationNumber application_number(NodeRef element, Arena& arena) {
  ApplicationNumber number;
  number.attributes = xml::copy_attributes(element, arena);
  number.appl_type = xml::attribute_string(element, "appl-type");
  number.doc_number = xml::child_text(element, "doc-number", arena);
  return number;
}

DomesticFilingData domestic_filing_data(NodeRef element, Arena& arena) {
  return xml::converted_record<DomesticFilingData>(
      element, arena, xml::ChildRule{"application-number", application_number},
      xml::ChildRule{"application-number-series-code", xml::trimmed_text_entry<SeriesCode>},
      xml::ChildRule{"filing-date", xml::trimmed_text_entry<FilingDate>});
}

ClassificationIpc classification_ipc(NodeRef element, Arena& arena) {
  ClassificationIpc ipc;
  ipc.attributes = xml::copy_attributes(element, arena);
  ipc.main_classification = descendant_text(element, {"ipc"}, arena);
  return ipc;
}

ClassificationUs classification_us(NodeRef element, Arena& arena) {
  ClassificationUs us;
  us.attributes = xml::copy_attributes(element, arena);
  us.main_classification = descendant_text(element, {"class", "subclass"}, arena);
  return us;
}

TechnicalInformation technical_information(NodeRef element, Arena& arena) {
  return xml::converted_record<TechnicalInformation>(
      element, arena, xml::ChildRule{"classification-ipc", classification_ipc},
      xml::ChildRule{"classification-us", classification_us},
      xml::ChildRule{"title-of-invention", xml::trimmed_text_entry<TitleOfInvention>});
}

bool is_continuity_entry_name(std::string_view name) noexcept {
  return name == "continuations" || name == "continuation-of" || name == "a-371-of-international" ||
         name == "continuation-in-part-of" || name == "division-of";
}

// An entry holds parent-child with the child (this application itself)
// before the parent, so the parent's number and date are looked up inside
// `parent` whenever the entry has one.
ContinuityEntry continuity_entry(NodeRef element, Arena& arena) {
  ContinuityEntry entry;
  entry.attributes = xml::copy_attributes(element, arena);
  NodeRef scope = first_descendant(element, {"parent"});
  if (scope.is_null()) scope = element;
  entry.parent_doc_number = descendant_text(scope, {"doc-number"}, arena);
  entry.parent_document_date = descendant_text(scope, {"document-date"}, arena);
  entry.relation_name = element.local_name();
  return entry;
}

ContinuityData continuity_data(NodeRef element, Arena& arena) {
  ContinuityData data;
  data.attributes = xml::copy_attributes(element, arena);
  xml::append_each_child(element, data.entries, arena, [](NodeRef child, Arena& into) -> ContinuityItem {
    if (is_continuity_entry_name(child.local_name())) return continuity_entry(child, into);
    return xml::capture_node(child, into);
  });
  return data;
}

Inventors inventors(NodeRef element, Arena& arena) {
  Inventors group;
  group.attributes = xml::copy_attributes(element, arena);
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name != "first-named-inventor" && name != "inventor") {
      group.entries.emplace_back(arena, xml::capture_node(child, arena));
      continue;
    }
    InventorRecord record;
    record.first_named = name == "first-named-inventor";
    record.attributes = xml::copy_attributes(child, arena);
    record.given_name = descendant_text(child, {"given-name"}, arena);
    record.family_name = descendant_text(child, {"family-name"}, arena);
    record.city = descendant_text(child, {"city"}, arena);
    record.state = descendant_text(child, {"state"}, arena);
    record.country_code = descendant_text(child, {"country-code"}, arena);
    group.entries.emplace_back(arena, std::move(record));
  }
  return group;
}

Address address(NodeRef element, Arena& arena) {
  Address record;
  record.attributes = xml::copy_attributes(element, arena);
  for (NodeRef child : xml::child_elements(element)) {
    // Blank lines stay, so line numbers keep their positions.
    if (child.local_name().starts_with("address-"))
      record.address_lines.push_back(arena, xml::trimmed_text(child, arena));
  }
  record.city = xml::child_text(element, "city", arena);
  record.state = xml::child_text(element, "state", arena);
  record.country_code = descendant_text(element, {"country-code"}, arena);
  record.postalcode = xml::child_text(element, "postalcode", arena);
  return record;
}

CorrespondenceAddress correspondence_address(NodeRef element, Arena& arena) {
  return xml::converted_record<CorrespondenceAddress>(
      element, arena, xml::ChildRule{"name-1", xml::trimmed_text_entry<Name1>},
      xml::ChildRule{"name-2", xml::trimmed_text_entry<Name2>}, xml::ChildRule{"address", address});
}

// Assignees are not read in this generation: like every unlisted element
// they are captured.
BibliographicInformation bibliographic_information(NodeRef element, Arena& arena) {
  return xml::converted_record<BibliographicInformation, &BibliographicInformation::items>(
      element, arena, xml::ChildRule{"document-id", document_id},
      xml::ChildRule{"publication-filing-type", xml::trimmed_text_entry<PublicationFilingType>},
      xml::ChildRule{"domestic-filing-data", domestic_filing_data},
      xml::ChildRule{"technical-information", technical_information},
      xml::ChildRule{"continuity-data", continuity_data}, xml::ChildRule{"inventors", inventors},
      xml::ChildRule{"correspondence-address", correspondence_address});
}

// ---------------------------------------------------------------------------
// Abstract, description, claims, drawings
// ---------------------------------------------------------------------------

Abstract abstract_part(NodeRef element, Arena& arena) {
  return xml::converted_record<Abstract>(element, arena, xml::ChildRule{"paragraph", paragraph});
}

std::optional<DescriptionPartKind> description_part_kind(std::string_view name) noexcept {
  if (name == "summary-of-invention") return DescriptionPartKind::SummaryOfInvention;
  if (name == "brief-description-of-drawings") return DescriptionPartKind::BriefDescriptionOfDrawings;
  if (name == "detailed-description") return DescriptionPartKind::DetailedDescription;
  return std::nullopt;
}

// A summary, drawings description or detailed description: its sections.
DescriptionPart description_division(NodeRef element, DescriptionPartKind kind, Arena& arena) {
  DescriptionPart part;
  part.kind = kind;
  part.attributes = xml::copy_attributes(element, arena);
  xml::convert_children(element, part.items, arena, xml::ChildRule{"section", section});
  return part;
}

Description description_part(NodeRef element, Arena& arena) {
  Description description;
  description.attributes = xml::copy_attributes(element, arena);
  description.entries.reserve(arena, xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "cross-reference-to-related-applications") {
      description.entries.emplace_back(arena, section(child, arena));
    } else if (const std::optional<DescriptionPartKind> kind = description_part_kind(name)) {
      description.entries.emplace_back(arena, description_division(child, *kind, arena));
    } else {
      description.entries.emplace_back(arena, xml::capture_node(child, arena));
    }
  }
  return description;
}

Claims claims_part(NodeRef element, Arena& arena) {
  return xml::converted_record<Claims>(element, arena, xml::ChildRule{"claim", claim},
                                       xml::ChildRule{"heading", heading});
}

Drawings drawings_part(NodeRef element, Arena& arena) {
  return xml::converted_record<Drawings>(
      element, arena, xml::ChildRule{"figure", figure}, xml::ChildRule{"heading", heading},
      xml::ChildRule{"representative-figure", xml::trimmed_text_entry<RepresentativeFigure>});
}

// Both versions share one converter; only the stored format differs, and the
// wrong-root message names version 1.5 for either.
// The description, then the drawings (see hollow_for).
constexpr std::array<std::string_view, 2> kUnreadByRecords{"subdoc-description", "subdoc-drawings"};

ParseResult parse_pap_keeping(SourceText text, SourceFormat format, ParseScope scope, RecordCapture* capture) {
  return xml::convert_root_parts(
      std::move(text), "patent-application-publication", messages::kPapRootRequired, format,
      xml::hollow_for(scope, kUnreadByRecords),
      xml::ChildRule{"subdoc-bibliographic-information", xml::keeping_for_record(&bibliographic_information, capture)},
      xml::ChildRule{"subdoc-abstract", abstract_part},
      xml::ChildRule{"subdoc-description", xml::description_for(scope, description_part)},
      xml::ChildRule{"subdoc-claims", claims_part}, xml::ChildRule{"subdoc-drawings", drawings_part});
}

}  // namespace

ParseResult parse_pap(SourceText text, SourceFormat format, ParseScope scope) {
  return parse_pap_keeping(std::move(text), format, scope, nullptr);
}

ParseResult parse_pap_for_record(SourceText text, SourceFormat format, ParseScope scope, RecordCapture& capture) {
  return parse_pap_keeping(std::move(text), format, scope, &capture);
}

}  // namespace tessellox
