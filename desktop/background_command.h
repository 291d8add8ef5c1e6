// SPDX-License-Identifier: MIT
#ifndef VARNOKET_DESKTOP_BACKGROUND_COMMAND_H_
#define VARNOKET_DESKTOP_BACKGROUND_COMMAND_H_

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "batch/batch_run.h"
#include "desktop/clean_command.h"
#include "desktop/user_message.h"

namespace varnoket::desktop {

// What a window learns from its run when it asks: the latest progress, and
// the run's message once it has ended.
struct RunNews {
  std::optional<BatchProgress> progress;
  std::optional<UserMessage> message;
};

// One Clean command (RunCleanCommand) on a thread of its own, so that the window
// that started it keeps painting and answering while the files are cleaned.
// The window's thread owns the object: it starts the run and takes the news;
// the run's threads only say that news is waiting, through the "notify"
// function given to Start, which the front end turns into a message to its
// window (a posted window message, a queued call).
class BackgroundCleanCommand {
 public:
  BackgroundCleanCommand() = default;
  // Stops a run still going on (Stop) and waits for it to end.
  ~BackgroundCleanCommand();
  BackgroundCleanCommand(const BackgroundCleanCommand&) = delete;
  BackgroundCleanCommand& operator=(const BackgroundCleanCommand&) = delete;

  // Starts RunCleanCommand(sourceText, destinationText, options) and returns at
  // once; "options.onProgress" and "options.stop" are replaced. "notify" is
  // called on the run's threads when news is waiting and the last call has
  // been answered by TakeNews: for progress at most ten times a second (the
  // first file's at once), and always when the run has ended. A window thus
  // has at most one message pending and redraws its caption no more often
  // than a person can read it, however fast the files go. When no thread can
  // be started the run happens before Start returns, with the same calls.
  // Must not be called while running().
  void Start(std::u16string sourceText, std::u16string destinationText, CleanCommandOptions options,
             std::function<void()> notify);

  // True from Start until TakeNews has handed over the run's message.
  bool running() const { return running_; }

  // Asks the run to start no further file. The files in hand are finished, so
  // none is left half-written, and the run then ends as usual.
  void Stop() { stop_ = true; }

  // The news since the last call. Once it holds the message, the run's thread
  // has ended and the object may start another run.
  RunNews TakeNews();

 private:
  // Called on the run's threads: records news and notifies when the window
  // has not yet been told.
  void Publish(const BatchProgress* progress, UserMessage* message);

  std::function<void()> notify_;
  std::thread thread_;
  bool running_ = false;  // the window's thread only
  std::atomic<bool> stop_{false};

  std::mutex mutex_;                                    // guards what follows
  bool notified_ = false;                               // and not yet answered by TakeNews
  std::chrono::steady_clock::time_point lastNotified_;  // the epoch before the first
  RunNews news_;
};

}  // namespace varnoket::desktop

#endif  // VARNOKET_DESKTOP_BACKGROUND_COMMAND_H_
