// A compact XML tree, one per parse.
//
// Nodes and attributes live in two flat arrays owned by the `Tree`; a
// `NodeRef` is a cheap handle (tree pointer + index) that walks them and
// changes nothing. The builders write the tree through a `TreeWriter`;
// once built, the only change is its owner giving back the memory of nodes
// already read (`release_nodes`), and handing over its arena. String
// data are views: into the parsed text where it is used as written, into the
// tree's arena where it had to be decoded (references, line ends, attribute
// value normalisation). So the text must outlive the tree, and a view handed
// out lives as long as both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "arena.hpp"
#include "prefetch.hpp"
#include "text.hpp"

namespace tessellox::xml {

// The parser's limits; exceeding one fails the parse with a ParseError Xml.
inline constexpr std::size_t kMaxDepth = 256;
inline constexpr std::size_t kMaxAttributes = 256;
inline constexpr std::size_t kMaxNameBytes = 50000;
inline constexpr std::size_t kMaxTextBytes = 10 * 1024 * 1024;
inline constexpr std::size_t kMaxNodes = 10000000;

// The local names of the root's children whose content a parse checks but
// does not keep (see scan_tree).
using HollowNames = std::span<const std::string_view>;

// expat copies its input into one buffer, which cannot reach 1 GiB; texts
// longer than this go in pieces of this size, which also bounds that copy.
// Every USPTO document fits in one piece.
inline constexpr std::size_t kParseChunkBytes = std::size_t{64} << 20;

enum class NodeKind : std::uint8_t {
  Document,      // the tree's top node: prolog nodes and the root element
  DocumentType,  // the <!DOCTYPE ...> declaration (details on the Tree)
  Element,
  Text,   // character data outside CDATA sections, adjacent pieces merged
  CData,  // the content of one CDATA section
  Comment,
  ProcessingInstruction,
  EntityReference,  // a reference the parser did not expand
};

using NodeIndex = std::uint32_t;
inline constexpr NodeIndex kNoNode = 0xFFFFFFFFu;

class Tree;

// One attribute of an element, as views into the tree.
struct AttributeView {
  std::string_view local_name;
  std::optional<std::string_view> prefix;  // text before the first ':' of the name
  std::string_view value;
};

class NodeRef;
template <bool (*Keep)(NodeRef) noexcept>
class ChildNodes;
inline bool is_any_node(NodeRef node) noexcept;

// A handle on one node. Default-constructed handles are null; on a null
// handle only is_null, is_element, is_character_data, first_child,
// next_sibling, attribute_count and the ranges may be called.
class NodeRef {
 public:
  NodeRef() = default;
  NodeRef(const Tree* tree, NodeIndex index) noexcept : tree_(tree), index_(index) {}

  bool is_null() const noexcept { return tree_ == nullptr || index_ == kNoNode; }
  explicit operator bool() const noexcept { return !is_null(); }
  NodeIndex index() const noexcept { return index_; }
  const Tree& tree() const noexcept { return *tree_; }

  NodeKind kind() const noexcept;
  bool is_element() const noexcept { return !is_null() && kind() == NodeKind::Element; }
  // Text or CDATA.
  bool is_character_data() const noexcept;

  // Element: the name as written ("us:claim"); PI: target; entity reference: entity name.
  std::string_view qualified_name() const noexcept;
  // Element: name after the first ':'; PI: target; entity reference: entity name.
  std::string_view local_name() const noexcept;
  // Element: text before the first ':' of its name, absent without one.
  std::optional<std::string_view> prefix() const noexcept;
  // PI target (empty for other kinds).
  std::string_view target() const noexcept;
  // Text/CDATA: character data; comment: its text; PI: its data (may be empty);
  // entity reference: replacement text (empty when unknown).
  std::string_view value() const noexcept;
  // Entity reference: whether the replacement text is known.
  bool has_replacement() const noexcept;
  // Text or CDATA: whether it is all Unicode white space (or empty), and
  // whether such white space holds a line feed. Both are noted while the
  // text is being read, so that asking costs no second look at it: in a
  // large document that look is a cache miss per node.
  bool is_white_space() const noexcept;
  bool holds_line_feed() const noexcept;
  // Entity reference whose replacement text is unknown: the reference as
  // written ("&name;"), a view that captures keep instead of a copy; empty
  // for every other node.
  std::string_view reference_as_written() const noexcept;

