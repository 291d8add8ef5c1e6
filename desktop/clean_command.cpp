// SPDX-License-Identifier: MIT
#include "desktop/clean_command.h"

#include "desktop/folder_field.h"
#include "platform/path_text.h"

namespace varnoket::desktop {

UserMessage RunCleanCommand(const std::u16string& sourceText, const std::u16string& destinationText,
                            const CleanCommandOptions& options) {
  const std::u16string source = FolderFromField(sourceText);
  const std::u16string destination = FolderFromField(destinationText);
  UserMessage problem = CheckBeforeRun(source, destination, options.fileSystem);
  if (!problem.text.empty()) return problem;

  BatchOptions run;
  run.source = platform::PathFromText(source);
  run.destination = platform::PathFromText(destination);
  run.createDestination = false;
  run.jobs = 0;  // one worker per hardware thread
  run.fileSystem = options.fileSystem;
  run.onProgress = options.onProgress;
  run.stop = options.stop;
  return DescribeRun(RunBatch(run));
}

}  // namespace varnoket::desktop
