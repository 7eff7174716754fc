#include "records/classifications.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "records/raw_text.hpp"
#include "source/xml/extract.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

// "G01S 7/48" in its parts: section, class, subclass, main group, subgroup.
void split_ipc_code(std::string_view code, ClassificationRecord& row) {
  code = trim(code);
  const auto is_letter = [](char c) { return c >= 'A' && c <= 'Z'; };
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  if (code.size() < 4 || !is_letter(code[0]) || !is_digit(code[1]) || !is_digit(code[2]) || !is_letter(code[3])) return;
  row.section = code.substr(0, 1);
  row.class_ = code.substr(1, 2);
  row.subclass = code.substr(3, 1);
  const std::string_view groups = trim(code.substr(4));
  const std::size_t slash = groups.find('/');
  if (slash == std::string_view::npos) {
    // The fixed columns of ST.32 and APS text: the main group right-aligned
    // in three, then the subgroup ("B32B  302" is B32B 3/02).
    const std::string_view columns = code.substr(4);
    if (columns.size() < 5 ||
        !std::all_of(columns.begin(), columns.begin() + 3, [&](char c) { return c == ' ' || is_digit(c); }) ||
        !std::all_of(columns.begin() + 3, columns.end(), is_digit))
      return;
    if (const std::string_view main_group = trim(columns.substr(0, 3)); !main_group.empty())
      row.main_group = main_group;
    row.subgroup = columns.substr(3);
    return;
  }
  if (const std::string_view main_group = trim(groups.substr(0, slash)); !main_group.empty())
    row.main_group = main_group;
  if (const std::string_view subgroup = trim(groups.substr(slash + 1)); !subgroup.empty()) row.subgroup = subgroup;
}

// `part` without its spaces; a view of it where it has none.
OptString packed(std::string_view part, Arena& arena) {
  std::string kept;
  for (const char c : part)
    if (c != ' ') kept.push_back(c);
  if (kept.empty()) return std::nullopt;
  if (kept.size() == part.size()) return part;
  return arena.copy(kept);
}

// A trimmed US class in its two parts where it shows where the class ends: a
// slash ("D11/106"), or a space in or just after the class's three columns
// ("D 2889", "179 90K"). Trimmed, "2502019" and " D2866" (class D2) cannot
// be told apart and are left whole.
void split_trimmed_us_code(std::string_view code, ClassificationRecord& row, Arena& arena) {
  code = trim(code);
  const std::size_t slash = code.find('/');
  if (slash == std::string_view::npos && (code.size() < 4 || code.substr(0, 4).find(' ') == std::string_view::npos))
    return;
  const std::size_t cut = slash != std::string_view::npos ? slash : 3;
  row.us_main_class = packed(code.substr(0, cut), arena);
  row.us_subclass = packed(code.substr(slash != std::string_view::npos ? cut + 1 : cut), arena);
}

