#include "source/xml/expat_tree.hpp"

#include <expat.h>

#include <cstring>
#include <memory>
#include <new>
#include <unordered_set>
#include <utility>

namespace tessellox::xml {

namespace {

std::uint16_t prefix_length_of(const char* name, std::size_t length) noexcept {
  const void* colon = std::memchr(name, ':', length);
  if (colon == nullptr) return Tree::kNoPrefix;
  return static_cast<std::uint16_t>(static_cast<const char*>(colon) - name);
}

std::string position_suffix(XML_Parser parser) {
  std::string suffix = " at line ";
  suffix += std::to_string(XML_GetCurrentLineNumber(parser));
  suffix += ", column ";
  // expat counts columns from 0; people count them from 1.
  suffix += std::to_string(XML_GetCurrentColumnNumber(parser) + 1);
  return suffix;
}

}  // namespace

// Builds a Tree from expat's callbacks. expat's strings are transient, so
// every one is copied into the tree's arena.
class ExpatTreeBuilder {
 public:
  ExpatTreeBuilder(Tree& tree, std::string_view text, XML_Parser parser) : tree_(tree), text_(text), parser_(parser) {
    const std::size_t node_guess = text.size() / 8 + 64;
    tree_.reserve(node_guess < kMaxNodes + 1 ? node_guess : kMaxNodes + 1, text.size() / 32 + 16);
    stack_.reserve(kMaxDepth + 1);
    stack_.push_back({0, kNoNode});
  }

  void install() {
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &On<const XML_Char*, const XML_Char**>::call<&ExpatTreeBuilder::start_element>,
                          &On<const XML_Char*>::call<&ExpatTreeBuilder::end_element>);
    XML_SetCharacterDataHandler(parser_, &On<const XML_Char*, int>::call<&ExpatTreeBuilder::character_data>);
    XML_SetCdataSectionHandler(parser_, &On<>::call<&ExpatTreeBuilder::start_cdata>,
                               &On<>::call<&ExpatTreeBuilder::end_cdata>);
    XML_SetCommentHandler(parser_, &On<const XML_Char*>::call<&ExpatTreeBuilder::comment>);
    XML_SetProcessingInstructionHandler(
        parser_, &On<const XML_Char*, const XML_Char*>::call<&ExpatTreeBuilder::processing_instruction>);
    XML_SetSkippedEntityHandler(parser_, &On<const XML_Char*, int>::call<&ExpatTreeBuilder::skipped_entity>);
    XML_SetExternalEntityRefHandler(parser_, &ExpatTreeBuilder::on_external_entity);
    XML_SetEntityDeclHandler(parser_, &ExpatTreeBuilder::on_entity_declaration);
    XML_SetDoctypeDeclHandler(
        parser_, &On<const XML_Char*, const XML_Char*, const XML_Char*, int>::call<&ExpatTreeBuilder::start_doctype>,
        &On<>::call<&ExpatTreeBuilder::end_doctype>);
    XML_SetXmlDeclHandler(parser_,
                          &On<const XML_Char*, const XML_Char*, int>::call<&ExpatTreeBuilder::xml_declaration>);
  }

  // Ends the open text node, if any: its bytes move from the scratch buffer to the arena.
  void finish_text() {
    if (open_text_ == kNoNode) return;
    Tree::NodeRecord& record = tree_.node(open_text_);
    record.value = store(open_text_bytes_);
    record.value_length = static_cast<std::uint32_t>(open_text_bytes_.size());
    record.flags = Tree::NodeRecord::character_data_flags(open_text_bytes_);
    open_text_bytes_.clear();
    open_text_ = kNoNode;
  }

  bool failed() const noexcept { return failed_; }
  bool out_of_memory() const noexcept { return out_of_memory_; }
  std::string take_error() { return std::move(error_); }

 private:
  struct OpenNode {
    NodeIndex index;
    NodeIndex last_child;
  };

  // The C callbacks expat calls. Nothing is done after a failure, because
  // expat may still deliver events of the current token after
  // XML_StopParser; and no exception may unwind through expat's frames, so
  // running out of memory stops the parse and is rethrown afterwards.
  void stop_out_of_memory() noexcept {
    failed_ = true;
    out_of_memory_ = true;
    XML_StopParser(parser_, XML_FALSE);
  }

