#include "utf8.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tessellox {
namespace {

const unsigned char* bytes_of(const std::string& text) { return reinterpret_cast<const unsigned char*>(text.data()); }

// Every scalar value encodes, validates as one sequence of its length and
// decodes back to itself.
TEST(Utf8, EveryScalarValueRoundTrips) {
  for (char32_t code_point = 0; code_point <= 0x10FFFF; ++code_point) {
    if (code_point >= 0xD800 && code_point <= 0xDFFF) continue;
    std::string text;
    append_utf8(text, code_point);
    const auto value = static_cast<std::uint32_t>(code_point);
    ASSERT_TRUE(is_valid_utf8(text)) << value;
    if (code_point >= 0x80) {
      ASSERT_EQ(utf8_sequence_length(bytes_of(text), bytes_of(text) + text.size()), text.size()) << value;
    }
    ASSERT_EQ(static_cast<std::uint32_t>(decode_utf8(bytes_of(text), text.size())), value);
  }
}

class Malformed : public testing::TestWithParam<const char*> {};

// Each malformed sequence is rejected alone, and wherever it stands in ASCII
// text, on each side of the boundaries of the many-bytes-at-a-time paths.
TEST_P(Malformed, IsRejectedAtEveryPosition) {
  const std::string sequence = GetParam();
  EXPECT_EQ(utf8_sequence_length(bytes_of(sequence), bytes_of(sequence) + sequence.size()), 0u);
  for (std::size_t position = 0; position <= 80; ++position) {
    const std::string text = std::string(position, 'a') + sequence + std::string(80 - position, 'b');
    ASSERT_FALSE(is_valid_utf8(text)) << position;
  }
}

INSTANTIATE_TEST_SUITE_P(Sequences, Malformed,
                         testing::Values("\x80", "\xBF", "\xC0\x80", "\xC1\xBF", "\xC2", "\xC2\x41", "\xE0\x9F\xBF",
                                         "\xE2\x82", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF0\x8F\xBF\xBF",
                                         "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF0\x90\x80", "\xFF"));

}  // namespace
}  // namespace tessellox
