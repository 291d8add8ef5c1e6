// SPDX-License-Identifier: MIT
#ifndef VARNOKET_DESKTOP_CLEAN_COMMAND_H_
#define VARNOKET_DESKTOP_CLEAN_COMMAND_H_

#include <atomic>
#include <functional>
#include <string>

#include "batch/batch_run.h"
#include "desktop/user_message.h"
#include "platform/file_system.h"

namespace varnoket::desktop {

// What a front end may add to a Clean run beyond the two folder texts.
struct CleanCommandOptions {
  // The file operations to use; null means the real disk. "*fileSystem" must
  // outlive the run.
  platform::FileSystem* fileSystem = nullptr;
  // Called after each file, from the run's worker threads, never two calls at
  // once; null for none.
  std::function<void(const BatchProgress&)> onProgress;
  // Once "*stop" is true no further file is started; the files in hand are
  // finished. Null for a run that always goes to its end.
  const std::atomic<bool>* stop = nullptr;
};

// The Clean command of the desktop windows, less the windows: reads the two
// folder fields' texts as FolderFromField does, checks the folders, cleans
// every "*.sgf" file of the source folder into the destination folder, which
// must exist, with one worker per hardware thread, and returns the message
// that tells the user how it went. It touches no window and keeps no state;
// BackgroundCleanCommand runs it on a thread of its own.
UserMessage RunCleanCommand(const std::u16string& sourceText, const std::u16string& destinationText,
                            const CleanCommandOptions& options = {});

}  // namespace varnoket::desktop

#endif  // VARNOKET_DESKTOP_CLEAN_COMMAND_H_
