// The extension module tessellox_tools._records: a document's text to its
// record in one call, for the companion package's records, tables and
// command.
#include "handlers.hpp"
#include "python/boundary.hpp"
#include "python/records/json_lines.hpp"
#include "python/records/record_dict.hpp"
#include "python/records/record_json.hpp"
#include "python/records/schema_value.hpp"
#include "records/entities.hpp"
#include "records/record.hpp"
#include "records/schema.hpp"
#include "render/markdown.hpp"
#include "utf8.hpp"

namespace tessellox::python {
namespace {

bool check_origin(const char* function, PyObject* origin) {
  if (origin == nullptr || origin == Py_None) return true;
  if (PySequence_Check(origin) && !PyUnicode_Check(origin) && PySequence_Size(origin) == 4) return true;
  PyErr_Clear();
  PyErr_Format(PyExc_TypeError, "%s() origin must be None or (file, member, ordinal, offset)", function);
  return false;
}

// Raises the UnicodeDecodeError that bytes.decode() would for invalid UTF-8.
bool check_utf8(std::string_view bytes) {
  if (is_valid_utf8(bytes)) return true;
  // Python's decoder gives the error: its position and reason.
  PyObject* decoded = PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "strict");
  if (decoded == nullptr) return false;
  Py_DECREF(decoded);
  return true;
}

// A document's UTF-8 bytes, read where they are: a caller holding the bytes
// of a document need not decode them into a str first. Invalid UTF-8 raises
// the UnicodeDecodeError that bytes.decode() would, here unless `checked_later`
// (see check_parsed_bytes).
bool bytes_source_text(PyObject* bytes, SourceText& text, PyObject* start = nullptr, PyObject* end = nullptr,
                       bool checked_later = false) {
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(bytes, &data, &size) < 0) return false;
  if (start != nullptr || end != nullptr) {
    // The document is bytes[start:end] of a run of documents, read there.
    Py_ssize_t first = 0;
    Py_ssize_t last = size;
    if (start != nullptr && start != Py_None && (first = PyLong_AsSsize_t(start)) == -1 && PyErr_Occurred())
      return false;
    if (end != nullptr && end != Py_None && (last = PyLong_AsSsize_t(end)) == -1 && PyErr_Occurred()) return false;
    if (first < 0 || first > last || last > size) {
      PyErr_Format(PyExc_ValueError, "start and end must give a range of the %zd bytes, not %zd to %zd", size, first,
                   last);
      return false;
    }
    data += first;
    size = last - first;
  }
  if (!checked_later && !check_utf8(std::string_view(data, static_cast<std::size_t>(size)))) return false;
  Py_INCREF(bytes);
  text = SourceText::borrowed(std::string_view(data, static_cast<std::size_t>(size)), bytes, [](void* owner) noexcept {
    // Released when the call's document is, with the GIL held.
    Py_XDECREF(static_cast<PyObject*>(owner));
  });
  return true;
}

// The text argument of text_record and text_record_json: a str, or bytes
// (checked as UTF-8 after the parse when `bytes_checked_later` is given,
// which says whether they were bytes).
bool argument_source_text(PyObject* argument, SourceText& source, bool* bytes_checked_later = nullptr) {
  if (PyBytes_Check(argument)) {
    if (bytes_checked_later != nullptr) *bytes_checked_later = true;
    return bytes_source_text(argument, source, nullptr, nullptr, bytes_checked_later != nullptr);
  }
  Utf8Argument text;
  if (!text.convert("text", argument)) return false;
  source = text.take_source_text();
  return true;
}

// The record of `source`, parsed while other threads run Python (a reader
// inflating the next documents, say): the text is immutable and a record is
// C++ values alone. A text borrowed from a Python object is parsed through
// a view, so that `source` drops its reference with the GIL held; the
// record is valid while `source` lives.
// Bytes left unchecked are checked as UTF-8 once parsed, where the parse
// did not check every byte itself: the XML front end reads every byte as
// UTF-8 (the scanner checks each character it passes, expat the same), so a
// document it parsed is valid; APS text is not read so. A parse that failed
// is checked too, so that invalid UTF-8 gives the decoder's error, as when
// the bytes are checked first, and not the parser's.
bool check_parsed_bytes(const SourceText& source, const Result<RecordedDocument, ParseError>& recorded) {
  if (recorded && recorded.value().document.source_format != SourceFormat::UsptoGrantApsGreenBook) return true;
  return check_utf8(source.view());
}

