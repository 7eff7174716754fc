// ST.32 grants of DTD version 2.5 (root PATDOC): capitalised element names
// built from numbered bibliographic codes (B110, B721, ...). Text sits in
// PDAT leaves, so most values are read along fixed element paths; body text
// is wrapped in PTEXT/STEXT containers that inline content splices away.
#include "source/xml/st32.hpp"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "source/xml/extract.hpp"
#include "text.hpp"

namespace tessellox {

namespace {

using xml::NodeRef;
using Path = std::initializer_list<std::string_view>;

// ---------------------------------------------------------------------------
// Lookups
// ---------------------------------------------------------------------------

NodeRef first_child_named(NodeRef element, std::string_view name) noexcept {
  if (element.is_null()) return NodeRef();
  return xml::first_child_element(element, name);
}

// Follows the first child of each name in turn; null when a step is missing.
NodeRef path_element(NodeRef start, Path path) noexcept {
  NodeRef node = start;
  for (std::string_view name : path) {
    node = first_child_named(node, name);
    if (node.is_null()) break;
  }
  return node;
}

// Trimmed text at the end of the path; absent when a step is missing or the
// text is blank.
OptString path_text(NodeRef start, Path path, Arena& arena) {
  const NodeRef end = path_element(start, path);
  if (end.is_null()) return std::nullopt;
  return xml::non_empty(xml::trimmed_text(end, arena));
}

OptLevel lvl(NodeRef element) noexcept { return xml::level_attribute(element, "LVL"); }

// The PTEXT, else the STEXT, else the element itself.
NodeRef text_container(NodeRef element) noexcept {
  NodeRef container = xml::first_child_element(element, "PTEXT");
  if (container.is_null()) container = xml::first_child_element(element, "STEXT");
  return container.is_null() ? element : container;
}

NodeRef btext_or_self(NodeRef element) noexcept {
  const NodeRef container = xml::first_child_element(element, "BTEXT");
  return container.is_null() ? element : container;
}

// ---------------------------------------------------------------------------
// Inline content
// ---------------------------------------------------------------------------

constexpr xml::InlineName kInlineNames[] = {
    {"BOLD", InlineKind::Bold},
    {"ITALIC", InlineKind::Italic},
    {"HIL", InlineKind::Highlight},
    {"FGREF", InlineKind::FigureReference},
    {"CLREF", InlineKind::DependentClaimReference},
};

constexpr xml::TargetAttributes kTargets[] = {
    {InlineKind::FigureReference, {"ID"}},
    {InlineKind::DependentClaimReference, {"ID"}},
};

// Text sits in PDAT leaves, each one Text node, with the "&name;" spelling of
// the entities the external DTD would declare (&ldquo;, &deg;, &lsqb;) kept;
// PTEXT and STEXT only wrap them.
constexpr std::string_view kWrappers[] = {"PTEXT", "STEXT"};

constexpr xml::InlineVocabulary kInline{
    .names = kInlineNames, .targets = kTargets, .text_leaf = "PDAT", .wrappers = kWrappers};

InlineContent inline_nodes(NodeRef element, Arena& arena) { return xml::inline_content_of<kInline>(element, arena); }

// ---------------------------------------------------------------------------
// Body records
// ---------------------------------------------------------------------------

Heading heading(NodeRef element, Arena& arena) {
  return Heading{xml::copy_attributes(element, arena), inline_nodes(text_container(element), arena), std::nullopt,
                 lvl(element)};
}

Paragraph paragraph(NodeRef element, Arena& arena) {
  return Paragraph{xml::copy_attributes(element, arena), xml::attribute_string(element, "ID"), lvl(element),
                   inline_nodes(text_container(element), arena)};
}

// Each PARA or CLMSTEP of the claim is one ClaimText; loose text directly
// inside CLM is not claim text.
ClaimElement claim(NodeRef element, Arena& arena) {
  ClaimElement record;
  record.attributes = xml::copy_attributes(element, arena);
  record.id = xml::attribute_string(element, "ID");
  record.content.reserve(arena, xml::child_element_count(element));
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "PARA" || name == "CLMSTEP") {
      InlineElement& text = record.content.emplace_back(arena).emplace<InlineElement>(arena);
      text.kind = InlineKind::ClaimText;
      text.attributes = xml::copy_attributes(child, arena);
      xml::append_inline_content<kInline>(text_container(child), text.content, arena);
    } else {
      record.content.push_back(arena, InlineNode(arena, xml::capture_node(child, arena)));
    }
  }
  return record;
}

