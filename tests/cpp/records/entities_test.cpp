#include "records/entities.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tessellox {
namespace {

struct EntityCase {
  std::string_view text;
  std::string_view expected;  // empty when the text stays as written
};

class ResolvedEntities : public ::testing::TestWithParam<EntityCase> {};

TEST_P(ResolvedEntities, ReadAsTheirCharactersWhereTheSetsNameThem) {
  const EntityCase& c = GetParam();
  std::string out = "<";
  EXPECT_EQ(append_resolved_entities(c.text, out), !c.expected.empty()) << c.text;
  EXPECT_EQ(out, "<" + std::string(c.expected)) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ResolvedEntities,
    ::testing::Values(EntityCase{"W&ouml;rwag et al.", "W\u00f6rwag et al."},
                      EntityCase{"Handeg&aring;ard", "Handeg\u00e5ard"},
                      EntityCase{"&copy; 1999 IEEE, pp. 1&ndash;4", "\u00a9 1999 IEEE, pp. 1\u20134"},
                      EntityCase{"&Dgr;T=&lgr;/2&plusmn;&frac12;", "\u0394T=\u03bb/2\u00b1\u00bd"},
                      EntityCase{"&angmsdaa;&thetav;&boxvR;&IOcy;&Ccaron;", "\u29a8\u03d1\u255e\u0401\u010c"},
                      EntityCase{"&amp;lt;", "&lt;"},  // one reference at a time
                      EntityCase{"&nvlt;", "<\u20d2"},
                      // Outside the sets, unclosed, too long, numeric or empty: as written.
                      EntityCase{"f&af;(x) &it; &ouml &angmsdaaa; &#246; &; a & b; AT&T", ""}, EntityCase{"", ""},
                      EntityCase{"&", ""}, EntityCase{"&ouml", ""}));

}  // namespace
}  // namespace tessellox