Result<RecordedDocument, ParseError> parse_unlocked(SourceText& source, const RecordOptions& options) {
  SourceText parsed =
      source.writable().empty() ? SourceText::borrowed(source.view(), nullptr, nullptr) : std::move(source);
  WithoutGil unlocked;
  return parse_record(std::move(parsed), options);
}

// The keyword-only `sections` argument, the last of `values`, after
// `positional` arguments that may be given by position: a bool, False when
// not given.
bool record_options(const char* function, PyObject* args, std::size_t positional, const std::vector<PyObject*>& values,
                    RecordOptions& options) {
  if (static_cast<std::size_t>(PyTuple_Size(args)) > positional) {
    PyErr_Format(PyExc_TypeError, "%s() takes at most %zu positional arguments", function, positional);
    return false;
  }
  PyObject* sections = values.back();
  if (sections == nullptr) return true;
  if (!PyBool_Check(sections)) {
    PyErr_Format(PyExc_TypeError, "%s() takes sections as a bool", function);
    return false;
  }
  options.sections = sections == Py_True;
  return true;
}

PyObject* text_record(PyObject*, PyObject* args, PyObject* kwargs) {
  try {
    std::vector<PyObject*> values;
    if (!match_arguments("text_record", args, kwargs, {"text", "origin", "sections"}, 1, values)) return nullptr;
    RecordOptions options;
    if (!record_options("text_record", args, 2, values, options)) return nullptr;
    if (!check_origin("text_record", values[1])) return nullptr;
    SourceText source;
    bool from_bytes = false;
    if (!argument_source_text(values[0], source, &from_bytes)) return nullptr;
    auto recorded = parse_unlocked(source, options);
    if (from_bytes && !check_parsed_bytes(source, recorded)) return nullptr;
    if (!recorded) return raise_value_error(recorded.error().message());
    return new_record_dict(recorded.value().record, values[1]);
  } catch (...) {
    return raise_from_current_exception();
  }
}

// The text with the references a record resolves replaced by their
// characters: what document_record gives for the getters' values.
PyObject* resolve_entities(PyObject*, PyObject* argument) {
  try {
    Utf8Argument text;
    if (!text.convert("text", argument)) return nullptr;
    std::string resolved;
    if (!append_resolved_entities(text.view(), resolved)) return Py_NewRef(argument);
    return new_str(resolved);
  } catch (...) {
    return raise_from_current_exception();
  }
}

// An option's value, one of the names `named` knows; false with ValueError
// set for another name, TypeError for a value that is not a str.
template <class Rendering>
bool rendering_option(const char* option, PyObject* value, std::optional<Rendering> (*named)(std::string_view) noexcept,
                      const char* choices, Rendering& rendering) {
  if (value == nullptr) return true;
  Utf8Argument text;
  if (!PyUnicode_Check(value)) {
    PyErr_Format(PyExc_TypeError, "to_markdown() %s must be a str, not %R", option, value);
    return false;
  }
  if (!text.convert(option, value)) return false;
  const auto found = named(text.view());
  if (!found) {
    PyErr_Format(PyExc_ValueError, "to_markdown() %s must be one of %s, not %R", option, choices, value);
    return false;
  }
  rendering = *found;
  return true;
}