// ---------------------------------------------------------------------------
// Bibliographic items
// ---------------------------------------------------------------------------

DocumentId document_id(NodeRef element, Arena& arena) {
  DocumentId id;
  if (OptString number = path_text(element, {"B110", "DNUM", "PDAT"}, arena)) id.doc_number = std::move(*number);
  id.kind_code = path_text(element, {"B130", "PDAT"}, arena);
  id.document_date = path_text(element, {"B140", "DATE", "PDAT"}, arena);
  id.country_code = path_text(element, {"B190", "PDAT"}, arena);
  return id;
}

// Application numbers are zero-padded ("08123456"); an all-digit number
// loses its leading zeros, anything else ("08/123,456") stays as written.
std::string_view normalised_application_number(std::string_view number) noexcept {
  if (!is_ascii_digits(number)) return number;
  const std::size_t first = number.find_first_not_of('0');
  if (first == std::string_view::npos) return "0";
  return number.substr(first);
}

DomesticFilingData domestic_filing_data(NodeRef element, Arena& arena) {
  DomesticFilingData data;
  data.attributes = xml::copy_attributes(element, arena);
  if (OptString number = path_text(element, {"B210", "DNUM", "PDAT"}, arena)) {
    ApplicationNumber application;
    application.doc_number = normalised_application_number(*number);
    data.entries.emplace_back(arena, std::move(application));
  }
  if (OptString date = path_text(element, {"B220", "DATE", "PDAT"}, arena)) {
    data.entries.emplace_back(arena, FilingDate{std::move(*date)});
  }
  return data;
}

// Classifications and the title form one TechnicalInformation item ahead of
// the other B500 children, which are captured as items of their own.
void add_technical_items(NodeRef element, List<BibliographicItem>& items, Arena& arena, RecordCapture* capture) {
  TechnicalInformation technical;
  const std::size_t first_captured = items.size();
  for (NodeRef child : xml::child_elements(element)) {
    const std::string_view name = child.local_name();
    if (name == "B510") {
      ClassificationIpc ipc;
      ipc.attributes = xml::copy_attributes(child, arena);
      ipc.main_classification = path_text(child, {"B511", "PDAT"}, arena);
      technical.entries.emplace_back(arena, std::move(ipc));
    } else if (name == "B520") {
      ClassificationUs us;
      us.attributes = xml::copy_attributes(child, arena);
      us.main_classification = path_text(child, {"B521", "PDAT"}, arena);
      technical.entries.emplace_back(arena, std::move(us));
    } else if (name == "B540") {
      if (OptString title = path_text(child, {"STEXT", "PDAT"}, arena)) {
        technical.entries.emplace_back(arena, TitleOfInvention{std::move(*title)});
      }
    } else if (name == "B560") {
      items.emplace_back(arena, xml::capture_citations(child, capture, arena));
    } else {
      items.emplace_back(arena, xml::capture_node(child, arena));
    }
  }
  if (technical.entries.empty()) return;
  technical.attributes = xml::copy_attributes(element, arena);
  items.insert(arena, first_captured, technical);
}

ContinuityEntry parent_us_entry(NodeRef element, Arena& arena) {
  ContinuityEntry entry;
  entry.attributes = xml::copy_attributes(element, arena);
  entry.relation_name = "parent-us";
  const NodeRef parent_us = xml::first_child_element(element, "PARENT-US");
  if (parent_us.is_null()) return entry;
  const NodeRef parent = xml::first_child_element(parent_us, "PDOC");
  entry.parent_doc_number = path_text(parent, {"DOC", "DNUM", "PDAT"}, arena);
  entry.parent_document_date = path_text(parent, {"DOC", "DATE", "PDAT"}, arena);
  entry.child_doc_number = path_text(xml::first_child_element(parent_us, "CDOC"), {"DOC", "DNUM", "PDAT"}, arena);
  return entry;
}

