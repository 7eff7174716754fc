// The shared document model: what every format parser returns and what the
// derivation, the Python objects and the renderer read.
//
// Ownership: every record owns its strings and children by value. Nothing is
// shared or mutated after a parser has built it. An optional text is either
// absent (std::nullopt) or a possibly empty string; lists are never absent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace tessellox {

// ---------------------------------------------------------------------------
// Formats
// ---------------------------------------------------------------------------

enum class SourceFormat : std::uint8_t {
  UsptoApplicationV15 = 0,
  UsptoApplicationV16 = 1,
  UsptoApplicationV40 = 2,
  UsptoApplicationV41 = 3,
  UsptoApplicationV42 = 4,
  UsptoApplicationV43 = 5,
  UsptoApplicationV44 = 6,
  UsptoApplicationV45 = 7,
  UsptoApplicationV46 = 8,
  UsptoGrantV25 = 9,
  UsptoGrantV40 = 10,
  UsptoGrantV41 = 11,
  UsptoGrantV42 = 12,
  UsptoGrantV43 = 13,
  UsptoGrantV44 = 14,
  UsptoGrantV45 = 15,
  UsptoGrantV46 = 16,
  UsptoGrantV47 = 17,
  UsptoGrantApsGreenBook = 18,
  UsptoSequenceCwu = 19,
};

inline constexpr std::size_t kSourceFormatCount = 20;

// The stable name of a format ("UsptoGrantV45"), as detect_format and the
// source_format getter print it.
std::string_view source_format_name(SourceFormat format) noexcept;

using OptString = std::optional<std::string>;
using OptLevel = std::optional<std::uint32_t>;

// ---------------------------------------------------------------------------
// Attributes and captured nodes
// ---------------------------------------------------------------------------

struct Attribute {
  std::string name;  // local name
  std::string value;
  OptString prefix;
};
using Attributes = std::vector<Attribute>;

// A node the parser did not recognise, captured so that nothing is lost.
// Element form: name, prefix, attributes, children. Text form: `text` alone
// (character data as it stood, or a comment, processing instruction, entity
// reference or document type written in its XML form).
struct RawXml {
  enum class Kind : std::uint8_t { Element, Text };

  Kind kind = Kind::Text;
  std::string text;  // text form only
  std::string name;  // element form only: local name
  OptString prefix;
  Attributes attributes;
  std::vector<RawXml> children;

  static RawXml make_text(std::string text) {
    RawXml node;
    node.kind = Kind::Text;
    node.text = std::move(text);
    return node;
  }
  bool is_element() const noexcept { return kind == Kind::Element; }
  bool is_text() const noexcept { return kind == Kind::Text; }
};

// ---------------------------------------------------------------------------
// Inline content
// ---------------------------------------------------------------------------

class InlineNode;
using InlineContent = std::vector<InlineNode>;

struct Text {
  std::string text;
};

// The typed inline elements. The three reference kinds carry a target; the
// others leave it absent.
enum class InlineKind : std::uint8_t {
  Number,
  CrossReference,
  FigureReference,
  DependentClaimReference,
  Bold,
  Italic,
  Highlight,
  ClaimText,
};

struct InlineElement {
  InlineKind kind = InlineKind::Number;
  Attributes attributes;
  OptString target;
  InlineContent content;
};

// One node of inline content: a Text, an InlineElement or a RawXml. Text
// nodes, by far the most common, are held in place; the two larger kinds
// are held on the heap, so that a node takes 48 bytes instead of the size
// of the largest kind. Copies are deep; a moved-from node is an empty Text.
class InlineNode {
 public:
  InlineNode() = default;
  InlineNode(Text text) : text_(std::move(text)) {}
  InlineNode(InlineElement element) : element_(std::make_unique<InlineElement>(std::move(element))) {}
  InlineNode(RawXml raw) : raw_(std::make_unique<RawXml>(std::move(raw))) {}
  InlineNode(const InlineNode& other)
      : text_(other.text_),
        element_(other.element_ ? std::make_unique<InlineElement>(*other.element_) : nullptr),
        raw_(other.raw_ ? std::make_unique<RawXml>(*other.raw_) : nullptr) {}
  InlineNode& operator=(const InlineNode& other) {
    if (this != &other) *this = InlineNode(other);
    return *this;
  }
  InlineNode(InlineNode&&) noexcept = default;
  InlineNode& operator=(InlineNode&&) noexcept = default;

  // 0 for Text, 1 for InlineElement, 2 for RawXml.
  std::size_t index() const noexcept { return element_ ? 1 : raw_ ? 2 : 0; }