  NodeRef first_child() const noexcept;
  NodeRef next_sibling() const noexcept;
  // Document and elements: how many child nodes, of every kind; 0 otherwise.
  std::size_t child_count() const noexcept;

  std::size_t attribute_count() const noexcept;
  AttributeView attribute(std::size_t position) const noexcept;

  using ChildRange = ChildNodes<&is_any_node>;
  class AttributeRange;
  // All child nodes in document order.
  ChildRange children() const noexcept;
  // All attributes in document order.
  AttributeRange attributes() const noexcept;

  friend bool operator==(const NodeRef& a, const NodeRef& b) noexcept {
    return a.tree_ == b.tree_ && a.index_ == b.index_;
  }

 private:
  const Tree* tree_ = nullptr;
  NodeIndex index_ = kNoNode;
};

inline bool is_any_node(NodeRef) noexcept { return true; }

// The children of a node that `Keep` accepts, in document order.
template <bool (*Keep)(NodeRef) noexcept>
class ChildNodes {
 public:
  class Iterator {
   public:
    using value_type = NodeRef;
    using difference_type = std::ptrdiff_t;
    Iterator() = default;
    explicit Iterator(NodeRef node) noexcept : node_(skip(node)) {}
    NodeRef operator*() const noexcept { return node_; }
    Iterator& operator++() noexcept {
      node_ = skip(node_.next_sibling());
      return *this;
    }
    Iterator operator++(int) noexcept {
      Iterator copy = *this;
      ++*this;
      return copy;
    }
    friend bool operator==(const Iterator& a, const Iterator& b) noexcept {
      return a.node_.is_null() ? b.node_.is_null() : a.node_ == b.node_;
    }

   private:
    static NodeRef skip(NodeRef node) noexcept {
      while (!node.is_null() && !Keep(node)) node = node.next_sibling();
      return node;
    }
    NodeRef node_;
  };

  explicit ChildNodes(NodeRef first) noexcept : first_(first) {}
  Iterator begin() const noexcept { return Iterator(first_); }
  Iterator end() const noexcept { return Iterator(); }
  bool empty() const noexcept { return begin() == end(); }

 private:
  NodeRef first_;
};

class NodeRef::AttributeRange {
 public:
  class Iterator {
   public:
    using value_type = AttributeView;
    using difference_type = std::ptrdiff_t;
    Iterator() = default;
    Iterator(NodeRef node, std::size_t position) noexcept : node_(node), position_(position) {}
    AttributeView operator*() const noexcept { return node_.attribute(position_); }
    Iterator& operator++() noexcept {
      ++position_;
      return *this;
    }
    Iterator operator++(int) noexcept {
      Iterator copy = *this;
      ++position_;
      return copy;
    }
    friend bool operator==(const Iterator& a, const Iterator& b) noexcept { return a.position_ == b.position_; }

   private:
    NodeRef node_;
    std::size_t position_ = 0;
  };

  explicit AttributeRange(NodeRef node) noexcept : node_(node) {}
  Iterator begin() const noexcept { return Iterator(node_, 0); }
  Iterator end() const noexcept { return Iterator(node_, node_.attribute_count()); }
  std::size_t size() const noexcept { return node_.attribute_count(); }
  bool empty() const noexcept { return size() == 0; }