PyObject* to_markdown(PyObject*, PyObject* args, PyObject* kwargs) {
  try {
    if (PyTuple_Size(args) > 2) {
      PyErr_SetString(PyExc_TypeError, "to_markdown() takes at most 2 positional arguments (text, template)");
      return nullptr;
    }
    std::vector<PyObject*> values;
    if (!match_arguments("to_markdown", args, kwargs, {"text", "template", "tables", "maths", "instructions"}, 1,
                         values))
      return nullptr;
    MarkdownOptions options;
    if (!rendering_option("tables", values[2], &table_rendering_named, "'xml', 'markdown', 'html'", options.tables) ||
        !rendering_option("maths", values[3], &maths_rendering_named, "'xml', 'latex'", options.maths) ||
        !rendering_option("instructions", values[4], &instruction_rendering_named, "'xml', 'drop'",
                          options.instructions))
      return nullptr;
    Utf8Argument template_text;
    const bool has_template = values[1] != nullptr && values[1] != Py_None;
    if (has_template && !template_text.convert("template", values[1])) return nullptr;
    SourceText source;
    if (!argument_source_text(values[0], source)) return nullptr;
    auto parsed = parse_source(std::move(source));
    if (!parsed) return raise_value_error(parsed.error().message());
    auto markdown =
        render_markdown(std::move(parsed.value()),
                        has_template ? std::optional<std::string_view>(template_text.view()) : std::nullopt, options);
    if (!markdown) return raise_value_error(markdown.error().message());
    return new_str(markdown.value());
  } catch (...) {
    return raise_from_current_exception();
  }
}

bool append_origin_value(JsonBuffer& out, PyObject* value, bool is_text) {
  if (value == Py_None) {
    out.append("null");
    return true;
  }
  if (is_text && PyUnicode_Check(value)) {
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(value, &size);  // raises for a lone surrogate, as encoding would
    if (text == nullptr) return false;
    if (append_json_string(out, std::string_view(text, static_cast<std::size_t>(size)))) return true;
    PyErr_SetString(PyExc_SystemError, "text_record_json() origin: str not encoded as UTF-8");
    return false;
  }
  if (!is_text && PyLong_Check(value) && !PyBool_Check(value)) {
    const long long number = PyLong_AsLongLong(value);
    if (number == -1 && PyErr_Occurred()) return false;
    append_json_int(out, number);
    return true;
  }
  PyErr_SetString(PyExc_TypeError, is_text ? "text_record_json() origin: file and member must be str or None"
                                           : "text_record_json() origin: ordinal and offset must be int or None");
  return false;
}

// The four values of an origin, held for the call: taken before the line
// buffer is touched, since a sequence's __getitem__ may be Python code that
// calls text_record_json itself.
class OriginValues {
 public:
  OriginValues() = default;
  OriginValues(const OriginValues&) = delete;
  OriginValues& operator=(const OriginValues&) = delete;
  ~OriginValues() {
    for (PyObject* value : values_) Py_XDECREF(value);
  }

  bool take(PyObject* origin) {
    if (origin == nullptr || origin == Py_None) return true;
    present_ = true;
    for (Py_ssize_t index = 0; index < 4; ++index)
      if ((values_[index] = PySequence_GetItem(origin, index)) == nullptr) return false;
    return true;
  }

  // The origin's fields as the head of a record's JSON object, up to the
  // comma before "source_format".
  bool append_json(JsonBuffer& out) const {
    const auto columns = documents_shape().columns;
    const auto keys = json_keys(documents_shape());
    for (std::size_t index = 0; index < kOriginColumns; ++index) {
      append_json_key(out, keys[index]);
      if (!present_)
        out.append("null");
      else if (!append_origin_value(out, values_[index], columns[index].type == ColumnType::Text))
        return false;
    }
    return true;
  }

 private:
  bool present_ = false;
  PyObject* values_[4] = {nullptr, nullptr, nullptr, nullptr};
};

// Raises the UnicodeDecodeError of a record value that is not UTF-8, as
// text_record would in making a str of it.
PyObject* raise_invalid_value(std::string_view value) {
  PyObject* decoded = PyUnicode_DecodeUTF8(value.data(), static_cast<Py_ssize_t>(value.size()), "strict");
  if (decoded == nullptr) return nullptr;
  Py_DECREF(decoded);
  PyErr_SetString(PyExc_SystemError, "text_record_json(): a record value failed the UTF-8 check yet decodes");
  return nullptr;
}

