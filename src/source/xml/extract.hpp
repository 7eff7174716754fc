// Extraction rules shared by the XML converters, and the front end that every
// XML format handler runs before its converter.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "errors.hpp"
#include "model.hpp"
#include "parse_result.hpp"
#include "result.hpp"
#include "source/xml/parse_tree.hpp"
#include "source/xml/tree.hpp"

namespace tessellox::xml {

// ---------------------------------------------------------------------------
// Node queries. Every query accepts a null handle and treats it as no node.
// ---------------------------------------------------------------------------

// True when `node` is an element with local name `name`.
bool is_element_named(NodeRef node, std::string_view name) noexcept;

// True for text or CDATA whose content is empty after trimming.
bool is_blank_character_data(NodeRef node) noexcept;

inline bool is_element_node(NodeRef node) noexcept { return node.is_element(); }
inline bool is_significant_node(NodeRef node) noexcept { return !is_blank_character_data(node); }

// The element children of a node, in document order.
inline ChildNodes<&is_element_node> child_elements(NodeRef node) noexcept {
  return ChildNodes<&is_element_node>(node.first_child());
}

// All child nodes in order, leaving out text and CDATA that are blank after trimming.
inline ChildNodes<&is_significant_node> significant_child_nodes(NodeRef node) noexcept {
  return ChildNodes<&is_significant_node>(node.first_child());
}

// The first child element with local name `name`, or a null handle.
NodeRef first_child_element(NodeRef node, std::string_view name) noexcept;

// The node's attributes as model records, in document order (empty for a non-element).
Attributes copy_attributes(NodeRef node, Arena& arena);

// The value of the first attribute with local name `name`, unchanged; absent when none.
std::optional<std::string_view> attribute_value(NodeRef element, std::string_view name) noexcept;

// The same, for the model: a view into the tree's storage, which the
// document takes over.
inline OptString attribute_string(NodeRef element, std::string_view name) noexcept {
  return attribute_value(element, name);
}

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

// Appends the concatenated character data below `node` (entity replacement
// texts included, comments and PIs excluded) to `out`.
void append_text_content(NodeRef node, std::string& out);

// The concatenated character data below `node`.
std::string text_content(NodeRef node);

// Text content with leading and trailing Unicode white space removed: a view
// into the tree's storage when the text is one piece, else joined in `arena`.
std::string_view trimmed_text(NodeRef node, Arena& arena);

// Trimmed text of the first child element (document order) whose local name
// is one of `names`; absent when there is none or when that text is empty.
OptString child_text(NodeRef element, std::initializer_list<std::string_view> names, Arena& arena);
OptString child_text(NodeRef element, std::string_view name, Arena& arena);

// Reads an unsigned 32-bit decimal with one optional leading '+'; absent otherwise.
OptLevel parse_level(std::string_view value) noexcept;

// The element's `level` attribute, or `lvl` when it has no `level`, read by parse_level.
OptLevel level(NodeRef element) noexcept;
// The attribute `name` read by parse_level; absent without it.
OptLevel level_attribute(NodeRef element, std::string_view name) noexcept;

// ---------------------------------------------------------------------------
// Captured nodes and inline content
// ---------------------------------------------------------------------------

// A generic copy of any node: element form for elements (recursively), text
// form for every other kind (comments, PIs, entity references and the
// document type in their XML spelling).
RawXml capture_node(NodeRef node, Arena& arena);

inline Attribute model_attribute(const AttributeView& view) noexcept {
  const std::string_view qualified_name =
      view.prefix ? std::string_view(view.prefix->data(), view.prefix->size() + 1 + view.local_name.size())
                  : view.local_name;
  return Attribute(qualified_name, view.value);
}

// An element with the `kept` children that `keep` accepts, each made by
// `capture_child`. A captured node costs its record and the arrays of its
// children and attributes; its strings are the tree's views. Depth is
// bounded by the parser's nesting limit.
template <class Keep, class CaptureChild>
RawXml capture_element(NodeRef element, std::size_t kept, Keep&& keep, CaptureChild&& capture_child, Arena& arena) {
  const std::size_t attribute_count = element.attribute_count();
  const std::size_t bytes = RawXml::block_bytes(attribute_count, kept);
  char* block = bytes == 0 ? nullptr : static_cast<char*>(arena.allocate(bytes, RawXml::kBlockAlignment));
  for (std::size_t i = 0; i < attribute_count; ++i)
    ::new (static_cast<void*>(block + i * sizeof(Attribute))) Attribute(model_attribute(element.attribute(i)));
  auto* children = reinterpret_cast<RawXml*>(block + attribute_count * sizeof(Attribute));
  std::size_t filled = 0;
  for (NodeRef child : element.children())
    if (keep(child)) ::new (static_cast<void*>(children + filled++)) RawXml(capture_child(child));
  return RawXml::make_element(element.qualified_name(), block, attribute_count, kept);
}

// The text form of a non-element node, as capture_node writes it: a view of
// character data, or the node's XML spelling written in `arena`.
std::string_view captured_text(NodeRef node, Arena& arena);
void append_captured_text(NodeRef node, std::string& out);

// The number of child nodes of any kind.
std::size_t child_count(NodeRef node) noexcept;

// The number of child elements. Counting first lets a list be allocated once
// instead of growing, which would move every large variant on each reallocation.
std::size_t child_element_count(NodeRef node) noexcept;

// The text itself, or absent when it is empty.
OptString non_empty(std::string_view text) noexcept;

// Appends a child of mixed content that is character data or an entity
// reference as a Text node (white space holding a line feed, indentation
// between elements, is dropped); false, and nothing appended, for other kinds.
bool append_inline_text(NodeRef child, InlineContent& out, Arena& arena);

// Appends the text of an element of character data as one Text node, unless
// it is blank. A reference to an entity the document does not declare keeps
// its "&name;" spelling, so that rendering can map it instead of losing it.
void append_leaf_text(NodeRef leaf, InlineContent& out, Arena& arena);

// How many inline nodes `element`'s children can make: indentation between
// pretty-printed elements and comments make none. What an inline list is
// reserved for, so that claims' nested texts do not leave half their lists
// unused.
std::size_t inline_node_bound(NodeRef element) noexcept;

// An inline element name of a generation and the kind it makes.
struct InlineName {
  std::string_view element;
  InlineKind kind;
};

// The attributes that may hold the target of a kind of reference, in order
// of preference: the first one the element has gives the target.
struct TargetAttributes {
  InlineKind kind;
  std::array<std::string_view, 2> names;  // an empty name is no attribute
};

// What a generation's mixed content makes of each child: the inline walk
// below is the same for all of them, and only this table differs.
struct InlineVocabulary {
  std::span<const InlineName> names = {};
  std::span<const TargetAttributes> targets = {};
  bool keeps_processing_instructions = false;
  // An element of character data whose text becomes one Text node (empty for none).
  std::string_view text_leaf = {};
  // Elements that only wrap text: their children join the content in their place.
  std::span<const std::string_view> wrappers = {};

