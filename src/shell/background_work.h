#pragma once

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace lirotag {

// Work that may wait on a file (a slow disk, a network share, a song's decoder), run
// off the GUI thread; its result comes back to the GUI thread, to `context`. Results
// still on their way when `context` goes are dropped with it. The owner's destructor
// waits for the work still running, so the work may use what the owner holds.
class BackgroundWork {
 public:
  explicit BackgroundWork(QObject* context) : context_(context) {}
  ~BackgroundWork() { WaitForAll(); }
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;

  // `work()` on a thread of its own, then `done(result)` on the context's thread.
  template <class Work, class Done>
  void Run(Work work, Done done) {
    JoinFinished();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    QObject* context = context_;
    std::thread thread(
        [context, finished, work = std::move(work), done = std::move(done)]() mutable {
          auto result = std::make_shared<decltype(work())>(work());
          QMetaObject::invokeMethod(
              context, [done = std::move(done), result]() mutable { done(std::move(*result)); },
              Qt::QueuedConnection);
          finished->store(true);
        });
    running_.push_back({std::move(thread), std::move(finished)});
  }

  void WaitForAll() {
    for (Running& r : running_) r.thread.join();
    running_.clear();
  }

 private:
  struct Running {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };

  void JoinFinished() {
    for (auto it = running_.begin(); it != running_.end();) {
      if (it->finished->load()) {
        it->thread.join();
        it = running_.erase(it);
      } else {
        ++it;
      }
    }
  }

  QObject* context_;
  std::vector<Running> running_;
};

}  // namespace lirotag