ContinuityEntry provisional_entry(NodeRef element, Arena& arena) {
  ContinuityEntry entry;
  entry.attributes = xml::copy_attributes(element, arena);
  entry.parent_doc_number = path_text(element, {"DOC", "DNUM", "PDAT"}, arena);
  entry.parent_document_date = path_text(element, {"DOC", "DATE", "PDAT"}, arena);
  entry.relation_name = "us-provisional-application";
  return entry;
}

ContinuityData continuity_data(NodeRef element, Arena& arena) {
  return xml::converted_record<ContinuityData>(element, arena, xml::ChildRule{"B620", parent_us_entry},
                                               xml::ChildRule{"B680US", provisional_entry});
}

// The organisation name, else "given family", else whichever of the two exists.
OptString party_name(NodeRef party, Arena& arena) {
  const NodeRef name = path_element(party, {"PARTY-US", "NAM"});
  if (name.is_null()) return std::nullopt;
  if (OptString organisation = path_text(name, {"ONM", "STEXT", "PDAT"}, arena)) return organisation;
  OptString given = path_text(name, {"FNM", "PDAT"}, arena);
  OptString family = path_text(name, {"SNM", "STEXT", "PDAT"}, arena);
  if (!given) return family;
  if (!family) return given;
  std::string joined(*given);
  joined += ' ';
  joined += *family;
  return arena.copy(joined);
}

List<PartyRecord> party_records(NodeRef group, std::string_view party_element, Arena& arena) {
  List<PartyRecord> parties;
  for (NodeRef child : xml::child_elements(group)) {
    if (child.local_name() != party_element) continue;
    PartyRecord& record = parties.emplace_back(arena);
    record.attributes = xml::copy_attributes(child, arena);
    record.name = party_name(child, arena);
  }
  return parties;
}

// B721 names the inventors; this generation has no separate applicants, so
// they travel in the Applicants item.
void add_party_items(NodeRef element, List<BibliographicItem>& items, Arena& arena) {
  if (const NodeRef inventors = xml::first_child_element(element, "B720"); !inventors.is_null()) {
    Applicants applicants;
    applicants.attributes = xml::copy_attributes(inventors, arena);
    applicants.parties = party_records(inventors, "B721", arena);
    items.emplace_back(arena, std::move(applicants));
  }
  if (const NodeRef owners = xml::first_child_element(element, "B730"); !owners.is_null()) {
    Assignees assignees;
    assignees.attributes = xml::copy_attributes(owners, arena);
    assignees.parties = party_records(owners, "B731", arena);
    items.emplace_back(arena, std::move(assignees));
  }
}

BibliographicInformation bibliographic_information(NodeRef element, Arena& arena, RecordCapture* capture) {
  const auto technical_items = [capture](NodeRef child, List<BibliographicItem>& items, Arena& into) {
    add_technical_items(child, items, into, capture);
  };
  return xml::converted_record<BibliographicInformation, &BibliographicInformation::items>(
      element, arena, xml::ChildRule{"B100", document_id}, xml::ChildRule{"B200", domestic_filing_data},
      xml::ChildRule{"B500", technical_items}, xml::ChildRule{"B600", continuity_data},
      xml::ChildRule{"B700", add_party_items});
}

// ---------------------------------------------------------------------------
// Abstract, description, claims, drawings
// ---------------------------------------------------------------------------

Abstract abstract_part(NodeRef element, Arena& arena) {
  Abstract abstract;
  abstract.attributes = xml::copy_attributes(element, arena);
  xml::convert_children(btext_or_self(element), abstract.entries, arena, xml::ChildRule{"PARA", paragraph});
  return abstract;
}

