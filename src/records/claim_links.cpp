#include "records/claim_links.hpp"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "derive.hpp"
#include "normalize.hpp"
#include "raw_xml.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

// A claim's number ranges run to a few hundred; a longer range is a misread.
constexpr std::uint32_t kLongestRange = 1000;

// A list of claim numbers ends within this many bytes of the reference that
// begins it.
constexpr std::size_t kListReach = 256;

struct Reference {
  OptString target;
  std::size_t start = 0;  // where its words begin in the claim's words
  std::size_t end = 0;    // and where they end
};

// The words of a claim's references: each reference's text and the plain
// text that continues it ("claims 2</ref> through 4"), in order, with where
// each reference's own words lie. Text before the first reference or out of
// a list's reach is left out.
struct ReferenceWords {
  std::string words;
  std::vector<Reference> references;
  std::size_t reach = 0;  // the words end here, outside a reference
  int depth = 0;          // of references being read

  void append(std::string_view text) {
    if (depth == 0) {
      if (words.size() >= reach) return;
      text = text.substr(0, reach - words.size());
    }
    append_normalized_text(text, words);
  }

  void collect(const InlineContent& content) {
    for (const InlineNode& node : content) {
      if (const auto text = node.get_if<Text>()) {
        append(text->text);
      } else if (const auto* element = node.get_if<InlineElement>()) {
        if (element->kind == InlineKind::ClaimText) append(" ");
        if (element->kind != InlineKind::DependentClaimReference) {
          collect(element->content);
          continue;
        }
        const std::size_t index = references.size();
        references.push_back(Reference{element->target(), words.size(), 0});
        ++depth;
        collect(element->content);
        --depth;
        references[index].end = words.size();
        reach = words.size() + kListReach;
      } else if (depth > 0 || words.size() < reach) {
        append_raw_xml(node.get<RawXml>(), words);
      }
    }
  }
};

