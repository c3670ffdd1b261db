// twin_test.cpp: the twin index (module Twin): grouped by corner and by hash, long groups sorted,
// records of any stride, reverses whose corners no facet has, and a failed allocation.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <random>
#include <set>
#include <vector>

#include "ModelTestSupport.h"
#include "vxmTwin.h"

namespace {

struct Corners {
  int32_t v[3];
};

// The rule by a search of the whole table: some facet is a rotation of (a, c, b).
bool holdsReverse(const std::vector<Corners>& facets, int32_t a, int32_t b, int32_t c) {
  for (const Corners& g : facets)
    if ((g.v[0] == a && g.v[1] == c && g.v[2] == b) || (g.v[0] == c && g.v[1] == b && g.v[2] == a) ||
        (g.v[0] == b && g.v[1] == a && g.v[2] == c))
      return true;
  return false;
}

// Every facet of the table, and every facet reversed, asked of the index and of the search.
void expectSameAnswers(const std::vector<Corners>& facets, const VxmTwinIndex& index, const char* what) {
  for (size_t i = 0; i < facets.size(); ++i) {
    const int32_t* v = facets[i].v;
    EXPECT_EQ(vxmTwinIndexHoldsReverse(&index, v[0], v[1], v[2]), holdsReverse(facets, v[0], v[1], v[2]))
        << what << " facet " << i << " (" << v[0] << "," << v[1] << "," << v[2] << ")";
    EXPECT_EQ(vxmTwinIndexHoldsReverse(&index, v[1], v[0], v[2]), holdsReverse(facets, v[1], v[0], v[2]))
        << what << " facet " << i << " reversed";
  }
}

class TwinIndex : public ModelFolderTest {};

}  // namespace

TEST_F(TwinIndex, NarrowCornersAreGroupedByCorner) {
  std::mt19937 rng(11);
  for (int round = 0; round < 100; ++round) {
    const int32_t base = (int32_t)(rng() % 7) - 3, span = 2 + (int32_t)(rng() % 6);
    std::vector<Corners> facets(1 + rng() % 60);
    for (Corners& f : facets)
      for (int32_t& v : f.v) v = base + (int32_t)(rng() % span);
    VxmTwinIndex index;
    ASSERT_TRUE(vxmTwinIndexMake(&index, facets.data(), sizeof(Corners), (int32_t)facets.size()));
    EXPECT_EQ(index.mask, 0u);  // the corners span less than twice the table
    expectSameAnswers(facets, index, "narrow");
    vxmTwinIndexFree(&index);
  }
  expectNoLeak();
}

TEST_F(TwinIndex, WideCornersAreGroupedByHash) {
  const int32_t corners[] = {INT32_MIN, INT32_MIN + 1, -70000, -1, 0, 1, 5, 99991, 1 << 30, INT32_MAX - 1, INT32_MAX};
  std::mt19937 rng(12);
  for (int round = 0; round < 100; ++round) {
    std::vector<Corners> facets(1 + rng() % 40);
    for (Corners& f : facets)
      for (int32_t& v : f.v) v = corners[rng() % (sizeof corners / sizeof corners[0])];
    // Smallest corners from INT32_MIN to INT32_MAX - 1: a span beyond 32 bits.
    facets[0] = {{INT32_MIN, INT32_MAX, 0}};
    facets.push_back({{INT32_MAX, INT32_MAX - 1, INT32_MAX}});
    VxmTwinIndex index;
    ASSERT_TRUE(vxmTwinIndexMake(&index, facets.data(), sizeof(Corners), (int32_t)facets.size()));
    EXPECT_NE(index.mask, 0u);
    expectSameAnswers(facets, index, "wide");
    vxmTwinIndexFree(&index);
  }
  expectNoLeak();
}

// A fan about one corner puts every facet in one group, which is sorted and halved; the records
// here are twenty bytes with the corners first, as the import's are.
TEST_F(TwinIndex, ALongGroupIsSortedAndSearchedByHalves) {
  struct Record {
    int32_t v[3];
    uint32_t colour;
    int32_t other;
  };
  static_assert(sizeof(Record) == 20, "a record of twenty bytes");
  std::vector<Record> records;
  std::vector<Corners> facets;
  for (int32_t k = 1; k <= 300; ++k) {
    Corners f = {{0, k, k + 1}};
    if (k % 3 == 0) f = {{k + 1, k, 0}};  // every third one turned over
    if (k % 5 == 0) f = {{k, k + 1, 0}};  // a rotation of the first kind
    facets.push_back(f);
  }
  facets.push_back({{0, 4, 3}});  // the twin of (0, 3, 4), which is turned over above
  // In no order, so that the group is sorted by the index, not by the table.
  std::shuffle(facets.begin(), facets.end(), std::mt19937(13));
  for (const Corners& f : facets) records.push_back({{f.v[0], f.v[1], f.v[2]}, 0x123456u, -7});
  VxmTwinIndex index;
  ASSERT_TRUE(vxmTwinIndexMake(&index, records.data(), sizeof(Record), (int32_t)records.size()));
  EXPECT_EQ(index.starts[1] - index.starts[0], 301);  // one group holds them all
  expectSameAnswers(facets, index, "fan");
  EXPECT_TRUE(vxmTwinIndexHoldsReverse(&index, 0, 3, 4));
  EXPECT_TRUE(vxmTwinIndexHoldsReverse(&index, 4, 0, 3));
  EXPECT_FALSE(vxmTwinIndexHoldsReverse(&index, 0, 1, 2));
  vxmTwinIndexFree(&index);
  EXPECT_EQ(index.triples, nullptr);
  expectNoLeak();
}