 private:
  NodeRef node_;
};

// The document type declaration as the parser reported it.
struct DocumentTypeInfo {
  std::string_view name;
  std::optional<std::string_view> public_id;
  std::optional<std::string_view> system_id;
  std::optional<std::string_view> internal_subset;  // verbatim from the input, brackets excluded
};

// The parsed document. Move-only; a NodeRef holds the tree's address, so take
// handles only once the tree has reached its final place.
class Tree {
 public:
  // A tree holding only its document node.
  Tree() : nodes_(1) {}
  Tree(Tree&&) noexcept = default;
  Tree& operator=(Tree&&) noexcept = default;
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  // The top node; its children are the prolog nodes, the root element and
  // any comments or PIs after it.
  NodeRef document() const noexcept { return NodeRef(this, 0); }
  // The first element child of the document node (null when there is none).
  NodeRef root_element() const noexcept;
  // The document type declaration node (null when there is none).
  NodeRef document_type() const noexcept;
  // Details of the document type declaration; absent when there is none.
  std::optional<DocumentTypeInfo> document_type_info() const noexcept { return doctype_; }
  // The XML declaration as the parser read it: the version ("1.0" without a
  // declaration), and the encoding and standalone values as written, absent
  // when not declared.
  std::string_view xml_version() const noexcept { return xml_version_; }
  std::optional<std::string_view> xml_encoding() const noexcept { return xml_encoding_; }
  std::optional<std::string_view> xml_standalone() const noexcept { return xml_standalone_; }
  // Whether a text or attribute value of the tree may hold an '&' (a
  // reference that stands for one, one left unexpanded, a CDATA section or
  // comment that holds one); false only where the builder saw none.
  bool may_hold_ampersand() const noexcept { return may_hold_ampersand_; }
  // Nodes are numbered in document order, as the builders append them: the
  // nodes below an element are the ones numbered between it and its next
  // sibling.
  std::size_t node_count() const noexcept { return nodes_.size(); }
  // Hands the whole pages that hold nodes [begin, end) back to the system,
  // for a reader that is done with them: a converter drops each root part's
  // nodes once it holds the part's model, so that a large document's tree
  // and model are not both resident in full. A no-op for small ranges and
  // where the system offers no way to do it.
  //
  // It changes the tree: a node of those pages reads as a zeroed record from
  // then on, not as the node. So it is asked of the tree itself, which a
  // NodeRef does not give: the front end, which owns the tree, hands it to
  // the converters, and they call this through a ReleaseBehind, only for
  // nodes they will not read again.
  void release_nodes(NodeIndex begin, NodeIndex end) noexcept;
  // Hands over the arena of decoded strings. The tree's views keep pointing
  // into its blocks, so the new owner must outlive every use of the tree.
  Arena release_arena() noexcept { return std::move(arena_); }

  // Internal layout, read by NodeRef and written through a TreeWriter by
  // the two builders (the scanner and the expat fallback). 32 bytes a node:
  // only the document and elements have children and attributes, and they
  // have no value, so the two share their storage.
  struct ParentLinks {
    std::uint32_t attribute_begin = 0;
    NodeIndex first_child = kNoNode;
  };
  struct NodeRecord {
    const char* name = nullptr;  // element name, PI target, entity name, doctype name
    union {
      ParentLinks parent{};  // document and elements
      const char* value;     // character data, comment, PI data, replacement text,
                             // an unexpanded reference as written
    };
    union {
      std::uint32_t value_length = 0;  // with `value`
      std::uint32_t child_count;       // document and elements: kept by append_child
    };
    NodeIndex next_sibling = kNoNode;
    std::uint16_t name_length = 0;            // names are at most 50000 bytes
    std::uint16_t prefix_length = kNoPrefix;  // position of the first ':' in the name
    std::uint16_t attribute_count = 0;
    NodeKind kind = NodeKind::Document;
    std::uint8_t flags = 0;  // kHasReplacement for entity references, kWhiteSpace and kLineFeed for character data

    static constexpr std::uint8_t kHasReplacement = 1;
    static constexpr std::uint8_t kWhiteSpace = 2;
    static constexpr std::uint8_t kLineFeed = 4;  // with kWhiteSpace only

    // The flags of character data whose text is `value`. Asked of every
    // text node as it is read, so the common cases (a letter first, or
    // ASCII indentation) take one pass without a call.
    static std::uint8_t character_data_flags(std::string_view value) noexcept {
      std::uint8_t flags = kWhiteSpace;
      for (std::size_t i = 0; i < value.size(); ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if (byte == '\n') {
          flags |= kLineFeed;
        } else if (byte >= 0x80) {
          const std::string_view rest = value.substr(i);
          if (!is_white_space_only(rest)) return 0;
          return rest.find('\n') == std::string_view::npos ? flags : flags | kLineFeed;
        } else if (byte != ' ' && (byte < '\t' || byte > '\r')) {
          return 0;
        }
      }
      return flags;
    }

