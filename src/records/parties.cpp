#include "records/parties.hpp"

#include <array>
#include <charconv>
#include <optional>
#include <string>

#include "records/raw_text.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

constexpr std::array<std::string_view, 8> kRoles{"inventor", "applicant",     "assignee",         "attorney",
                                                 "agent",    "correspondent", "primary examiner", "assistant examiner"};

// Rows in the making: each role's elements are numbered from 1 where the
// source gives no sequence of its own.
class PartyTable {
 public:
  explicit PartyTable(Arena& arena) noexcept : arena_(arena) {}

  PartyRow& add(std::string_view role, OptString source_sequence = std::nullopt) {
    std::uint32_t& counter = counters_[role_index(role)];
    ++counter;
    PartyRow& row = rows_.emplace_back();
    row.role = role;
    row.sequence = counter;
    if (source_sequence) {
      std::uint32_t parsed = 0;
      const std::string_view digits = trim(*source_sequence);
      const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
      if (error == std::errc() && end == digits.data() + digits.size()) row.sequence = parsed;
    }
    return row;
  }

  // The row added last; a reference to it lasts until the next add.
  std::size_t last_index() const noexcept { return rows_.size() - 1; }
  PartyRow& row(std::size_t index) noexcept { return rows_[index]; }

  Arena& arena() noexcept { return arena_; }
  std::vector<PartyRow> take() noexcept { return std::move(rows_); }

 private:
  static std::size_t role_index(std::string_view role) noexcept {
    for (std::size_t i = 0; i < kRoles.size(); ++i)
      if (kRoles[i] == role) return i;
    return 0;
  }

  Arena& arena_;
  std::vector<PartyRow> rows_;
  std::array<std::uint32_t, kRoles.size()> counters_{};
};

// ---------------------------------------------------------------------------
// Version 4
// ---------------------------------------------------------------------------

// Names and address from an addressbook; version 4.0 assignees and the
// examiners carry them on the element itself.
void read_v4_addressbook(xml::NodeRef party, PartyRow& row, Arena& arena) {
  xml::NodeRef book = node_child(party, "addressbook");
  if (book.is_null()) book = party;
  static constexpr std::array<std::string_view, 6> kParts{"last-name", "first-name", "middle-name",
                                                          "orgname",   "name",       "address"};
  const auto [family, given, middle_name, organization, name, address] = first_children(book, kParts);
  row.family_name = node_text(family, arena);
  row.given_name = node_text(given, arena);
  if (const OptString middle = node_text(middle_name, arena); middle && row.given_name)
    row.given_name = arena.copy(std::string(*row.given_name) + ' ' + std::string(*middle));
  row.organization = node_text(organization, arena);
  if (!row.organization) row.organization = node_text(name, arena);
  static constexpr std::array<std::string_view, 3> kPlace{"city", "state", "country"};
  const auto [city, state, country] = first_children(address, kPlace);
  row.city = node_text(city, arena);
  row.state = node_text(state, arena);
  row.country = node_text(country, arena);
}

bool is_v4_up_to_4_2(SourceFormat format) noexcept {
  switch (format) {
    case SourceFormat::UsptoApplicationV40:
    case SourceFormat::UsptoApplicationV41:
    case SourceFormat::UsptoApplicationV42:
    case SourceFormat::UsptoGrantV40:
    case SourceFormat::UsptoGrantV41:
    case SourceFormat::UsptoGrantV42: return true;
    default: return false;
  }
}

void add_v4_applicants(xml::NodeRef group, SourceFormat format, PartyTable& table) {
  for_each_child_element(group, [&](xml::NodeRef applicant) {
    if (applicant.local_name() != "applicant" && applicant.local_name() != "us-applicant") return;
    const OptString app_type = node_attribute(applicant, "app-type");
    // Until version 4.3 the inventors are the applicants of that type; from
    // 4.3 on they have elements of their own.
    const bool inventor = is_v4_up_to_4_2(format) && app_type == std::string_view("applicant-inventor");
    PartyRow& row = table.add(inventor ? "inventor" : "applicant", node_attribute(applicant, "sequence"));
    read_v4_addressbook(applicant, row, table.arena());
    row.type = app_type ? app_type : node_attribute(applicant, "designation");
  });
}