// A facet with a repeated corner is a rotation of its own reverse; reverses with corners below
// or above every indexed one, or in a group no facet has, are not held.
TEST_F(TwinIndex, RepeatedCornersAndCornersNoFacetHas) {
  const std::vector<Corners> facets = {{{5, 6, 6}}, {{7, 7, 5}}, {{9, 8, 10}}, {{20, 30, 40}}};
  VxmTwinIndex index;
  ASSERT_TRUE(vxmTwinIndexMake(&index, facets.data(), sizeof(Corners), (int32_t)facets.size()));
  EXPECT_TRUE(vxmTwinIndexHoldsReverse(&index, 5, 6, 6));
  EXPECT_TRUE(vxmTwinIndexHoldsReverse(&index, 7, 7, 5));
  EXPECT_FALSE(vxmTwinIndexHoldsReverse(&index, 9, 8, 10));
  EXPECT_TRUE(vxmTwinIndexHoldsReverse(&index, 9, 10, 8));
  EXPECT_TRUE(vxmTwinIndexHoldsReverse(&index, 40, 30, 20));  // (20, 40, 30) reversed is (20, 30, 40)
  EXPECT_FALSE(vxmTwinIndexHoldsReverse(&index, 1, 2, 3));
  EXPECT_FALSE(vxmTwinIndexHoldsReverse(&index, 41, 42, 43));
  EXPECT_FALSE(vxmTwinIndexHoldsReverse(&index, INT32_MIN, 0, INT32_MAX));
  EXPECT_FALSE(vxmTwinIndexHoldsReverse(&index, 12, 13, 14));
  vxmTwinIndexFree(&index);
  expectNoLeak();
}

// The smallest rotation, for a reference kept in a set.
std::array<int32_t, 3> smallest(int32_t a, int32_t b, int32_t c) {
  std::array<int32_t, 3> best = {a, b, c};
  best = std::min(best, std::array<int32_t, 3>{b, c, a});
  return std::min(best, std::array<int32_t, 3>{c, a, b});
}

// Tables large enough for the index to be made in two parts, one beside the caller, with narrow
// and with wide corners: every answer as a set of the facets' smallest rotations gives it.
TEST_F(TwinIndex, LargeTablesAreMadeInTwoPartsWithTheSameAnswers) {
  for (int wide = 0; wide < 2; ++wide) {
    std::mt19937 rng(20 + wide);
    std::vector<Corners> facets(100000);
    for (Corners& f : facets)
      for (int32_t& v : f.v) v = wide ? (int32_t)(rng() % 300) * 7000000 - 1000000000 : (int32_t)(rng() % 300);
    std::set<std::array<int32_t, 3>> held;
    for (const Corners& f : facets) held.insert(smallest(f.v[0], f.v[1], f.v[2]));
    VxmTwinIndex index;
    ASSERT_TRUE(vxmTwinIndexMake(&index, facets.data(), sizeof(Corners), (int32_t)facets.size()));
    EXPECT_EQ(index.mask != 0, wide == 1);
    EXPECT_EQ(index.starts[index.groups], 100000);
    int wrong = 0, twins = 0;
    for (size_t i = 0; i < facets.size(); ++i) {
      const int32_t* v = facets[i].v;
      const bool expected = held.count(smallest(v[0], v[2], v[1])) > 0;
      twins += expected;
      wrong += vxmTwinIndexHoldsReverse(&index, v[0], v[1], v[2]) != expected;
      wrong += vxmTwinIndexHoldsReverse(&index, v[2], v[0], v[1]) != (held.count(smallest(v[2], v[1], v[0])) > 0);
    }
    EXPECT_EQ(wrong, 0) << (wide ? "wide" : "narrow");
    EXPECT_GT(twins, 0);
    EXPECT_LT(twins, 100000);
    vxmTwinIndexFree(&index);
  }
  expectNoLeak();
}

TEST_F(TwinIndex, AFailedAllocationHoldsNothing) {
  const std::vector<Corners> facets = {{{0, 1, 2}}, {{0, 2, 1}}};
  VxmTwinIndex index;
  vxmMemFailAfter(0);
  EXPECT_FALSE(vxmTwinIndexMake(&index, facets.data(), sizeof(Corners), 2));
  vxmMemFailAfter(-1);
  EXPECT_EQ(index.triples, nullptr);
  EXPECT_EQ(index.starts, nullptr);
  vxmTwinIndexFree(&index);  // harmless after a failure
  EXPECT_FALSE(vxmTwinIndexMake(&index, facets.data(), sizeof(Corners), 0));
  EXPECT_TRUE(trace.lines.empty());  // the caller reports
  expectNoLeak();
}