// A US class as the source writes it: the class right-aligned in the first
// three columns, the subclass in the rest (" 24303" is 24/303, "D 7410"
// D7/410, "4304951" 430/4951). Text that is not in that form ("None", a
// code broken over lines) is split by the trimmed code's rule.
void split_us_columns(std::string_view code, ClassificationRecord& row, Arena& arena) {
  const auto is_class_char = [](char c) { return c == ' ' || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
  const bool columns = code.size() > 3 && code.find('/') == std::string_view::npos &&
                       std::all_of(code.begin(), code.end(), [&](char c) { return is_class_char(c) || c == '.'; }) &&
                       std::all_of(code.begin(), code.begin() + 3, is_class_char);
  if (!columns) {
    split_trimmed_us_code(code, row, arena);
    return;
  }
  OptString main_class = packed(code.substr(0, 3), arena);
  OptString subclass = packed(code.substr(3), arena);
  if (!main_class || !subclass) {
    split_trimmed_us_code(code, row, arena);
    return;
  }
  row.us_main_class = main_class;
  row.us_subclass = subclass;
}

// The text of an element holding one text node, as written (white space
// kept); absent otherwise. Single-element wrappers (B521 > PDAT) are passed.
std::optional<std::string_view> leaf_text(xml::NodeRef node, Arena& arena) {
  if (node.is_null()) return std::nullopt;
  while (node.child_count() == 1 && node.first_child().is_element()) node = node.first_child();
  if (node.child_count() != 1 || node.first_child().is_element()) return std::nullopt;
  return xml::captured_text(node.first_child(), arena);
}

ClassificationRecord code_row(std::string_view scheme, bool main, OptString code) {
  ClassificationRecord row;
  row.scheme = scheme;
  row.main = main;
  row.code = std::move(code);
  return row;
}

// A code given whole, trimmed as the model's lists keep it; its white space
// within is kept, for it marks where the parts end.
OptString whole_code(const std::optional<std::string_view>& written, xml::NodeRef node, Arena& arena) {
  if (written && !trim(*written).empty() && written->find('&') == std::string_view::npos) return trim(*written);
  return node_text(node, arena);
}

// An IPC (or Locarno) code given whole.
void add_whole_ipc(std::vector<ClassificationRecord>& rows, std::string_view scheme, bool main, xml::NodeRef node,
                   Arena& arena) {
  ClassificationRecord& row =
      rows.emplace_back(code_row(scheme, main, whole_code(leaf_text(node, arena), node, arena)));
  if (scheme == "ipc" && row.code) split_ipc_code(*row.code, row);
}

// A US code given whole; its columns give the parts.
void add_whole_us(std::vector<ClassificationRecord>& rows, std::string_view scheme, bool main, xml::NodeRef node,
                  Arena& arena) {
  const std::optional<std::string_view> written = leaf_text(node, arena);
  const OptString code = whole_code(written, node, arena);
  ClassificationRecord& row = rows.emplace_back(code_row(scheme, main, code));
  if (!code) return;
  if (scheme != "uspc") return;
  if (written && code == trim(*written))
    split_us_columns(*written, row, arena);
  else
    split_trimmed_us_code(*code, row, arena);
}

// main-classification, then each further-classification.
template <class Add>
void add_listed(xml::NodeRef element, Add&& add) {
  if (xml::NodeRef main = node_child(element, "main-classification")) add(true, main);
  for (xml::NodeRef further : element.children())
    if (further.is_element() && further.local_name() == "further-classification") add(false, further);
}

void read_v4(xml::NodeRef bibliographic, std::vector<ClassificationRecord>& rows, Arena& arena) {
  for (xml::NodeRef element : bibliographic.children()) {
    if (!element.is_element()) continue;
    const std::string_view name = element.local_name();
    if (name == "classifications-ipcr") {
      bool main = true;
      for (xml::NodeRef ipcr : element.children()) {
        if (!ipcr.is_element() || ipcr.local_name() != "classification-ipcr") continue;
        ClassificationRecord& row = rows.emplace_back(scheme_parts_row(ipcr, "ipc", "ipc-version-indicator", arena));
        row.main = std::exchange(main, false);
      }
    } else if (name == "classification-ipc") {
      add_listed(element, [&](bool main, xml::NodeRef code) { add_whole_ipc(rows, "ipc", main, code, arena); });
    } else if (name == "classification-national") {
      // Another office's national classification is not the USPC.
      const OptString country = path_text(element, {"country"}, arena);
      const std::string_view scheme = !country || *country == "US" ? "uspc" : "national";
      add_listed(element, [&](bool main, xml::NodeRef code) { add_whole_us(rows, scheme, main, code, arena); });
    }
  }
}

// technical-information: classification-ipc's primary and secondary `ipc`,
// classification-us's primary and secondary `uspc` (class and subclass in
// elements of their own).
void read_pap(xml::NodeRef bibliographic, std::vector<ClassificationRecord>& rows, Arena& arena) {
  xml::NodeRef technical = node_child(bibliographic, "technical-information");
  if (technical.is_null()) return;
  const auto each_code = [](xml::NodeRef classification, std::string_view code_name, auto&& add) {
    for (xml::NodeRef rank : classification.children()) {
      if (!rank.is_element()) continue;
      const bool main = rank.local_name().ends_with("-primary");
      if (!main && !rank.local_name().ends_with("-secondary")) continue;
      for (xml::NodeRef code : rank.children())
        if (code.is_element() && code.local_name() == code_name) add(main, code);
    }
  };
  std::vector<ClassificationRecord> us_rows;
  for (xml::NodeRef classification : technical.children()) {
    if (!classification.is_element()) continue;
    if (classification.local_name() == "classification-ipc") {
      each_code(classification, "ipc",
                [&](bool main, xml::NodeRef code) { add_whole_ipc(rows, "ipc", main, code, arena); });
    } else if (classification.local_name() == "classification-us") {
      each_code(classification, "uspc", [&](bool main, xml::NodeRef uspc) {
        ClassificationRecord& row = us_rows.emplace_back(code_row("uspc", main, std::nullopt));
        row.us_main_class = path_text(uspc, {"class"}, arena);
        row.us_subclass = path_text(uspc, {"subclass"}, arena);
        if (row.us_main_class && row.us_subclass) {
          std::string code(*row.us_main_class);
          code.append(1, '/').append(*row.us_subclass);
          row.code = arena.copy(code);
        } else {
          row.code = row.us_main_class ? row.us_main_class : row.us_subclass;
        }
      });
    }
  }
  rows.insert(rows.end(), us_rows.begin(), us_rows.end());
}

// B500: B510's B511 (main) and B512 (further) IPC codes (Locarno on design
// grants, which locarno_from_ipc makes of them); B520's B521 (main) and B522
// (further) US classes.
void read_st32(xml::NodeRef bibliographic, std::vector<ClassificationRecord>& rows, Arena& arena) {
  xml::NodeRef group = node_child(bibliographic, "B500");
  if (group.is_null()) return;
  std::vector<ClassificationRecord> us_rows;
  for (xml::NodeRef scheme : group.children()) {
    if (!scheme.is_element()) continue;
    const bool ipc = scheme.local_name() == "B510";
    if (!ipc && scheme.local_name() != "B520") continue;
    for (xml::NodeRef code : scheme.children()) {
      if (!code.is_element()) continue;
      const std::string_view name = code.local_name();
      if (ipc && (name == "B511" || name == "B512"))
        add_whole_ipc(rows, "ipc", name == "B511", code, arena);
      else if (!ipc && (name == "B521" || name == "B522"))
        add_whole_us(us_rows, "uspc", name == "B521", code, arena);
    }
  }
  rows.insert(rows.end(), us_rows.begin(), us_rows.end());
}

}  // namespace

