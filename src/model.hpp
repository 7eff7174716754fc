// The shared document model: what every format parser returns and what the
// derivation, the Python objects and the renderer read.
//
// Ownership: a SourceDocument owns everything its records reach, and nothing
// else owns anything. Its strings are views: into the document's UTF-8 text
// where the text is used as it stands (the document keeps that text alive
// through its SourceText), or into the document's arena where a string had to
// be decoded, joined or rebuilt. Lists and the larger records live in the same
// arena. Every record is trivially destructible: releasing a document drops
// its hold on the text and frees the arena's few blocks. A record or view
// taken out of a document is valid as long as the document.
//
// What a parser built is never changed afterwards. Only the arena changes
// after a parse: the derivation (derive, derive.hpp) and a document's record
// (derive_record) add the strings and lists they build to it. Its blocks
// never move, so that leaves every record, list and view taken before as it
// was. An optional text is either absent (std::nullopt) or a possibly empty
// string; lists are never absent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

#include "arena.hpp"
#include "list.hpp"
#include "source_text.hpp"

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

using OptString = std::optional<std::string_view>;
using OptLevel = std::optional<std::uint32_t>;

// ---------------------------------------------------------------------------
// Attributes and captured nodes
// ---------------------------------------------------------------------------

// An attribute as written: its name (the prefix is the part before the
// first ':') and its value. 24 bytes: every element of the model keeps its
// attributes.
class Attribute {
 public:
  Attribute() noexcept = default;
  Attribute(std::string_view qualified_name, std::string_view value) noexcept
      : name_(qualified_name.data() != nullptr ? qualified_name.data() : ""),
        value_(value.data() != nullptr ? value.data() : ""),
        value_length_(static_cast<std::uint32_t>(value.size())),
        name_length_(static_cast<std::uint16_t>(qualified_name.size())) {
    const std::size_t colon = qualified_name.find(':');
    if (colon != std::string_view::npos) prefix_length_ = static_cast<std::uint16_t>(colon);
  }

  // The local name: after the prefix and its colon.
  std::string_view name() const noexcept {
    if (prefix_length_ == kNoPrefix) return std::string_view(name_, name_length_);
    return std::string_view(name_ + prefix_length_ + 1, name_length_ - prefix_length_ - 1u);
  }
  OptString prefix() const noexcept {
    if (prefix_length_ == kNoPrefix) return std::nullopt;
    return std::string_view(name_, prefix_length_);
  }
  std::string_view value() const noexcept { return std::string_view(value_, value_length_); }
  // The name as written, prefix and colon included.
  std::string_view qualified_name() const noexcept { return std::string_view(name_, name_length_); }

 private:
  static constexpr std::uint16_t kNoPrefix = 0xFFFF;

  const char* name_ = "";  // names are at most 50000 bytes
  const char* value_ = "";
  std::uint32_t value_length_ = 0;
  std::uint16_t name_length_ = 0;
  std::uint16_t prefix_length_ = kNoPrefix;
};
using Attributes = List<Attribute>;

// A node the parser did not recognise, captured so that nothing is lost.
// Element form: name, prefix, attributes, children. Text form: `text` alone
// (character data as it stood, or a comment, processing instruction, entity
// reference or document type written in its XML form). Captures are the bulk
// of many documents' models, so a record is kept to 24 bytes: its strings are
// views, its attributes and children share one block that lives as long as
// it (in the document's arena), the children right after the attributes, and
// the prefix is found again in the name when asked for.
//
// A captured tree is as deep as the XML it was taken from, which the front
// end bounds at xml::kMaxDepth; a model built by other means has no such
// bound. Walks over a RawXml therefore keep an explicit stack instead of
// recursing.
class RawXml {
 public:
  enum class Kind : std::uint8_t { Element, Text };

  RawXml() noexcept = default;  // an empty text

  static RawXml make_text(std::string_view text) noexcept {
    RawXml node;
    node.data_ = text.data() != nullptr ? text.data() : "";
    node.count_ = static_cast<std::uint32_t>(text.size());
    return node;
  }

  // Bytes of the block that holds `attribute_count` attributes followed by
  // `child_count` children (aligned for both).
  static constexpr std::size_t block_bytes(std::size_t attribute_count, std::size_t child_count) noexcept {
    return attribute_count * sizeof(Attribute) + child_count * sizeof(RawXml);
  }
  static constexpr std::size_t kBlockAlignment = alignof(Attribute) > alignof(void*) ? alignof(Attribute)
                                                                                     : alignof(void*);