  void take_target(InlineElement& element) const noexcept {
    for (const TargetAttributes& entry : targets) {
      if (entry.kind != element.kind) continue;
      for (std::string_view name : entry.names)
        if (!name.empty() && element.take_target_from(name)) return;
    }
  }
};

// The kind `kWords` gives an element name, absent when it lists none. The
// comparisons are spelled out with the table's names as constants, which
// the compiler turns into a few integer comparisons each.
template <const InlineVocabulary& kWords, std::size_t... kIndex>
std::optional<InlineKind> inline_kind_in(std::string_view name, std::index_sequence<kIndex...>) noexcept {
  std::optional<InlineKind> kind;
  static_cast<void>(((name == kWords.names[kIndex].element && (kind = kWords.names[kIndex].kind, true)) || ...));
  return kind;
}
template <const InlineVocabulary& kWords>
std::optional<InlineKind> inline_kind(std::string_view name) noexcept {
  return inline_kind_in<kWords>(name, std::make_index_sequence<kWords.names.size()>());
}

// Whether `name` is one of `kWords`' wrappers.
template <const InlineVocabulary& kWords, std::size_t... kIndex>
bool is_wrapper_in([[maybe_unused]] std::string_view name, std::index_sequence<kIndex...>) noexcept {
  return ((name == kWords.wrappers[kIndex]) || ...);
}
template <const InlineVocabulary& kWords>
bool is_wrapper(std::string_view name) noexcept {
  return is_wrapper_in<kWords>(name, std::make_index_sequence<kWords.wrappers.size()>());
}

// Appends `element`'s mixed content to `out` as inline nodes, by `kWords`:
// typed elements for the names it lists, RawXml for other elements (and for
// PIs when it keeps them), comments dropped. White-space-only text is
// dropped when empty or holding a line feed, and kept otherwise, so the
// space between two inline elements survives. Nodes are built in place,
// each starting from an empty alternative, so that no finished record is
// moved or copied into the list.
template <const InlineVocabulary& kWords>
void append_inline_children(NodeRef element, InlineContent& out, Arena& arena);

// The same, with room reserved first for every node the children can make.
template <const InlineVocabulary& kWords>
void append_inline_content(NodeRef element, InlineContent& out, Arena& arena) {
  out.reserve(arena, out.size() + inline_node_bound(element));
  append_inline_children<kWords>(element, out, arena);
}

template <const InlineVocabulary& kWords>
InlineContent inline_content_of(NodeRef element, Arena& arena) {
  InlineContent content;
  append_inline_content<kWords>(element, content, arena);
  return content;
}

// A wrapper's children grow the list they join instead of reserving it
// again, which would copy it once per wrapper.
template <const InlineVocabulary& kWords>
void append_inline_children(NodeRef element, InlineContent& out, Arena& arena) {
  for (NodeRef child : element.children()) {
    if (append_inline_text(child, out, arena)) continue;
    if (child.is_element()) {
      const std::string_view name = child.local_name();
      if (!kWords.text_leaf.empty() && name == kWords.text_leaf) {
        append_leaf_text(child, out, arena);
      } else if (const std::optional<InlineKind> kind = inline_kind<kWords>(name)) {
        InlineElement& made = out.emplace_back(arena).emplace<InlineElement>(arena);
        made.kind = *kind;
        made.attributes = copy_attributes(child, arena);
        kWords.take_target(made);
        append_inline_content<kWords>(child, made.content, arena);
      } else if (is_wrapper<kWords>(name)) {
        append_inline_children<kWords>(child, out, arena);
      } else {
        out.push_back(arena, InlineNode(arena, capture_node(child, arena)));
      }
    } else if (kWords.keeps_processing_instructions && child.kind() == NodeKind::ProcessingInstruction) {
      out.push_back(arena, InlineNode(arena, capture_node(child, arena)));
    }
  }
}

// The inline content of the version 4 generations.
InlineContent inline_content(NodeRef element, Arena& arena);

// The builder of a description for `scope`: `build` for a whole document, one
// that leaves the description empty for a record. `build` takes (NodeRef,
// Arena&), and the tree after them when it gives nodes back as it goes.
template <class... Context>
Description empty_description(NodeRef, Arena&, Context&...) noexcept {
  return Description();
}
template <class... Context>
auto description_for(ParseScope scope, Description (*build)(NodeRef, Arena&, Context&...)) noexcept {
  return scope == ParseScope::Record ? &empty_description<Context...> : build;
}

// The root parts whose content the tree need not keep for `scope`, of
// `unread`, the description a record leaves empty and then the drawings no
// record reads: all of them for a record, the drawings for a record with its
// sections, none for a whole document.
inline HollowNames hollow_for(ParseScope scope, HollowNames unread) noexcept {
  switch (scope) {
    case ParseScope::Record: return unread;
    case ParseScope::RecordWithSections: return unread.subspan(1);
    case ParseScope::Document: break;
  }
  return HollowNames();
}

// Gives a record's parse (`capture` not null) the bibliographic `element` to
// read; a second element offered is left alone.
void read_for_record(NodeRef element, RecordCapture* capture, Arena& arena);

// The builder `build` of a bibliographic part, which also gives `capture`
// the element (nothing when it is null). A builder that takes the
// capture is given it, for capture_citations.
template <class Build>
auto keeping_for_record(Build build, RecordCapture* capture) {
  return [build, capture](NodeRef element, Arena& arena) {
    read_for_record(element, capture, arena);
    if constexpr (std::is_invocable_v<const Build&, NodeRef, Arena&, RecordCapture*>)
      return build(element, arena, capture);
    else
      return build(element, arena);
  };
}

// An element that holds citations, as the model keeps it: whole, or for a
// record's parse without the citations the record reads in place (see
// RecordCapture).
RawXml capture_citations(NodeRef element, RecordCapture* capture, Arena& arena);

// How a converter turns one kind of child element into entries: the local
// name it answers to, and the builder, either a callable (NodeRef, Arena&)
// returning the entry (or an alternative of it), or a callable (NodeRef,
// List<Entry>&, Arena&) that appends what it makes itself, any number of
// entries. A root part's builder may also be a callable (NodeRef, Arena&,
// Tree&) returning the entry, to give the part's nodes back as it goes
// (ReleaseBehind); convert_root_parts hands it the tree.
template <class Build>
struct ChildRule {
  std::string_view name;
  Build build;
};
template <class Build>
ChildRule(std::string_view, Build) -> ChildRule<Build>;

template <class Entry, class Build>
bool apply_child_rule(const ChildRule<Build>& rule, std::string_view name, NodeRef child, List<Entry>& entries,
                      Arena& arena) {
  if (name != rule.name) return false;
  if constexpr (std::is_invocable_v<const Build&, NodeRef, List<Entry>&, Arena&>) {
    rule.build(child, entries, arena);
  } else {
    entries.emplace_back(arena, rule.build(child, arena));
  }
  return true;
}

// Converts the child elements of `parent` into entries appended to
// `entries`, with room for one entry each reserved first: the first rule
// naming the child builds what it becomes, and a child that no rule names is
// captured as it stands.
template <class Entry, class... Builds>
void convert_child(NodeRef child, List<Entry>& entries, Arena& arena, const ChildRule<Builds>&... rules) {
  const std::string_view name = child.local_name();
  if (!(apply_child_rule(rules, name, child, entries, arena) || ...))
    entries.emplace_back(arena, capture_node(child, arena));
}

template <class Entry, class... Builds>
void convert_children(NodeRef parent, List<Entry>& entries, Arena& arena, const ChildRule<Builds>&... rules) {
  entries.reserve(arena, entries.size() + child_element_count(parent));
  for (NodeRef child : child_elements(parent)) convert_child(child, entries, arena, rules...);
}

// A record of the element's attributes whose list `Entries` holds the
// element's children converted by `rules`, as convert_children does.
template <class Record, auto Entries = &Record::entries, class... Builds>
Record converted_record(NodeRef element, Arena& arena, const ChildRule<Builds>&... rules) {
  Record record;
  record.attributes = copy_attributes(element, arena);
  convert_children(element, record.*Entries, arena, rules...);
  return record;
}

// Appends `build(child, arena)` for every child element of `parent`, with
// room for all of them reserved first.
template <class Entry, class Build>
void append_each_child(NodeRef parent, List<Entry>& entries, Arena& arena, Build&& build) {
  entries.reserve(arena, entries.size() + child_element_count(parent));
  for (NodeRef child : child_elements(parent)) entries.push_back(arena, build(child, arena));
}

// A builder for entries that are an element's trimmed text.
template <class Entry>
Entry trimmed_text_entry(NodeRef element, Arena& arena) {
  return Entry{trimmed_text(element, arena)};
}

// Body records built from their elements, with a generation's inline
// vocabulary and the reading of its level attribute.
using LevelReader = OptLevel (*)(NodeRef element) noexcept;
template <const InlineVocabulary& kWords, LevelReader kLevel>
Heading heading_with(NodeRef element, Arena& arena) {
  return Heading{copy_attributes(element, arena), inline_content_of<kWords>(element, arena),
                 attribute_string(element, "align"), kLevel(element)};
}
template <const InlineVocabulary& kWords, LevelReader kLevel>
Paragraph paragraph_with(NodeRef element, Arena& arena) {
  return Paragraph{copy_attributes(element, arena), attribute_string(element, "id"), kLevel(element),
                   inline_content_of<kWords>(element, arena)};
}
template <const InlineVocabulary& kWords>
ClaimElement claim_with(NodeRef element, Arena& arena) {
  return ClaimElement{copy_attributes(element, arena), inline_content_of<kWords>(element, arena),
                      attribute_string(element, "id")};
}

// The same for the version 4 generations.
Heading build_heading(NodeRef element, Arena& arena);
Paragraph build_paragraph(NodeRef element, Arena& arena);
ClaimElement build_claim_element(NodeRef element, Arena& arena);
Image build_image(NodeRef element, Arena& arena);
Figure build_figure(NodeRef element, Arena& arena);

// A DocumentId from a `document-id` element: doc-number (empty when absent),
// kind, date and country.
DocumentId document_identity(NodeRef document_id, Arena& arena);

// ---------------------------------------------------------------------------
// The front end
// ---------------------------------------------------------------------------

// Parses the text into a tree (ParseError Xml on failure), the content of
// the root's children `hollow` checked but not kept; a text of the
// document's own is decoded in place.
inline Result<Tree, ParseError> parse_document(SourceText& text, HollowNames hollow) {
  const std::span<char> writable = text.writable();
  return writable.empty() ? parse_tree(text.view(), hollow) : parse_tree_in_place(writable, hollow);
}

// The root element, or ParseError Xml "missing root element" without one,
// or ParseError Structure `wrong_root_message` when its local name is not `root_name`.
Result<NodeRef, ParseError> checked_root(const Tree& tree, std::string_view root_name,
                                         std::string_view wrong_root_message);

// The seven prolog strings, as the parser recorded them on the tree: version,
// encoding and standalone from the XML declaration, and the document type's
// name, identifiers and internal subset. Only a declaration at the very start
// of `text` gives encoding and standalone (after a byte order mark they stay
// absent); the version is the one the parser recorded either way.
void capture_prolog(std::string_view text, const Tree& tree, SourceDocument& document);

// For a converter that walks siblings forward: each time it reaches the
// next sibling, the nodes before it (earlier siblings and their subtrees,
// whose model is built) go back to the system, a large range at a time.
// It changes the tree, so it takes the tree from its owner, the front end.
class ReleaseBehind {
 public:
  ReleaseBehind(Tree& tree, NodeRef first) noexcept : tree_(tree), start_(first.is_null() ? 0 : first.index()) {}