  template <class... Args>
  struct On {
    template <void (ExpatTreeBuilder::*Member)(Args...)>
    static void call(void* data, Args... args) noexcept {
      ExpatTreeBuilder& builder = *static_cast<ExpatTreeBuilder*>(data);
      if (builder.failed_) return;
      try {
        (builder.*Member)(args...);
      } catch (const std::bad_alloc&) {
        builder.stop_out_of_memory();
      }
    }
  };

  static void on_entity_declaration(void* data, const XML_Char* name, int is_parameter_entity, const XML_Char* value,
                                    int, const XML_Char*, const XML_Char* system_id, const XML_Char*,
                                    const XML_Char* notation_name) noexcept {
    if (is_parameter_entity || value != nullptr || system_id == nullptr || notation_name != nullptr) return;
    On<const XML_Char*>::call<&ExpatTreeBuilder::external_entity_declared>(data, name);
  }

  static int on_external_entity(XML_Parser parser, const XML_Char* context, const XML_Char*, const XML_Char*,
                                const XML_Char*) noexcept {
    On<const XML_Char*>::call<&ExpatTreeBuilder::external_entity>(XML_GetUserData(parser), context);
    return XML_STATUS_OK;
  }

  void fail(std::string_view what) {
    if (failed_) return;
    failed_ = true;
    error_.assign(what);
    error_ += position_suffix(parser_);
    XML_StopParser(parser_, XML_FALSE);
  }

  void fail_limit(XmlLimit limit, std::size_t value) { fail(xml_limit_message(limit, value)); }

  bool check_name(std::size_t length) {
    if (length <= kMaxNameBytes) return true;
    fail_limit(XmlLimit::NameBytes, kMaxNameBytes);
    return false;
  }

  bool check_text(std::size_t length) {
    if (length <= kMaxTextBytes) return true;
    fail_limit(XmlLimit::TextBytes, kMaxTextBytes);
    return false;
  }

  const char* store(std::string_view text) { return tree_.keep(text).data(); }

  std::optional<std::string_view> store_optional(const char* data) {
    if (data == nullptr) return std::nullopt;
    const std::string_view text(data);
    return std::string_view(store(text), text.size());
  }

  // Creates a node as the last child of the innermost open node.
  Tree::NodeRecord* append_node(NodeKind kind) {
    if (tree_.node_count() > kMaxNodes) {
      fail_limit(XmlLimit::Nodes, kMaxNodes);
      return nullptr;
    }
    OpenNode& parent = stack_.back();
    return &tree_.append_child(parent.index, parent.last_child, kind);
  }

  Tree::NodeRecord* append_named_node(NodeKind kind, const char* name) {
    const std::size_t length = std::strlen(name);
    if (!check_name(length)) return nullptr;
    Tree::NodeRecord* record = append_node(kind);
    if (record == nullptr) return nullptr;
    record->name = store(std::string_view(name, length));
    record->name_length = static_cast<std::uint16_t>(length);
    return record;
  }

  void start_element(const XML_Char* name, const XML_Char** atts) {
    finish_text();
    if (stack_.size() > kMaxDepth) {
      fail_limit(XmlLimit::Depth, kMaxDepth);
      return;
    }
    std::size_t attribute_count = 0;
    while (atts[2 * attribute_count] != nullptr) ++attribute_count;
    if (attribute_count > kMaxAttributes) {
      fail_limit(XmlLimit::AttributeCount, kMaxAttributes);
      return;
    }
    Tree::NodeRecord* record = append_named_node(NodeKind::Element, name);
    if (record == nullptr) return;
    record->prefix_length = prefix_length_of(name, record->name_length);
    record->parent.attribute_begin = static_cast<std::uint32_t>(tree_.attribute_count());
    record->attribute_count = static_cast<std::uint16_t>(attribute_count);
    const NodeIndex index = static_cast<NodeIndex>(tree_.node_count() - 1);
    for (std::size_t i = 0; i < attribute_count; ++i) {
      const char* attribute_name = atts[2 * i];
      const char* attribute_value = atts[2 * i + 1];
      const std::size_t name_length = std::strlen(attribute_name);
      const std::size_t value_length = std::strlen(attribute_value);
      if (!check_name(name_length) || !check_text(value_length)) return;
      Tree::AttributeRecord& attribute = tree_.append_attribute();
      attribute.name = store(std::string_view(attribute_name, name_length));
      attribute.name_length = static_cast<std::uint16_t>(name_length);
      attribute.prefix_length = prefix_length_of(attribute_name, name_length);
      attribute.value = store(std::string_view(attribute_value, value_length));
      attribute.value_length = static_cast<std::uint32_t>(value_length);
    }
    stack_.push_back({index, kNoNode});
  }

