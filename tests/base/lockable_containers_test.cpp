#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/lockable_containers.h"

namespace {

template <typename C> void Add(C& c, int v)
{
    if constexpr (requires { c.push_back(v); })
        c.push_back(v);
    else if constexpr (requires { c.push(v); })
        c.push(v);
    else
        c[v] = static_cast<unsigned>(v);
}

template <typename C> class LockableContainer : public testing::Test {
};

using Containers =
    testing::Types<CLockableVector<int>, CLockableQueue<int, 0>, CLockableList<int>, CLockableMap<int, unsigned>>;
TYPED_TEST_SUITE(LockableContainer, Containers);

bool OtherThreadCanLock(const CLockable& l)
{
    bool locked = false;
    std::thread([&] {
        CSingleLock lock(l.GetCriticalSection(), std::try_to_lock);
        locked = lock.owns_lock();
    }).join();
    return locked;
}

TYPED_TEST(LockableContainer, SectionIsRecursiveForItsHolderAndExclusiveForOthers)
{
    TypeParam c;
    CSingleLock outer(c.GetCriticalSection());
    // A holder calls the object's own locked operations: the section must let it in again.
    CSingleLock inner(c.GetCriticalSection(), std::try_to_lock);
    EXPECT_TRUE(inner.owns_lock());
    EXPECT_FALSE(OtherThreadCanLock(c));
    inner.unlock();
    EXPECT_FALSE(OtherThreadCanLock(c));
    outer.unlock();
    EXPECT_TRUE(OtherThreadCanLock(c));
}

TYPED_TEST(LockableContainer, CopyCarriesContentButASectionOfItsOwn)
{
    TypeParam c;
    Add(c, 1);
    CSingleLock lock(c.GetCriticalSection());
    const TypeParam copy(c);
    EXPECT_EQ(copy.size(), 1u);
    EXPECT_TRUE(OtherThreadCanLock(copy));
}

TYPED_TEST(LockableContainer, UpdatesUnderTheSectionAreNotLost)
{
    TypeParam c;
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w)
        writers.emplace_back([&c, w] {
            for (int i = 0; i < 500; ++i) {
                CSingleLock lock(c.GetCriticalSection(), std::defer_lock);
                lock.lock();
                Add(c, w * 500 + i);
            }
        });
    for (std::thread& t : writers)
        t.join();
    EXPECT_EQ(c.size(), 2000u);
}

}  // namespace
