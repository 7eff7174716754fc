#include "records/claim_links.hpp"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "derive.hpp"
#include "plain_text.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

// A claim's number ranges run to a few hundred; a longer range is a misread.
constexpr std::uint32_t kLongestRange = 1000;

struct Reference {
  OptString target;
  std::string text;
};

void collect_references(const InlineContent& content, std::vector<Reference>& out) {
  for (const InlineNode& node : content) {
    const auto* element = node.get_if<InlineElement>();
    if (element == nullptr) continue;
    if (element->kind == InlineKind::DependentClaimReference) {
      out.push_back(Reference{element->target(), plain_text(element->content)});
    } else {
      collect_references(element->content, out);
    }
  }
}

bool is_letter(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

char lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool starts_with_word(std::string_view text, std::size_t at, std::string_view word) noexcept {
  if (text.size() - at < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (lower(text[at + i]) != word[i]) return false;
  return at + word.size() == text.size() || !is_letter(text[at + word.size()]);
}

void add_number(std::vector<std::uint32_t>& numbers, std::uint64_t number, std::uint32_t below) {
  if (number < 1 || number >= below) return;
  const auto value = static_cast<std::uint32_t>(number);
  if (std::find(numbers.begin(), numbers.end(), value) == numbers.end()) numbers.push_back(value);
}

// Reads a list of numbers at `at` ("1, 2 or 3", "4 to 7", "8-10"); returns
// where the list ends.
std::size_t read_number_list(std::string_view text, std::size_t at, std::uint32_t below,
                             std::vector<std::uint32_t>& numbers) {
  bool range = false;
  std::uint64_t previous = 0;
  std::size_t end = at;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == ',' || text[at] == '\n' || text[at] == '\t')) ++at;
    if (at < text.size() && is_digit(text[at])) {
      std::uint64_t number = 0;
      while (at < text.size() && is_digit(text[at])) {
        if (number < 100000000) number = number * 10 + static_cast<std::uint64_t>(text[at] - '0');
        ++at;
      }
      if (range && number > previous && number - previous <= kLongestRange) {
        for (std::uint64_t n = previous + 1; n <= number; ++n) add_number(numbers, n, below);
      } else {
        add_number(numbers, number, below);
      }
      previous = number;
      range = false;
      end = at;
      continue;
    }
    if (previous == 0) break;  // a list starts with a number
    if (at < text.size() && text[at] == '-') {
      range = true;
      ++at;
    } else if (starts_with_word(text, at, "to")) {
      range = true;
      at += 2;
    } else if (starts_with_word(text, at, "through")) {
      range = true;
      at += 7;
    } else if (starts_with_word(text, at, "or")) {
      at += 2;
    } else if (starts_with_word(text, at, "and")) {
      at += 3;
    } else if (text.substr(at).starts_with("and/or")) {
      at += 6;
    } else {
      break;
    }
  }
  return end;
}

}  // namespace

std::vector<std::uint32_t> referred_claim_numbers(std::string_view text, std::uint32_t below) {
  std::vector<std::uint32_t> numbers;
  // Most claims are long and name no claim: "laim" is looked for at memchr's
  // speed, then the letter before it and the word around it are checked.
  std::size_t found = 1;
  while ((found = text.find("laim", found)) != std::string_view::npos) {
    std::size_t at = found - 1;
    found += 4;
    const bool word_start = at == 0 || !is_letter(text[at - 1]);
    if (!word_start || !(starts_with_word(text, at, "claim") || starts_with_word(text, at, "claims"))) continue;
    at += starts_with_word(text, at, "claim") ? 5 : 6;  // not "claimed" or "claimant"
    found = read_number_list(text, at, below, numbers);
    if (found < at) found = at;
  }
  return numbers;
}

std::vector<ClaimRecord> claim_records(const SourceDocument& document) {
  std::vector<ClaimRecord> records;
  std::vector<std::vector<Reference>> references;
  std::unordered_map<std::string_view, std::uint32_t> numbers_by_id;
  for_each_claim_text(document, [&](const ClaimElement& claim, std::string_view text) {
    const auto number = static_cast<std::uint32_t>(records.size() + 1);
    records.push_back(ClaimRecord{number, std::string(text), {}});
    if (claim.id) numbers_by_id.emplace(*claim.id, number);
    std::vector<Reference>& found = references.emplace_back();
    collect_references(claim.content, found);
  });
  for (std::size_t i = 0; i < records.size(); ++i) {
    ClaimRecord& record = records[i];
    if (references[i].empty()) {
      record.depends_on = referred_claim_numbers(record.text, record.number);
      continue;
    }
    for (const Reference& reference : references[i]) {
      const auto resolved = reference.target ? numbers_by_id.find(*reference.target) : numbers_by_id.end();
      if (resolved != numbers_by_id.end()) {
        // Only an earlier claim can be depended on: a target naming this
        // claim or a later one (a fault of the document) is left out, which
        // also keeps the dependencies free of cycles.
        if (resolved->second < record.number &&
            std::find(record.depends_on.begin(), record.depends_on.end(), resolved->second) == record.depends_on.end())
          record.depends_on.push_back(resolved->second);
        continue;
      }
      // "claim 3" or a bare "3": the reference names its claims itself.
      std::vector<std::uint32_t> named = referred_claim_numbers("claim " + reference.text, record.number);
      for (std::uint32_t number : named)
        if (std::find(record.depends_on.begin(), record.depends_on.end(), number) == record.depends_on.end())
          record.depends_on.push_back(number);
    }
  }
  return records;
}

}  // namespace tessellox