  void end_element(const XML_Char*) {
    finish_text();
    if (stack_.size() > 1) stack_.pop_back();
  }

  // Adjacent pieces of character data (lines, expanded references) go into
  // one node, gathered in a scratch buffer until another node starts.
  void character_data(const XML_Char* text, int length) {
    if (open_text_ == kNoNode) {
      if (append_node(in_cdata_ ? NodeKind::CData : NodeKind::Text) == nullptr) return;
      open_text_ = static_cast<NodeIndex>(tree_.node_count() - 1);
    }
    if (!check_text(open_text_bytes_.size() + static_cast<std::size_t>(length))) return;
    open_text_bytes_.append(text, static_cast<std::size_t>(length));
  }

  void start_cdata() {
    finish_text();
    in_cdata_ = true;
    // The section is a node of its own even when empty.
    if (append_node(NodeKind::CData) == nullptr) return;
    open_text_ = static_cast<NodeIndex>(tree_.node_count() - 1);
  }

  void end_cdata() {
    in_cdata_ = false;
    finish_text();
  }

  void comment(const XML_Char* text) {
    finish_text();
    const std::size_t length = std::strlen(text);
    if (!check_text(length)) return;
    Tree::NodeRecord* record = append_node(NodeKind::Comment);
    if (record == nullptr) return;
    record->value = store(std::string_view(text, length));
    record->value_length = static_cast<std::uint32_t>(length);
  }

  void processing_instruction(const XML_Char* target, const XML_Char* text) {
    finish_text();
    const std::size_t length = std::strlen(text);
    if (!check_text(length)) return;
    Tree::NodeRecord* record = append_named_node(NodeKind::ProcessingInstruction, target);
    if (record == nullptr) return;
    record->value = store(std::string_view(text, length));
    record->value_length = static_cast<std::uint32_t>(length);
  }

  void add_unexpanded_reference(const char* name, std::size_t length) {
    finish_text();
    if (!check_name(length)) return;
    Tree::NodeRecord* record = append_node(NodeKind::EntityReference);
    if (record == nullptr) return;
    std::string written;
    written.reserve(length + 2);
    written.append(1, '&').append(name, length).append(1, ';');
    const char* stored = store(written);
    record->value = stored;
    record->value_length = static_cast<std::uint32_t>(written.size());
    record->name = stored + 1;
    record->name_length = static_cast<std::uint16_t>(length);
  }

  // A reference to an entity the document does not declare (its external
  // DTD would). Parameter entities only occur inside the DTD and leave no node.
  void skipped_entity(const XML_Char* name, int is_parameter_entity) {
    if (is_parameter_entity) return;
    add_unexpanded_reference(name, std::strlen(name));
  }

  // An external general entity declared in the internal subset: nothing is
  // ever loaded, the reference stays as an unexpanded node. expat passes the
  // names of the open entities, separated by form feeds, in an order of its
  // hash table's; the one referenced is the external one among them (an
  // external entity is never opened, so there is only ever one).
  void external_entity(const XML_Char* context) {
    if (context == nullptr || stack_.size() <= 1) return;
    std::string_view names(context);
    std::string_view referenced = names.substr(names.rfind('\f') + 1);
    while (!names.empty()) {
      const std::size_t separator = names.find('\f');
      const std::string_view name = names.substr(0, separator);
      if (external_entities_.count(std::string(name)) != 0) {
        referenced = name;
        break;
      }
      names.remove_prefix(separator == std::string_view::npos ? names.size() : separator + 1);
    }
    add_unexpanded_reference(referenced.data(), referenced.size());
  }

  void external_entity_declared(const XML_Char* name) { external_entities_.emplace(name); }

