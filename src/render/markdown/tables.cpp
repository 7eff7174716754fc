#include "render/markdown/tables.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

#include "normalize.hpp"
#include "raw_xml.hpp"
#include "render/markdown/captured.hpp"
#include "render/markdown/escapes.hpp"
#include "render/markdown/maths.hpp"
#include "text.hpp"

namespace tessellox {

namespace {

// A grid wider than this takes the entries beyond it into its last column:
// a declared or spanned width costs output for every row.
constexpr std::size_t kMaxColumns = 1024;

enum class RowSection : std::uint8_t { Head, Body, Foot };

struct PlacedEntry {
  const RawXml* entry;
  std::size_t row;
  std::size_t column;
  std::size_t columns;
  std::size_t rows;
};

// One tgroup laid out on its grid: every entry with its place and spans.
struct GroupLayout {
  std::size_t width = 0;
  std::vector<RowSection> row_sections;
  std::vector<PlacedEntry> entries;
};

std::size_t parse_count(const Attribute* attribute, std::size_t fallback) noexcept {
  if (attribute == nullptr) return fallback;
  const std::string_view text = trim(attribute->value());
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return fallback;
  return value;
}

std::string lowercase(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lowered;
}

// A tgroup's column names, looked up by binary search: as written, then
// regardless of case, since some tables name their columns in another case
// than their spans do. The first column of a name wins.
class ColumnNames {
 public:
  void add(std::string_view name, std::size_t index) {
    exact_.emplace_back(std::string(name), index);
    folded_.emplace_back(lowercase(name), index);
  }

  void seal() {
    const auto by_name = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::stable_sort(exact_.begin(), exact_.end(), by_name);
    std::stable_sort(folded_.begin(), folded_.end(), by_name);
  }

  std::optional<std::size_t> find(std::string_view name) const {
    if (const auto index = find_in(exact_, name)) return index;
    return find_in(folded_, lowercase(name));
  }

 private:
  using Entries = std::vector<std::pair<std::string, std::size_t>>;

  static std::optional<std::size_t> find_in(const Entries& entries, std::string_view name) {
    const auto found = std::lower_bound(entries.begin(), entries.end(), name,
                                        [](const auto& entry, std::string_view key) { return entry.first < key; });
    if (found == entries.end() || found->first != name) return std::nullopt;
    return found->second;
  }