void add_v4_inventors(xml::NodeRef group, PartyTable& table) {
  for_each_child_element(group, [&](xml::NodeRef inventor) {
    const bool deceased =
        inventor.local_name() == "deceased-inventor" || inventor.local_name() == "us-deceased-inventor";
    if (!deceased && inventor.local_name() != "inventor") return;
    PartyRow& row = table.add("inventor", node_attribute(inventor, "sequence"));
    read_v4_addressbook(inventor, row, table.arena());
    row.type = node_attribute(inventor, "designation");
    row.deceased = deceased;
  });
}

void add_v4_agents(xml::NodeRef group, PartyTable& table) {
  for_each_child_element(group, [&](xml::NodeRef agent) {
    if (agent.local_name() != "agent") return;
    const OptString rep_type = node_attribute(agent, "rep-type");
    PartyRow& row =
        table.add(rep_type == std::string_view("attorney") ? "attorney" : "agent", node_attribute(agent, "sequence"));
    read_v4_addressbook(agent, row, table.arena());
  });
}

void add_v4_assignees(xml::NodeRef group, PartyTable& table) {
  for_each_child_element(group, [&](xml::NodeRef assignee) {
    if (assignee.local_name() != "assignee") return;
    PartyRow& row = table.add("assignee", node_attribute(assignee, "sequence"));
    read_v4_addressbook(assignee, row, table.arena());
    xml::NodeRef book = node_child(assignee, "addressbook");
    row.type = path_text(!book.is_null() ? book : assignee, {"role"}, table.arena());
  });
}

void add_v4_correspondent(xml::NodeRef address, PartyTable& table) {
  read_v4_addressbook(address, table.add("correspondent"), table.arena());
}

void add_v4_examiners(xml::NodeRef group, PartyTable& table) {
  for_each_child_element(group, [&](xml::NodeRef examiner) {
    const std::string_view name = examiner.local_name();
    if (name != "primary-examiner" && name != "assistant-examiner") return;
    PartyRow& row = table.add(name == "primary-examiner" ? "primary examiner" : "assistant examiner");
    read_v4_addressbook(examiner, row, table.arena());
    row.art_unit = path_text(examiner, {"department"}, table.arena());
  });
}

void add_v4_parties(xml::NodeRef bibliographic, SourceFormat format, PartyTable& table) {
  const auto add_group = [&](xml::NodeRef group) {
    const std::string_view name = group.local_name();
    if (name == "applicants" || name == "us-applicants")
      add_v4_applicants(group, format, table);
    else if (name == "inventors")
      add_v4_inventors(group, table);
    else if (name == "agents")
      add_v4_agents(group, table);
    else if (name == "assignees")
      add_v4_assignees(group, table);
    else if (name == "correspondence-address")
      add_v4_correspondent(group, table);
  };
  for_each_child_element(bibliographic, [&](xml::NodeRef item) {
    const std::string_view name = item.local_name();
    if (name == "parties" || name == "us-parties")
      for_each_child_element(item, add_group);
    else if (name == "assignees")
      add_v4_assignees(item, table);
    else if (name == "examiners")
      add_v4_examiners(item, table);
  });
}

// ---------------------------------------------------------------------------
// Pre-grant publications
// ---------------------------------------------------------------------------

void read_pap_name(xml::NodeRef name, PartyRow& row, Arena& arena) {
  row.family_name = path_text(name, {"family-name"}, arena);
  row.given_name = path_text(name, {"given-name"}, arena);
  if (const OptString middle = path_text(name, {"middle-name"}, arena); middle && row.given_name)
    row.given_name = arena.copy(std::string(*row.given_name) + ' ' + std::string(*middle));
}

