#include "model.hpp"

#include <array>

namespace tessellox {

namespace {
constexpr std::array<std::string_view, kSourceFormatCount> kFormatNames = {
    "UsptoApplicationV15", "UsptoApplicationV16", "UsptoApplicationV40",    "UsptoApplicationV41",
    "UsptoApplicationV42", "UsptoApplicationV43", "UsptoApplicationV44",    "UsptoApplicationV45",
    "UsptoApplicationV46", "UsptoGrantV25",       "UsptoGrantV40",          "UsptoGrantV41",
    "UsptoGrantV42",       "UsptoGrantV43",       "UsptoGrantV44",          "UsptoGrantV45",
    "UsptoGrantV46",       "UsptoGrantV47",       "UsptoGrantApsGreenBook", "UsptoSequenceCwu",
};

static_assert(sizeof(RawXml) == 24, "captured nodes stay compact");
static_assert(sizeof(InlineElement) == 40, "inline elements stay compact");
static_assert(sizeof(Attribute) % alignof(RawXml) == 0, "children follow attributes in one block");
static_assert(sizeof(InlineNode) == 16, "inline nodes stay compact");
static_assert(sizeof(Attribute) == 24, "attributes stay compact");
static_assert(std::variant_size_v<BibliographicItem> == 10);
static_assert(
    std::is_same_v<std::variant_alternative_t<bibliographic_tag::kDocumentId, BibliographicItem>, DocumentId>);
static_assert(
    std::is_same_v<std::variant_alternative_t<bibliographic_tag::kApplicants, BibliographicItem>, Applicants>);
static_assert(std::is_same_v<std::variant_alternative_t<bibliographic_tag::kAssignees, BibliographicItem>, Assignees>);
static_assert(std::is_same_v<std::variant_alternative_t<bibliographic_tag::kRawXml, BibliographicItem>, RawXml>);
}  // namespace

std::string_view source_format_name(SourceFormat format) noexcept {
  const auto index = static_cast<std::size_t>(format);
  return index < kFormatNames.size() ? kFormatNames[index] : std::string_view{};
}

}  // namespace tessellox
