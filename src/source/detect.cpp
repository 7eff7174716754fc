#include "source/detect.hpp"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "prefetch.hpp"
#include "text.hpp"

namespace tessellox {

namespace {

// ---------------------------------------------------------------------------
// Marker strings. Each is searched as an exact substring of the whole text;
// only whether it occurs matters, so one scan records every string at once.
// ---------------------------------------------------------------------------

enum MarkerString : unsigned {
  kPapV15,                                   // pap-v15-2001-01-31.dtd
  kPapV16,                                   // pap-v16
  kSt32Dtd,                                  // ST32-US-Grant-025xml.dtd
  kDtd25,                                    // DTD="2.5"
  kApplicationV40,                           // us-patent-application-v40 ... v46 (7 strings)
  kGrantV40 = kApplicationV40 + 7,           // us-patent-grant-v40 ... v47 (8 strings)
  kDtdVersion40 = kGrantV40 + 8,             // dtd-version="v4.0 ... v4.7 (8 strings)
  kDtdVersionNoPoint40 = kDtdVersion40 + 8,  // dtd-version="v40
  kDoctypeApplication,                       // <!DOCTYPE us-patent-application
  kDoctypeGrant,                             // <!DOCTYPE us-patent-grant
  kDoctypePatdoc,                            // <!DOCTYPE PATDOC
  kMarkerStringCount,
};
static_assert(kMarkerStringCount <= 64);

using MarkerSet = std::uint64_t;

constexpr MarkerSet bit(unsigned marker) { return MarkerSet{1} << marker; }

bool starts_with(std::string_view text, std::string_view prefix) noexcept {
  return text.size() >= prefix.size() && std::memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// The strings that begin at the start of `rest`.
MarkerSet markers_at(std::string_view rest) noexcept {
  MarkerSet found = 0;
  switch (rest[0]) {
    case 'p':
      if (starts_with(rest, "pap-v1")) {
        if (starts_with(rest, "pap-v15-2001-01-31.dtd")) found |= bit(kPapV15);
        if (starts_with(rest, "pap-v16")) found |= bit(kPapV16);
      }
      break;
    case 'S':
      if (starts_with(rest, "ST32-US-Grant-025xml.dtd")) found |= bit(kSt32Dtd);
      break;
    case 'D':
      if (starts_with(rest, "DTD=\"2.5\"")) found |= bit(kDtd25);
      break;
    case 'u':
      if (starts_with(rest, "us-patent-application-v4") && rest.size() > 24 && rest[24] >= '0' && rest[24] <= '6')
        found |= bit(kApplicationV40 + unsigned(rest[24] - '0'));
      else if (starts_with(rest, "us-patent-grant-v4") && rest.size() > 18 && rest[18] >= '0' && rest[18] <= '7')
        found |= bit(kGrantV40 + unsigned(rest[18] - '0'));
      break;
    case 'd':
      if (starts_with(rest, "dtd-version=\"v4") && rest.size() > 15) {
        if (rest[15] == '0') {
          found |= bit(kDtdVersionNoPoint40);
        } else if (rest[15] == '.' && rest.size() > 16 && rest[16] >= '0' && rest[16] <= '7') {
          found |= bit(kDtdVersion40 + unsigned(rest[16] - '0'));
        }
      }
      break;
    case '<':
      if (starts_with(rest, "<!DOCTYPE ")) {
        const std::string_view name = rest.substr(10);
        if (starts_with(name, "us-patent-application")) found |= bit(kDoctypeApplication);
        if (starts_with(name, "us-patent-grant")) found |= bit(kDoctypeGrant);
        if (starts_with(name, "PATDOC")) found |= bit(kDoctypePatdoc);
      }
      break;
    default: break;
  }
  return found;
}

// Every marker string begins with one of these prefixes. A position can only
// start a marker when its byte equals a prefix's first byte and the byte
// `last` positions further equals the prefix's last byte: comparing both for
// a vector of positions at a time rejects nearly every block without a branch.
struct Anchor {
  char first;
  char last;
  unsigned distance;
};
constexpr std::array<Anchor, 6> kAnchors = {{
    {'p', '1', 5},   // pap-v1
    {'S', '-', 4},   // ST32-
    {'D', '"', 4},   // DTD="
    {'u', '-', 9},   // us-patent-
    {'d', '4', 14},  // dtd-version="v4
    {'<', '!', 1},   // <!DOCTYPE: '<' is everywhere in XML, '!' after it rarely
}};
constexpr unsigned kLongestAnchorDistance = 14;

using Lanes16 = unsigned char __attribute__((vector_size(16)));
using Lanes32 = unsigned char __attribute__((vector_size(32)));

// The markers found from `pos` on, a vector of positions at a time, as far as
// whole vectors reach; `pos` ends where the scalar tail must take over. The
// vectors never cross a function boundary, so each instantiation compiles to
// the instructions of its caller's target.
template <class Lanes>
[[gnu::always_inline]] inline MarkerSet scan_marker_blocks(std::string_view text, std::size_t& pos) noexcept {
  constexpr std::size_t kWidth = sizeof(Lanes);
  MarkerSet found = 0;
  const char* data = text.data();
  if (text.size() < kWidth + kLongestAnchorDistance) return found;
  Lanes firsts[kAnchors.size()];
  Lanes lasts[kAnchors.size()];
  for (std::size_t a = 0; a < kAnchors.size(); ++a) {
    for (std::size_t lane = 0; lane < kWidth; ++lane) {
      firsts[a][lane] = static_cast<unsigned char>(kAnchors[a].first);
      lasts[a][lane] = static_cast<unsigned char>(kAnchors[a].last);
    }
  }
  const std::size_t vector_end = text.size() - kWidth - kLongestAnchorDistance;
  for (; pos <= vector_end; pos += kWidth) {
    prefetch_ahead(data + pos, kReadAhead);
    Lanes block, at1, at4, at5, at9, at14;
    std::memcpy(&block, data + pos, kWidth);
    std::memcpy(&at1, data + pos + 1, kWidth);
    std::memcpy(&at4, data + pos + 4, kWidth);
    std::memcpy(&at5, data + pos + 5, kWidth);
    std::memcpy(&at9, data + pos + 9, kWidth);
    std::memcpy(&at14, data + pos + 14, kWidth);
    const Lanes hits = reinterpret_cast<Lanes>((block == firsts[0]) & (at5 == lasts[0])) |
                       reinterpret_cast<Lanes>((block == firsts[1]) & (at4 == lasts[1])) |
                       reinterpret_cast<Lanes>((block == firsts[2]) & (at4 == lasts[2])) |
                       reinterpret_cast<Lanes>((block == firsts[3]) & (at9 == lasts[3])) |
                       reinterpret_cast<Lanes>((block == firsts[4]) & (at14 == lasts[4])) |
                       reinterpret_cast<Lanes>((block == firsts[5]) & (at1 == lasts[5]));
    std::uint64_t words[kWidth / 8];
    std::memcpy(words, &hits, kWidth);
    std::uint64_t any = 0;
    for (std::uint64_t word : words) any |= word;
    if (any == 0) continue;
    for (std::size_t lane = 0; lane < kWidth; ++lane)
      if (hits[lane]) found |= markers_at(text.substr(pos + lane));
  }
  return found;
}

#if defined(__x86_64__) && defined(__GNUC__)
// Twice the positions per step where the processor has AVX2.
__attribute__((target("avx2"))) MarkerSet scan_marker_blocks_avx2(std::string_view text, std::size_t& pos) noexcept {
  return scan_marker_blocks<Lanes32>(text, pos);
}
#endif

MarkerSet scan_markers(std::string_view text) noexcept {
  std::size_t pos = 0;
  MarkerSet found = 0;
#if defined(__x86_64__) && defined(__GNUC__)
  if (__builtin_cpu_supports("avx2")) found = scan_marker_blocks_avx2(text, pos);
#endif
  found |= scan_marker_blocks<Lanes16>(text, pos);
  for (; pos < text.size(); ++pos) found |= markers_at(text.substr(pos));
  return found;
}

// ---------------------------------------------------------------------------
// APS test
// ---------------------------------------------------------------------------

// The first line that is not blank, without its line end; nullopt when every
// line is blank.
std::optional<std::string_view> first_non_blank_line(std::string_view text) noexcept {
  while (!text.empty()) {
    const std::size_t feed = text.find('\n');
    std::string_view line = text.substr(0, feed);
    if (feed != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!trim(line).empty()) return line;
    if (feed == std::string_view::npos) break;
    text.remove_prefix(feed + 1);
  }
  return std::nullopt;
}

bool looks_like_aps(std::string_view text) noexcept {
  const auto line = first_non_blank_line(text);
  if (!line) return false;
  const std::string_view right_trimmed = trim_end(*line);
  if (right_trimmed.size() > 4 && starts_with(right_trimmed, "HHHHH") &&
      right_trimmed.find("APS") != std::string_view::npos)
    return true;
  return trim(*line) == "PATN";
}

// ---------------------------------------------------------------------------
// Prolog walk
// ---------------------------------------------------------------------------

// Skips the construct opened by the "<" at the start of `rest`; returns the
// text after it, or nullopt when the walk must fail. Sets `root` instead when
// the "<" opens the root element.
std::optional<std::string_view> skip_prolog_construct(std::string_view rest, bool& is_root) noexcept {
  auto after = [&](std::string_view from, std::size_t search_start,
                   std::string_view terminator) -> std::optional<std::string_view> {
    const std::size_t at = from.find(terminator, search_start);
    if (at == std::string_view::npos) return std::nullopt;
    return from.substr(at + terminator.size());
  };

  const std::string_view opened = rest.substr(1);
  if (opened.empty() || opened[0] == '/') return std::nullopt;
  if (opened[0] == '?') return after(rest, 2, "?>");
  if (starts_with(opened, "!DOCTYPE")) {
    // An internal subset is skipped as a whole; without one the declaration
    // ends at its first ">". A "]>" later in the body does not count.
    const std::size_t close = rest.find('>', 9);
    const std::size_t open_subset = rest.find('[', 9);
    if (open_subset != std::string_view::npos && (close == std::string_view::npos || open_subset < close))
      return after(rest, open_subset + 1, "]>");
    if (close == std::string_view::npos) return std::nullopt;
    return rest.substr(close + 1);
  }
  if (starts_with(opened, "!--")) return after(rest, 4, "-->");
  if (opened[0] == '!') return std::nullopt;
  is_root = true;
  return rest;
}

std::string_view root_name(std::string_view root) noexcept {
  std::size_t end = 1;
  while (end < root.size()) {
    const char c = root[end];
    if (c == '/' || c == '>' || leading_white_space_length(root.substr(end)) != 0) break;
    ++end;
  }
  return root.substr(1, end - 1);
}

enum class RootKind { Application, Grant };

struct VersionMarker {
  RootKind kind;
  std::optional<SourceFormat> format;
};

SourceFormat format_at(SourceFormat first, unsigned offset) {
  return static_cast<SourceFormat>(static_cast<unsigned>(first) + offset);
}

// The marker table, in its order, evaluated against the strings found.
Result<SourceFormat, DetectError> decide(MarkerSet found, RootKind root_kind) {
  auto has = [&](unsigned marker) { return (found & bit(marker)) != 0; };
  std::array<VersionMarker, 20> markers{};
  std::size_t count = 0;
  auto add = [&](RootKind kind, std::optional<SourceFormat> format) { markers[count++] = {kind, format}; };

  if (has(kPapV15)) add(RootKind::Application, SourceFormat::UsptoApplicationV15);
  if (has(kPapV16)) add(RootKind::Application, SourceFormat::UsptoApplicationV16);
  if (has(kSt32Dtd) || has(kDtd25)) add(RootKind::Grant, SourceFormat::UsptoGrantV25);
  for (unsigned minor = 0; minor <= 6; ++minor) {
    if (has(kApplicationV40 + minor) || (root_kind == RootKind::Application && has(kDtdVersion40 + minor)))
      add(RootKind::Application, format_at(SourceFormat::UsptoApplicationV40, minor));
  }
  for (unsigned minor = 0; minor <= 7; ++minor) {
    // The 4.0 grant's dtd-version is written without the point ("v40").
    const unsigned dtd_marker = minor == 0 ? unsigned(kDtdVersionNoPoint40) : kDtdVersion40 + minor;
    if (has(kGrantV40 + minor) || (root_kind == RootKind::Grant && has(dtd_marker)))
      add(RootKind::Grant, format_at(SourceFormat::UsptoGrantV40, minor));
  }
  if (has(kDoctypeApplication)) add(RootKind::Application, std::nullopt);
  if (has(kDoctypeGrant) || has(kDoctypePatdoc)) add(RootKind::Grant, std::nullopt);

  std::optional<SourceFormat> named;
  for (std::size_t i = 0; i < count; ++i)
    if (markers[i].kind != root_kind) return DetectError::conflicting_version_markers();
  for (std::size_t i = 0; i < count; ++i) {
    if (!markers[i].format) continue;
    if (named && *named != *markers[i].format) return DetectError::conflicting_version_markers();
    named = markers[i].format;
  }
  if (!named) return DetectError::unknown_xml_format();
  return *named;
}

}  // namespace

Result<SourceFormat, DetectError> detect_source_format(std::string_view text) {
  if (trim(text).empty()) return DetectError::malformed_xml();
  if (looks_like_aps(text)) return SourceFormat::UsptoGrantApsGreenBook;

  std::string_view rest = trim_start(text);
  bool is_root = false;
  while (!is_root) {
    const std::size_t open = rest.find('<');
    if (open == std::string_view::npos || !trim(rest.substr(0, open)).empty()) return DetectError::malformed_xml();
    const auto next = skip_prolog_construct(rest.substr(open), is_root);
    if (!next) return DetectError::malformed_xml();
    rest = *next;
  }

  const std::string_view name = root_name(rest);
  if (name.empty()) return DetectError::malformed_xml();
  RootKind root_kind;
  if (name == "sequence-cwu") return SourceFormat::UsptoSequenceCwu;
  if (name == "us-patent-grant" || name == "PATDOC") {
    root_kind = RootKind::Grant;
  } else if (name == "us-patent-application" || name == "patent-application-publication") {
    root_kind = RootKind::Application;
  } else {
    return DetectError::unsupported_root(name);
  }
  return decide(scan_markers(text), root_kind);
}

}  // namespace tessellox
