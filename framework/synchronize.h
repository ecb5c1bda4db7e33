// Running a function on the GUI thread from a worker thread and waiting for it.
//
// Requests go into one queue of our own that the GUI thread runs from its event loop, and that
// it also drains while it waits for a worker to end (WaitServingSynchronize): a worker blocked
// in Synchronize can therefore always finish, even when the GUI thread is itself waiting for
// that worker, which a plain blocking queued call would deadlock on.
#pragma once

#include <chrono>
#include <functional>

namespace framework {

// Runs fn on the GUI thread and waits until it has run. An exception thrown by fn is carried
// back and rethrown here. Called on the GUI thread, fn simply runs.
void Synchronize(const std::function<void()>& fn);

// Runs the pending requests now (GUI thread only). Returns whether any ran.
bool CheckSynchronize();

// GUI thread: waits until done() is true, running synchronize requests meanwhile. done is
// tested each time a request arrives, after each WakeSynchronizeWaiters and at least every
// `poll`.
void WaitServingSynchronize(const std::function<bool()>& done,
                            std::chrono::milliseconds poll = std::chrono::milliseconds(20));

// Tells a waiting GUI thread to test its condition again (a worker calls it as it ends).
void WakeSynchronizeWaiters();

bool IsGuiThread();

}  // namespace framework
