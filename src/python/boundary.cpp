#include "python/boundary.hpp"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <utility>

#include "text.hpp"
#include "utf8.hpp"

namespace tessellox::python {

ModuleTypes& module_types() noexcept {
  // The two class objects, created once; nothing else is kept between calls.
  static ModuleTypes types;
  return types;
}

namespace {

std::string plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string quoted_list(const std::vector<const char*>& names) {
  // CPython: 'a', 'b' and 'c'.
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += (i + 1 == names.size()) ? (names.size() > 2 ? ", and " : " and ") : ", ";
    out += "'";
    out += names[i];
    out += "'";
  }
  return out;
}

void raise_type_error(const std::string& message) { PyErr_SetString(PyExc_TypeError, message.c_str()); }

}  // namespace

bool match_arguments(const char* function, PyObject* args, PyObject* kwargs, const std::vector<const char*>& names,
                     std::size_t required, std::vector<PyObject*>& values) {
  // The function's name for a message: made only when there is one to raise.
  const auto name = [function] { return std::string(function) + "()"; };
  values.assign(names.size(), nullptr);
  const Py_ssize_t positional_count = args ? PyTuple_Size(args) : 0;
  if (positional_count < 0) return false;
  const auto given = static_cast<std::size_t>(positional_count);
  if (given > names.size()) {
    std::string message = name() + " takes ";
    if (required == names.size()) {
      message += plural(names.size(), "positional argument", "positional arguments");
    } else {
      message += "from " + std::to_string(required) + " to " + std::to_string(names.size()) + " positional arguments";
    }
    message += " but " + std::to_string(given) + (given == 1 ? " was" : " were") + " given";
    raise_type_error(message);
    return false;
  }
  for (std::size_t i = 0; i < given; ++i) values[i] = PyTuple_GetItem(args, static_cast<Py_ssize_t>(i));

  if (kwargs) {
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    Py_ssize_t position = 0;
    while (PyDict_Next(kwargs, &position, &key, &value)) {
      if (!PyUnicode_Check(key)) {
        raise_type_error(name() + " keywords must be strings");
        return false;
      }
      // Compared as they are: a keyword that matches is ASCII, like the names.
      std::size_t index = names.size();
      for (std::size_t i = 0; i < names.size() && index == names.size(); ++i)
        if (PyUnicode_CompareWithASCIIString(key, names[i]) == 0) index = i;
      if (index == names.size()) {
        Utf8Argument key_text;
        if (!key_text.convert("keyword", key)) {
          // Running out of memory is no fault of the key's.
          if (PyErr_Occurred() && PyErr_ExceptionMatches(PyExc_MemoryError)) return false;
          PyErr_Clear();
          raise_type_error(name() + " keywords must be strings");
          return false;
        }
        raise_type_error(name() + " got an unexpected keyword argument '" + std::string(key_text.view()) + "'");
        return false;
      }
      if (values[index]) {
        raise_type_error(name() + " got multiple values for argument '" + names[index] + "'");
        return false;
      }
      values[index] = value;
    }
  }

  std::vector<const char*> missing;
  for (std::size_t i = 0; i < required; ++i)
    if (!values[i]) missing.push_back(names[i]);
  if (!missing.empty()) {
    raise_type_error(name() + " missing " +
                     plural(missing.size(), "required positional argument", "required positional arguments") + ": " +
                     quoted_list(missing));
    return false;
  }
  return true;
}

bool Utf8Argument::convert(const char* argument, PyObject* object) {
  if (!PyUnicode_Check(object)) {
    PyObject* type_name = PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__name__");
    Utf8Argument name_text;
    std::string name = "object";
    if (type_name && PyUnicode_Check(type_name) && name_text.convert("name", type_name))
      name = std::string(name_text.view());
    Py_XDECREF(type_name);
    PyErr_Clear();
    raise_type_error(std::string("argument '") + argument + "': '" + name +
                     "' object cannot be converted to 'PyString'");
    return false;
  }
  // ASCII text, most patent documents, CPython copies at memory speed; any
  // other text it encodes a character at a time, at less than half the
  // speed of our pieces. The check is str's own, whatever a subclass says;
  // a lone surrogate falls back to CPython's encoder for its exact error.
  PyObject* ascii = PyObject_CallMethod(reinterpret_cast<PyObject*>(&PyUnicode_Type), "isascii", "O", object);
  if (!ascii) return false;
  const int is_ascii = PyObject_IsTrue(ascii);
  Py_DECREF(ascii);
  if (is_ascii < 0) return false;
  if (is_ascii) {
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(object, &size);
    if (!data) return false;
    Py_INCREF(object);
    owner_ = object;
    view_ = std::string_view(data, static_cast<std::size_t>(size));
    return true;
  }
  if (encode_in_pieces(object)) return true;
  if (PyErr_Occurred()) return false;
  owner_ = PyUnicode_AsUTF8String(object);
  if (!owner_) return false;
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(owner_, &data, &size) < 0) return false;
  view_ = std::string_view(data, static_cast<std::size_t>(size));
  return true;
}

SourceText Utf8Argument::take_source_text() noexcept {
  const std::string_view text = std::exchange(view_, std::string_view());
  if (encoded_) return SourceText::adopted(std::move(encoded_), text.size());
  return SourceText::borrowed(text, std::exchange(owner_, nullptr), [](void* owner) noexcept {
    // Documents are released by CPython's deallocation, with the GIL held.
    Py_XDECREF(static_cast<PyObject*>(owner));
  });
}