  Entries exact_;
  Entries folded_;
};

struct NamedSpan {
  std::string_view name;
  std::string_view first;
  std::string_view last;
};

std::optional<std::size_t> column_named(const ColumnNames& columns, const Attribute* attribute) {
  if (attribute == nullptr) return std::nullopt;
  return columns.find(attribute->value());
}

GroupLayout lay_out_group(const RawXml& group) {
  GroupLayout layout;
  layout.width = std::min(parse_count(find_attribute(group, "cols"), 1), kMaxColumns);
  ColumnNames columns;
  std::vector<NamedSpan> spans;
  std::size_t next_column = 0;
  std::vector<std::pair<const RawXml*, RowSection>> rows;
  for (const RawXml& child : group.children()) {
    if (!child.is_element()) continue;
    const std::string_view name = child.name();
    if (name == "colspec") {
      const std::size_t index = std::min(parse_count(find_attribute(child, "colnum"), next_column + 1), kMaxColumns);
      next_column = index;
      if (const Attribute* column_name = find_attribute(child, "colname"))
        columns.add(column_name->value(), index - (index > 0 ? 1 : 0));
    } else if (name == "spanspec") {
      const Attribute* span_name = find_attribute(child, "spanname");
      const Attribute* first = find_attribute(child, "namest");
      const Attribute* last = find_attribute(child, "nameend");
      if (span_name != nullptr && first != nullptr && last != nullptr)
        spans.push_back({span_name->value(), first->value(), last->value()});
    } else if (name == "thead" || name == "tbody" || name == "tfoot") {
      const RowSection section = name == "thead"   ? RowSection::Head
                                 : name == "tfoot" ? RowSection::Foot
                                                   : RowSection::Body;
      for (const RawXml& row : child.children())
        if (row.is_element() && row.name() == "row") rows.emplace_back(&row, section);
    } else if (name == "row") {
      rows.emplace_back(&child, RowSection::Body);
    }
  }

  columns.seal();
  std::stable_sort(spans.begin(), spans.end(), [](const NamedSpan& a, const NamedSpan& b) { return a.name < b.name; });

  // A column stays taken by an entry above it until the row named here.
  std::vector<std::size_t> taken_until(layout.width, 0);
  // Rows a span may reach: up to the end of its section.
  std::vector<std::size_t> section_end(rows.size(), rows.size());
  for (std::size_t i = rows.size(); i-- > 0;)
    section_end[i] = i + 1 < rows.size() && rows[i + 1].second == rows[i].second ? section_end[i + 1] : i + 1;

  for (std::size_t row = 0; row < rows.size(); ++row) {
    layout.row_sections.push_back(rows[row].second);
    std::size_t cursor = 0;
    for (const RawXml& entry : rows[row].first->children()) {
      if (!entry.is_element() || entry.name() != "entry") continue;
      const Attribute* start_name = find_attribute(entry, "namest");
      const Attribute* end_name = find_attribute(entry, "nameend");
      std::optional<std::size_t> first = column_named(columns, start_name);
      std::optional<std::size_t> last = column_named(columns, end_name);
      bool open_span = (start_name != nullptr && !first) || (end_name != nullptr && !last);
      if (start_name == nullptr) first = column_named(columns, find_attribute(entry, "colname"));
      if (const Attribute* span_name = find_attribute(entry, "spanname")) {
        const auto span = std::lower_bound(spans.begin(), spans.end(), span_name->value(),
                                           [](const NamedSpan& held, std::string_view key) { return held.name < key; });
        const bool found = span != spans.end() && span->name == span_name->value();
        if (found) {
          const Attribute first_attribute("namest", span->first);
          const Attribute last_attribute("nameend", span->last);
          first = column_named(columns, &first_attribute);
          last = column_named(columns, &last_attribute);
          open_span = !first || !last;
        }
        if (!found) open_span = true;
      }
      std::size_t column = first.value_or(cursor);
      if (!first)
        while (column < taken_until.size() && taken_until[column] > row) ++column;
      column = std::min(column, kMaxColumns - 1);
      std::size_t end_column = column + 1;
      if (last && *last >= column) end_column = *last + 1;
      // A span that names no column covers the rest of the row.
      if (open_span) end_column = std::max(end_column, layout.width);
      end_column = std::min(end_column, kMaxColumns);
      if (end_column > layout.width) {
        layout.width = end_column;
        taken_until.resize(layout.width, 0);
      }
      const std::size_t more_rows = parse_count(find_attribute(entry, "morerows"), 0);
      const std::size_t span_rows = std::min(more_rows, section_end[row] - row - 1) + 1;
      for (std::size_t c = column; c < end_column; ++c) taken_until[c] = std::max(taken_until[c], row + span_rows);
      layout.entries.push_back({&entry, row, column, end_column - column, span_rows});
      cursor = end_column;
    }
  }
  return layout;
}

// A cell is written on one line: line breaks and tabs become spaces.
constexpr CharacterEscapes kHtmlEscapes{
    {'<', "&lt;"}, {'>', "&gt;"}, {'\n', " "}, {'\r', " "}, {'\t', " "},
};
constexpr CharacterEscapes kPipeEscapes{
    {'|', "\\|"},
    {'\n', " "},
    {'\r', " "},
    {'\t', " "},
};

bool is_reference_name_byte(char c) noexcept {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#';
}

// Escapes text for HTML; an entity reference that the text kept stays one.
void append_html_escaped(std::string_view text, std::string& out) {
  append_escaped(text, kHtmlEscapes, out, [&out](std::string_view rest) -> std::size_t {
    std::size_t end = 1;
    while (end < rest.size() && end <= 32 && is_reference_name_byte(rest[end])) ++end;
    out += end > 1 && end < rest.size() && rest[end] == ';' ? "&" : "&amp;";
    return 1;
  });
}

void append_pipe_escaped(std::string_view text, std::string& out) { append_escaped(text, kPipeEscapes, out); }

// A cell's text with the inline rules of paragraphs: bold and italics (as
// asterisks, or as HTML tags in an HTML table), sub- and superscripts as
// HTML tags, line breaks as <br>, formulas as the options say, chemistry
// and images as XML; other markup passes its text through.
class CellWriter {
 public:
  CellWriter(const MarkdownOptions& options, bool html) : options_(options), html_(html) {}

  void write(const RawXml& entry, std::string& out) {
    raw_.clear();
    for (const RawXml& child : entry.children()) node(child, 1);
    // One line: white space runs collapsed, the ends trimmed.
    bool space = false;
    for (const char c : trim(raw_)) {
      if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
        space = true;
        continue;
      }
      if (space) out += ' ';
      space = false;
      out += c;
    }
  }