  // The node as `Kind`, or nullptr when it holds another kind.
  template <class Kind>
  const Kind* get_if() const noexcept {
    if constexpr (std::is_same_v<Kind, Text>) {
      return index() == 0 ? &text_ : nullptr;
    } else if constexpr (std::is_same_v<Kind, InlineElement>) {
      return element_.get();
    } else {
      static_assert(std::is_same_v<Kind, RawXml>, "an inline node is a Text, an InlineElement or a RawXml");
      return raw_.get();
    }
  }
  template <class Kind>
  Kind* get_if() noexcept {
    return const_cast<Kind*>(static_cast<const InlineNode&>(*this).get_if<Kind>());
  }
  // The node as `Kind`; std::bad_variant_access when it holds another kind.
  template <class Kind>
  const Kind& get() const {
    if (const Kind* held = get_if<Kind>()) return *held;
    throw std::bad_variant_access();
  }
  template <class Kind>
  Kind& get() {
    return const_cast<Kind&>(static_cast<const InlineNode&>(*this).get<Kind>());
  }
  // Makes the node an empty `Kind` and returns it.
  template <class Kind>
  Kind& emplace() {
    *this = InlineNode();
    if constexpr (std::is_same_v<Kind, Text>) {
      return text_;
    } else if constexpr (std::is_same_v<Kind, InlineElement>) {
      element_ = std::make_unique<InlineElement>();
      return *element_;
    } else {
      static_assert(std::is_same_v<Kind, RawXml>, "an inline node is a Text, an InlineElement or a RawXml");
      raw_ = std::make_unique<RawXml>();
      return *raw_;
    }
  }

 private:
  Text text_;  // empty unless the node is a Text
  std::unique_ptr<InlineElement> element_;
  std::unique_ptr<RawXml> raw_;
};

// ---------------------------------------------------------------------------
// Body records
// ---------------------------------------------------------------------------

struct Heading {
  Attributes attributes;
  InlineContent content;
  OptString align;
  OptLevel lvl;
};

struct Paragraph {
  Attributes attributes;
  OptString id;
  OptLevel lvl;
  InlineContent content;
};

using SectionBlock = std::variant<Heading, Paragraph, RawXml>;

struct Section {
  Attributes attributes;
  std::vector<SectionBlock> blocks;
};

struct ClaimElement {
  Attributes attributes;
  InlineContent content;
  OptString id;
};

struct Image {
  Attributes attributes;
  OptString id;
  OptString file;
  OptString imf;
  OptString ti;
};

using FigureItem = std::variant<Image, RawXml>;

struct Figure {
  Attributes attributes;
  std::vector<FigureItem> items;
  OptString id;
};

// ---------------------------------------------------------------------------
// Bibliographic items
// ---------------------------------------------------------------------------

struct DocumentId {
  std::string doc_number;  // empty when the source has none
  OptString kind_code;
  OptString document_date;
  OptString country_code;
};

struct PublicationFilingType {
  std::string text;
};

struct ApplicationNumber {
  Attributes attributes;
  OptString appl_type;
  OptString doc_number;
};
struct SeriesCode {
  std::string text;
};
struct FilingDate {
  std::string text;
};
using DomesticFilingEntry = std::variant<ApplicationNumber, SeriesCode, FilingDate, RawXml>;

struct DomesticFilingData {
  Attributes attributes;
  std::vector<DomesticFilingEntry> entries;
};

struct ClassificationIpc {
  Attributes attributes;
  OptString main_classification;
  std::vector<std::string> further_classifications;
};
struct ClassificationUs {
  Attributes attributes;
  OptString main_classification;
  std::vector<std::string> further_classifications;
};
struct TitleOfInvention {
  std::string text;
};
using TechnicalEntry = std::variant<ClassificationIpc, ClassificationUs, TitleOfInvention, RawXml>;

struct TechnicalInformation {
  Attributes attributes;
  std::vector<TechnicalEntry> entries;
};

struct ContinuityEntry {
  Attributes attributes;
  OptString parent_doc_number;
  OptString parent_document_date;
  OptString child_doc_number;
  OptString relation_name;
};
using ContinuityItem = std::variant<ContinuityEntry, RawXml>;

struct ContinuityData {
  Attributes attributes;
  std::vector<ContinuityItem> entries;
};

struct PartyRecord {
  Attributes attributes;
  OptString name;
};

struct Applicants {
  Attributes attributes;
  std::vector<PartyRecord> parties;
};
struct Assignees {
  Attributes attributes;
  std::vector<PartyRecord> parties;
};

