// SPDX-License-Identifier: MIT
#ifndef VARNOKET_TESTS_SUPPORT_GATED_FILE_SYSTEM_H_
#define VARNOKET_TESTS_SUPPORT_GATED_FILE_SYSTEM_H_

#include <climits>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "platform/byte_source.h"
#include "platform/file_system.h"

namespace varnoket::test {

// The real disk, except that every file read waits at a gate until the test
// lets it through: a run then stays under way, with a known number of files
// done, for as long as the test needs, however fast the machine is.
class GatedFileSystem : public platform::FileSystem {
 public:
  using FileSystem::OpenFile;
  platform::IoStatus OpenFile(const std::filesystem::path& path,
                              std::unique_ptr<platform::ByteSource>* source,
                              platform::FileIdentity* identity, bool listedAsFile) override {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      gate_.wait(lock, [this] { return allowed_ > 0; });
      if (allowed_ != INT_MAX) --allowed_;
    }
    return FileSystem::OpenFile(path, source, identity, listedAsFile);
  }

  // Lets "count" more reads through.
  void Allow(int count) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (allowed_ != INT_MAX) allowed_ += count;
    gate_.notify_all();
  }

  // Stops every read again, as before the first Allow.
  void Close() {
    const std::lock_guard<std::mutex> lock(mutex_);
    allowed_ = 0;
  }

  // Lets every read through from now on. A test calls it before it lets a
  // run end, so that no failure of its own leaves the run waiting forever.
  void Open() {
    const std::lock_guard<std::mutex> lock(mutex_);
    allowed_ = INT_MAX;
    gate_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable gate_;
  int allowed_ = 0;
};

}  // namespace varnoket::test

#endif  // VARNOKET_TESTS_SUPPORT_GATED_FILE_SYSTEM_H_