 private:
  void escaped(std::string_view text) {
    if (html_)
      append_html_escaped(text, raw_);
    else
      append_pipe_escaped(text, raw_);
  }

  void wrapped(const RawXml& element, std::string_view open, std::string_view close, std::size_t depth) {
    const std::size_t start = raw_.size();
    raw_ += open;
    const std::size_t content = raw_.size();
    for (const RawXml& child : element.children()) node(child, depth + 1);
    if (is_white_space_only(std::string_view(raw_).substr(content))) {
      raw_.resize(start);
      raw_ += ' ';
      return;
    }
    raw_ += close;
  }

  void flat_xml(const RawXml& element) {
    scratch_.clear();
    append_raw_xml(element, scratch_);
    if (!html_) {
      append_pipe_escaped(scratch_, raw_);
      return;
    }
    for (const char c : scratch_) raw_ += c == '\n' || c == '\r' ? ' ' : c;
  }

  void node(const RawXml& child, std::size_t depth) {
    if (child.is_text()) {
      if (child.text().starts_with("<!") || child.text().starts_with("<?")) return;
      scratch_.clear();
      append_normalized_text(child.text(), scratch_);
      escaped(scratch_);
      return;
    }
    const std::string_view name = child.name();
    if (depth > kMaxRenderDepth || is_chemistry_name(name) || name == "img" || name == "EMI" ||
        (options_.maths == MathsRendering::Xml && (name == "maths" || name == "math" || name == "MATH-US"))) {
      flat_xml(child);
    } else if (name == "maths" || name == "MATH-US" || name == "math-cwu") {
      for (const RawXml& part : child.children()) node(part, depth + 1);
    } else if (name == "math") {
      scratch_.clear();
      append_formula(child, false, scratch_);
      escaped(scratch_);
    } else if (name == "b" || name == "B" || name == "bold") {
      wrapped(child, html_ ? "<b>" : "**", html_ ? "</b>" : "**", depth);
    } else if (name == "i" || name == "I" || name == "italic") {
      wrapped(child, html_ ? "<i>" : "*", html_ ? "</i>" : "*", depth);
    } else if (name == "sub" || name == "SB") {
      wrapped(child, "<sub>", "</sub>", depth);
    } else if (name == "sup" || name == "SP") {
      wrapped(child, "<sup>", "</sup>", depth);
    } else if (name == "br" || name == "BR") {
      raw_ += "<br>";
    } else {
      for (const RawXml& part : child.children()) node(part, depth + 1);
    }
  }