struct InventorRecord {
  bool first_named = false;
  Attributes attributes;
  OptString given_name;
  OptString family_name;
  OptString city;
  OptString state;
  OptString country_code;
};
using InventorItem = std::variant<InventorRecord, RawXml>;

struct Inventors {
  Attributes attributes;
  std::vector<InventorItem> entries;
};

struct Name1 {
  std::string text;
};
struct Name2 {
  std::string text;
};
struct Address {
  Attributes attributes;
  std::vector<std::string> address_lines;
  OptString city;
  OptString state;
  OptString country_code;
  OptString postalcode;
};
using CorrespondenceEntry = std::variant<Name1, Name2, Address, RawXml>;

struct CorrespondenceAddress {
  Attributes attributes;
  std::vector<CorrespondenceEntry> entries;
};

// The variant index is the item's fixed tag (0 to 9).
using BibliographicItem =
    std::variant<DocumentId, PublicationFilingType, DomesticFilingData, TechnicalInformation,
                 ContinuityData, Applicants, Assignees, Inventors, CorrespondenceAddress, RawXml>;

namespace bibliographic_tag {
inline constexpr std::size_t kDocumentId = 0;
inline constexpr std::size_t kPublicationFilingType = 1;
inline constexpr std::size_t kDomesticFilingData = 2;
inline constexpr std::size_t kTechnicalInformation = 3;
inline constexpr std::size_t kContinuityData = 4;
inline constexpr std::size_t kApplicants = 5;
inline constexpr std::size_t kAssignees = 6;
inline constexpr std::size_t kInventors = 7;
inline constexpr std::size_t kCorrespondenceAddress = 8;
inline constexpr std::size_t kRawXml = 9;
}  // namespace bibliographic_tag

// ---------------------------------------------------------------------------
// Root parts
// ---------------------------------------------------------------------------

struct BibliographicInformation {
  Attributes attributes;
  std::vector<BibliographicItem> items;
};

using AbstractEntry = std::variant<Paragraph, RawXml>;

struct Abstract {
  Attributes attributes;
  std::vector<AbstractEntry> entries;
};

enum class DescriptionPartKind : std::uint8_t {
  SummaryOfInvention = 0,
  BriefDescriptionOfDrawings = 1,
  DetailedDescription = 2,
};

using DescriptionPartItem = std::variant<Section, RawXml>;

// SummaryOfInvention, BriefDescriptionOfDrawings or DetailedDescription.
struct DescriptionPart {
  DescriptionPartKind kind = DescriptionPartKind::DetailedDescription;
  Attributes attributes;
  std::vector<DescriptionPartItem> items;
};

// Section is the cross-reference section.
using DescriptionEntry = std::variant<Section, DescriptionPart, RawXml>;

struct Description {
  Attributes attributes;
  std::vector<DescriptionEntry> entries;
};

using ClaimsEntry = std::variant<Heading, ClaimElement, RawXml>;

struct Claims {
  Attributes attributes;
  std::vector<ClaimsEntry> entries;
};

struct RepresentativeFigure {
  std::string text;
};
using DrawingsEntry = std::variant<Heading, RepresentativeFigure, Figure, RawXml>;

struct Drawings {
  Attributes attributes;
  std::vector<DrawingsEntry> entries;
};

using RootPart = std::variant<BibliographicInformation, Abstract, Description, Claims, Drawings, RawXml>;

struct SourceDocument {
  Attributes root_attributes;
  std::vector<RootPart> parts;
  OptString xml_version;
  OptString xml_encoding;
  OptString xml_standalone;
  OptString doctype_name;
  OptString doctype_public_id;
  OptString doctype_system_id;
  OptString doctype_internal_subset;
  SourceFormat source_format = SourceFormat::UsptoGrantV45;
};

// ---------------------------------------------------------------------------
// Derived records
// ---------------------------------------------------------------------------

struct DerivedMetadata {
  std::vector<std::string> applicants;
  std::vector<std::string> assignees;
  std::vector<std::string> inventors;
  std::vector<std::string> ipc_classifications;
  std::vector<std::string> us_classifications;
  OptString publication_country;
  OptString publication_doc_number;
  OptString publication_kind;
  OptString publication_number;
  OptString patent_number;
  OptString publication_date;
  OptString application_number;
  OptString filing_date;
  OptString title;
  OptString priority_date;
};

struct Document {
  SourceDocument source;
  DerivedMetadata derived;
};

struct Claim {
  std::uint32_t number = 0;  // 1-based position
  std::string text;          // trimmed, never empty
};

struct PriorityLink {
  std::string relationship;  // relation name, or "unknown"
  OptString parent_doc_number;
  OptString parent_date;
  OptString child_doc_number;
};

}  // namespace tessellox
