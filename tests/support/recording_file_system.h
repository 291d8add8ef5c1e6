// SPDX-License-Identifier: MIT
#ifndef VARNOKET_TESTS_SUPPORT_RECORDING_FILE_SYSTEM_H_
#define VARNOKET_TESTS_SUPPORT_RECORDING_FILE_SYSTEM_H_

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace varnoket::test {

// The real disk, with a log of every step of a write and a hook that runs
// just before a commit (where another program could change the file).
class RecordingFileSystem : public platform::FileSystem {
 public:
  std::function<void(const std::filesystem::path& target)> beforeCommit;

  platform::IoStatus Stage(const platform::FolderHandle& folder, const std::filesystem::path& name,
                           std::string_view bytes, const platform::StageOptions& options,
                           platform::StagedFile* staged) override {
    platform::IoStatus status = FileSystem::Stage(folder, name, bytes, options, staged);
    if (status.ok()) Log({"stage", name.string(), staged->replaces()});
    return status;
  }

  platform::IoStatus Flush(const std::vector<platform::StagedFile*>& files) override {
    std::string names;
    for (const platform::StagedFile* file : files)
      names += file->target().filename().string() + " ";
    Log({"flush", names, false});
    return FileSystem::Flush(files);
  }

  platform::IoStatus Commit(platform::StagedFile* staged) override {
    if (beforeCommit) beforeCommit(staged->target());
    Log({"commit", staged->target().filename().string(), staged->replaces()});
    return FileSystem::Commit(staged);
  }

  struct Step {
    std::string what;
    std::string names;  // one name, or a flush's names each followed by a space
    bool replaces;
  };
  std::vector<Step> steps;

 private:
  void Log(Step step) {
    std::lock_guard<std::mutex> lock(mutex_);
    steps.push_back(std::move(step));
  }
  std::mutex mutex_;
};

}  // namespace varnoket::test

#endif  // VARNOKET_TESTS_SUPPORT_RECORDING_FILE_SYSTEM_H_
