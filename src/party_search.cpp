#include "party_search.hpp"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>

#include "normalize.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

bool is_element_named(const RawXml& node, std::string_view name) noexcept {
  return node.is_element() && node.name() == name;
}

const RawXml* first_child_named(const RawXml& element, std::string_view name) noexcept {
  for (const RawXml& child : element.children())
    if (is_element_named(child, name)) return &child;
  return nullptr;
}

// The first element called `name` in document order within `root`'s subtree,
// `root` included. Iterative: captured trees may be deep.
const RawXml* first_element_named(const RawXml& root, std::string_view name) {
  std::vector<const RawXml*> pending{&root};
  while (!pending.empty()) {
    const RawXml* node = pending.back();
    pending.pop_back();
    if (!node->is_element()) continue;
    if (node->name() == name) return node;
    for (auto child = node->children().rbegin(); child != node->children().rend(); ++child) pending.push_back(&*child);
  }
  return nullptr;
}

// All text nodes below the element, in document order, trimmed and then
// mapped; no value when nothing but white space is there.
std::optional<std::string> element_text(const RawXml& element) {
  std::string joined;
  std::vector<const RawXml*> pending;
  for (auto child = element.children().rbegin(); child != element.children().rend(); ++child)
    pending.push_back(&*child);
  while (!pending.empty()) {
    const RawXml* node = pending.back();
    pending.pop_back();
    if (node->is_text()) {
      joined.append(node->text());
      continue;
    }
    for (auto child = node->children().rbegin(); child != node->children().rend(); ++child) pending.push_back(&*child);
  }
  const std::string_view trimmed = trim(joined);
  if (trimmed.empty()) return std::nullopt;
  return normalize_text(trimmed);
}

std::optional<std::string> child_text(const RawXml& element, std::string_view name) {
  const RawXml* child = first_child_named(element, name);
  return child != nullptr ? element_text(*child) : std::nullopt;
}

std::optional<std::string> either_child_text(const RawXml& element, std::string_view name,
                                             std::string_view alternative) {
  std::optional<std::string> text = child_text(element, name);
  return text ? std::move(text) : child_text(element, alternative);
}

// The present parts joined by one space; no value when that is blank.
std::optional<std::string> join_name(std::optional<std::string> first, const std::optional<std::string>& last) {
  std::string name = first ? std::move(*first) : std::string();
  if (last) {
    if (first) name.push_back(' ');
    name.append(*last);
  }
  if (trim(name).empty()) return std::nullopt;
  return name;
}

std::optional<std::string> person_name(const RawXml& party, std::string_view container_name) {
  const RawXml* container = first_element_named(party, container_name);
  if (container == nullptr) return std::nullopt;
  return join_name(either_child_text(*container, "first-name", "given-name"),
                   either_child_text(*container, "last-name", "family-name"));
}

// Green Book style: a NAM group holding ONM (organisation) or FNM/SNM.
std::optional<std::string> nam_name(const RawXml& party) {
  for (const RawXml& child : party.children()) {
    const RawXml* nam = first_element_named(child, "NAM");
    if (nam == nullptr) continue;
    if (std::optional<std::string> organisation = child_text(*nam, "ONM")) return organisation;
    return join_name(child_text(*nam, "FNM"), child_text(*nam, "SNM"));
  }
  return std::nullopt;
}

std::optional<std::string> party_name(const RawXml& party) {
  for (const RawXml& child : party.children()) {
    if (!is_element_named(child, "addressbook")) continue;
    if (const RawXml* orgname = first_child_named(child, "orgname")) {
      if (std::optional<std::string> text = element_text(*orgname)) return text;
      break;
    }
  }
  if (std::optional<std::string> text = child_text(party, "organization-name")) return text;
  if (std::optional<std::string> text = child_text(party, "orgname")) return text;
  if (std::optional<std::string> name = person_name(party, "addressbook")) return name;
  if (std::optional<std::string> name = person_name(party, "name")) return name;
  return nam_name(party);
}

constexpr std::array<std::string_view, 4> kInventorElements{"B721", "inventor", "us-inventor", "first-named-inventor"};
constexpr std::array<std::string_view, 2> kApplicantElements{"applicant", "us-applicant"};
constexpr std::array<std::string_view, 1> kAssigneeElements{"assignee"};

bool is_party_element(const RawXml& node, PartyKind kind) noexcept {
  if (!node.is_element()) return false;
  auto named = [&node](const auto& names) {
    for (std::string_view name : names)
      if (name.size() == node.name().size() && name == node.name()) return true;
    return false;
  };
  switch (kind) {
    case PartyKind::Inventor: return named(kInventorElements);
    case PartyKind::Applicant: return named(kApplicantElements);
    case PartyKind::Assignee: return named(kAssigneeElements);
  }
  return false;
}

}  // namespace

constexpr bool names_every_party(std::initializer_list<std::span<const std::string_view>> lists) {
  for (const auto& names : lists)
    for (std::string_view name : names)
      if (!is_party_name(name)) return false;
  return true;
}
static_assert(names_every_party({kInventorElements, kApplicantElements, kAssigneeElements}));

void search_party_names(const BibliographicInformation& block, PartyKind kind, std::vector<std::string_view>& names,
                        Arena& arena) {
  std::vector<const RawXml*> pending;
  for (const BibliographicItem& item : block.items) {
    const RawXml* root = std::get_if<RawXml>(&item);
    if (root == nullptr) continue;
    pending.assign(1, root);
    while (!pending.empty()) {
      const RawXml* node = pending.back();
      pending.pop_back();
      if (is_party_element(*node, kind)) {
        // A party element gives at most one name; its subtree is not searched.
        if (std::optional<std::string> name = party_name(*node)) names.push_back(arena.copy(trim(*name)));
        continue;
      }
      // Text holds no party; only elements are worth a visit.
      for (auto child = node->children().rbegin(); child != node->children().rend(); ++child)
        if (child->is_element() && !child->children().empty()) pending.push_back(&*child);
    }
  }
}

}  // namespace tessellox