  void start_doctype(const XML_Char* name, const XML_Char* system_id, const XML_Char* public_id,
                     int has_internal_subset) {
    if (tree_.has_document_type()) return;
    if (!check_name(std::strlen(name))) return;
    Tree::NodeRecord* record = append_node(NodeKind::DocumentType);
    if (record == nullptr) return;
    const auto node = static_cast<NodeIndex>(tree_.node_count() - 1);
    DocumentTypeInfo& info = tree_.set_document_type(node);
    info.name = *store_optional(name);
    info.system_id = store_optional(system_id);
    info.public_id = store_optional(public_id);
    // The event is the '[' that opens the subset.
    if (has_internal_subset) {
      const XML_Index at = XML_GetCurrentByteIndex(parser_);
      if (at >= 0) subset_start_ = static_cast<std::size_t>(at) + 1;
    }
    record->name = info.name.data();
    record->name_length = static_cast<std::uint16_t>(info.name.size());
  }

  // The event is the closing '>'; the subset ends at the last ']' before it.
  void end_doctype() {
    if (subset_start_ == std::string_view::npos) return;
    const XML_Index at = XML_GetCurrentByteIndex(parser_);
    std::size_t end = at >= 0 ? static_cast<std::size_t>(at) : 0;
    if (end > text_.size()) end = text_.size();
    while (end > subset_start_ && text_[end - 1] != ']') --end;
    if (end > subset_start_) --end;
    const std::string_view subset = text_.substr(subset_start_, end - subset_start_);
    if (!check_text(subset.size())) return;
    tree_.document_type_info().internal_subset = subset;  // a view into the text
    subset_start_ = std::string_view::npos;
  }

  // `standalone` is -1 when not declared, else 0 for "no" and 1 for "yes".
  void xml_declaration(const XML_Char* version, const XML_Char* encoding, int standalone) {
    if (version != nullptr) tree_.set_xml_version(*store_optional(version));
    tree_.set_xml_encoding(store_optional(encoding));
    if (standalone >= 0) tree_.set_xml_standalone(standalone == 1 ? "yes" : "no");
  }

  TreeWriter tree_;
  std::string_view text_;
  XML_Parser parser_;
  std::vector<OpenNode> stack_;
  NodeIndex open_text_ = kNoNode;
  bool in_cdata_ = false;
  bool failed_ = false;
  bool out_of_memory_ = false;
  std::size_t subset_start_ = std::string_view::npos;
  std::string open_text_bytes_;
  std::unordered_set<std::string> external_entities_;
  std::string error_;
};

namespace {

struct ParserDeleter {
  void operator()(XML_Parser parser) const noexcept { XML_ParserFree(parser); }
};

}  // namespace

Result<Tree, ParseError> parse_tree_with_expat(std::string_view text) {
  // The text is the caller's UTF-8 whatever its declaration claims, so the
  // encoding is fixed here and the declared one is ignored.
  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate("UTF-8"));
  if (!parser) throw std::bad_alloc();
  // Behave as if an external DTD existed but load none: undeclared entities
  // are then skipped (and kept as nodes) instead of failing the parse.
  XML_UseForeignDTD(parser.get(), XML_TRUE);
  XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);

  Tree tree;
  ExpatTreeBuilder builder(tree, text, parser.get());
  builder.install();

  std::size_t offset = 0;
  XML_Status status = XML_STATUS_OK;
  do {
    const std::size_t length = text.size() - offset < kParseChunkBytes ? text.size() - offset : kParseChunkBytes;
    const bool last = offset + length == text.size();
    status = XML_Parse(parser.get(), text.data() + offset, static_cast<int>(length), last ? XML_TRUE : XML_FALSE);
    offset += length;
  } while (status == XML_STATUS_OK && offset < text.size());

  if (status == XML_STATUS_OK) builder.finish_text();
  if (builder.out_of_memory()) throw std::bad_alloc();
  if (builder.failed()) return ParseError::xml(builder.take_error());
  if (status != XML_STATUS_OK) {
    const XML_Error code = XML_GetErrorCode(parser.get());
    std::string message = XML_ErrorString(code);
    message += position_suffix(parser.get());
    return ParseError::xml(std::move(message));
  }
  return tree;
}

}  // namespace tessellox::xml
