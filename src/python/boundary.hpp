// What every entry point shares at the Python boundary: argument matching
// with CPython's own wording, str to UTF-8, core values to Python objects,
// error values to exceptions. Only the files of src/python include Python.h.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "errors.hpp"
#include "model.hpp"

namespace tessellox::python {

// The Document and Claim class objects, created once by module initialisation.
struct ModuleTypes {
  PyObject* document = nullptr;
  PyObject* claim = nullptr;
};
ModuleTypes& module_types() noexcept;

// Matches positional and keyword arguments to `names` (the first `required`
// of them required, the rest defaulting to nullptr). Raises TypeError with
// CPython's wording for `function` on a mismatch and returns false.
bool match_arguments(const char* function, PyObject* args, PyObject* kwargs, const std::vector<const char*>& names,
                     std::size_t required, std::vector<PyObject*>& values);

// The UTF-8 bytes of a str argument. An ASCII str is its own UTF-8: it is
// read where CPython holds it, and a reference to the str keeps it alive.
// Other text is encoded into a buffer of our own. Raises TypeError naming
// `argument` for a non-str, or the encoding error for lone surrogates.
class Utf8Argument {
 public:
  Utf8Argument() = default;
  Utf8Argument(const Utf8Argument&) = delete;
  Utf8Argument& operator=(const Utf8Argument&) = delete;
  ~Utf8Argument() { Py_XDECREF(owner_); }

  // Returns false with an exception set.
  bool convert(const char* argument, PyObject* object);
  std::string_view view() const noexcept { return view_; }
  // The text with what keeps it alive, for a document to hold; the
  // argument is empty afterwards.
  SourceText take_source_text() noexcept;

 private:
  bool encode_in_pieces(PyObject* text);

  PyObject* owner_ = nullptr;        // the str (ASCII) or bytes (a lone surrogate's error path) viewed
  std::unique_ptr<char[]> encoded_;  // ours, for the rest
  std::string_view view_;
};

PyObject* new_str(std::string_view text) noexcept;
PyObject* new_optional_str(const OptString& text) noexcept;
PyObject* new_str_list(const List<std::string_view>& items) noexcept;

// A new list of `make(item)` for every item; nullptr with the exception set
// when one of them fails.
template <class Items, class Make>
PyObject* new_list(const Items& items, Make&& make) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(items.size()));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < items.size(); ++i) {
    PyObject* item = make(items[i]);
    if (!item) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SetItem(list, static_cast<Py_ssize_t>(i), item);  // steals the reference
  }
  return list;
}

// The template argument of the Markdown entry points: absent (nullptr or
// None) or a str, converted once before any work.
class TemplateArgument {
 public:
  // Returns false with an exception set.
  bool convert(PyObject* object);
  std::optional<std::string_view> view() const noexcept {
    return given_ ? std::optional<std::string_view>(text_.view()) : std::nullopt;
  }

 private:
  Utf8Argument text_;
  bool given_ = false;
};

// Markdown of a document with its template, as a new str; shared by
// Document.to_markdown and parse_to_markdown. A document passed as an rvalue
// is released once its sections are rendered.
PyObject* render_to_str(const Document& document, const TemplateArgument& template_text);
PyObject* render_to_str(SourceDocument&& source, const TemplateArgument& template_text);

// Lets other threads run Python while this one works on C++ values alone
// (a parse of immutable text, say); the lock is taken back when the scope
// ends, also when an exception leaves it.
class WithoutGil {
 public:
  WithoutGil() noexcept : state_(PyEval_SaveThread()) {}
  WithoutGil(const WithoutGil&) = delete;
  WithoutGil& operator=(const WithoutGil&) = delete;
  ~WithoutGil() { PyEval_RestoreThread(state_); }

 private:
  PyThreadState* state_;
};

// Raises ValueError whose single argument is `message`; returns nullptr.
PyObject* raise_value_error(std::string_view message) noexcept;

// Raises the exception for a C++ exception that reached the boundary.
PyObject* raise_from_current_exception() noexcept;

// The text between double quotation marks with debug escapes.
std::string quoted_debug_string(std::string_view text);

// A function taking arguments and keywords, as a method table's PyCFunction
// (METH_VARARGS | METH_KEYWORDS).
template <PyObject* (*Function)(PyObject*, PyObject*, PyObject*)>
PyCFunction as_method() {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(Function));
}

// tp_new of classes without constructor.
PyObject* no_constructor(PyTypeObject* type, PyObject* args, PyObject* kwargs);

// Allocation and release through the type's own slots.
PyObject* allocate_instance(PyObject* type) noexcept;
void free_instance(PyObject* self) noexcept;

// Creates the Claim class object; returns nullptr with an exception set.
PyObject* create_claim_type();
PyObject* new_claim(const Claim& claim);

PyObject* create_document_type();
// Takes ownership of `document`.
PyObject* new_document(Document&& document);

}  // namespace tessellox::python
