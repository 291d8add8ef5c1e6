// SPDX-License-Identifier: MIT
#ifndef VARNOKET_TESTS_BATCH_BATCH_TEST_SUPPORT_H_
#define VARNOKET_TESTS_BATCH_BATCH_TEST_SUPPORT_H_

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "platform/byte_source.h"
#include "platform/file_system.h"

namespace varnoket::test {

// The real disk, with faults injected by file name: reads that fail or run
// out of memory, writes that fail as on a full disk, folders that cannot be
// created. Safe to use from the run's worker threads once set up.
class FaultyFileSystem : public platform::FileSystem {
 public:
  using FileSystem::ReadFile;
  std::set<std::string> unreadable;  // file names whose reads are denied
  // File names whose next reads run out of memory, with how many do.
  std::map<std::string, int> outOfMemory;
  bool diskFull = false;           // every write fails
  bool foldersDenied = false;      // creating folders fails
  std::vector<std::string> reads;  // the name of every file read, in order
  // Runs before each write begins, as another program could act then.
  std::function<void(const std::filesystem::path&)> beforeStage;
  // Runs before bytes are appended to a staged file.
  std::function<void()> beforeAppend;

  using FileSystem::OpenFile;
  platform::IoStatus OpenFile(const std::filesystem::path& path,
                              std::unique_ptr<platform::ByteSource>* source,
                              platform::FileIdentity* identity, bool listedAsFile) override {
    const std::string name = path.filename().string();
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      reads.push_back(name);
      const auto failing = outOfMemory.find(name);
      if (failing != outOfMemory.end() && failing->second > 0) {
        --failing->second;
        throw std::bad_alloc();
      }
    }
    if (unreadable.count(name) != 0) return platform::IoStatus::Error("Permission denied");
    return FileSystem::OpenFile(path, source, identity, listedAsFile);
  }

  platform::IoStatus Stage(const platform::FolderHandle& folder, const std::filesystem::path& name,
                           std::string_view bytes, const platform::StageOptions& options,
                           platform::StagedFile* staged) override {
    if (diskFull) return platform::IoStatus::NoSpace("No space left on device");
    if (beforeStage) beforeStage(folder.path() / name);
    return FileSystem::Stage(folder, name, bytes, options, staged);
  }

  platform::IoStatus Append(platform::StagedFile* staged, std::string_view bytes) override {
    if (beforeAppend) beforeAppend();
    return FileSystem::Append(staged, bytes);
  }

  platform::IoStatus CreateFolders(const std::filesystem::path& path) override {
    if (foldersDenied) return platform::IoStatus::Error("Permission denied");
    return FileSystem::CreateFolders(path);
  }

  platform::IoStatus OpenSubfolder(const platform::FolderHandle& base,
                                   const std::filesystem::path& relative, bool create,
                                   platform::FolderHandle* folder) override {
    if (foldersDenied && create) return platform::IoStatus::Error("Permission denied");
    return FileSystem::OpenSubfolder(base, relative, create, folder);
  }

 private:
  std::mutex mutex_;
};

}  // namespace varnoket::test

#endif  // VARNOKET_TESTS_BATCH_BATCH_TEST_SUPPORT_H_
