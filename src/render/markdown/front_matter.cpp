#include "render/markdown/front_matter.hpp"

#include <string_view>

#include "derive.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

constexpr std::string_view kNull = "null";

// Written for display as series "/" number: the first DomesticFilingData
// item with an application number decides, with its own series code. A
// number that already carries its series (09 and 09812345) loses that prefix.
std::optional<std::string> display_application_number(const std::optional<ApplicationNumberSource>& source) {
  if (!source) return std::nullopt;
  std::string_view trimmed_number = trim(*source->number);
  const std::string_view series = source->series_code != nullptr ? trim(*source->series_code) : std::string_view();
  if (series.empty()) return std::string(trimmed_number);
  if (trimmed_number.size() >= 8 && trimmed_number.starts_with(series)) trimmed_number.remove_prefix(series.size());
  std::string value;
  value.reserve(series.size() + 1 + trimmed_number.size());
  value.append(series).append("/").append(trimmed_number);
  return value;
}

// "08/000123" reads as the number 8000123; anything but two digit runs
// around the first "/" is kept as it stands, trimmed.
void append_chain_number(const OptString& number, std::string& out) {
  if (!number) {
    out.append(kNull);
    return;
  }
  const std::string_view trimmed = trim(*number);
  const std::size_t slash = trimmed.find('/');
  if (slash == std::string_view::npos || slash == 0 || slash + 1 == trimmed.size()) {
    out.append(trimmed);
    return;
  }
  const std::string_view before = trimmed.substr(0, slash);
  const std::string_view after = trimmed.substr(slash + 1);
  if (!is_ascii_digits(before) || !is_ascii_digits(after)) {
    out.append(trimmed);
    return;
  }
  const std::size_t mark = out.size();
  const std::size_t zeros_before = before.find_first_not_of('0');
  if (zeros_before != std::string_view::npos) {
    out.append(before.substr(zeros_before)).append(after);
  } else {
    const std::size_t zeros_after = after.find_first_not_of('0');
    if (zeros_after != std::string_view::npos) out.append(after.substr(zeros_after));
  }
  if (out.size() == mark) out.push_back('0');
}

class FrontMatterWriter {
 public:
  FrontMatterWriter() { out_.reserve(1024); }

  void line(std::string_view text) {
    if (!out_.empty()) out_.push_back('\n');
    out_.append(text);
  }

  void scalar(std::string_view key, const OptString& value) {
    line(key);
    out_.append(": ").append(value ? std::string_view(*value) : kNull);
  }
  void scalar(std::string_view key, const std::optional<std::string>& value) {
    scalar(key, value ? OptString(std::string_view(*value)) : std::nullopt);
  }

  void list(std::string_view key, const List<std::string_view>& values) {
    line(key);
    if (values.empty()) {
      out_.append(": []");
      return;
    }
    out_.push_back(':');
    for (std::string_view value : values) {
      line("  - ");
      out_.append(value);
    }
  }

  void chain(const List<PriorityLink>& links) {
    if (links.empty()) {
      line("priority_chain: []");
      return;
    }
    line("priority_chain:");
    for (const PriorityLink& link : links) {
      line("  - relationship: ");
      out_.append(link.relationship);
      line("    parent_doc_number: ");
      append_chain_number(link.parent_doc_number, out_);
      line("    parent_date: ");
      out_.append(link.parent_date ? std::string_view(*link.parent_date) : kNull);
      line("    child_doc_number: ");
      append_chain_number(link.child_doc_number, out_);
    }
  }

  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace

std::string render_front_matter(const DerivedRecord& derived) {
  const DerivedMetadata& metadata = derived.metadata;
  FrontMatterWriter writer;
  writer.line("---");
  writer.scalar("filing_date", metadata.filing_date);
  writer.scalar("application_number", display_application_number(derived.application));
  writer.scalar("publication_number", metadata.publication_number);
  writer.scalar("publication_date", metadata.publication_date);
  writer.scalar("patent_number", metadata.patent_number);
  writer.scalar("priority_date", metadata.priority_date);
  writer.list("ipc_classifications", metadata.ipc_classifications);
  writer.list("us_classifications", metadata.us_classifications);
  writer.chain(derived.priority_chain);
  writer.list("inventors", metadata.inventors);
  writer.list("applicants", metadata.applicants);
  writer.list("assignees", metadata.assignees);
  writer.line("---");
  return writer.take();
}

std::string render_front_matter(const SourceDocument& document) {
  Arena arena;
  return render_front_matter(derive(document, arena));
}

}  // namespace tessellox