PyObject* text_record_json(PyObject*, PyObject* args, PyObject* kwargs) {
  try {
    std::vector<PyObject*> values;
    if (!match_arguments("text_record_json", args, kwargs, {"text", "origin", "start", "end", "sections"}, 1, values))
      return nullptr;
    RecordOptions options;
    if (!record_options("text_record_json", args, 4, values, options)) return nullptr;
    if (!check_origin("text_record_json", values[1])) return nullptr;
    const bool ranged =
        (values[2] != nullptr && values[2] != Py_None) || (values[3] != nullptr && values[3] != Py_None);
    if (ranged && !PyBytes_Check(values[0])) {
      PyErr_SetString(PyExc_TypeError, "text_record_json() takes start and end with bytes only");
      return nullptr;
    }
    OriginValues origin;
    if (!origin.take(values[1])) return nullptr;
    JsonBuffer& out = line_buffer();
    out.clear();
    if (!origin.append_json(out)) return nullptr;
    SourceText source;
    bool from_bytes = ranged;
    if (ranged ? !bytes_source_text(values[0], source, values[2], values[3], true)
               : !argument_source_text(values[0], source, &from_bytes))
      return nullptr;
    auto recorded = parse_unlocked(source, options);
    if (from_bytes && !check_parsed_bytes(source, recorded)) return nullptr;
    if (!recorded) return raise_value_error(recorded.error().message());
    std::string_view invalid;
    bool encoded = false;
    {
      WithoutGil unlocked;
      encoded = append_record_fields_json(out, recorded.value().record, invalid);
    }
    if (!encoded) return raise_invalid_value(invalid);
    out.append('\n');
    const std::string_view line = out.view();
    PyObject* bytes = PyBytes_FromStringAndSize(line.data(), static_cast<Py_ssize_t>(line.size()));
    out.shrink_to(kKeptLineCapacity);
    return bytes;
  } catch (...) {
    return raise_from_current_exception();
  }
}

