// SPDX-License-Identifier: MIT
#include "batch/write_queue.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <shared_mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace varnoket {
namespace {

// The bounds of a group's bytes, and the writeback time it may hold.
constexpr std::uint64_t kMinGroupBytes = 8 << 20;
constexpr std::uint64_t kMaxGroupBytes = 256 << 20;
constexpr std::uint64_t kFirstGroupBytes = 32 << 20;
constexpr double kGroupSeconds = 1.0;
// The most files in a group, whatever the open-file limit.
constexpr std::size_t kMaxGroupFiles = 8192;
constexpr unsigned kCommitThreads = 8;

}  // namespace

struct WriteQueue::State {
  struct Waiting {
    platform::StagedFile staged;
    std::size_t tag;
  };

  State(platform::FileSystem& fileSystem, Done onDone, const std::atomic<bool>* stopFlag)
      : files(fileSystem), done(std::move(onDone)), stop(stopFlag) {
    // Each staged file holds a descriptor until it is committed, and two
    // groups are in hand at once, beside the folders and the files being read.
    const std::uint64_t limit = platform::RaiseOpenFileLimit();
    const std::uint64_t spare = limit > 256 ? (limit - 128) / 3 : 32;
    groupFiles = static_cast<std::size_t>(std::min<std::uint64_t>(spare, kMaxGroupFiles));
  }

  bool Full() const { return open.size() >= groupFiles || openBytes >= groupBytes; }

  bool Stopped() const { return stop != nullptr && stop->load(); }

  // Reports every file of "group" stopped; they are discarded.
  void Discard(std::vector<Waiting>* group) {
    for (Waiting& waiting : *group) {
      try {
        Report(&waiting, platform::IoStatus::Error("stopped"), /*stopped=*/true);
      } catch (const std::exception&) {
      }
    }
  }

  // Closes the open group and starts the queue's threads if need be; false
  // when not a single thread could be started. Holds mutex.
  bool CloseGroup() {
    inPipeline += open.size();
    closed.push_back(std::move(open));
    open.clear();
    openBytes = 0;
    for (unsigned i = static_cast<unsigned>(threads.size()); i < kCommitThreads; ++i) {
      try {
        threads.emplace_back([this] { Serve(/*untilIdle=*/false); });
      } catch (const std::system_error&) {
        break;  // fewer threads still finish the work
      }
    }
    changed.notify_all();
    return !threads.empty();
  }

  // Closes the open group, if any, and waits until every file staged so far
  // is committed or reported (files that other writers stage meanwhile may
  // wait in the next open group). Holds "lock".
  void Drain(std::unique_lock<std::mutex>& lock) {
    if (!open.empty() && Stopped()) {
      std::vector<Waiting> group = std::move(open);
      open.clear();
      openBytes = 0;
      lock.unlock();
      Discard(&group);
      lock.lock();
    }
    if (!open.empty() && !CloseGroup()) {
      lock.unlock();
      Serve(/*untilIdle=*/true);
      lock.lock();
    }
    changed.wait(lock, [this] { return inPipeline == 0; });
  }

  // A thread of the queue: flushes closed groups and commits flushed files,
  // until Finish; with "untilIdle", only until nothing is left to do.
  void Serve(bool untilIdle) {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      if (!flushed.empty()) {
        Waiting waiting = std::move(flushed.front());
        flushed.pop_front();
        lock.unlock();
        try {
          Report(&waiting, files.Commit(&waiting.staged));
        } catch (const std::exception&) {
          // Only the report can throw (out of memory); the file is committed.
        }
        lock.lock();
        --inPipeline;
        changed.notify_all();
        continue;
      }
      if (!closed.empty() && Stopped()) {
        std::vector<Waiting> group = std::move(closed.front());
        closed.pop_front();
        lock.unlock();
        Discard(&group);
        lock.lock();
        inPipeline -= group.size();
        changed.notify_all();
        continue;
      }
      if (!closed.empty() && !flushing) {
        std::vector<Waiting> group = std::move(closed.front());
        closed.pop_front();
        flushing = true;
        lock.unlock();
        std::vector<platform::StagedFile*> staged;
        std::uint64_t bytes = 0;
        platform::IoStatus status;
        const auto start = std::chrono::steady_clock::now();
        try {
          staged.reserve(group.size());
          for (Waiting& waiting : group) {
            staged.push_back(&waiting.staged);
            bytes += waiting.staged.size();
          }
          status = files.Flush(staged);
        } catch (const std::exception& error) {
          status = platform::IoStatus::Error(error.what());
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (!status.ok()) {
          // None of them may replace a file: each is discarded and reported.
          for (Waiting& waiting : group) {
            try {
              Report(&waiting, status);
            } catch (const std::exception&) {
            }
          }
        }
        lock.lock();
        flushing = false;
        if (status.ok()) {
          // The next group holds what the disk wrote back in about a second.
          if (took.count() > 0.001 && bytes >= kMinGroupBytes / 8) {
            const double perSecond = static_cast<double>(bytes) / took.count();
            groupBytes = std::clamp(static_cast<std::uint64_t>(perSecond * kGroupSeconds),
                                    kMinGroupBytes, kMaxGroupBytes);
          } else if (took.count() <= 0.001) {
            groupBytes = kMaxGroupBytes;  // the barrier costs nothing here
          }
          for (Waiting& waiting : group) flushed.push_back(std::move(waiting));
        } else {
          inPipeline -= group.size();
        }
        changed.notify_all();
        continue;
      }
      if (stopping || untilIdle) return;
      changed.wait(lock);
    }
  }

