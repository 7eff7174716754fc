#include "records/claim_links.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "records/record.hpp"

namespace tessellox {
namespace {

struct Case {
  std::string_view text;
  std::uint32_t below;
  std::vector<std::uint32_t> expected;
};

class ReferredClaimNumbers : public ::testing::TestWithParam<Case> {};

TEST_P(ReferredClaimNumbers, ReadsTheNumbersAClaimNames) {
  EXPECT_EQ(referred_claim_numbers(GetParam().text, GetParam().below), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, ReferredClaimNumbers,
                         ::testing::Values(Case{"2. The terminal of claim 1 further comprising", 2, {1}},
                                           Case{"as claimed in any one of claims 1 and 2 to 4 and", 5, {1, 2, 3, 4}},
                                           Case{"The method of Claims 1, 3 or 5, wherein", 9, {1, 3, 5}},
                                           Case{"according to claims 2-4", 9, {2, 3, 4}},
                                           Case{"according to claims 2 through 3", 9, {2, 3}},
                                           Case{"The device of claim 1 or claim 1", 9, {1}},
                                           // A claim depends on earlier claims only.
                                           Case{"of claim 7", 3, {}}, Case{"of claim 0", 3, {}},
                                           Case{"the claimed 2 devices; the claimant 1", 9, {}},
                                           Case{"disclaim 1", 9, {}}, Case{"claim", 9, {}}, Case{"claims to 3", 9, {}},
                                           Case{"claim 99999999999999999999", 9, {}}));

// A pre-grant publication of 2002 with `claims` in order, their ids CLM-00001
// on; "[N|claim 3|]" is a reference that targets CLM-0000N.
std::string publication(const std::vector<std::string_view>& claims) {
  std::string text =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE patent-application-publication SYSTEM \"pap-v16-2002-01-01.dtd\" []>\n"
      "<patent-application-publication><subdoc-claims>";
  for (std::size_t i = 0; i < claims.size(); ++i) {
    text += "<claim id=\"CLM-0000" + std::to_string(i + 1) + "\"><claim-text>";
    for (std::size_t at = 0; at < claims[i].size(); ++at) {
      if (claims[i][at] == '[') {
        text += "<dependent-claim-reference depends_on=\"CLM-0000" + std::string(1, claims[i][at + 1]) + "\">";
        at += 2;
      } else if (claims[i].substr(at, 2) == "|]") {
        text += "</dependent-claim-reference>";
        at += 1;
      } else {
        text.push_back(claims[i][at]);
      }
    }
    text += "</claim-text></claim>";
  }
  return text + "</subdoc-claims></patent-application-publication>";
}

struct LinkCase {
  std::vector<std::string_view> claims;
  std::vector<std::uint32_t> last_depends_on;  // of the last claim
};

class ClaimLinks : public ::testing::TestWithParam<LinkCase> {};

TEST_P(ClaimLinks, FollowTheClaimNumbersTheReferencesWordsName) {
  const auto recorded = parse_record(SourceText(publication(GetParam().claims)));
  ASSERT_TRUE(recorded);
  const std::vector<ClaimRecord>& claims = recorded.value().record.claims;
  ASSERT_EQ(claims.size(), GetParam().claims.size());
  EXPECT_EQ(claims.back().depends_on, GetParam().last_depends_on) << claims.back().text;
}

constexpr std::string_view k1 = "<highlight><bold>1</bold></highlight>. A process.";
constexpr std::string_view k2 = "2. The process of [1|claim 1|].";
constexpr std::string_view k3 = "3. The process of [1|claim 1|].";

INSTANTIATE_TEST_SUITE_P(
    Publications, ClaimLinks,
    ::testing::Values(
        // Ids shifted by one: the words hold over the target.
        LinkCase{{k1, k2, "3. The process of [3|claim 2|]."}, {2}},
        LinkCase{{k1, k2, "3. The process of [2|claim 1|]."}, {1}},
        // Lists and ranges, however they are marked up.
        LinkCase{{k1, k2, k3, "4. The process of [2|claim 1|], 2 or 3, wherein 5 parts."}, {1, 2, 3}},
        LinkCase{{k1, k2, k3, "4. As in any one of [2|claims 1|] through <bold>3</bold>."}, {1, 2, 3}},
        LinkCase{{k1, k2, k3, "4. As in claims [2|1|] to [4|3|]."}, {1, 2, 3}},
        LinkCase{{k1, k2, k3, "4. As in claims [2|1|]-[4|3|]."}, {1, 2, 3}},
        LinkCase{{k1, k2, k3, "4. As in claims [2|1|] through [4|3|]."}, {1, 2, 3}},
        LinkCase{{k1, k2, k3, "4. As in [2|claims 1to3|]."}, {1, 2, 3}},
        // Words naming no claim, or none at all: the target.
        LinkCase{{k1, k2, "3. The process of [2|claim 9|]."}, {2}},
        LinkCase{{k1, k2, "3. The process of [2|the above|]."}, {2}},
        // Printed numbers: a run of cancelled claims printed as one.
        LinkCase{{"1.-18. (Cancelled)", "19. A method.", "20. The method of [2|claim 19|]."}, {2}},
        LinkCase{{"1-18. (canceled)", "19. A method.", "20. The method of [2|claim 19|].",
                  "21. As in claims [2|19|] or [3|20|]."},
                 {2, 3}},
        // Only earlier claims, each once.
        LinkCase{{k1, k2, "3. As in [3|claims 1, 1 and 3 to 5|]."}, {1}}));

}  // namespace
}  // namespace tessellox