// `residence` holds residence-us or residence-non-us; an address holds its
// parts directly.
void read_pap_place(xml::NodeRef place, PartyRow& row, Arena& arena) {
  if (place.is_null()) return;
  if (xml::NodeRef inner = node_child(place, "residence-us"))
    place = inner;
  else if (xml::NodeRef foreign = node_child(place, "residence-non-us"))
    place = foreign;
  row.city = path_text(place, {"city"}, arena);
  row.state = path_text(place, {"state"}, arena);
  row.country = path_text(place, {"country-code"}, arena);
  if (!row.country) row.country = path_text(place, {"country", "country-code"}, arena);
}

void add_pap_parties(xml::NodeRef bibliographic, PartyTable& table) {
  Arena& arena = table.arena();
  for_each_child_element(bibliographic, [&](xml::NodeRef item) {
    const std::string_view name = item.local_name();
    if (name == "inventors") {
      for_each_child_element(item, [&](xml::NodeRef inventor) {
        if (inventor.local_name() != "first-named-inventor" && inventor.local_name() != "inventor") return;
        PartyRow& row = table.add("inventor");
        read_pap_name(node_child(inventor, "name"), row, arena);
        read_pap_place(node_child(inventor, "residence"), row, arena);
        row.type = path_text(inventor, {"authority-applicant"}, arena);
        row.deceased = !node_child(inventor, "deceased").is_null();
      });
    } else if (name == "assignee") {
      PartyRow& row = table.add("assignee");
      read_pap_name(node_child(item, "name"), row, arena);
      row.organization = path_text(item, {"organization-name"}, arena);
      read_pap_place(node_child(item, "address"), row, arena);
      row.type = path_text(item, {"assignee-type"}, arena);
    } else if (name == "correspondence-address") {
      PartyRow& row = table.add("correspondent");
      row.organization = path_text(item, {"name-1"}, arena);
      read_pap_place(node_child(item, "address"), row, arena);
    }
  });
}

// ---------------------------------------------------------------------------
// ST.32
// ---------------------------------------------------------------------------

// NAM and ADR of a B7xx element's PARTY-US or PARTY-FOR.
void read_st32_party(xml::NodeRef element, PartyRow& row, Arena& arena) {
  xml::NodeRef party = node_child(element, "PARTY-US");
  if (party.is_null()) party = node_child(element, "PARTY-FOR");
  static constexpr std::array<std::string_view, 2> kParts{"NAM", "ADR"};
  const auto [name, address] = first_children(party, kParts);
  static constexpr std::array<std::string_view, 3> kName{"FNM", "SNM", "ONM"};
  const auto [given, family, organization] = first_children(name, kName);
  row.given_name = node_text(given, arena);
  row.family_name = node_text(family, arena);
  row.organization = node_text(organization, arena);
  static constexpr std::array<std::string_view, 3> kPlace{"CITY", "STATE", "CTRY"};
  const auto [city, state, country] = first_children(address, kPlace);
  row.city = node_text(city, arena);
  row.state = node_text(state, arena);
  row.country = node_text(country, arena);
}

void add_st32_group(xml::NodeRef group, std::string_view member, std::string_view role, PartyTable& table,
                    OptString type = std::nullopt, OptString art_unit = std::nullopt) {
  for_each_child_element(group, [&](xml::NodeRef element) {
    if (element.local_name() != member) return;
    PartyRow& row = table.add(role);
    read_st32_party(element, row, table.arena());
    row.type = type;
    row.art_unit = art_unit;
  });
}

void add_st32_parties(xml::NodeRef bibliographic, PartyTable& table) {
  Arena& arena = table.arena();
  for_each_child_element(node_child(bibliographic, "B700"), [&](xml::NodeRef group) {
    const std::string_view name = group.local_name();
    if (name == "B720") {
      add_st32_group(group, "B721", "inventor", table);
    } else if (name == "B730") {
      add_st32_group(group, "B731", "assignee", table, path_text(group, {"B732US"}, arena));
    } else if (name == "B740") {
      add_st32_group(group, "B741", "attorney", table);
    } else if (name == "B745") {
      const OptString art_unit = path_text(group, {"B748US"}, arena);
      add_st32_group(group, "B746", "primary examiner", table, std::nullopt, art_unit);
      add_st32_group(group, "B747", "assistant examiner", table, std::nullopt, art_unit);
    }
  });
}

