#include "framework/synchronize.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

namespace framework {

namespace {

struct Request {
  const std::function<void()>* fn;
  std::exception_ptr error;
  bool done = false;
};

struct SyncQueue {
  std::mutex lock;
  std::condition_variable changed;  // a request arrived, one finished, or a waiter was woken
  std::deque<Request*> pending;
  unsigned wakeCount = 0;
};

SyncQueue& Queue() {
  static SyncQueue queue;
  return queue;
}

}  // namespace

bool IsGuiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

void Synchronize(const std::function<void()>& fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || IsGuiThread()) {
    fn();
    return;
  }
  Request request{&fn, nullptr, false};
  SyncQueue& q = Queue();
  {
    std::lock_guard<std::mutex> guard(q.lock);
    q.pending.push_back(&request);
  }
  q.changed.notify_all();
  QMetaObject::invokeMethod(app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(q.lock);
  q.changed.wait(lock, [&] { return request.done; });
  if (request.error) std::rethrow_exception(request.error);
}

bool CheckSynchronize() {
  SyncQueue& q = Queue();
  bool ran = false;
  for (;;) {
    Request* request;
    {
      std::lock_guard<std::mutex> guard(q.lock);
      if (q.pending.empty()) return ran;
      request = q.pending.front();
      q.pending.pop_front();
    }
    try {
      (*request->fn)();
    } catch (...) {
      request->error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> guard(q.lock);
      request->done = true;
    }
    q.changed.notify_all();
    ran = true;
  }
}

void WaitServingSynchronize(const std::function<bool()>& done, std::chrono::milliseconds poll) {
  SyncQueue& q = Queue();
  for (;;) {
    unsigned wakes;
    {
      std::lock_guard<std::mutex> guard(q.lock);
      wakes = q.wakeCount;
    }
    CheckSynchronize();
    if (done()) return;
    std::unique_lock<std::mutex> lock(q.lock);
    q.changed.wait_for(lock, poll, [&] { return !q.pending.empty() || q.wakeCount != wakes; });
  }
}

void WakeSynchronizeWaiters() {
  SyncQueue& q = Queue();
  {
    std::lock_guard<std::mutex> guard(q.lock);
    ++q.wakeCount;
  }
  q.changed.notify_all();
}

}  // namespace framework