bool is_xml_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Offsets of "<?xml" followed by XML white space, at or after `position`:
// where the documents of a run of documents start. "?" is rare in patent
// text, so it is what is looked for.
PyObject* xml_declaration_offsets(PyObject*, PyObject* args, PyObject* kwargs) {
  try {
    std::vector<PyObject*> values;
    if (!match_arguments("xml_declaration_offsets", args, kwargs, {"data", "position"}, 1, values)) return nullptr;
    const char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_Check(values[0])) {
      if (PyBytes_AsStringAndSize(values[0], const_cast<char**>(&data), &size) < 0) return nullptr;
    } else if (PyByteArray_Check(values[0])) {
      data = PyByteArray_AsString(values[0]);
      size = PyByteArray_Size(values[0]);
    } else {
      PyErr_SetString(PyExc_TypeError, "xml_declaration_offsets() data must be bytes or bytearray");
      return nullptr;
    }
    Py_ssize_t position = 0;
    if (values[1] != nullptr) {
      position = PyLong_AsSsize_t(values[1]);
      if (position == -1 && PyErr_Occurred()) return nullptr;
      if (position < 0) position = 0;
    }
    // Found before any Python object is made, which could run code that
    // resizes a bytearray.
    std::vector<std::size_t> found;
    const std::string_view text(data, static_cast<std::size_t>(size));
    for (std::size_t question = static_cast<std::size_t>(position) + 1; question < text.size(); ++question) {
      question = text.find('?', question);
      if (question == std::string_view::npos) break;
      if (text[question - 1] == '<' && text.compare(question + 1, 3, "xml") == 0 && question + 4 < text.size() &&
          is_xml_space(text[question + 4]))
        found.push_back(question - 1);
    }
    PyObject* offsets = PyList_New(static_cast<Py_ssize_t>(found.size()));
    if (offsets == nullptr) return nullptr;
    for (std::size_t index = 0; index < found.size(); ++index) {
      PyObject* offset = PyLong_FromSize_t(found[index]);
      if (offset == nullptr) {
        Py_DECREF(offsets);
        return nullptr;
      }
      PyList_SetItem(offsets, static_cast<Py_ssize_t>(index), offset);
    }
    return offsets;
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyMethodDef module_functions[] = {
    {"to_markdown", as_method<to_markdown>(), METH_VARARGS | METH_KEYWORDS,
     "to_markdown(text, template=None, *, tables='xml', maths='xml', instructions='xml')\n--\n\n"
     "Parse a document and render its Markdown: tables as 'xml', 'markdown' or 'html', formulas as 'xml' or "
     "'latex', the description's processing instructions kept ('xml') or left out ('drop')."},
    {"text_record", as_method<text_record>(), METH_VARARGS | METH_KEYWORDS,
     "text_record(text, origin=None, *, sections=False)\n--\n\n"
     "Parse one document's text (a str, or its UTF-8 bytes) and return its record as a dict;\n"
     "with sections, the description's sections too (text_sections).\n\n"
     "ValueError with the message parse() gives for a document it cannot parse; for bytes that\n"
     "are not UTF-8, the UnicodeDecodeError of bytes.decode()."},
    {"text_record_json", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(text_record_json)),
     METH_VARARGS | METH_KEYWORDS,
     "text_record_json(text, origin=None, start=None, end=None, *, sections=False)\n--\n\n"
     "The record of text_record(text, origin, sections=sections) as one line of JSON: UTF-8 bytes ending in a line "
     "feed,\n"
     "the bytes of json.dumps(record, ensure_ascii=False, separators=(',', ':')) and a line feed.\n\n"
     "The origin's file and member must be str or None, its ordinal and offset int or None.\n"
     "With start or end, the document is text[start:end] of bytes holding many, read where it is\n"
     "(positions of a UTF-8 error count from start). Raises as text_record does."},
    {"record_json_lines", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(record_json_lines)),
     METH_VARARGS | METH_KEYWORDS,
     "record_json_lines(data, bounds, index, limit, origin_head, first_ordinal, base, sections)\n--\n\n"
     "The JSON Lines, with their origins, of the documents data[start:end] for each (start, end) of\n"
     "bounds[index:], up to the first one that must be converted alone (larger than limit, declaring\n"
     "an encoding otherwise than in the usual UTF-8 declaration, or failing): (lines, the index it\n"
     "stopped at, the documents' bytes). Each line is text_record_json's for the origin (file, member,\n"
     "first_ordinal + n, base + start), origin_head being its file and member as JSON without the brace."},
    {"resolve_entities", resolve_entities, METH_O,
     "resolve_entities(text)\n--\n\n"
     "The text with each named reference of the ISO 8879 entity sets (\"&ouml;\") replaced by its\n"
     "characters, as a record's text values have them; other names stay as written."},
    {"xml_declaration_offsets", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(xml_declaration_offsets)),
     METH_VARARGS | METH_KEYWORDS,
     "xml_declaration_offsets(data, position=0)\n--\n\n"
     "Offsets, at or after position, of the XML declarations in data (bytes or bytearray):\n"
     "\"<?xml\" followed by XML white space."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "_records",
    "Document records from text, in one call: as dicts or as JSON lines.",
    0,
    module_functions,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace tessellox::python

extern "C" PyMODINIT_FUNC PyInit__records(void) {
  if (!tessellox::python::create_record_keys()) return nullptr;
  PyObject* module = PyModule_Create2(&tessellox::python::module_definition, PYTHON_ABI_VERSION);
  if (module == nullptr) return nullptr;
  PyObject* schema = tessellox::python::new_schema_value();
  if (schema == nullptr || PyModule_AddObject(module, "SCHEMA", schema) < 0) {
    Py_XDECREF(schema);
    Py_DECREF(module);
    return nullptr;
  }
  PyObject* version = PyLong_FromLong(tessellox::kSchemaVersion);
  if (version == nullptr || PyModule_AddObject(module, "SCHEMA_VERSION", version) < 0) {
    Py_XDECREF(version);
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