  void reached(NodeRef sibling) noexcept {
    if (sibling.is_null() || sibling.index() - start_ < kBatchNodes) return;
    tree_.release_nodes(start_, sibling.index());
    start_ = sibling.index();
  }

 private:
  static constexpr NodeIndex kBatchNodes = 16384;  // half a megabyte of nodes
  Tree& tree_;
  NodeIndex start_;
};

// The whole front end: parse (leaving the root's children `hollow`
// without content), check the root, copy the root's attributes,
// call `convert(root, document)` to fill the root parts, capture the prolog
// and store `format`. `convert` is any callable (NodeRef, SourceDocument&),
// or (NodeRef, SourceDocument&, Tree&) for a converter that gives nodes back
// as it goes (ReleaseBehind). The document takes over the text and the
// tree's arena, which the views of the model point into; the tree's nodes
// are released on return.
template <class Converter>
ParseResult run_front_end(SourceText text, std::string_view root_name, std::string_view wrong_root_message,
                          SourceFormat format, HollowNames hollow, Converter&& convert) {
  Result<Tree, ParseError> parsed = parse_document(text, hollow);
  if (!parsed) return std::move(parsed).error();
  Tree& tree = parsed.value();
  Result<NodeRef, ParseError> root = checked_root(tree, root_name, wrong_root_message);
  if (!root) return std::move(root).error();
  SourceDocument document;
  document.arena = tree.release_arena();
  document.root_attributes = copy_attributes(root.value(), document.arena);
  if constexpr (std::is_invocable_v<Converter&, NodeRef, SourceDocument&, Tree&>)
    std::forward<Converter>(convert)(root.value(), document, tree);
  else
    std::forward<Converter>(convert)(root.value(), document);
  capture_prolog(text.view(), tree, document);
  document.source_format = format;
  document.text = std::move(text);
  return document;
}

// A root part's rule whose builder takes the tree too, bound to `tree`; any
// other rule as it is.
template <class Build>
auto bound_to_tree(const ChildRule<Build>& rule, Tree& tree) {
  if constexpr (std::is_invocable_v<const Build&, NodeRef, Arena&, Tree&>) {
    return ChildRule{
        rule.name, [&build = rule.build, &tree](NodeRef element, Arena& arena) { return build(element, arena, tree); }};
  } else {
    return rule;
  }
}

// The root parts, one per child element of the root, by the rule naming it
// (captured when none does); each part's nodes are released once converted.
template <class... Builds>
void convert_root_children(NodeRef root, SourceDocument& document, Tree& tree, const ChildRule<Builds>&... rules) {
  document.parts.reserve(document.arena, child_element_count(root));
  ReleaseBehind release(tree, root.first_child());
  for (NodeRef child : child_elements(root)) {
    release.reached(child);
    convert_child(child, document.parts, document.arena, rules...);
  }
}

// The whole front end for a converter whose root parts are built as
// convert_root_children does: a part is converted from its own nodes alone.
template <class... Builds>
ParseResult convert_root_parts(SourceText text, std::string_view root_name, std::string_view wrong_root_message,
                               SourceFormat format, HollowNames hollow, const ChildRule<Builds>&... rules) {
  return run_front_end(std::move(text), root_name, wrong_root_message, format, hollow,
                       [&](NodeRef root, SourceDocument& document, Tree& tree) {
                         convert_root_children(root, document, tree, bound_to_tree(rules, tree)...);
                       });
}

}  // namespace tessellox::xml