  // An element named as written ("m:sub": the prefix is the text before the
  // first ':'), whose block (see block_bytes) holds its attributes and then
  // its children, already in place.
  static RawXml make_element(std::string_view qualified_name, const void* block, std::size_t attribute_count,
                             std::size_t child_count) noexcept {
    RawXml node;
    node.data_ = qualified_name.data() != nullptr ? qualified_name.data() : "";
    node.name_length_ = static_cast<std::uint16_t>(qualified_name.size());
    node.block_ = block;
    // Names are short and compared often: the local name's offset is found
    // once, here, in a plain loop.
    std::size_t offset = 0;
    for (std::size_t i = 0; i < qualified_name.size(); ++i) {
      if (qualified_name[i] == ':') {
        offset = i + 1 < kLongPrefix ? i + 1 : kLongPrefix;
        break;
      }
    }
    node.shape_ = static_cast<std::uint16_t>(attribute_count | offset << kOffsetShift);
    node.count_ = static_cast<std::uint32_t>(child_count);
    return node;
  }

  Kind kind() const noexcept { return is_text() ? Kind::Text : Kind::Element; }
  bool is_element() const noexcept { return shape_ != kTextMarker; }
  bool is_text() const noexcept { return shape_ == kTextMarker; }
  // Text form: the text; element form: empty.
  std::string_view text() const noexcept { return is_text() ? std::string_view(data_, count_) : std::string_view(); }
  // Element form: the local name; text form: empty.
  std::string_view name() const noexcept {
    if (!is_element()) return std::string_view();
    const std::string_view qualified(data_, name_length_);
    const std::size_t offset = shape_ >> kOffsetShift;
    if (offset != kLongPrefix) return qualified.substr(offset);
    return qualified.substr(qualified.find(':') + 1);
  }
  // Element form: the name as written, prefix and colon included.
  std::string_view qualified_name() const noexcept {
    return is_element() ? std::string_view(data_, name_length_) : std::string_view();
  }
  OptString prefix() const noexcept {
    if (!is_element()) return std::nullopt;
    const std::string_view qualified(data_, name_length_);
    const std::size_t colon = qualified.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    return qualified.substr(0, colon);
  }
  std::span<const Attribute> attributes() const noexcept {
    if (!is_element()) return {};
    return {static_cast<const Attribute*>(block_), attribute_count()};
  }
  std::span<const RawXml> children() const noexcept {
    if (!is_element() || count_ == 0) return {};
    const auto* first =
        reinterpret_cast<const RawXml*>(static_cast<const char*>(block_) + attribute_count() * sizeof(Attribute));
    return {first, count_};
  }

 private:
  // The attribute count of a text, which no element reaches (an element
  // holds at most 256 attributes).
  static constexpr std::uint16_t kTextMarker = 0xFFFF;
  // An element's shape: its attribute count in the low bits (at most 256),
  // the offset of its local name above them (0 without a prefix), or
  // kLongPrefix for a prefix too long to say there, found again when asked.
  static constexpr unsigned kOffsetShift = 9;
  static constexpr std::size_t kLongPrefix = 0x7F;
  std::size_t attribute_count() const noexcept { return shape_ & ((1u << kOffsetShift) - 1); }

  const char* data_ = "";  // the text, or the element's name as written
  const void* block_ = nullptr;
  std::uint32_t count_ = 0;            // the text's length, or the element's child count
  std::uint16_t name_length_ = 0;      // names are at most 50000 bytes
  std::uint16_t shape_ = kTextMarker;  // see kOffsetShift; kTextMarker for a text
};

// ---------------------------------------------------------------------------
// Inline content
// ---------------------------------------------------------------------------

class InlineNode;
using InlineContent = List<InlineNode>;

struct Text {
  std::string_view text;
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

// A reference's target is the value of one of its attributes, so the record
// keeps which one rather than a second view: 40 bytes, one per bold word,
// figure reference or claim text of a document.
struct InlineElement {
  InlineKind kind = InlineKind::Number;

 private:
  static constexpr std::uint16_t kNoTarget = 0xFFFF;  // an element holds at most 256 attributes
  std::uint16_t target_attribute_ = kNoTarget;        // beside the kind, in the padding before the lists

 public:
  Attributes attributes;
  InlineContent content;

