#include "records/claim_links.hpp"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

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

}  // namespace
}  // namespace tessellox
