#include "desktop/clean_folders.h"

#include "platform/path_text.h"

namespace varnoket::desktop {

UserMessage CleanFolders(const std::u16string& sourceText, const std::u16string& destinationText,
                         const CleanFoldersOptions& options) {
  UserMessage problem = CheckBeforeRun(sourceText, destinationText, options.fileSystem);
  if (!problem.text.empty()) return problem;

  BatchOptions run;
  run.source = platform::PathFromText(sourceText);
  run.destination = platform::PathFromText(destinationText);
  run.createDestination = false;
  run.jobs = 0;  // one worker per hardware thread
  run.fileSystem = options.fileSystem;
  run.onProgress = options.onProgress;
  return DescribeRun(RunBatch(run));
}

}  // namespace varnoket::desktop
