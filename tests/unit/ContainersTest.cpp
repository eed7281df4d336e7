#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "foundation/Vector.h"
#include "scan/vst2/Vst2Report.h"

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

class ContainersTest : public ::testing::Test {
protected:
    void SetUp() override {
        SCountingHeap::Reset();
        Tracked::deleted = 0;
    }
};

// ---- CVector ----

TEST_F(ContainersTest, VectorKeepsOrderAsItGrowsAndDeletesWhatItOwns) {
    std::vector<Tracked*> added;
    {
        TrackedVector vector;
        EXPECT_EQ(vector.Count(), 0);
        for (int i = 0; i < 1000; ++i) {
            added.push_back(new Tracked);
            ASSERT_TRUE(vector.Add(added.back()));
        }
        ASSERT_EQ(vector.Count(), 1000);
        for (int32_t i = 0; i < vector.Count(); ++i) EXPECT_EQ(vector[i], added[i]) << i;
        EXPECT_EQ(Tracked::deleted, 0);
    }
    EXPECT_EQ(Tracked::deleted, 1000);
    EXPECT_EQ(SCountingHeap::frees, SCountingHeap::allocations);
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
    }
    EXPECT_EQ(SCountingHeap::frees, 0);
}

TEST_F(ContainersTest, VectorFailedGrowthKeepsWhatItHeld) {
    // Memory for the first block only: adding fails once that block is full.
    SCountingHeap::Reset(1);
    std::vector<Tracked*> added;
    {
        TrackedVector vector;
        for (;;) {
            Tracked* element = new Tracked;
            if (!vector.Add(element)) break;
            added.push_back(element);
            ASSERT_LT(added.size(), 100000u);
        }
        EXPECT_EQ(Tracked::deleted, 1);
        ASSERT_EQ(vector.Count(), static_cast<int32_t>(added.size()));
        ASSERT_GT(vector.Count(), 0);
        for (int32_t i = 0; i < vector.Count(); ++i) EXPECT_EQ(vector[i], added[i]) << i;

        // Memory back: adding resumes where it stopped.
        SCountingHeap::budget = -1;
        ASSERT_TRUE(vector.Add(new Tracked));
        EXPECT_EQ(vector.Count(), static_cast<int32_t>(added.size()) + 1);
        for (int32_t i = 0; i < vector.Count() - 1; ++i) EXPECT_EQ(vector[i], added[i]) << i;
    }
    EXPECT_EQ(Tracked::deleted, static_cast<int>(added.size()) + 2);
    EXPECT_EQ(SCountingHeap::frees, SCountingHeap::allocations);
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

}  // namespace