    bool is_parent() const noexcept { return kind == NodeKind::Element || kind == NodeKind::Document; }
  };
  struct AttributeRecord {
    const char* name = nullptr;
    const char* value = nullptr;
    std::uint32_t value_length = 0;
    std::uint16_t name_length = 0;
    std::uint16_t prefix_length = kNoPrefix;
  };
  static constexpr std::uint16_t kNoPrefix = 0xFFFF;

  const NodeRecord& record(NodeIndex index) const noexcept { return nodes_[index]; }
  const AttributeRecord& attribute_record(std::size_t index) const noexcept { return attributes_[index]; }

 private:
  friend class TreeWriter;

  std::vector<NodeRecord> nodes_;
  std::vector<AttributeRecord> attributes_;
  // Decoded strings; its blocks never move, so views into it survive moving the tree.
  Arena arena_;
  std::optional<DocumentTypeInfo> doctype_;
  std::string_view xml_version_ = "1.0";
  std::optional<std::string_view> xml_encoding_;
  std::optional<std::string_view> xml_standalone_;
  NodeIndex doctype_node_ = kNoNode;
  bool may_hold_ampersand_ = true;
};

// What a builder (the scanner, the expat fallback) may do to the tree it
// builds, and all it may do: append nodes and attributes in document order
// and fill their records, keep decoded strings in the tree's arena, and
// record the prolog. The tree's arrays stay private to it.
class TreeWriter {
 public:
  explicit TreeWriter(Tree& tree) noexcept : tree_(tree) {}

  void reserve(std::size_t nodes, std::size_t attributes) {
    tree_.nodes_.reserve(nodes);
    tree_.attributes_.reserve(attributes);
  }
  std::size_t node_count() const noexcept { return tree_.nodes_.size(); }
  std::size_t attribute_count() const noexcept { return tree_.attributes_.size(); }

  // A node of `kind` appended as the last child of the open node `parent`,
  // whose last child so far is `last_child` (kNoNode for none; updated).
  Tree::NodeRecord& append_child(NodeIndex parent, NodeIndex& last_child, NodeKind kind) {
    std::vector<Tree::NodeRecord>& nodes = tree_.nodes_;
    const auto index = static_cast<NodeIndex>(nodes.size());
    prefetch_for_write_ahead(nodes.data() + index, kNodeWriteAhead);
    Tree::NodeRecord& record = nodes.emplace_back();
    record.kind = kind;
    if (!record.is_parent()) record.value = nullptr;
    if (last_child == kNoNode) {
      nodes[parent].parent.first_child = index;
    } else {
      nodes[last_child].next_sibling = index;
    }
    last_child = index;
    ++nodes[parent].child_count;
    return record;
  }
  // A node appended before, to finish its record.
  Tree::NodeRecord& node(NodeIndex index) noexcept { return tree_.nodes_[index]; }

  Tree::AttributeRecord& append_attribute() { return tree_.attributes_.emplace_back(); }
  // Drops the attributes from `begin` on, those of a tag checked but not kept.
  void truncate_attributes(std::size_t begin) { tree_.attributes_.resize(begin); }
  const Tree::AttributeRecord& attribute(std::size_t index) const noexcept { return tree_.attributes_[index]; }

  // A copy of `text` in the tree's arena, for strings that are not in the
  // text as they are.
  std::string_view keep(std::string_view text) { return tree_.arena_.copy(text); }

  void set_xml_version(std::string_view version) noexcept { tree_.xml_version_ = version; }
  void set_xml_encoding(std::optional<std::string_view> encoding) noexcept { tree_.xml_encoding_ = encoding; }
  void set_xml_standalone(std::optional<std::string_view> standalone) noexcept { tree_.xml_standalone_ = standalone; }
  void set_may_hold_ampersand(bool may) noexcept { tree_.may_hold_ampersand_ = may; }
  // Makes `node` the document type declaration, and returns its details to fill.
  DocumentTypeInfo& set_document_type(NodeIndex node) {
    tree_.doctype_node_ = node;
    return tree_.doctype_.emplace();
  }
  bool has_document_type() const noexcept { return tree_.doctype_node_ != kNoNode; }
  DocumentTypeInfo& document_type_info() noexcept { return *tree_.doctype_; }

 private:
  static constexpr std::size_t kNodeWriteAhead = 16 * sizeof(Tree::NodeRecord);

