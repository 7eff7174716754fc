// The records schema, declared once: every table, and every column's name,
// type and nullability, in the order a record holds them. The record's dict
// and JSON line take their keys and order from here, and the companion
// package reads the same declaration (tessellox_tools._records.SCHEMA) for
// its Parquet schemas, SQLite columns and dataframes.
//
// The documents table comes first and holds the record's columns: its origin
// (file, member, ordinal, offset), its values, and, under a table's name, the
// rows of each nested table, which a table output writes as a table of its
// own joined to the documents on (file, member, ordinal).
//
// Columns and tables are only ever added, at the end of their table; each
// addition raises kSchemaVersion.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace tessellox {

inline constexpr int kSchemaVersion = 3;

enum class ColumnType : std::uint8_t {
  Text,
  Integer,
  Flag,         // true or false
  TextList,     // a list of text
  IntegerList,  // a list of integers
  Entries,      // a list of entries of the columns of `Column::shape`, kept in its row
  Rows,         // the rows of the nested table `Column::shape`
};

struct TableShape;

struct Column {
  std::string_view name;
  ColumnType type;
  bool nullable;
  const TableShape* shape = nullptr;  // for Entries and Rows
};

// A table's columns, or an entry's (foreign priority claims, kept as a list
// in a document's row).
struct TableShape {
  std::string_view name;
  std::span<const Column> columns;
  std::uint8_t id;  // the position in `record_shapes()`
};

// Every shape: the documents first, then each nested table and entry.
std::span<const TableShape* const> record_shapes() noexcept;

const TableShape& documents_shape() noexcept;

// The origin's four columns open the documents table; a nested table's
// rows are keyed by the first three.
inline constexpr std::size_t kOriginColumns = 4;
inline constexpr std::size_t kKeyColumns = 3;

// The longest column name; a writer can keep each key in a slot of fixed
// size.
inline constexpr std::size_t kMaxColumnNameSize = 28;

std::string_view column_type_name(ColumnType type) noexcept;

}  // namespace tessellox
