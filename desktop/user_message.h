// SPDX-License-Identifier: MIT
#ifndef VARNOKET_DESKTOP_USER_MESSAGE_H_
#define VARNOKET_DESKTOP_USER_MESSAGE_H_

#include <string>

#include "batch/batch_run.h"
#include "platform/file_system.h"

namespace varnoket::desktop {

// A message box of the desktop front ends, in Russian. Both the Windows
// program and the Linux front end show exactly this text, so they cannot drift.
struct UserMessage {
  enum class Icon { None, Warning };
  enum class Field { None, Source, Destination };

  std::u16string text;  // lines separated by "\n"
  Icon icon = Icon::None;
  // The folder field that gets the focus after the box closes.
  Field focus = Field::None;
};

// The caption of every message box: "Varnoket".
std::u16string MessageCaption();

// The check before a run: a warning when a folder text is empty or names no
// existing folder, or an empty text (no message) when the run may start.
// "sourceText" and "destinationText" are the fields' texts as typed.
UserMessage CheckBeforeRun(const std::u16string& sourceText, const std::u16string& destinationText,
                           platform::FileSystem* fileSystem = nullptr);

// The completion message for a finished run.
UserMessage DescribeRun(const BatchReport& report);

// The caption of a window while its run goes on: "Очистка…", and once the
// files are counted "Очистка… 1234 из 10288".
std::u16string ProgressCaption(const BatchProgress& progress);

}  // namespace varnoket::desktop

#endif  // VARNOKET_DESKTOP_USER_MESSAGE_H_