  // The target: absent for the other kinds, and when no attribute gave one.
  OptString target() const noexcept {
    if (target_attribute_ == kNoTarget) return std::nullopt;
    return attributes[target_attribute_].value();
  }
  // Makes the first of `attributes` with local name `name` the target;
  // false, changing nothing, when there is none.
  bool take_target_from(std::string_view name) noexcept {
    for (std::size_t i = 0; i < attributes.size(); ++i) {
      if (attributes[i].name() == name) {
        target_attribute_ = static_cast<std::uint16_t>(i);
        return true;
      }
    }
    return false;
  }
};

// One node of inline content: a Text, an InlineElement or a RawXml. Text
// nodes, by far the most common, are held in place; the two larger kinds
// live in the arena and the node points to them, so that a node takes 16
// bytes. A Text is handed out by value (a view), the larger kinds by
// pointer. Copies are shallow, like every record's.
class InlineNode {
 public:
  InlineNode() noexcept : text_data_("") {}
  InlineNode(Text text) noexcept  // NOLINT: a Text is an inline node
      : text_data_(text.text.data() != nullptr ? text.text.data() : ""),
        text_length_(static_cast<std::uint32_t>(text.text.size())) {}
  InlineNode(Arena& arena, const InlineElement& element) : element_(new_in(arena, element)), index_(1) {}
  InlineNode(Arena& arena, const RawXml& raw) : raw_(new_in(arena, raw)), index_(2) {}

  // 0 for Text, 1 for InlineElement, 2 for RawXml.
  std::size_t index() const noexcept { return index_; }

  // The node as `Kind` (a Text as std::optional<Text>, the others as a
  // pointer), or empty when it holds another kind.
  template <class Kind>
  auto get_if() const noexcept {
    if constexpr (std::is_same_v<Kind, Text>) {
      return index_ == 0 ? std::optional<Text>(Text{std::string_view(text_data_, text_length_)}) : std::nullopt;
    } else if constexpr (std::is_same_v<Kind, InlineElement>) {
      return index_ == 1 ? static_cast<const InlineElement*>(element_) : nullptr;
    } else {
      static_assert(std::is_same_v<Kind, RawXml>, "an inline node is a Text, an InlineElement or a RawXml");
      return index_ == 2 ? static_cast<const RawXml*>(raw_) : nullptr;
    }
  }
  template <class Kind>
  Kind* get_if() noexcept
    requires(!std::is_same_v<Kind, Text>)
  {
    return const_cast<Kind*>(static_cast<const InlineNode&>(*this).get_if<Kind>());
  }
  // The node as `Kind`; std::bad_variant_access when it holds another kind.
  template <class Kind>
  decltype(auto) get() const {
    if constexpr (std::is_same_v<Kind, Text>) {
      if (index_ != 0) throw std::bad_variant_access();
      return Text{std::string_view(text_data_, text_length_)};
    } else {
      if (const Kind* held = get_if<Kind>()) return static_cast<const Kind&>(*held);
      throw std::bad_variant_access();
    }
  }
  template <class Kind>
  Kind& get()
    requires(!std::is_same_v<Kind, Text>)
  {
    return const_cast<Kind&>(static_cast<const InlineNode&>(*this).get<Kind>());
  }
  // Makes the node an empty `Kind` (in `arena` for the two larger kinds)
  // and returns it: a Text by value, the others by reference.
  template <class Kind>
  decltype(auto) emplace(Arena& arena) {
    if constexpr (std::is_same_v<Kind, Text>) {
      *this = InlineNode();
      return Text{};
    } else if constexpr (std::is_same_v<Kind, InlineElement>) {
      *this = InlineNode(arena, InlineElement());
      return static_cast<InlineElement&>(*element_);
    } else {
      static_assert(std::is_same_v<Kind, RawXml>, "an inline node is a Text, an InlineElement or a RawXml");
      *this = InlineNode(arena, RawXml());
      return static_cast<RawXml&>(*raw_);
    }
  }

 private:
  template <class Kind>
  static Kind* new_in(Arena& arena, const Kind& value) {
    return ::new (arena.allocate(sizeof(Kind), alignof(Kind))) Kind(value);
  }

