#include "python/records/record_dict.hpp"

#include <array>
#include <string>
#include <type_traits>

#include "python/records/table_columns.hpp"

namespace tessellox::python {
namespace {

// Every key a record dict holds, in the schema's order (nested keys after).
// clang-format off: the formatter indents an X-macro list anew on every run.
#define TESSELLOX_RECORD_KEYS(X)                                                                              \
  X(file) X(member) X(ordinal) X(offset) X(source_format) X(publication_number) X(patent_number)              \
  X(application_number) X(title) X(filing_date) X(publication_date) X(priority_date) X(inventors)             \
  X(applicants) X(assignees) X(ipc_classifications) X(us_classifications) X(abstract_text) X(claims)          \
  X(kind_code) X(document_type) X(cpc_classifications) X(foreign_priority) X(earliest_priority_date)          \
  X(citations) X(parties) X(related_documents) X(pct) X(text_sections) X(number) X(text) X(depends_on)        \
  X(country) X(date) X(kind) X(name) X(category)
// clang-format on

enum Key : std::size_t {
#define TESSELLOX_ENUM(name) k_##name,
  TESSELLOX_RECORD_KEYS(TESSELLOX_ENUM)
#undef TESSELLOX_ENUM
      kKeyCount
};

constexpr std::array<const char*, kKeyCount> kKeyNames = {
#define TESSELLOX_NAME(name) #name,
    TESSELLOX_RECORD_KEYS(TESSELLOX_NAME)
#undef TESSELLOX_NAME
};

// Interned once and kept for the life of the process, like the module.
std::array<PyObject*, kKeyCount> keys{};

// A dict of each shape with every key set to None, in order: a copy of one
// takes the keys' table as it stands, so that setting the values neither
// inserts nor grows (building each dict key by key cost a third of a
// citation's conversion).
enum Shape : std::size_t { kRecordShape, kClaimShape, kPriorityShape, kCitationShape, kShapeCount };
std::array<PyObject*, kShapeCount> shapes{};

constexpr std::array<Key, 28> kRecordKeys = {k_file,
                                             k_member,
                                             k_ordinal,
                                             k_offset,
                                             k_source_format,
                                             k_publication_number,
                                             k_patent_number,
                                             k_application_number,
                                             k_title,
                                             k_filing_date,
                                             k_publication_date,
                                             k_priority_date,
                                             k_inventors,
                                             k_applicants,
                                             k_assignees,
                                             k_ipc_classifications,
                                             k_us_classifications,
                                             k_abstract_text,
                                             k_claims,
                                             k_kind_code,
                                             k_document_type,
                                             k_cpc_classifications,
                                             k_foreign_priority,
                                             k_earliest_priority_date,
                                             k_citations,
                                             k_parties,
                                             k_related_documents,
                                             k_pct};
constexpr std::array<Key, 3> kClaimKeys = {k_number, k_text, k_depends_on};
constexpr std::array<Key, 3> kPriorityKeys = {k_country, k_number, k_date};
constexpr std::array<Key, 8> kCitationKeys = {k_kind, k_country, k_number,   k_kind_code,
                                              k_date, k_name,    k_category, k_text};

template <std::size_t Count>
PyObject* new_shape(const std::array<Key, Count>& shape_keys) {
  PyObject* dict = PyDict_New();
  if (dict == nullptr) return nullptr;
  for (const Key key : shape_keys) {
    if (PyDict_SetItem(dict, keys[key], Py_None) < 0) {
      Py_DECREF(dict);
      return nullptr;
    }
  }
  return dict;
}

PyObject* new_dict(Shape shape) { return PyDict_Copy(shapes[shape]); }

// Sets `dict[key] = value`, stealing `value`; false when it is nullptr or
// the dict refuses it.
bool put(PyObject* dict, Key key, PyObject* value) {
  if (value == nullptr) return false;
  const int failed = PyDict_SetItem(dict, keys[key], value);
  Py_DECREF(value);
  return failed == 0;
}

PyObject* new_int(std::uint32_t value) { return PyLong_FromUnsignedLong(value); }

// Puts each optional string (None when absent) under its key.
bool put_optional_strs(PyObject* dict, std::initializer_list<std::pair<Key, const OptString*>> values) {
  for (const auto& [key, value] : values)
    if (!put(dict, key, new_optional_str(*value))) return false;
  return true;
}

// Puts each list of strings under its key.
bool put_str_lists(PyObject* dict, std::initializer_list<std::pair<Key, const List<std::string_view>*>> values) {
  for (const auto& [key, value] : values)
    if (!put(dict, key, new_str_list(*value))) return false;
  return true;
}

// `dict` once every value is in it; else nullptr, with the dict released.
PyObject* filled(PyObject* dict, bool complete) {
  if (complete) return dict;
  Py_DECREF(dict);
  return nullptr;
}

PyObject* new_claim_dict(const ClaimRecord& claim) {
  PyObject* dict = new_dict(kClaimShape);
  if (dict == nullptr) return nullptr;
  return filled(dict, put(dict, k_number, new_int(claim.number)) && put(dict, k_text, new_str(claim.text)) &&
                          put(dict, k_depends_on, new_list(claim.depends_on, new_int)));
}

PyObject* new_priority_dict(const ForeignPriority& claim) {
  PyObject* dict = new_dict(kPriorityShape);
  if (dict == nullptr) return nullptr;
  return filled(
      dict, put_optional_strs(dict, {{k_country, &claim.country}, {k_number, &claim.number}, {k_date, &claim.date}}));
}

PyObject* new_citation_dict(const Citation& citation) {
  PyObject* dict = new_dict(kCitationShape);
  if (dict == nullptr) return nullptr;
  return filled(dict, put(dict, k_kind, new_str(citation.kind == CitationKind::Patent ? "patent" : "other")) &&
                          put_optional_strs(dict, {{k_country, &citation.country},
                                                   {k_number, &citation.number},
                                                   {k_kind_code, &citation.kind_code},
                                                   {k_date, &citation.date},
                                                   {k_name, &citation.name},
                                                   {k_category, &citation.category},
                                                   {k_text, &citation.text}}));
}

// A row of one of the row tables as a dict, its keys interned once per
// table, like the record's.
template <class Row>
PyObject* new_row_dict(const Row& row) {
  static std::array<PyObject*, column_count<Row>()> row_keys{};
  PyObject* dict = PyDict_New();
  if (dict == nullptr) return nullptr;
  std::size_t index = 0;
  bool complete = true;
  for_each_column(row, [&](std::string_view name, const auto& value) {
    if (!complete) return;
    PyObject*& key = row_keys[index++];
    if (key == nullptr) key = PyUnicode_InternFromString(std::string(name).c_str());
    using Value = std::decay_t<decltype(value)>;
    PyObject* item = nullptr;
    if constexpr (std::is_same_v<Value, bool>)
      item = PyBool_FromLong(value ? 1 : 0);
    else if constexpr (std::is_same_v<Value, std::uint32_t>)
      item = new_int(value);
    else if constexpr (std::is_same_v<Value, OptString>)
      item = new_optional_str(value);
    else
      item = new_str(value);
    complete = key != nullptr && item != nullptr && PyDict_SetItem(dict, key, item) == 0;
    Py_XDECREF(item);
  });
  return filled(dict, complete);
}

bool put_row_tables(PyObject* dict, const DocumentRecord& record) {
  if (!put(dict, k_parties, new_list(record.parties, new_row_dict<PartyRow>)) ||
      !put(dict, k_related_documents, new_list(record.related_documents, new_row_dict<RelatedDocumentRow>)) ||
      !put(dict, k_pct, new_list(record.pct, new_row_dict<PctRow>)))
    return false;
  return !record.text_sections ||
         put(dict, k_text_sections, new_list(*record.text_sections, new_row_dict<TextSectionRow>));
}

PyObject* new_origin_value(PyObject* origin, Py_ssize_t index) {
  if (origin == nullptr || origin == Py_None) return Py_NewRef(Py_None);
  return PySequence_GetItem(origin, index);
}

bool put_fields(PyObject* dict, const DocumentRecord& record, PyObject* origin) {
  const DerivedMetadata& derived = record.derived;
  for (const Key key : {k_file, k_member, k_ordinal, k_offset})
    if (!put(dict, key, new_origin_value(origin, static_cast<Py_ssize_t>(key - k_file)))) return false;
  return put(dict, k_source_format, new_str(source_format_name(record.source_format))) &&
         put_optional_strs(dict, {{k_publication_number, &derived.publication_number},
                                  {k_patent_number, &derived.patent_number},
                                  {k_application_number, &derived.application_number},
                                  {k_title, &derived.title},
                                  {k_filing_date, &derived.filing_date},
                                  {k_publication_date, &derived.publication_date},
                                  {k_priority_date, &derived.priority_date}}) &&
         put_str_lists(dict, {{k_inventors, &derived.inventors},
                              {k_applicants, &derived.applicants},
                              {k_assignees, &derived.assignees},
                              {k_ipc_classifications, &derived.ipc_classifications},
                              {k_us_classifications, &derived.us_classifications}}) &&
         put(dict, k_abstract_text, record.abstract_text ? new_str(*record.abstract_text) : Py_NewRef(Py_None)) &&
         put(dict, k_claims, new_list(record.claims, new_claim_dict)) &&
         put(dict, k_kind_code, new_optional_str(record.kind_code)) &&
         put(dict, k_document_type, new_str(record.document_type)) &&
         put(dict, k_cpc_classifications, new_list(record.cpc_classifications, new_str)) &&
         put(dict, k_foreign_priority, new_list(record.foreign_priority, new_priority_dict)) &&
         put(dict, k_earliest_priority_date, new_optional_str(record.earliest_priority_date)) &&
         put(dict, k_citations, new_list(record.citations, new_citation_dict)) && put_row_tables(dict, record);
}

}  // namespace

bool create_record_keys() {
  for (std::size_t i = 0; i < kKeyCount; ++i) {
    if (keys[i] != nullptr) continue;
    keys[i] = PyUnicode_InternFromString(kKeyNames[i]);
    if (keys[i] == nullptr) return false;
  }
  if (shapes[kRecordShape] == nullptr) shapes[kRecordShape] = new_shape(kRecordKeys);
  if (shapes[kClaimShape] == nullptr) shapes[kClaimShape] = new_shape(kClaimKeys);
  if (shapes[kPriorityShape] == nullptr) shapes[kPriorityShape] = new_shape(kPriorityKeys);
  if (shapes[kCitationShape] == nullptr) shapes[kCitationShape] = new_shape(kCitationKeys);
  for (PyObject* shape : shapes)
    if (shape == nullptr) return false;
  return true;
}

PyObject* new_record_dict(const DocumentRecord& record, PyObject* origin) {
  PyObject* dict = new_dict(kRecordShape);
  if (dict == nullptr) return nullptr;
  return filled(dict, put_fields(dict, record, origin));
}

}  // namespace tessellox::python
