// What the XML generations leave captured in the bibliographic part, read
// into record fields: CPC codes, foreign priority claims and citations.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "model.hpp"
#include "parse_result.hpp"
#include "records/record.hpp"

namespace tessellox {

struct CapturedFields {
  // Main then further codes of `classifications-cpc`, written like the IPC
  // codes ("A61B5/14532"), each once.
  std::vector<std::string_view> cpc_codes;
  // `priority-claim` (version 4), `foreign-priority-data` (pre-grant
  // publications) and `B300` (ST.32), in document order.
  std::vector<ForeignPriority> foreign_priority;
  // `us-citation` and `citation` (version 4), `B561` and `B562` (ST.32), in
  // document order.
  std::vector<Citation> citations;
  // `number-of-claims`, `figures`, `us-term-of-grant`, `us-botanic` and
  // `us-exemplary-claim` (version 4); `B577`, `B578US`, `B595`, `B596`, and
  // `B474` and `B473US` in `B472` (ST.32).
  DocumentFacts facts;
  // Each `classification-cpc` of `classifications-cpc` and each
  // `classification-locarno`, in document order.
  std::vector<ClassificationRecord> classifications;
};

// The three in one walk over the block's captured nodes.
CapturedFields read_captured_fields(const BibliographicInformation* block, Arena& arena);

// RecordCapture::read_citations: the element captured without the
// citations read_captured_fields would find in it, which go to
// `capture.citations`.
RawXml read_citations_in_place(const xml::NodeRef& element, RecordCapture& capture, Arena& arena);

}  // namespace tessellox
