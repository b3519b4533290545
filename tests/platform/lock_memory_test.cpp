// The ApiLock (recursion depth, leaving and re-entering around host calls) and host memory
// blocks.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/lock.h"
#include "platform/memory.h"

namespace ketra::platform {
namespace {

bool other_thread_can_lock() {
    bool got = false;
    std::thread t([&] {
        if (api_lock().try_lock()) {
            got = true;
            api_lock().unlock();
        }
    });
    t.join();
    return got;
}

TEST(ApiLock, UnlockLeavesFullyAndRestoresDepth) {
    EXPECT_EQ(api_lock_depth(), 0);
    {
        ApiLockGuard a;
        ApiLockGuard b;
        api_enter();
        EXPECT_EQ(api_lock_depth(), 3);
        EXPECT_FALSE(other_thread_can_lock());
        {
            ApiUnlock host_call;
            EXPECT_EQ(api_lock_depth(), 0);
            EXPECT_TRUE(other_thread_can_lock());
            {
                // A nested run from host code takes the lock again and leaves it again.
                ApiLockGuard nested;
                EXPECT_EQ(api_lock_depth(), 1);
                ApiUnlock inner;
                EXPECT_EQ(api_lock_depth(), 0);
            }
            EXPECT_EQ(api_lock_depth(), 0);
        }
        EXPECT_EQ(api_lock_depth(), 3);
        EXPECT_FALSE(other_thread_can_lock());
        api_leave();
    }
    EXPECT_EQ(api_lock_depth(), 0);
    EXPECT_TRUE(other_thread_can_lock());
    // Leaving a lock this thread does not hold is ignored, and so is ApiUnlock without it.
    api_leave();
    { ApiUnlock none; }
    EXPECT_EQ(api_lock_depth(), 0);
}

TEST(ApiLock, DepthIsPerThread) {
    ApiLockGuard g;
    std::atomic<int> seen{-1};
    std::thread t([&] { seen = api_lock_depth(); });
    t.join();
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(api_lock_depth(), 1);
}

// A thread holding the lock at depth 2 and yielding between "clauses" lets a waiting thread in,
// and keeps its depth; with nobody waiting the yield changes nothing.
TEST(ApiLock, YieldLetsAWaiterInAndKeepsTheDepth) {
    ApiLockGuard a;
    ApiLockGuard b;
    api_yield();
    EXPECT_EQ(api_lock_depth(), 2);
    std::atomic<bool> started{false}, entered{false};
    std::thread waiter([&] {
        started = true;
        ApiLockGuard g;
        entered = true;
    });
    while (!started) std::this_thread::yield();
    for (int i = 0; i < 2000000 && !entered; ++i) api_yield();
    EXPECT_TRUE(entered);
    EXPECT_EQ(api_lock_depth(), 2);
    waiter.join();
}

TEST(GlobalMemory, BlocksAreMallocCompatible) {
    auto* p = static_cast<unsigned char*>(global_alloc(64, true));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(p[i], 0);
    std::memset(p, 'x', 64);
    p = static_cast<unsigned char*>(global_realloc(p, 4096));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[63], 'x');
    std::free(p);  // a host frees with free()

    void* empty = global_alloc(0);
    EXPECT_NE(empty, nullptr);
    global_free(empty);
    global_free(nullptr);
    void* local = local_alloc(10, true);
    ASSERT_NE(local, nullptr);
    local_free(local);
}

}  // namespace
}  // namespace ketra::platform