  Tree& tree_;
};

// ---------------------------------------------------------------------------
// Inline definitions of the small accessors
// ---------------------------------------------------------------------------

inline NodeKind NodeRef::kind() const noexcept { return tree_->record(index_).kind; }

inline bool NodeRef::is_character_data() const noexcept {
  if (is_null()) return false;
  const NodeKind k = kind();
  return k == NodeKind::Text || k == NodeKind::CData;
}

inline std::string_view NodeRef::qualified_name() const noexcept {
  const Tree::NodeRecord& r = tree_->record(index_);
  return std::string_view(r.name, r.name_length);
}

inline std::string_view NodeRef::local_name() const noexcept {
  const Tree::NodeRecord& r = tree_->record(index_);
  if (r.prefix_length == Tree::kNoPrefix) return std::string_view(r.name, r.name_length);
  return std::string_view(r.name + r.prefix_length + 1, r.name_length - r.prefix_length - 1u);
}

inline std::optional<std::string_view> NodeRef::prefix() const noexcept {
  const Tree::NodeRecord& r = tree_->record(index_);
  if (r.prefix_length == Tree::kNoPrefix) return std::nullopt;
  return std::string_view(r.name, r.prefix_length);
}

inline std::string_view NodeRef::target() const noexcept {
  return kind() == NodeKind::ProcessingInstruction ? qualified_name() : std::string_view();
}

inline std::string_view NodeRef::value() const noexcept {
  const Tree::NodeRecord& r = tree_->record(index_);
  if (r.is_parent() || (r.kind == NodeKind::EntityReference && (r.flags & Tree::NodeRecord::kHasReplacement) == 0))
    return {};
  return std::string_view(r.value, r.value_length);
}

inline bool NodeRef::has_replacement() const noexcept {
  const Tree::NodeRecord& r = tree_->record(index_);
  return r.kind == NodeKind::EntityReference && (r.flags & Tree::NodeRecord::kHasReplacement) != 0;
}

inline bool NodeRef::is_white_space() const noexcept {
  return (tree_->record(index_).flags & Tree::NodeRecord::kWhiteSpace) != 0;
}

inline bool NodeRef::holds_line_feed() const noexcept {
  return (tree_->record(index_).flags & Tree::NodeRecord::kLineFeed) != 0;
}

inline std::string_view NodeRef::reference_as_written() const noexcept {
  const Tree::NodeRecord& r = tree_->record(index_);
  if (r.kind != NodeKind::EntityReference || (r.flags & Tree::NodeRecord::kHasReplacement) != 0) return {};
  return std::string_view(r.value, r.value_length);
}

inline NodeRef NodeRef::first_child() const noexcept {
  if (is_null()) return NodeRef();
  const Tree::NodeRecord& r = tree_->record(index_);
  return NodeRef(tree_, r.is_parent() ? r.parent.first_child : kNoNode);
}

inline NodeRef NodeRef::next_sibling() const noexcept {
  if (is_null()) return NodeRef();
  return NodeRef(tree_, tree_->record(index_).next_sibling);
}

inline std::size_t NodeRef::child_count() const noexcept {
  if (is_null()) return 0;
  const Tree::NodeRecord& r = tree_->record(index_);
  return r.is_parent() ? r.child_count : 0;
}

inline std::size_t NodeRef::attribute_count() const noexcept {
  return is_null() ? 0 : tree_->record(index_).attribute_count;
}

inline AttributeView NodeRef::attribute(std::size_t position) const noexcept {
  const Tree::AttributeRecord& a = tree_->attribute_record(tree_->record(index_).parent.attribute_begin + position);
  AttributeView view;
  view.value = std::string_view(a.value, a.value_length);
  if (a.prefix_length == Tree::kNoPrefix) {
    view.local_name = std::string_view(a.name, a.name_length);
  } else {
    view.prefix = std::string_view(a.name, a.prefix_length);
    view.local_name = std::string_view(a.name + a.prefix_length + 1, a.name_length - a.prefix_length - 1u);
  }
  return view;
}

inline NodeRef::ChildRange NodeRef::children() const noexcept { return ChildRange(first_child()); }

inline NodeRef::AttributeRange NodeRef::attributes() const noexcept { return AttributeRange(*this); }

}  // namespace tessellox::xml
