#include "handlers.hpp"

#include <array>

#include "source/aps/aps.hpp"
#include "source/detect.hpp"
#include "source/xml/pap.hpp"
#include "source/xml/sequence.hpp"
#include "source/xml/st32.hpp"
#include "source/xml/v4.hpp"

namespace tessellox {

namespace {

constexpr FormatHandler kPap{&parse_pap, nullptr, nullptr, &parse_pap_for_record};
constexpr FormatHandler kV4Application{&parse_v4_application, nullptr, nullptr, &parse_v4_application_for_record};
constexpr FormatHandler kSt32{&parse_st32, nullptr, nullptr, &parse_st32_for_record};
constexpr FormatHandler kV4Grant{&parse_v4_grant, nullptr, nullptr, &parse_v4_grant_for_record};
constexpr FormatHandler kAps{&parse_aps, &serialize_aps, &parse_aps_with_references, nullptr};
constexpr FormatHandler kSequence{&parse_sequence_listing, nullptr, nullptr, nullptr};

constexpr std::array<FormatHandler, kSourceFormatCount> kHandlers = {
    kPap,           kPap,           kV4Application, kV4Application, kV4Application, kV4Application, kV4Application,
    kV4Application, kV4Application, kSt32,          kV4Grant,       kV4Grant,       kV4Grant,       kV4Grant,
    kV4Grant,       kV4Grant,       kV4Grant,       kV4Grant,       kAps,           kSequence,
};

}  // namespace

const FormatHandler& format_handler(SourceFormat format) noexcept {
  return kHandlers[static_cast<std::size_t>(format)];
}

ParseResult parse_source(SourceText text) {
  auto detected = detect_source_format(text.view());
  if (!detected) return ParseError::detection(detected.error());
  const SourceFormat format = detected.value();
  return format_handler(format).parse(std::move(text), format, ParseScope::Document);
}

}  // namespace tessellox