bool is_letter(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

char lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool starts_with_word(std::string_view text, std::size_t at, std::string_view word) noexcept {
  if (text.size() - at < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (lower(text[at + i]) != word[i]) return false;
  return at + word.size() == text.size() || !is_letter(text[at + word.size()]);
}

// Adds `number` if it is from 1 to `below` - 1; false when it is not.
bool add_number(std::vector<std::uint32_t>& numbers, std::uint64_t number, std::uint32_t below) {
  if (number < 1 || number >= below) return false;
  const auto value = static_cast<std::uint32_t>(number);
  if (std::find(numbers.begin(), numbers.end(), value) == numbers.end()) numbers.push_back(value);
  return true;
}

// Reads a list of numbers at `at` ("1, 2 or 3", "4 to 7", "8-10"); returns
// where the list ends. `beyond` is set when the list names a number from
// `below` on.
std::size_t read_number_list(std::string_view text, std::size_t at, std::uint32_t below,
                             std::vector<std::uint32_t>& numbers, bool* beyond = nullptr) {
  const auto add = [&](std::uint64_t number) {
    if (!add_number(numbers, number, below) && number >= below && beyond != nullptr) *beyond = true;
  };
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
        for (std::uint64_t n = previous + 1; n <= number; ++n) add(n);
      } else {
        add(number);
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

// The claim numbers a reference's words name: the list that begins inside
// the reference, read on into the text that continues it ("claim 13</ref>,
// 14 or 16", "claims 2</ref> through 4"). Printed numbers, not yet the
// record's, those below `below`; `beyond` is set when it names a larger one.
std::vector<std::uint32_t> named_claim_numbers(std::string_view words, const Reference& reference, std::uint32_t below,
                                               bool& beyond) {
  std::vector<std::uint32_t> numbers;
  std::string_view own = std::string_view(words).substr(reference.start, reference.end - reference.start);
  std::size_t at = 0;
  while (at < own.size() && !is_letter(own[at]) && !is_digit(own[at])) ++at;
  if (at == own.size()) return numbers;
  if (!is_digit(own[at])) {
    // "claim 3" or "claims 3 to 5": the list follows the first such word.
    for (at = own.find("laim"); at != std::string_view::npos; at = own.find("laim", at + 4)) {
      if (at == 0 || (at >= 2 && is_letter(own[at - 2]))) continue;
      if (starts_with_word(own, at - 1, "claim") || starts_with_word(own, at - 1, "claims")) break;
    }
    if (at == std::string_view::npos) return numbers;
    at += starts_with_word(own, at - 1, "claim") ? 4 : 5;
  }
  read_number_list(words, reference.start + at, below, numbers, &beyond);
  return numbers;
}

// The claim numbers a claim's text begins with: "19. A method", or "1.-18.
// (Cancelled)" for a run of cancelled claims printed as one.
std::pair<std::uint32_t, std::uint32_t> printed_numbers(std::string_view text) {
  std::size_t at = 0;
  const auto read_number = [&]() -> std::uint32_t {
    std::uint32_t number = 0;
    const std::size_t first = at;
    while (at < text.size() && is_digit(text[at]) && at - first < 6)
      number = number * 10 + static_cast<std::uint32_t>(text[at++] - '0');
    return at > first && (at == text.size() || !is_digit(text[at])) ? number : 0;
  };
  const std::uint32_t first = read_number();
  if (first == 0) return {0, 0};
  while (at < text.size() && (text[at] == '.' || text[at] == ' ')) ++at;
  if (text.substr(at).starts_with("-")) {
    at += 1;
  } else if (text.substr(at).starts_with("\u2013")) {
    at += std::string_view("\u2013").size();
  } else if (starts_with_word(text, at, "to")) {
    at += 2;
  } else if (starts_with_word(text, at, "through")) {
    at += 7;
  } else {
    return {first, first};
  }
  while (at < text.size() && text[at] == ' ') ++at;
  const std::uint32_t last = read_number();
  if (last <= first || last - first > kLongestRange) return {first, first};
  return {first, last};
}

// Claim numbers by key, the first one given for a key holding: a sorted
// vector, which a document's few dozen claims fill faster than a hash map.
template <typename Key>
class FirstNumbers {
 public:
  void add(Key key, std::uint32_t number) { entries_.emplace_back(key, number); }
  // After the last add, before the first find.
  void seal() {
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.first < b.first; });
  }
  const std::uint32_t* find(const Key& key) const {
    const auto found = std::lower_bound(entries_.begin(), entries_.end(), key,
                                        [](const Entry& entry, const Key& wanted) { return entry.first < wanted; });
    return found != entries_.end() && found->first == key ? &found->second : nullptr;
  }

 private:
  using Entry = std::pair<Key, std::uint32_t>;
  std::vector<Entry> entries_;
};

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
  std::vector<ReferenceWords> references;
  FirstNumbers<std::string_view> numbers_by_id;
  FirstNumbers<std::uint32_t> numbers_by_printed_number;
  std::uint32_t largest_printed = 0;
  for_each_claim_text(document, [&](const ClaimElement& claim, std::string_view text) {
    const auto number = static_cast<std::uint32_t>(records.size() + 1);
    records.push_back(ClaimRecord{number, std::string(text), {}, std::nullopt});
    if (claim.id) numbers_by_id.add(*claim.id, number);
    const auto [first, last] = printed_numbers(text);
    largest_printed = std::max(largest_printed, last);
    for (std::uint32_t printed = first; printed != 0 && printed <= last; ++printed)
      numbers_by_printed_number.add(printed, number);
    references.emplace_back().collect(claim.content);
  });
  numbers_by_id.seal();
  numbers_by_printed_number.seal();
  // A number beyond every claim's, printed or counted, names no claim.
  const std::uint32_t below = std::max(largest_printed, static_cast<std::uint32_t>(records.size())) + 1;
  for (std::size_t i = 0; i < records.size(); ++i) {
    ClaimRecord& record = records[i];
    if (references[i].references.empty()) {
      record.depends_on = referred_claim_numbers(record.text, record.number);
      continue;
    }
    // Only an earlier claim can be depended on: a reference naming this
    // claim or a later one (a fault of the document) is left out, which also
    // keeps the dependencies free of cycles.
    const auto depend_on = [&record](std::uint32_t number) {
      if (number < record.number &&
          std::find(record.depends_on.begin(), record.depends_on.end(), number) == record.depends_on.end())
        record.depends_on.push_back(number);
    };
    for (const Reference& reference : references[i].references) {
      // The numbers the reference's words name hold over its target, whose
      // ids some years shift by one; the target counts only for words that
      // name no claim of the document.
      const std::uint32_t* target = reference.target ? numbers_by_id.find(*reference.target) : nullptr;
      bool unmatched = false;
      const std::vector<std::uint32_t> named = named_claim_numbers(references[i].words, reference, below, unmatched);
      unmatched = unmatched || named.empty();
      for (const std::uint32_t printed : named) {
        if (const std::uint32_t* found = numbers_by_printed_number.find(printed)) {
          depend_on(*found);
        } else if (target == nullptr) {
          depend_on(printed);  // neither a printed number nor a target: the words' number
        } else {
          unmatched = true;
        }
      }
      if (unmatched && target != nullptr) depend_on(*target);
    }
  }
  return records;
}

}  // namespace tessellox
