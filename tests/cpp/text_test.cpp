#include "text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessellox {
namespace {

std::optional<std::string> encoded(const std::vector<std::uint32_t>& code_points) {
  std::string out(4 * code_points.size(), '\0');
  const std::optional<std::size_t> written = encode_utf8(code_points, out.data());
  if (!written) return std::nullopt;
  out.resize(*written);
  return out;
}

struct EncodeCase {
  std::vector<std::uint32_t> code_points;
  std::string utf8;
};

class EncodeUtf8 : public testing::TestWithParam<EncodeCase> {};

// The edges of every sequence length, alone and after an ASCII run that the
// four-at-a-time path takes.
TEST_P(EncodeUtf8, GivesTheStandardBytes) {
  EXPECT_EQ(encoded(GetParam().code_points), GetParam().utf8);
  std::vector<std::uint32_t> after_run = {'a', 'b', 'c', 'd', 'e'};
  after_run.insert(after_run.end(), GetParam().code_points.begin(), GetParam().code_points.end());
  EXPECT_EQ(encoded(after_run), "abcde" + GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, EncodeUtf8,
    testing::Values(EncodeCase{{}, ""}, EncodeCase{{0x00}, std::string(1, '\0')}, EncodeCase{{0x7F}, "\x7F"},
                    EncodeCase{{0x80}, "\xC2\x80"}, EncodeCase{{0x7FF}, "\xDF\xBF"},
                    EncodeCase{{0x800}, "\xE0\xA0\x80"}, EncodeCase{{0xD7FF}, "\xED\x9F\xBF"},
                    EncodeCase{{0xE000}, "\xEE\x80\x80"}, EncodeCase{{0xFFFF}, "\xEF\xBF\xBF"},
                    EncodeCase{{0x10000}, "\xF0\x90\x80\x80"}, EncodeCase{{0x10FFFF}, "\xF4\x8F\xBF\xBF"},
                    EncodeCase{{'x', 0xE9, 'y', 0x20AC, 'z', 'w', 'v', 'u'}, "x\xC3\xA9y\xE2\x82\xACzwvu"}));

// A character that is not ASCII at every place of a run long enough for the
// sixteen-at-a-time path, and at the place after it.
TEST(EncodeUtf8, TakesLongAsciiRunsWhereverTheRunEnds) {
  const std::string ascii = "The quick brown fox jumps over the lazy dog, 0123456789.";
  for (std::size_t at = 0; at <= ascii.size(); ++at) {
    std::vector<std::uint32_t> code_points(ascii.begin(), ascii.end());
    code_points.insert(code_points.begin() + static_cast<std::ptrdiff_t>(at), 0x20AC);
    EXPECT_EQ(encoded(code_points), ascii.substr(0, at) + "\xE2\x82\xAC" + ascii.substr(at)) << at;
    code_points[at] = 0xFFFFFFFFu;
    EXPECT_EQ(encoded(code_points), std::nullopt) << at;
  }
}

TEST(EncodeUtf8Refuses, SurrogatesAndValuesBeyondUnicode) {
  for (const std::uint32_t code_point : {0xD800u, 0xDBFFu, 0xDC00u, 0xDFFFu, 0x110000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(encoded({'a', 'b', 'c', 'd', code_point}), std::nullopt) << code_point;
  }
}

}  // namespace
}  // namespace tessellox