// ---------------------------------------------------------------------------
// APS
// ---------------------------------------------------------------------------

// "Hoff; Don G." is family name; given names.
void set_aps_person(std::string_view value, PartyRow& row) {
  const std::size_t semicolon = value.find(';');
  if (semicolon == std::string_view::npos) {
    row.family_name = trim(value);
    return;
  }
  row.family_name = trim(value.substr(0, semicolon));
  if (const std::string_view given = trim(value.substr(semicolon + 1)); !given.empty()) row.given_name = given;
}

void read_aps_party_field(ApsSection section, std::string_view tag, std::string_view value, PartyRow& row) {
  if (tag == "NAM") {
    if (section == ApsSection::Invt)
      set_aps_person(value, row);
    else
      row.organization = trimmed_value(value);
  } else if (tag == "CTY") {
    row.city = trimmed_value(value);
  } else if (tag == "STA") {
    row.state = trimmed_value(value);
  } else if (tag == "CNT") {
    row.country = trimmed_value(value);
  } else if (tag == "COD" && section == ApsSection::Assg) {
    row.type = trimmed_value(value);
  }
}

}  // namespace

std::vector<PartyRow> xml_party_rows(xml::NodeRef bibliographic, SourceFormat format, Arena& arena) {
  PartyTable table(arena);
  if (bibliographic.is_null()) return table.take();
  switch (format) {
    case SourceFormat::UsptoApplicationV15:
    case SourceFormat::UsptoApplicationV16: add_pap_parties(bibliographic, table); break;
    case SourceFormat::UsptoGrantV25: add_st32_parties(bibliographic, table); break;
    case SourceFormat::UsptoGrantApsGreenBook:
    case SourceFormat::UsptoSequenceCwu: break;
    default: add_v4_parties(bibliographic, format, table); break;
  }
  return table.take();
}

std::vector<PartyRow> aps_party_rows(std::span<const ApsField> fields, Arena& arena) {
  PartyTable table(arena);
  std::optional<std::size_t> open;  // the row of the INVT or ASSG section being read
  std::optional<std::uint32_t> open_section;
  OptString art_unit;
  std::vector<std::size_t> examiners;  // rows that take the art unit, which may come after them
  for (const ApsField& field : fields) {
    const std::string_view tag = field.tag;
    if ((field.section == ApsSection::Invt || field.section == ApsSection::Assg) &&
        open_section != field.section_number) {
      table.add(field.section == ApsSection::Invt ? "inventor" : "assignee");
      open = table.last_index();
      open_section = field.section_number;
    }
    const std::string_view value = aps_value(field, arena);
    switch (field.section) {
      case ApsSection::Patn:
        if (tag == "EXP" || tag == "EXA") {
          PartyRow& row = table.add(tag == "EXP" ? "primary examiner" : "assistant examiner");
          set_aps_person(value, row);
          examiners.push_back(table.last_index());
        } else if (tag == "ART") {
          art_unit = trimmed_value(value);
        }
        break;
      case ApsSection::Invt:
      case ApsSection::Assg:
        if (open) read_aps_party_field(field.section, tag, value, table.row(*open));
        break;
      case ApsSection::Lrep:
        // The firm, the principal and associate attorneys and the agent are
        // a field each.
        if (tag == "FRM") {
          table.add("attorney").organization = trimmed_value(value);
        } else if (tag == "FR2" || tag == "AAT") {
          set_aps_person(value, table.add("attorney"));
        } else if (tag == "AGT") {
          set_aps_person(value, table.add("agent"));
        }
        break;
      default: break;
    }
  }
  std::vector<PartyRow> rows = table.take();
  for (const std::size_t examiner : examiners) rows[examiner].art_unit = art_unit;
  return rows;
}

}  // namespace tessellox
