// Event objects: which event ends a wait, resets, time-outs, and waits from many threads at
// once (each set must reach the waits that include it, and only those must take it).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/win_event.h"

namespace platform {
namespace {

// Threads that wait until the stop event is set; set and joined however the test ends.
struct Waiters {
  Event stop{true, false};
  std::vector<std::thread> threads;
  ~Waiters() {
    stop.Set();
    for (auto& t : threads) t.join();
  }
};

// Spins until count reaches want or a second has passed.
bool Reaches(const std::atomic<int>& count, int want) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (count < want && std::chrono::steady_clock::now() < until) std::this_thread::yield();
  return count == want;
}

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

// Each thread waits on its own event and a shared stop; sets from another thread must wake
// exactly the right one, many times over, while waits begin and end around them.
TEST(Events, ManyWaitsAtOnceEachWokenByItsOwnEvent) {
  constexpr int kThreads = 12;  // more than a set wakes without walking its list twice
  constexpr int kRounds = 300;
  std::vector<std::unique_ptr<Event>> own;
  for (int i = 0; i < kThreads; ++i) own.push_back(std::make_unique<Event>(false, false));
  std::atomic<int> taken[kThreads] = {};
  Waiters w;
  for (int i = 0; i < kThreads; ++i)
    w.threads.emplace_back([&, i] {
      while (WaitForMultipleObjects({&w.stop, own[i].get()}, i % 2 ? INFINITE : 60000) ==
             WAIT_OBJECT_0 + 1)
        ++taken[i];
    });
  // Each set waits until the one before is taken, so that none is lost in an event already set.
  for (int round = 1; round <= kRounds; ++round)
    for (int i = 0; i < kThreads; ++i) {
      own[i]->Set();
      ASSERT_TRUE(Reaches(taken[i], round)) << "thread " << i << ", round " << round;
    }
}

// One automatic event shared by many waits: each set is taken by exactly one of them.
TEST(Events, AnAutomaticEventSetIsTakenOnce) {
  constexpr int kThreads = 10;
  constexpr int kSets = 400;
  Event shared(false, false);
  std::atomic<int> taken{0};
  {
    Waiters w;
    for (int i = 0; i < kThreads; ++i)
      w.threads.emplace_back([&] {
        while (WaitForMultipleObjects({&w.stop, &shared}, INFINITE) == WAIT_OBJECT_0 + 1) ++taken;
      });
    for (int i = 1; i <= kSets; ++i) {
      shared.Set();
      ASSERT_TRUE(Reaches(taken, i)) << "set " << i << " taken " << taken;
    }
  }
  EXPECT_EQ(taken, kSets);
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
