#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "foundation/Map.h"
#include "foundation/Vector.h"
#include "scan/ScanResult.h"

namespace {

// The process heap with a count of blocks handed out and returned, and a
// budget after which every allocation fails.
struct SCountingHeap {
    static int allocations;
    static int reallocations;
    static int frees;
    static int budget;  // allocations and reallocations still allowed; -1 for no limit

    static void Reset(int allowed = -1) {
        allocations = reallocations = frees = 0;
        budget = allowed;
    }
    static bool Spend() {
        if (budget == 0) return false;
        if (budget > 0) --budget;
        return true;
    }
    static void* Allocate(size_t bytes) {
        if (!Spend()) return nullptr;
        ++allocations;
        return SProcessHeap::Allocate(bytes);
    }
    static void* Reallocate(void* block, size_t bytes) {
        if (!Spend()) return nullptr;
        ++reallocations;
        return SProcessHeap::Reallocate(block, bytes);
    }
    static void Free(void* block) {
        ++frees;
        SProcessHeap::Free(block);
    }
};
int SCountingHeap::allocations = 0;
int SCountingHeap::reallocations = 0;
int SCountingHeap::frees = 0;
int SCountingHeap::budget = -1;

// An element that counts its deletions, to see what an owning vector deletes.
struct Tracked {
    static int deleted;
    ~Tracked() { ++deleted; }
};
int Tracked::deleted = 0;

using TrackedVector = CVector<Tracked*, SOwnedPtr, Tracked*, SCountingHeap>;
using IdMap = CMap<int, bool, SValue, SValue, int, SCountingHeap>;
using Node = IdMap::Node;

class ContainersTest : public ::testing::Test {
protected:
    void SetUp() override {
        SCountingHeap::Reset();
        Tracked::deleted = 0;
    }
};

// ---- CVector ----

TEST_F(ContainersTest, VectorGrowsTo16Then34Then70KeepingOrder) {
    std::vector<Tracked*> added;
    {
        TrackedVector vector;
        EXPECT_EQ(vector.Count(), 0);
        EXPECT_EQ(vector.Capacity(), 0);
        EXPECT_EQ(SCountingHeap::allocations, 0);
        const int32_t capacityAfter[] = {16, 16, 34, 34, 70, 70, 142};
        const int32_t counts[] = {1, 16, 17, 34, 35, 70, 71};
        for (int step = 0; step < 7; ++step) {
            while (vector.Count() < counts[step]) {
                added.push_back(new Tracked);
                ASSERT_TRUE(vector.Add(added.back()));
            }
            EXPECT_EQ(vector.Capacity(), capacityAfter[step]) << "after " << counts[step];
        }
        EXPECT_EQ(SCountingHeap::allocations, 1);
        EXPECT_EQ(SCountingHeap::reallocations, 3);
        ASSERT_EQ(vector.Count(), 71);
        for (int32_t i = 0; i < vector.Count(); ++i) EXPECT_EQ(vector[i], added[i]) << i;
        EXPECT_EQ(Tracked::deleted, 0);
    }
    EXPECT_EQ(Tracked::deleted, 71);
    EXPECT_EQ(SCountingHeap::frees, 1);
}

TEST_F(ContainersTest, VectorDestructionSkipsNullAndEmptyVectorFreesNothing) {
    { TrackedVector empty; }
    EXPECT_EQ(SCountingHeap::frees, 0);
    {
        TrackedVector vector;
        ASSERT_TRUE(vector.Add(new Tracked));
        ASSERT_TRUE(vector.Add(nullptr));
        ASSERT_TRUE(vector.Add(new Tracked));
        EXPECT_EQ(vector.Count(), 3);
    }
    EXPECT_EQ(Tracked::deleted, 2);
    EXPECT_EQ(SCountingHeap::frees, 1);
}

TEST_F(ContainersTest, VectorFirstAddFailingDeletesTheElementAndLeavesItEmpty) {
    SCountingHeap::Reset(0);
    {
        TrackedVector vector;
        EXPECT_FALSE(vector.Add(new Tracked));
        EXPECT_EQ(Tracked::deleted, 1);
        EXPECT_EQ(vector.Count(), 0);
        EXPECT_EQ(vector.Capacity(), 0);
    }
    EXPECT_EQ(SCountingHeap::frees, 0);
}

TEST_F(ContainersTest, VectorFailedGrowthKeepsTheFirstSixteen) {
    SCountingHeap::Reset(1);
    std::vector<Tracked*> added;
    {
        TrackedVector vector;
        for (int i = 0; i < 16; ++i) {
            added.push_back(new Tracked);
            ASSERT_TRUE(vector.Add(added.back()));
        }
        EXPECT_FALSE(vector.Add(new Tracked));
        EXPECT_EQ(Tracked::deleted, 1);
        EXPECT_EQ(vector.Count(), 16);
        EXPECT_EQ(vector.Capacity(), 16);
        for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(vector[i], added[i]) << i;

        // Memory back: adding resumes where it stopped.
        SCountingHeap::budget = -1;
        ASSERT_TRUE(vector.Add(new Tracked));
        EXPECT_EQ(vector.Capacity(), 34);
        EXPECT_EQ(vector[15], added[15]);
    }
    EXPECT_EQ(Tracked::deleted, 18);
    EXPECT_EQ(SCountingHeap::frees, 1);
}

TEST_F(ContainersTest, ShellListReleasesTheNameOfARejectedShell) {
    WideString name;
    ASSERT_TRUE(name.Assign(L"Sub"));
    {
        CVector<CShellInfo*, SOwnedPtr, CShellInfo*, SCountingHeap> shells;
        SCountingHeap::Reset(0);
        EXPECT_FALSE(shells.Add(new CShellInfo(7, name)));
        EXPECT_EQ(name.GetReferenceCount(), 1);
        SCountingHeap::Reset();
        ASSERT_TRUE(shells.Add(new CShellInfo(8, name)));
        EXPECT_EQ(name.GetReferenceCount(), 2);
        EXPECT_EQ(shells[0]->id, 8);
    }
    EXPECT_EQ(name.GetReferenceCount(), 1);
}

// ---- CMap ----

int Height(const IdMap& map, const Node* node) {
    if (node == map.Sentinel()) return 0;
    return 1 + std::max(Height(map, node->left), Height(map, node->right));
}

// Checks one subtree: parent links, key order within (low, high), no red node
// with a red child, equal black counts on every path. Returns the black height.
int CheckSubtree(const IdMap& map, const Node* node, const Node* parent, int64_t low, int64_t high,
                 std::vector<int>& inOrder) {
    if (node == map.Sentinel()) return 1;
    EXPECT_EQ(node->parent, parent) << "key " << node->key;
    EXPECT_GT(node->key, low);
    EXPECT_LT(node->key, high);
    EXPECT_TRUE(node->colour == IdMap::kRed || node->colour == IdMap::kBlack);
    if (node->colour == IdMap::kRed) {
        EXPECT_EQ(node->left->colour, IdMap::kBlack) << "red under red at " << node->key;
        EXPECT_EQ(node->right->colour, IdMap::kBlack) << "red under red at " << node->key;
    }
    int leftBlack = CheckSubtree(map, node->left, node, low, node->key, inOrder);
    inOrder.push_back(node->key);
    int rightBlack = CheckSubtree(map, node->right, node, node->key, high, inOrder);
    EXPECT_EQ(leftBlack, rightBlack) << "black heights differ under " << node->key;
    return leftBlack + (node->colour == IdMap::kBlack ? 1 : 0);
}

// Red-black properties, the sentinel untouched, the key-order chain matching
// the tree both ways, and the count, against the keys expected.
void CheckMap(const IdMap& map, const std::set<int>& expected) {
    const Node* sentinel = map.Sentinel();
    EXPECT_EQ(sentinel->colour, IdMap::kBlack);
    EXPECT_EQ(sentinel->left, sentinel);
    EXPECT_EQ(sentinel->right, sentinel);
    EXPECT_EQ(sentinel->parent, nullptr);
    ASSERT_EQ(map.Count(), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(map.NodesInUse(), map.Count());
    if (expected.empty()) {
        EXPECT_EQ(map.Root(), sentinel);
        return;
    }
    EXPECT_EQ(map.Root()->colour, IdMap::kBlack);
    std::vector<int> inOrder;
    CheckSubtree(map, map.Root(), nullptr, INT64_MIN, INT64_MAX, inOrder);
    EXPECT_EQ(inOrder, std::vector<int>(expected.begin(), expected.end()));

    std::vector<int> chain;
    const Node* previous = nullptr;
    for (const Node* node = map.First(); node != nullptr; node = node->next) {
        EXPECT_EQ(node->prev, previous);
        chain.push_back(node->key);
        previous = node;
        if (chain.size() > expected.size()) break;
    }
    EXPECT_EQ(previous, map.Last());
    EXPECT_EQ(chain, inOrder);
}

void InsertAndCheck(IdMap& map, std::set<int>& keys, int key) {
    ASSERT_TRUE(map.SetAt(key, true));
    keys.insert(key);
    SCOPED_TRACE(testing::Message() << "after inserting " << key);
    CheckMap(map, keys);
}

struct Shape {
    int key;
    int left;   // key of the left child, 0 for none
    int right;  // key of the right child, 0 for none
    unsigned char colour;
};

void ExpectShape(const IdMap& map, const std::vector<Shape>& shapes) {
    for (const Shape& shape : shapes) {
        const Node* node = map.First();
        while (node != nullptr && node->key != shape.key) node = node->next;
        ASSERT_NE(node, nullptr) << shape.key;
        EXPECT_EQ(node->left == map.Sentinel() ? 0 : node->left->key, shape.left) << shape.key;
        EXPECT_EQ(node->right == map.Sentinel() ? 0 : node->right->key, shape.right) << shape.key;
        EXPECT_EQ(node->colour, shape.colour) << shape.key;
    }
}

constexpr unsigned char B = IdMap::kBlack;
constexpr unsigned char R = IdMap::kRed;

struct FixUpCase {
    const char* name;
    std::vector<int> keys;
    int root;
    std::vector<Shape> shape;
};

// Each order ends in one fix-up case, on the left side or its mirror.
TEST_F(ContainersTest, MapFixUpCasesOnBothSides) {
    const FixUpCase cases[] = {
        {"red uncle, parent a left child",
         {5, 3, 8, 1},
         5,
         {{5, 3, 8, B}, {3, 1, 0, B}, {8, 0, 0, B}, {1, 0, 0, R}}},
        {"red uncle, parent a right child",
         {5, 3, 8, 9},
         5,
         {{5, 3, 8, B}, {3, 0, 0, B}, {8, 0, 9, B}, {9, 0, 0, R}}},
        {"black uncle, outer left", {5, 3, 1}, 3, {{3, 1, 5, B}, {1, 0, 0, R}, {5, 0, 0, R}}},
        {"black uncle, outer right", {5, 8, 9}, 8, {{8, 5, 9, B}, {5, 0, 0, R}, {9, 0, 0, R}}},
        {"black uncle, inner left", {5, 3, 4}, 4, {{4, 3, 5, B}, {3, 0, 0, R}, {5, 0, 0, R}}},
        {"black uncle, inner right", {5, 8, 7}, 7, {{7, 5, 8, B}, {5, 0, 0, R}, {8, 0, 0, R}}},
        // A recolouring that climbs to the grandparent and then rotates there.
        {"red uncle then rotation",
         {10, 5, 20, 3, 7, 6, 8, 9},
         7,
         {{7, 5, 10, B}, {5, 3, 6, R}, {10, 8, 20, R}, {8, 0, 9, B}, {9, 0, 0, R}}},
        {"mirror: red uncle then rotation",
         {20, 25, 10, 27, 23, 24, 22, 21},
         23,
         {{23, 20, 25, B}, {25, 24, 27, R}, {20, 10, 22, R}, {22, 21, 0, B}, {21, 0, 0, R}}},
    };
    for (const FixUpCase& fixUp : cases) {
        SCOPED_TRACE(fixUp.name);
        IdMap map;
        std::set<int> keys;
        for (int key : fixUp.keys) InsertAndCheck(map, keys, key);
        ASSERT_NE(map.Root(), map.Sentinel());
        EXPECT_EQ(map.Root()->key, fixUp.root);
        ExpectShape(map, fixUp.shape);
    }
}

TEST_F(ContainersTest, MapEveryOrderOfSevenKeysStaysValid) {
    std::vector<int> order = {-3, -1, 0, 2, 4, 6, INT32_MAX};
    int orders = 0;
    do {
        IdMap map;
        std::set<int> keys;
        for (int key : order) {
            ASSERT_TRUE(map.SetAt(key, true));
            keys.insert(key);
        }
        CheckMap(map, keys);
        if (HasFailure()) {
            ADD_FAILURE() << "first failing order starts with " << order[0];
            return;
        }
        ++orders;
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(orders, 5040);
}

TEST_F(ContainersTest, MapRandomInsertionsWithRepeatsMatchASet) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> draw(-200, 200);
    IdMap map;
    std::set<int> keys;
    for (int i = 0; i < 600 && !HasFailure(); ++i) {
        int key = draw(random);
        EXPECT_EQ(map.Lookup(key), keys.count(key) == 1) << key;
        InsertAndCheck(map, keys, key);
    }
    for (int key = -201; key <= 201; ++key) EXPECT_EQ(map.Lookup(key), keys.count(key) == 1);
}

TEST_F(ContainersTest, MapAscendingAndDescendingRunsStayBalanced) {
    for (int direction : {1, -1}) {
        IdMap map;
        std::set<int> keys;
        for (int n = 1; n <= 1000; ++n) {
            int key = direction * n;
            ASSERT_TRUE(map.SetAt(key, true));
            keys.insert(key);
            ASSERT_LE(Height(map, map.Root()), 2.0 * std::log2(n + 1.0)) << "n " << n;
        }
        CheckMap(map, keys);
    }
}

TEST_F(ContainersTest, MapAllocatesOneBlockPerFourIdsAndFreesThemAll) {
    const int blocksFor[] = {0, 1, 1, 1, 1, 2};
    for (int ids = 1; ids <= 5; ++ids) {
        SCountingHeap::Reset();
        {
            IdMap map;
            for (int id = 1; id <= ids; ++id) ASSERT_TRUE(map.SetAt(id, true));
            EXPECT_EQ(map.BlockCount(), blocksFor[ids]) << ids << " ids";
            EXPECT_EQ(map.NodesInUse(), ids);
            EXPECT_EQ(SCountingHeap::allocations, blocksFor[ids]);
        }
        EXPECT_EQ(SCountingHeap::frees, blocksFor[ids]) << ids << " ids";
    }
}

TEST_F(ContainersTest, MapSetAtOfAPresentKeyOverwritesTheValue) {
    IdMap map;
    ASSERT_TRUE(map.SetAt(42, true));
    ASSERT_TRUE(map.SetAt(42, false));
    EXPECT_EQ(map.Count(), 1);
    EXPECT_EQ(map.NodesInUse(), 1);
    EXPECT_EQ(map.Root()->key, 42);
    EXPECT_FALSE(map.Root()->value);
    EXPECT_EQ(map.First(), map.Root());
    EXPECT_EQ(map.Last(), map.Root());
}

TEST_F(ContainersTest, EmptyMapFindsNothingAndAllocatesNothing) {
    {
        IdMap map;
        for (int key : {0, 1, -1, INT32_MIN, INT32_MAX}) EXPECT_FALSE(map.Lookup(key));
        CheckMap(map, {});
        EXPECT_EQ(map.First(), nullptr);
        EXPECT_EQ(map.Last(), nullptr);
        EXPECT_EQ(map.BlockCount(), 0);
    }
    EXPECT_EQ(SCountingHeap::allocations, 0);
    EXPECT_EQ(SCountingHeap::frees, 0);
}

TEST_F(ContainersTest, MapFailedBlockLeavesTheMapAsItWas) {
    SCountingHeap::Reset(1);
    {
        IdMap map;
        std::set<int> keys;
        for (int key : {40, 10, 30, 20}) InsertAndCheck(map, keys, key);
        const Node* root = map.Root();

        EXPECT_FALSE(map.SetAt(50, true));
        EXPECT_FALSE(map.Lookup(50));
        EXPECT_EQ(map.Root(), root);
        EXPECT_EQ(map.BlockCount(), 1);
        CheckMap(map, keys);

        // A key already present needs no node, so it is still set.
        EXPECT_TRUE(map.SetAt(30, false));
        CheckMap(map, keys);

        SCountingHeap::budget = -1;
        InsertAndCheck(map, keys, 50);
        EXPECT_EQ(map.BlockCount(), 2);
    }
    EXPECT_EQ(SCountingHeap::allocations, 2);
    EXPECT_EQ(SCountingHeap::frees, 2);
}

}  // namespace
