// What every parser returns: the document, or the error that stopped it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "errors.hpp"
#include "model.hpp"
#include "references.hpp"
#include "result.hpp"

namespace tessellox {

namespace xml {
class NodeRef;
}

using ParseResult = Result<SourceDocument, ParseError>;

// What a parse builds: the whole document, or what a record reads. No record
// field but its text sections comes from the description, so a record's
// parse leaves it empty (the part stays in its place) and saves a fifth of
// the work; none comes from the drawings, which a record's parse with its
// sections leaves empty.
enum class ParseScope : std::uint8_t { Document, Record, RecordWithSections };

struct RecordTables;  // the records' own (records/record.hpp)

// What a record's parse reads of an XML handler's tree beside the model,
// while the tree is alive. The first bibliographic element goes to
// `read_bibliographic`, which reads into `tables` what the model does not
// keep (the parts of a party's name and address, examiners, related
// documents, PCT data, classifications as written).
struct RecordCapture {
  SourceFormat format = SourceFormat::UsptoGrantV45;  // the document's, set with the rest by the caller
  RecordTables* tables = nullptr;
  void (*read_bibliographic)(const xml::NodeRef& element, RecordCapture& capture, Arena& arena) = nullptr;
  bool bibliographic_read = false;  // a second bibliographic element is left alone
  // Set by the parse to false where no text of the document holds an '&',
  // so that none of the record's values can hold an entity reference.
  bool may_hold_ampersand = true;
  // Citations are most of a grant's bibliographic part, and a record reads
  // them straight from the tree: the parse hands each element that holds
  // them (`us-references-cited`, `references-cited`, `B560`) to
  // `read_citations`, which appends its citations to `citations` and
  // returns what the model keeps of it, the element without them.
  // Citations elsewhere in the part, which no document type has, are read
  // from the model after these.
  RawXml (*read_citations)(const xml::NodeRef& element, RecordCapture& capture, Arena& arena) = nullptr;
  std::vector<Citation> citations;
};

}  // namespace tessellox
