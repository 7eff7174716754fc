#include "records/schema.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "records/record_rows.hpp"

namespace tessellox {
namespace {

// Takes a row's values as the record's writers do, noting each value whose
// type is not its column's, and a row whose values are not one a column.
class CheckingRow {
 public:
  CheckingRow(const TableShape& shape, std::size_t first, std::vector<std::string>& faults)
      : shape_(shape), index_(first), faults_(faults) {}

  template <typename Value>
  void text(const Value&) {
    take(ColumnType::Text);
  }
  template <typename Value>
  void integer(const Value&) {
    take(ColumnType::Integer);
  }
  template <typename Value>
  void flag(const Value&) {
    take(ColumnType::Flag);
  }
  template <typename Items>
  void texts(const Items&) {
    take(ColumnType::TextList);
  }
  void integers(const std::vector<std::uint32_t>&) { take(ColumnType::IntegerList); }
  template <typename Items>
  void entries(const Items& items) {
    nested(take(ColumnType::Entries), items);
  }
  template <typename Items>
  void rows(const Items& items) {
    nested(take(ColumnType::Rows), items);
  }
  // Rows there only when asked for: absent only in a nullable column.
  template <typename Items>
  void rows(const std::optional<Items>& items) {
    const Column* column = take(ColumnType::Rows);
    if (items)
      nested(column, *items);
    else if (column != nullptr && !column->nullable)
      faults_.push_back(std::string(column->name) + ": absent rows in a column that is not nullable");
  }

  void finish() {
    if (index_ != shape_.columns.size())
      faults_.push_back(std::string(shape_.name) + ": " + std::to_string(index_) + " values for " +
                        std::to_string(shape_.columns.size()) + " columns");
  }

 private:
  const Column* take(ColumnType type) {
    if (index_ >= shape_.columns.size()) {
      faults_.push_back(std::string(shape_.name) + ": a value after the last column");
      return nullptr;
    }
    const Column& column = shape_.columns[index_++];
    if (column.type != type)
      faults_.push_back(std::string(shape_.name) + "." + std::string(column.name) + ": a " +
                        std::string(column_type_name(type)) + " value");
    return &column;
  }

  template <typename Items>
  void nested(const Column* column, const Items& items) {
    if (column == nullptr || column->shape == nullptr) return;
    for (const auto& item : items) {
      CheckingRow row(*column->shape, 0, faults_);
      emit_row(row, item);
      row.finish();
    }
  }

  const TableShape& shape_;
  std::size_t index_;
  std::vector<std::string>& faults_;
};

TEST(Schema, EveryRowGivesOneValueOfItsColumnsTypeForEachColumn) {
  DocumentRecord record;
  record.claims.emplace_back();
  record.citations.emplace_back();
  record.foreign_priority.emplace_back();
  record.classifications.emplace_back();
  record.parties.emplace_back();
  record.related_documents.emplace_back();
  record.pct.emplace_back();
  record.text_sections.emplace().emplace_back();
  std::vector<std::string> faults;
  CheckingRow row(documents_shape(), kOriginColumns, faults);
  emit_row(row, record);
  row.finish();
  EXPECT_EQ(faults, std::vector<std::string>{});
}

TEST(Schema, ShapesAreWellFormed) {
  const auto shapes = record_shapes();
  ASSERT_FALSE(shapes.empty());
  EXPECT_EQ(shapes.front(), &documents_shape());
  const auto& origin = documents_shape().columns;
  EXPECT_EQ(origin[0].name, "file");
  EXPECT_EQ(origin[kKeyColumns - 1].name, "ordinal");
  EXPECT_EQ(origin[kOriginColumns - 1].name, "offset");
  for (const TableShape* shape : shapes) {
    EXPECT_EQ(shapes[shape->id], shape) << shape->name;
    std::set<std::string_view> names;
    for (const Column& column : shape->columns) {
      EXPECT_TRUE(names.insert(column.name).second) << shape->name << "." << column.name << " twice";
      const bool nests = column.type == ColumnType::Rows || column.type == ColumnType::Entries;
      EXPECT_EQ(nests, column.shape != nullptr) << shape->name << "." << column.name;
      // A nested table is named as its column, and only the documents nest tables.
      if (column.type == ColumnType::Rows) {
        EXPECT_EQ(column.shape->name, column.name);
        EXPECT_EQ(shape, &documents_shape()) << column.name;
      }
    }
  }
}

}  // namespace
}  // namespace tessellox
