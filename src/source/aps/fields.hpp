// Cutting APS Green Book text into tagged fields: one field per tagged line,
// with its continuation lines joined on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arena.hpp"

namespace tessellox {

// The twenty section headers. A field belongs to the header in force when its
// line was read ("PATN" before the first one).
enum class ApsSection : std::uint8_t {
  Patn,
  Invt,
  Assg,
  Clas,
  Abst,
  Bsum,
  Drwd,
  Detd,
  Clms,
  Dclm,
  Prir,
  Reis,
  Rlap,
  Parn,
  Uref,
  Fref,
  Oref,
  Lrep,
  Pcta,
  Govt,
};

inline constexpr std::size_t kApsSectionCount = 20;

// The section a header tag names, or nothing for any other tag.
std::optional<ApsSection> aps_section_from_tag(std::string_view tag) noexcept;

// Tables and equations: their lines are joined with line feeds, blank lines
// kept, so that the layout survives.
bool is_aps_text_block_tag(std::string_view tag) noexcept;

// One tagged line and the lines that continue it. The value is not joined
// while cutting: most fields are read once, straight into the string that
// keeps them, so `append_aps_value` joins it on demand. Every view points into
// the text that was cut, which must outlive the field.
struct ApsField {
  ApsSection section = ApsSection::Patn;
  std::string_view tag;           // the tag columns, trailing white space removed
  std::string_view head;          // the tag line's text from the sixth byte, trailing white space removed
  std::string_view continuation;  // the raw lines after the tag line, through the last one that extends it
  std::size_t value_size = 0;     // length of the joined value
  // How many section headers came before it: the fields of one section
  // (one inventor's INVT, say) share the number, the next such section's
  // fields have another.
  std::uint32_t section_number = 0;

  bool empty() const noexcept { return value_size == 0; }
};

// The fields of a whole text, in input order.
std::vector<ApsField> cut_aps_fields(std::string_view text);

// Appends the joined value: the head, then each continuation line.
void append_aps_value(const ApsField& field, std::string& out);
std::string aps_value(const ApsField& field);
// The joined value as a view: the head itself when nothing continues it,
// else joined in `arena`.
std::string_view aps_value(const ApsField& field, Arena& arena);

}  // namespace tessellox