  union {
    const char* text_data_;
    InlineElement* element_;
    RawXml* raw_;
  };
  std::uint32_t text_length_ = 0;  // a text node holds at most a few megabytes
  std::uint8_t index_ = 0;
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
  List<SectionBlock> blocks;
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
  List<FigureItem> items;
  OptString id;
};

// ---------------------------------------------------------------------------
// Bibliographic items
// ---------------------------------------------------------------------------

struct DocumentId {
  std::string_view doc_number;  // empty when the source has none
  OptString kind_code;
  OptString document_date;
  OptString country_code;
};

struct PublicationFilingType {
  std::string_view text;
};

struct ApplicationNumber {
  Attributes attributes;
  OptString appl_type;
  OptString doc_number;
};
struct SeriesCode {
  std::string_view text;
};
struct FilingDate {
  std::string_view text;
};
using DomesticFilingEntry = std::variant<ApplicationNumber, SeriesCode, FilingDate, RawXml>;

struct DomesticFilingData {
  Attributes attributes;
  List<DomesticFilingEntry> entries;
};

struct ClassificationIpc {
  Attributes attributes;
  OptString main_classification;
  List<std::string_view> further_classifications;
};
struct ClassificationUs {
  Attributes attributes;
  OptString main_classification;
  List<std::string_view> further_classifications;
};
struct TitleOfInvention {
  std::string_view text;
};
using TechnicalEntry = std::variant<ClassificationIpc, ClassificationUs, TitleOfInvention, RawXml>;

struct TechnicalInformation {
  Attributes attributes;
  List<TechnicalEntry> entries;
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
  List<ContinuityItem> entries;
};

struct PartyRecord {
  Attributes attributes;
  OptString name;
};

struct Applicants {
  Attributes attributes;
  List<PartyRecord> parties;
};
struct Assignees {
  Attributes attributes;
  List<PartyRecord> parties;
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
  List<InventorItem> entries;
};

struct Name1 {
  std::string_view text;
};
struct Name2 {
  std::string_view text;
};
struct Address {
  Attributes attributes;
  List<std::string_view> address_lines;
  OptString city;
  OptString state;
  OptString country_code;
  OptString postalcode;
};
using CorrespondenceEntry = std::variant<Name1, Name2, Address, RawXml>;

struct CorrespondenceAddress {
  Attributes attributes;
  List<CorrespondenceEntry> entries;
};

// The variant index is the item's fixed tag (0 to 9).
using BibliographicItem = std::variant<DocumentId, PublicationFilingType, DomesticFilingData, TechnicalInformation,
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
  List<BibliographicItem> items;
};

using AbstractEntry = std::variant<Paragraph, RawXml>;

struct Abstract {
  Attributes attributes;
  List<AbstractEntry> entries;
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
  List<DescriptionPartItem> items;
};

// Section is the cross-reference section.
using DescriptionEntry = std::variant<Section, DescriptionPart, RawXml>;

struct Description {
  Attributes attributes;
  List<DescriptionEntry> entries;
};

using ClaimsEntry = std::variant<Heading, ClaimElement, RawXml>;

struct Claims {
  Attributes attributes;
  List<ClaimsEntry> entries;
};

struct RepresentativeFigure {
  std::string_view text;
};
using DrawingsEntry = std::variant<Heading, RepresentativeFigure, Figure, RawXml>;

struct Drawings {
  Attributes attributes;
  List<DrawingsEntry> entries;
};

using RootPart = std::variant<BibliographicInformation, Abstract, Description, Claims, Drawings, RawXml>;

struct SourceDocument {
  SourceText text;  // what the views point into, kept alive
  Arena arena;      // decoded strings, records and lists
  Attributes root_attributes;
  List<RootPart> parts;
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
  List<std::string_view> applicants;
  List<std::string_view> assignees;
  List<std::string_view> inventors;
  List<std::string_view> ipc_classifications;
  List<std::string_view> us_classifications;
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

struct PriorityLink {
  std::string_view relationship;  // relation name, or "unknown"
  OptString parent_doc_number;
  OptString parent_date;
  OptString child_doc_number;
};

// Where the application number comes from: the first DomesticFilingData
// item that has an ApplicationNumber with a doc_number, and that item's first
// series code (nullptr when it has none).
struct ApplicationNumberSource {
  const std::string_view* number = nullptr;
  const std::string_view* series_code = nullptr;
};

// Everything derived from a document, built once per document (derive,
// derive.hpp) with what it had to build kept in the document's arena: the
// fifteen values, and what the front matter and the records read beside
// them. Read from the first bibliographic part only.
struct DerivedRecord {
  DerivedMetadata metadata;
  const BibliographicInformation* bibliographic = nullptr;  // the first bibliographic part, if any
  std::optional<ApplicationNumberSource> application;       // the front matter writes the number its own way
  List<PriorityLink> priority_chain;
};

struct Document {
  SourceDocument source;
  DerivedRecord derived;
};

struct Claim {
  std::uint32_t number = 0;  // 1-based position
  std::string text;          // trimmed, never empty; built for the caller, not held by a document
};

}  // namespace tessellox