template <class Node>
ClassificationRecord scheme_parts_row(Node classification, std::string_view scheme, std::string_view version_indicator,
                                      Arena& arena) {
  // The element each part is read from; the first of each name counts.
  static constexpr std::pair<std::string_view, OptString ClassificationRecord::*> kParts[] = {
      {"section", &ClassificationRecord::section},
      {"class", &ClassificationRecord::class_},
      {"subclass", &ClassificationRecord::subclass},
      {"main-group", &ClassificationRecord::main_group},
      {"subgroup", &ClassificationRecord::subgroup},
      {"symbol-position", &ClassificationRecord::symbol_position},
      {"classification-value", &ClassificationRecord::classification_value},
  };
  ClassificationRecord row;
  row.scheme = scheme;
  std::uint16_t seen = 0;  // bit i: kParts[i] read; the last bit: the version indicator
  constexpr std::uint16_t kVersionSeen = 1 << std::size(kParts);
  for_each_child_element(classification, [&](Node part) {
    const std::string_view name = name_of(part);
    if (name == version_indicator) {
      if ((seen & kVersionSeen) == 0) row.version_date = text_of(child_named(part, "date"), arena);
      seen |= kVersionSeen;
      return;
    }
    for (std::size_t index = 0; index < std::size(kParts); ++index) {
      const auto& [element, field] = kParts[index];
      if (name != element) continue;
      if ((seen & (1u << index)) == 0) row.*field = text_of(part, arena);
      seen |= static_cast<std::uint16_t>(1u << index);
      break;
    }
  });
  if (row.section && row.class_ && row.subclass && row.main_group && row.subgroup) {
    std::string code;
    code.reserve(row.section->size() + row.class_->size() + row.subclass->size() + row.main_group->size() +
                 row.subgroup->size() + 1);
    code.append(*row.section).append(*row.class_).append(*row.subclass).append(*row.main_group);
    code.append(1, '/').append(*row.subgroup);
    row.code = arena.copy(code);
  }
  return row;
}

