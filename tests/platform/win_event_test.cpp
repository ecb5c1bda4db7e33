// Event objects: which event ends a wait, resets, time-outs, and waits from many threads at
// once (each set must reach the waits that include it, and only those must take it).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "platform/win_event.h"

namespace platform {
namespace {

// Twelve threads, each waiting on a shared stop and on events[i % events.size()] (every other
// one with a time-out) and counting what it takes in taken[i % events.size()]. Stopped and
// joined however the test ends.
struct Takers {
  explicit Takers(std::vector<Event*> events) {
    for (int i = 0; i < 12; ++i)
      threads.emplace_back([this, events, i] {
        const size_t k = i % events.size();
        while (WaitForMultipleObjects({&stop, events[k]}, i % 2 ? INFINITE : 60000) ==
               WAIT_OBJECT_0 + 1)
          ++taken[k];
      });
  }
  ~Takers() { Stop(); }
  void Stop() {
    stop.Set();
    for (auto& t : threads) t.join();
    threads.clear();
  }
  // Sets event k and waits (a second at most) until it is taken: true if taken exactly once.
  bool SetAndTaken(Event& event, size_t k) {
    const int want = taken[k] + 1;
    event.Set();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (taken[k] < want && std::chrono::steady_clock::now() < until) std::this_thread::yield();
    return taken[k] == want;
  }
  Event stop{true, false};
  std::atomic<int> taken[12] = {};
  std::vector<std::thread> threads;
};

TEST(Events, WhichEventEndsAWaitAndWhatItLeaves) {
  Event manual(true, false), automatic(false, false), other(false, false);
  EXPECT_EQ(WaitForMultipleObjects({&manual, &automatic}, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForMultipleObjects({&manual, &automatic}, 20), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForMultipleObjects({}, INFINITE), WAIT_FAILED);
  EXPECT_EQ(WaitForMultipleObjects({&manual, nullptr}, INFINITE), WAIT_FAILED);

  automatic.Set();
  other.Set();
  // The first set one in list order wins; an automatic event is taken by the wait it ends.
  EXPECT_EQ(WaitForMultipleObjects({&manual, &automatic, &other}, 0), WAIT_OBJECT_0 + 1);
  EXPECT_FALSE(automatic.IsSet());
  EXPECT_TRUE(other.IsSet());
  manual.Set();
  EXPECT_EQ(WaitForMultipleObjects({&automatic, &manual}, INFINITE), WAIT_OBJECT_0 + 1);
  EXPECT_TRUE(manual.IsSet());
  manual.Reset();
  EXPECT_EQ(WaitForSingleObject(&manual, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(Event(true, true).IsSet());
}

// Sets from another thread while waits begin and end around them: with an event for each
// thread, exactly the right one wakes, more waits than a set wakes without a second pass; with
// one automatic event shared by all, each set is taken exactly once.
TEST(Events, ManyWaitsAtOnceEachSetTakenOnceByAWaitThatIncludesIt) {
  std::deque<Event> own;
  std::vector<Event*> each;
  for (int i = 0; i < 12; ++i) each.push_back(&own.emplace_back(false, false));
  {
    Takers takers(each);
    for (int round = 1; round <= 300; ++round)
      for (size_t i = 0; i < 12; ++i)
        ASSERT_TRUE(takers.SetAndTaken(own[i], i)) << "thread " << i << ", round " << round;
  }
  Event shared(false, false);
  Takers takers({&shared});
  for (int set = 1; set <= 400; ++set) ASSERT_TRUE(takers.SetAndTaken(shared, 0)) << "set " << set;
  takers.Stop();
  EXPECT_EQ(takers.taken[0], 400);
}

// A set promised while the device's lock is held keeps the event alive until it is made: an
// owner that learns of the completion another way and destroys the event must wait for it.
TEST(Events, AHeldSetKeepsItsEventUntilItIsMade) {
  auto owned = std::make_unique<Event>(true, false);
  Event* event = owned.get();
  event->Hold();
  std::atomic<bool> destroyed{false};
  std::thread owner([&] {
    owned.reset();
    destroyed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(destroyed);
  EXPECT_FALSE(event->IsSet());
  event->SetHeld();
  owner.join();
  EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace platform
