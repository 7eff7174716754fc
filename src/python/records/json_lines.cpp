// The records of a run of documents as JSON Lines in one call: what the
// command writes at one job, where a call a document and the joining of
// each line to its origin in Python cost as much as a tenth of the parse.
#include "python/records/json_lines.hpp"

#include <string_view>
#include <vector>

#include "python/boundary.hpp"
#include "python/records/record_json.hpp"
#include "records/record.hpp"
#include "utf8.hpp"

namespace tessellox::python {
namespace {

constexpr std::string_view kUtf8Declaration = R"(<?xml version="1.0" encoding="UTF-8")";

// Whether the bytes are UTF-8 without a look at their declaration: they
// declare UTF-8 in the usual words, or have no declaration and no UTF-16
// byte order mark. Any other document the caller decodes itself.
bool plainly_utf8(std::string_view document) noexcept {
  if (document.starts_with(kUtf8Declaration)) return true;
  return !document.starts_with("<?xml") && !document.starts_with("\xFF\xFE") && !document.starts_with("\xFE\xFF");
}

struct Bounds {
  std::size_t start;
  std::size_t end;
};

// `bounds[index:]` as offsets into `size` bytes; false with an error set
// when one is not a pair of ints giving a range of them.
bool read_bounds(PyObject* sequence, Py_ssize_t index, std::size_t size, std::vector<Bounds>& out) {
  const Py_ssize_t count = PySequence_Size(sequence);
  if (count < 0) return false;
  for (Py_ssize_t at = index; at < count; ++at) {
    PyObject* pair = PySequence_GetItem(sequence, at);
    if (pair == nullptr) return false;
    Py_ssize_t start = -1;
    Py_ssize_t end = -1;
    PyObject* first = PySequence_Size(pair) == 2 ? PySequence_GetItem(pair, 0) : nullptr;
    PyObject* second = first != nullptr ? PySequence_GetItem(pair, 1) : nullptr;
    if (second != nullptr) {
      start = PyLong_AsSsize_t(first);
      end = PyLong_AsSsize_t(second);
    }
    Py_XDECREF(first);
    Py_XDECREF(second);
    Py_DECREF(pair);
    if (PyErr_Occurred()) return false;
    if (start < 0 || start > end || static_cast<std::size_t>(end) > size) {
      PyErr_Format(PyExc_ValueError, "record_json_lines() bounds must be ranges of the %zu bytes", size);
      return false;
    }
    out.push_back({static_cast<std::size_t>(start), static_cast<std::size_t>(end)});
  }
  return true;
}

// Appends the line of `document`, or leaves `out` as it was and returns
// false when the document needs its caller: too large, not plainly UTF-8,
// invalid, or failing to parse.
bool append_line(JsonBuffer& out, std::string_view document, std::size_t limit, const RecordOptions& options,
                 std::string_view origin_head, long long ordinal, long long offset) {
  if (document.size() > limit || !plainly_utf8(document)) return false;
  auto recorded = parse_record(SourceText::borrowed(document, nullptr, nullptr), options);
  // A parse that fails proves nothing of the bytes, and APS text is not read
  // as UTF-8: the caller gives those their error.
  if (!recorded) return false;
  if (recorded.value().document.source_format == SourceFormat::UsptoGrantApsGreenBook && !is_valid_utf8(document))
    return false;
  const std::size_t line_start = out.size();
  out.append(origin_head);
  out.append(R"(,"ordinal":)");
  append_json_int(out, ordinal);
  out.append(R"(,"offset":)");
  append_json_int(out, offset);
  std::string_view invalid;
  if (!append_record_fields_json(out, recorded.value().record, invalid)) {
    out.truncate(line_start);
    return false;
  }
  out.append('\n');
  return true;
}

}  // namespace

PyObject* record_json_lines(PyObject*, PyObject* args, PyObject* kwargs) {
  try {
    std::vector<PyObject*> values;
    if (!match_arguments("record_json_lines", args, kwargs,
                         {"data", "bounds", "index", "limit", "origin_head", "first_ordinal", "base", "sections"}, 8,
                         values))
      return nullptr;
    char* data = nullptr;
    Py_ssize_t size = 0;
    char* head = nullptr;
    Py_ssize_t head_size = 0;
    if (PyBytes_AsStringAndSize(values[0], &data, &size) < 0 ||
        PyBytes_AsStringAndSize(values[4], &head, &head_size) < 0)
      return nullptr;
    const Py_ssize_t index = PyLong_AsSsize_t(values[2]);
    const Py_ssize_t limit = PyLong_AsSsize_t(values[3]);
    const long long first_ordinal = PyLong_AsLongLong(values[5]);
    const long long base = PyLong_AsLongLong(values[6]);
    const int sections = PyObject_IsTrue(values[7]);
    if (PyErr_Occurred() || sections < 0) return nullptr;
    if (index < 0 || limit < 0) {
      PyErr_SetString(PyExc_ValueError, "record_json_lines() index and limit must not be negative");
      return nullptr;
    }
    std::vector<Bounds> bounds;
    if (!read_bounds(values[1], index, static_cast<std::size_t>(size), bounds)) return nullptr;

    // The bytes objects are immutable and held by the caller: the documents
    // are parsed and written without the GIL.
    RecordOptions options;
    options.sections = sections != 0;
    const std::string_view text(data, static_cast<std::size_t>(size));
    const std::string_view origin_head(head, static_cast<std::size_t>(head_size));
    JsonBuffer& out = line_buffer();
    out.clear();
    std::size_t done = 0;
    std::size_t done_bytes = 0;
    {
      WithoutGil unlocked;
      for (const Bounds& document : bounds) {
        const std::string_view bytes = text.substr(document.start, document.end - document.start);
        if (!append_line(out, bytes, static_cast<std::size_t>(limit), options, origin_head,
                         first_ordinal + static_cast<long long>(done), base + static_cast<long long>(document.start)))
          break;
        ++done;
        done_bytes += bytes.size();
      }
    }
    const std::string_view lines = out.view();
    PyObject* result = Py_BuildValue("(y#nn)", lines.data(), static_cast<Py_ssize_t>(lines.size()),
                                     index + static_cast<Py_ssize_t>(done), static_cast<Py_ssize_t>(done_bytes));
    out.shrink_to(kKeptLineCapacity);
    return result;
  } catch (...) {
    return raise_from_current_exception();
  }
}

}  // namespace tessellox::python