template ClassificationRecord scheme_parts_row(const RawXml*, std::string_view, std::string_view, Arena&);
template ClassificationRecord scheme_parts_row(xml::NodeRef, std::string_view, std::string_view, Arena&);

std::vector<ClassificationRecord> xml_classification_rows(xml::NodeRef bibliographic, SourceFormat format,
                                                          Arena& arena) {
  std::vector<ClassificationRecord> rows;
  switch (format) {
    case SourceFormat::UsptoApplicationV15:
    case SourceFormat::UsptoApplicationV16: read_pap(bibliographic, rows, arena); break;
    case SourceFormat::UsptoGrantV25: read_st32(bibliographic, rows, arena); break;
    case SourceFormat::UsptoGrantApsGreenBook:
    case SourceFormat::UsptoSequenceCwu: break;
    default: read_v4(bibliographic, rows, arena); break;
  }
  return rows;
}

void locarno_from_ipc(std::vector<ClassificationRecord>& rows) {
  for (ClassificationRecord& row : rows)
    if (row.scheme == "ipc") row = code_row("locarno", row.main, row.code);
}

std::vector<ClassificationRecord> model_classification_rows(const BibliographicInformation* block, bool ipc_is_locarno,
                                                            bool us_columns_kept, Arena& arena) {
  std::vector<ClassificationRecord> rows;
  if (block == nullptr) return rows;
  const auto add = [&](std::string_view scheme, std::string_view code, bool main) {
    ClassificationRecord& row = rows.emplace_back(code_row(scheme, main, code));
    if (scheme == "ipc")
      split_ipc_code(code, row);
    else if (scheme == "uspc" && us_columns_kept)
      split_us_columns(code, row, arena);
    else if (scheme == "uspc")
      split_trimmed_us_code(code, row, arena);
  };
  for (const BibliographicItem& item : block->items) {
    const auto* technical = std::get_if<TechnicalInformation>(&item);
    if (technical == nullptr) continue;
    for (const TechnicalEntry& entry : technical->entries) {
      if (const auto* ipc = std::get_if<ClassificationIpc>(&entry)) {
        const std::string_view scheme = ipc_is_locarno ? "locarno" : "ipc";
        if (ipc->main_classification) add(scheme, *ipc->main_classification, true);
        for (std::string_view further : ipc->further_classifications) add(scheme, further, false);
      } else if (const auto* us = std::get_if<ClassificationUs>(&entry)) {
        if (us->main_classification) add("uspc", *us->main_classification, true);
        for (std::string_view further : us->further_classifications) add("uspc", further, false);
      }
    }
  }
  return rows;
}

void number_classification_rows(std::vector<ClassificationRecord>& rows) {
  std::vector<std::pair<std::string_view, std::uint32_t>> counts;  // a few schemes
  for (ClassificationRecord& row : rows) {
    auto found =
        std::find_if(counts.begin(), counts.end(), [&row](const auto& count) { return count.first == row.scheme; });
    if (found == counts.end()) found = counts.insert(counts.end(), {row.scheme, 0});
    row.sequence = ++found->second;
  }
}

}  // namespace tessellox
