#include "render/markdown/captured.hpp"

#include <vector>

#include "normalize.hpp"
#include "raw_xml.hpp"
#include "render/markdown/maths.hpp"
#include "render/markdown/tables.hpp"

namespace tessellox {

namespace {

bool equals_ignoring_case(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Renders one element that the options take over; false for any other.
bool append_rendered(const RawXml& element, const MarkdownOptions& options, FormulaLayout formulas, std::string& out,
                     std::size_t& first_block) {
  const std::string_view name = element.name();
  if (is_chemistry_name(name)) {
    append_raw_xml(element, out);
    return true;
  }
  const bool table = options.tables != TableRendering::Xml && is_table_block_name(name);
  const bool formula_block = options.maths == MathsRendering::Latex && is_formula_block_name(name);
  if (formula_block && formulas == FormulaLayout::Inline) {
    append_formula_block(element, false, out);
    return true;
  }
  if (table || formula_block) {
    const std::size_t start = out.size();
    if (table)
      append_table_block(element, options, out);
    else
      append_formula_block(element, true, out);
    if (first_block == std::string::npos) first_block = start;
    return true;
  }
  if (options.maths == MathsRendering::Latex && name == "math") {
    append_formula(element, false, out);
    return true;
  }
  return false;
}

}  // namespace

bool is_chemistry_name(std::string_view name) noexcept {
  return name == "chemistry" || name == "chem" || name == "chemistry-cwu" || name == "CHEM-US" ||
         name == "chemistry-image";
}

const Attribute* find_attribute(const RawXml& element, std::string_view name) noexcept {
  for (const Attribute& attribute : element.attributes())
    if (equals_ignoring_case(attribute.name(), name)) return &attribute;
  return nullptr;
}

void append_text_content(const RawXml& node, std::string& out) {
  walk_raw_xml(node, [&out](const RawXml& top) {
    if (!top.is_text()) return false;
    // Comments and processing instructions are kept as text in their XML
    // form; they are not character data.
    if (!top.text().starts_with("<!") && !top.text().starts_with("<?")) append_normalized_text(top.text(), out);
    return true;
  });
}

bool append_image_reference(const RawXml& element, std::string_view alt, std::string& out) {
  bool found = false;
  walk_raw_xml(element, [&](const RawXml& top) {
    if (found || !top.is_element()) return true;
    const Attribute* file = find_attribute(top, "file");
    if (file == nullptr || file->value().empty()) return false;
    out += "![";
    out += alt;
    out += "](";
    out += file->value();
    out += ')';
    found = true;
    return true;
  });
  return found;
}

std::size_t append_captured(const RawXml& node, const MarkdownOptions& options, std::string& out,
                            FormulaLayout formulas) {
  std::size_t first_block = std::string::npos;
  append_raw_xml_with(
      node, out, [&](const RawXml& element) { return append_rendered(element, options, formulas, out, first_block); });
  return first_block;
}

}  // namespace tessellox