  // Commits a new file at once, a replacement when "tight" after its own
  // flush, and otherwise adds a replacement to the open group; reports a
  // failure of Stage ("status").
  void Take(Waiting* waiting, platform::IoStatus status) {
    if (status.ok() && waiting->staged.replaces() && !tight) {
      std::unique_lock<std::mutex> lock(mutex);
      const std::uint64_t size = waiting->staged.size();
      open.push_back(std::move(*waiting));  // from here the queue reports it
      openBytes += size;
      changed.wait(lock, [&] { return !Full() || inPipeline == 0; });
      if (Full() && !CloseGroup()) {
        lock.unlock();
        Serve(/*untilIdle=*/true);
      }
      return;
    }
    if (status.ok() && waiting->staged.replaces()) status = files.Flush({&waiting->staged});
    if (status.ok()) status = files.Commit(&waiting->staged);
    Report(waiting, status);
  }

  void Report(Waiting* waiting, const platform::IoStatus& status, bool stopped = false) {
    Written written;
    written.size = status.ok() ? waiting->staged.size() : 0;
    written.status = status;
    written.stopped = stopped;
    if (status.ok()) written.note = waiting->staged.note();
    waiting->staged = platform::StagedFile();  // closes the file before the report
    done(waiting->tag, written);
  }

  platform::FileSystem& files;
  Done done;
  const std::atomic<bool>* stop;
  // Writers stage under a shared lock; a write that found the disk full is
  // tried again under an exclusive one, so that no other takes the space its
  // retry was given. From then on ("tight") every replacement is committed
  // alone, at once, so that each frees its old blocks before the next.
  std::shared_mutex staging;
  std::atomic<bool> tight{false};
  std::size_t groupFiles = 256;
  std::uint64_t groupBytes = kFirstGroupBytes;

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Waiting> open;  // the group being filled
  std::uint64_t openBytes = 0;
  std::deque<std::vector<Waiting>> closed;  // closed groups waiting for the flush
  bool flushing = false;                    // a closed group is being flushed
  std::deque<Waiting> flushed;              // files waiting to be committed
  std::size_t inPipeline = 0;               // files closed and not yet reported
  bool stopping = false;
  std::vector<std::thread> threads;
};

WriteQueue::WriteQueue(platform::FileSystem& files, Done done, const std::atomic<bool>* stop)
    : state_(std::make_unique<State>(files, std::move(done), stop)) {}

WriteQueue::~WriteQueue() { Finish(); }

void WriteQueue::Write(const platform::FolderHandle& folder, const std::filesystem::path& name,
                       std::string_view bytes, const platform::StageOptions& options,
                       std::size_t tag) {
  State& state = *state_;
  State::Waiting waiting{platform::StagedFile(), tag};
  platform::StageOptions whole = options;
  whole.whole = true;
  {
    // Held until the file is in the queue's hands, so that a retry after a
    // full disk finds it there to commit.
    std::shared_lock<std::shared_mutex> shared(state.staging);
    const platform::IoStatus status =
        state.files.Stage(folder, name, bytes, whole, &waiting.staged);
    if (!status.noSpace()) {
      state.Take(&waiting, status);
      return;
    }
  }
  // Everything staged takes its name first, so that the files it replaces
  // free their blocks; then this one is tried alone.
  std::unique_lock<std::shared_mutex> exclusive(state.staging);
  state.tight = true;
  {
    std::unique_lock<std::mutex> lock(state.mutex);
    state.Drain(lock);
  }
  state.Take(&waiting, state.files.Stage(folder, name, bytes, whole, &waiting.staged));
}

void WriteQueue::Finish() {
  State& state = *state_;
  {
    std::unique_lock<std::mutex> lock(state.mutex);
    state.Drain(lock);
    state.stopping = true;
  }
  state.changed.notify_all();
  for (std::thread& thread : state.threads) thread.join();
  state.threads.clear();
  state.stopping = false;
}

}  // namespace varnoket