// Sections are not marked up: each H opens one, and paragraphs before the
// first H share a section without heading. A first walk counts what each
// section and the part will hold, so that every list gets its exact size.
DescriptionPart description_division(NodeRef element, DescriptionPartKind kind, Arena& arena) {
  const NodeRef container = btext_or_self(element);
  std::vector<std::uint32_t> section_sizes;
  std::size_t part_size = 0;
  for (NodeRef child : xml::child_elements(container)) {
    const std::string_view name = child.local_name();
    if (name == "H" || (name == "PARA" && section_sizes.empty())) {
      section_sizes.push_back(0);
      ++part_size;
    }
    if (section_sizes.empty()) {
      ++part_size;
    } else {
      ++section_sizes.back();
    }
  }

  DescriptionPart part;
  part.kind = kind;
  part.attributes = xml::copy_attributes(element, arena);
  part.items.reserve(arena, part_size);
  std::size_t next_section = 0;
  std::optional<Section> open;
  const auto open_section = [&] {
    open.emplace();
    open->blocks.reserve(arena, section_sizes[next_section++]);
  };
  for (NodeRef child : xml::child_elements(container)) {
    const std::string_view name = child.local_name();
    if (name == "H") {
      if (open) part.items.emplace_back(arena, std::move(*open));
      open_section();
      open->blocks.emplace_back(arena, heading(child, arena));
    } else if (name == "PARA") {
      if (!open) open_section();
      open->blocks.emplace_back(arena, paragraph(child, arena));
    } else if (open) {
      open->blocks.emplace_back(arena, xml::capture_node(child, arena));
    } else {
      part.items.emplace_back(arena, xml::capture_node(child, arena));
    }
  }
  if (open) part.items.emplace_back(arena, std::move(*open));
  return part;
}

std::optional<DescriptionPartKind> description_part_kind(std::string_view name) noexcept {
  if (name == "BRFSUM") return DescriptionPartKind::SummaryOfInvention;
  if (name == "DRWDESC") return DescriptionPartKind::BriefDescriptionOfDrawings;
  if (name == "DETDESC") return DescriptionPartKind::DetailedDescription;
  return std::nullopt;
}

Description description_part(NodeRef element, Arena& arena) {
  Description description;
  description.attributes = xml::copy_attributes(element, arena);
  xml::append_each_child(element, description.entries, arena, [](NodeRef child, Arena& into) -> DescriptionEntry {
    if (const std::optional<DescriptionPartKind> kind = description_part_kind(child.local_name()))
      return description_division(child, *kind, into);
    return xml::capture_node(child, into);
  });
  return description;
}

// CL only groups claims: its CLM children join the list directly.
Claims claims_part(NodeRef element, Arena& arena) {
  const auto grouped_claims = [](NodeRef group, List<ClaimsEntry>& entries, Arena& into) {
    xml::convert_children(group, entries, into, xml::ChildRule{"CLM", claim});
  };
  return xml::converted_record<Claims>(element, arena, xml::ChildRule{"H", heading}, xml::ChildRule{"CLM", claim},
                                       xml::ChildRule{"CL", grouped_claims});
}

// Each EMI is one drawing sheet: a figure holding one image.
Figure embedded_image(NodeRef element, Arena& arena) {
  Figure figure;
  figure.id = xml::attribute_string(element, "ID");
  Image image;
  image.attributes = xml::copy_attributes(element, arena);
  image.id = figure.id;
  image.file = xml::attribute_string(element, "FILE");
  figure.items.emplace_back(arena, std::move(image));
  return figure;
}

Drawings drawings_part(NodeRef element, Arena& arena) {
  return xml::converted_record<Drawings>(element, arena, xml::ChildRule{"EMI", embedded_image});
}

// The description, then the drawings (see hollow_for).
constexpr std::array<std::string_view, 2> kUnreadByRecords{"SDODE", "SDODR"};

ParseResult parse_st32_keeping(SourceText text, SourceFormat format, ParseScope scope, RecordCapture* capture) {
  return xml::convert_root_parts(
      std::move(text), "PATDOC", messages::kSt32RootRequired, format, xml::hollow_for(scope, kUnreadByRecords),
      xml::ChildRule{"SDOBI", xml::keeping_for_record(&bibliographic_information, capture)},
      xml::ChildRule{"SDOAB", abstract_part}, xml::ChildRule{"SDODE", xml::description_for(scope, description_part)},
      xml::ChildRule{"SDOCL", claims_part}, xml::ChildRule{"SDODR", drawings_part});
}

}  // namespace

ParseResult parse_st32(SourceText text, SourceFormat format, ParseScope scope) {
  return parse_st32_keeping(std::move(text), format, scope, nullptr);
}

ParseResult parse_st32_for_record(SourceText text, SourceFormat format, ParseScope scope, RecordCapture& capture) {
  return parse_st32_keeping(std::move(text), format, scope, &capture);
}

}  // namespace tessellox
