// The classifications table: one row per classification element of the
// source, split into its scheme's parts.
#pragma once

#include <optional>
#include <vector>

#include "arena.hpp"
#include "model.hpp"
#include "records/record.hpp"
#include "source/xml/tree.hpp"

namespace tessellox {

// The parts of a `classification-cpc` or `classification-ipcr` (section to
// subgroup, symbol position, classification value and the date of the
// element named `version_indicator`), the first of each name counting, and
// its code written like the IPC list writes it ("A61B5/14532") when section
// to subgroup are all there. Read from a captured node (`const RawXml*`) or
// the tree (`xml::NodeRef`).
template <class Node>
ClassificationRecord scheme_parts_row(Node classification, std::string_view scheme, std::string_view version_indicator,
                                      Arena& arena);

// IPC and US rows read from an XML generation's bibliographic element:
// version 4 `classifications-ipcr`, `classification-ipc` and
// `classification-national`; the pre-grant publications'
// `technical-information`; ST.32's `B500`, whose IPC codes are Locarno
// codes on a design grant (locarno_from_ipc).
std::vector<ClassificationRecord> xml_classification_rows(xml::NodeRef bibliographic, SourceFormat format,
                                                          Arena& arena);

// ST.32 IPC rows as the Locarno rows of a design grant: the code whole.
void locarno_from_ipc(std::vector<ClassificationRecord>& rows);

// IPC and US rows from the model's typed entries (APS text, or a document
// parsed without the capture): main, then further codes. APS text keeps a US
// code's columns ("  2 21" is class 2, subclass 21); the XML generations'
// codes are trimmed, and their columns lost.
std::vector<ClassificationRecord> model_classification_rows(const BibliographicInformation* block, bool ipc_is_locarno,
                                                            bool us_columns_kept, Arena& arena);

// Numbers the rows within each scheme from 1, in their order.
void number_classification_rows(std::vector<ClassificationRecord>& rows);

}  // namespace tessellox