  const MarkdownOptions& options_;
  bool html_;
  std::string raw_;
  std::string scratch_;
};

std::vector<const RawXml*> groups_of(const RawXml& table) {
  std::vector<const RawXml*> groups;
  for (const RawXml& child : table.children())
    if (child.is_element() && child.name() == "tgroup") groups.push_back(&child);
  return groups;
}

void append_html_table(const RawXml& table, const MarkdownOptions& options, std::string& out) {
  CellWriter cells(options, true);
  out += "<table>\n";
  for (const RawXml* group : groups_of(table)) {
    const GroupLayout layout = lay_out_group(*group);
    std::size_t next = 0;
    for (std::size_t row = 0; row < layout.row_sections.size(); ++row) {
      const RowSection section = layout.row_sections[row];
      const bool opens = row == 0 || layout.row_sections[row - 1] != section;
      const std::string_view tag = section == RowSection::Head   ? "thead"
                                   : section == RowSection::Foot ? "tfoot"
                                                                 : "tbody";
      if (opens) {
        out += '<';
        out += tag;
        out += ">\n";
      }
      out += "<tr>";
      const std::string_view cell_tag = section == RowSection::Head ? "th" : "td";
      for (; next < layout.entries.size() && layout.entries[next].row == row; ++next) {
        const PlacedEntry& placed = layout.entries[next];
        out += '<';
        out += cell_tag;
        if (placed.columns > 1) {
          out += " colspan=\"";
          out += std::to_string(placed.columns);
          out += '"';
        }
        if (placed.rows > 1) {
          out += " rowspan=\"";
          out += std::to_string(placed.rows);
          out += '"';
        }
        out += '>';
        cells.write(*placed.entry, out);
        out += "</";
        out += cell_tag;
        out += '>';
      }
      out += "</tr>\n";
      if (row + 1 == layout.row_sections.size() || layout.row_sections[row + 1] != section) {
        out += "</";
        out += tag;
        out += ">\n";
      }
    }
  }
  out += "</table>";
}

void append_pipe_row(const std::vector<std::string>& cells, std::string& out) {
  out += '|';
  for (const std::string& cell : cells) {
    out += ' ';
    out += cell;
    out += " |";
  }
  out += '\n';
}

void append_pipe_table(const RawXml& table, const MarkdownOptions& options, std::string& out) {
  CellWriter cells(options, false);
  std::vector<const RawXml*> groups = groups_of(table);
  std::vector<GroupLayout> layouts;
  layouts.reserve(groups.size());
  for (const RawXml* group : groups) layouts.push_back(lay_out_group(*group));

  std::size_t first_grid = 0;
  if (layouts.size() > 1 && layouts[0].width == 1) {
    // A leading one-column group holds the table's title.
    std::string title;
    for (const PlacedEntry& placed : layouts[0].entries) {
      const std::size_t before = title.size();
      if (before > 0) title += ' ';
      cells.write(*placed.entry, title);
      if (title.size() == before + 1) title.resize(before);
    }
    if (!trim(title).empty()) {
      out += trim(title);
      out += "\n\n";
    }
    first_grid = 1;
  }
  std::size_t width = 1;
  for (std::size_t i = first_grid; i < layouts.size(); ++i) width = std::max(width, layouts[i].width);

  std::vector<std::vector<std::string>> grid;
  std::vector<bool> head;
  for (std::size_t i = first_grid; i < layouts.size(); ++i) {
    const GroupLayout& layout = layouts[i];
    const std::size_t base = grid.size();
    for (const RowSection section : layout.row_sections) {
      grid.emplace_back(width);
      head.push_back(section == RowSection::Head);
    }
    // A spanned entry's text fills every cell it covers, within a budget of
    // twice the grid's cells: entries whose spans overlap would otherwise
    // fill the same cells again and again.
    std::size_t budget = 2 * layout.row_sections.size() * width;
    std::string text;
    for (const PlacedEntry& placed : layout.entries) {
      text.clear();
      cells.write(*placed.entry, text);
      if (text.empty()) continue;
      const std::size_t cells_covered = placed.rows * placed.columns;
      const bool repeated = cells_covered <= budget;
      budget -= repeated ? cells_covered : 0;
      const std::size_t last_column = repeated ? std::min(placed.column + placed.columns, width) : placed.column + 1;
      const std::size_t last_row = repeated ? placed.row + placed.rows : placed.row + 1;
      for (std::size_t r = placed.row; r < last_row; ++r) {
        auto& cells_of_row = grid[base + r];
        if (placed.column >= width) {
          // Beyond the widest grid: joined to the last column.
          if (!cells_of_row.back().empty()) cells_of_row.back() += ' ';
          cells_of_row.back() += text;
          continue;
        }
        for (std::size_t c = placed.column; c < last_column; ++c) cells_of_row[c] = text;
      }
    }
  }
  const auto has_text = [](const std::vector<std::string>& row) {
    return std::any_of(row.begin(), row.end(), [](const std::string& cell) { return !cell.empty(); });
  };
  std::size_t header = grid.size();
  for (std::size_t r = 0; r < grid.size(); ++r)
    if (head[r] && has_text(grid[r])) header = r;
  append_pipe_row(header < grid.size() ? grid[header] : std::vector<std::string>(width), out);
  out += '|';
  for (std::size_t c = 0; c < width; ++c) out += " --- |";
  out += '\n';
  for (std::size_t r = 0; r < grid.size(); ++r)
    if (r != header && has_text(grid[r])) append_pipe_row(grid[r], out);
  if (out.ends_with('\n')) out.pop_back();
}

bool holds_groups(const RawXml& table) {
  return std::any_of(table.children().begin(), table.children().end(),
                     [](const RawXml& child) { return child.is_element() && child.name() == "tgroup"; });
}

}  // namespace

bool is_table_block_name(std::string_view name) noexcept {
  return name == "tables" || name == "table-cwu" || name == "TABLE-US" || name == "TABLE-CALS" || name == "table";
}

void append_table_block(const RawXml& block, const MarkdownOptions& options, std::string& out) {
  append_block_by_parts(block, "table", out, [&](const RawXml& element) {
    if (element.name() != "table" || !holds_groups(element)) return false;
    out += "\n\n";
    if (options.tables == TableRendering::Html)
      append_html_table(element, options, out);
    else
      append_pipe_table(element, options, out);
    out += "\n\n";
    return true;
  });
}

}  // namespace tessellox