bool Utf8Argument::encode_in_pieces(PyObject* text) {
  // Pieces are widened to UCS-4 in a small buffer, then encoded, so memory
  // beyond the result stays bounded whatever the text's length.
  constexpr Py_ssize_t kPieceLength = 16384;
  const Py_ssize_t length = PyUnicode_GetLength(text);
  if (length < 0) return false;
  std::vector<Py_UCS4> piece(static_cast<std::size_t>(length < kPieceLength ? length : kPieceLength));
  // Mostly-ASCII text needs a little over a byte per character; the buffer
  // (left uninitialised: every byte kept is written) doubles when a piece
  // might not fit.
  std::size_t capacity = static_cast<std::size_t>(length) + static_cast<std::size_t>(length) / 4 + 4 * piece.size();
  encoded_ = std::make_unique_for_overwrite<char[]>(capacity);
  std::size_t written = 0;
  for (Py_ssize_t start = 0; start < length; start += kPieceLength) {
    const Py_ssize_t end = length - start < kPieceLength ? length : start + kPieceLength;
    const auto count = static_cast<std::size_t>(end - start);
    PyObject* part = start == 0 && end == length ? (Py_INCREF(text), text) : PyUnicode_Substring(text, start, end);
    if (!part) return false;
    const Py_UCS4* copied = PyUnicode_AsUCS4(part, piece.data(), static_cast<Py_ssize_t>(piece.size()), 0);
    Py_DECREF(part);
    if (!copied) return false;
    if (capacity - written < 4 * count) {
      capacity = 2 * capacity + 4 * count;
      auto larger = std::make_unique_for_overwrite<char[]>(capacity);
      std::memcpy(larger.get(), encoded_.get(), written);
      encoded_ = std::move(larger);
    }
    const std::optional<std::size_t> bytes =
        encode_utf8(std::span<const std::uint32_t>(piece.data(), count), encoded_.get() + written);
    if (!bytes) {
      encoded_.reset();
      return false;
    }
    written += *bytes;
  }
  view_ = std::string_view(encoded_.get(), written);
  return true;
}

PyObject* new_str(std::string_view text) noexcept {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* new_optional_str(const OptString& text) noexcept {
  if (!text) {
    Py_INCREF(Py_None);
    return Py_None;
  }
  return new_str(*text);
}

PyObject* new_str_list(const List<std::string_view>& items) noexcept { return new_list(items, new_str); }

PyObject* raise_value_error(std::string_view message) noexcept {
  PyObject* text = new_str(message);
  if (!text) return nullptr;
  PyErr_SetObject(PyExc_ValueError, text);
  Py_DECREF(text);
  return nullptr;
}

PyObject* raise_from_current_exception() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  } catch (...) {
    PyErr_SetString(PyExc_SystemError, "tessellox: internal error");
    return nullptr;
  }
}

namespace {

// Decodes one UTF-8 character; the text comes from the model, which only
// holds valid UTF-8 (a stray byte would stand for itself).
char32_t next_code_point(std::string_view text, std::size_t& i) noexcept {
  const auto* at = reinterpret_cast<const unsigned char*>(text.data()) + i;
  std::size_t length = *at < 0x80 ? 1 : utf8_sequence_length(at, at + (text.size() - i));
  if (length == 0) length = 1;
  i += length;
  return decode_utf8(at, length);
}

bool is_printable(char32_t c) noexcept {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;                    // control characters
  if (c == 0xAD || c == 0x061C || c == 0x180E || c == 0xFEFF) return false;  // invisible format characters
  if ((c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F)) return false;
  if ((c >= 0xFFF9 && c <= 0xFFFB) || (c & 0xFFFE) == 0xFFFE) return false;  // annotations, noncharacters
  if (c >= 0xE0000 && c <= 0xE007F) return false;                            // tags
  return true;
}

}  // namespace

std::string quoted_debug_string(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('"');
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    const char32_t c = next_code_point(text, i);
    switch (c) {
      case '\t': out += "\\t"; continue;
      case '\r': out += "\\r"; continue;
      case '\n': out += "\\n"; continue;
      case '\0': out += "\\0"; continue;
      case '\\': out += "\\\\"; continue;
      case '"': out += "\\\""; continue;
      default: break;
    }
    if (is_printable(c)) {
      out.append(text.substr(start, i - start));
      continue;
    }
    out += "\\u{";
    bool started = false;
    for (int shift = 20; shift >= 0; shift -= 4) {
      const unsigned digit = (c >> shift) & 0xF;
      if (digit != 0 || started || shift == 0) {
        out.push_back(kHex[digit]);
        started = true;
      }
    }
    out.push_back('}');
  }
  out.push_back('"');
  return out;
}

PyObject* no_constructor(PyTypeObject* type, PyObject*, PyObject*) {
  PyObject* name = PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__name__");
  if (!name) return nullptr;
  PyErr_Format(PyExc_TypeError, "No constructor defined for %U", name);
  Py_DECREF(name);
  return nullptr;
}

PyObject* allocate_instance(PyObject* type) noexcept {
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(reinterpret_cast<PyTypeObject*>(type), Py_tp_alloc));
  return alloc(reinterpret_cast<PyTypeObject*>(type), 0);
}

void free_instance(PyObject* self) noexcept {
  PyTypeObject* type = Py_TYPE(self);
  auto free_function = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_function(self);
  Py_DECREF(reinterpret_cast<PyObject*>(type));  // instances of heap types own a reference to their type
}

}  // namespace tessellox::python
