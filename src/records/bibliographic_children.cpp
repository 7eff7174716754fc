#include "records/bibliographic_children.hpp"

#include <array>

namespace tessellox {
namespace {

constexpr std::array<std::string_view, 10> kV4{"parties",
                                               "us-parties",
                                               "assignees",
                                               "examiners",
                                               "us-related-documents",
                                               "pct-or-regional-filing-data",
                                               "pct-or-regional-publishing-data",
                                               "classifications-ipcr",
                                               "classification-ipc",
                                               "classification-national"};
constexpr std::array<std::string_view, 5> kPap{"inventors", "assignee", "correspondence-address", "continuity-data",
                                               "technical-information"};
// B860 and B870 are read in B800 and, failing that, in the element itself.
// Of B500, only its classifications: its citations are the model's already;
// of B200, only the series code.
constexpr std::array<std::string_view, 9> kSt32{"B200/B211US", "B500/B510", "B500/B520", "B600", "B700",
                                                "B800/B860",   "B800/B870", "B860",      "B870"};

}  // namespace

std::span<const std::string_view> bibliographic_children_read(SourceFormat format) noexcept {
  switch (format) {
    case SourceFormat::UsptoApplicationV15:
    case SourceFormat::UsptoApplicationV16: return kPap;
    case SourceFormat::UsptoGrantV25: return kSt32;
    case SourceFormat::UsptoGrantApsGreenBook:
    case SourceFormat::UsptoSequenceCwu: return {};
    default: return kV4;
  }
}

}  // namespace tessellox
