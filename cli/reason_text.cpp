// SPDX-License-Identifier: MIT
#include "cli/reason_text.h"

namespace varnoket::cli {

std::string_view ReasonText(FailureReason reason) {
  switch (reason) {
    case FailureReason::CannotRead:
      return "cannot read the file";
    case FailureReason::NoGameFound:
      return "no game found";
    case FailureReason::CutShort:
      return "the game record is cut short";
    case FailureReason::CannotWrite:
      return "cannot write the file";
    case FailureReason::OutOfMemory:
      return "not enough memory";
    case FailureReason::CannotReadFolder:
      return "cannot read the folder";
    case FailureReason::FileChanged:
      return "the file changed during cleaning";
    case FailureReason::TooLarge:
      return "the cleaned record is too large";
    case FailureReason::NotExtracted:
      return "not extracted";
    case FailureReason::DamagedArchive:
      return "the archive is damaged";
  }
  return "cannot read the file";
}

std::string_view OutcomeText(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Completed:
      return "completed";
    case RunOutcome::NoSourceGiven:
      return "no source folder given";
    case RunOutcome::NoDestinationGiven:
      return "no destination folder given";
    case RunOutcome::SourceNotFound:
      return "source folder not found";
    case RunOutcome::NotAnArchive:
      return "not an archive Varnoket can read";
    case RunOutcome::DestinationNotFound:
      return "destination folder not found";
    case RunOutcome::CannotCreateDestination:
      return "cannot create the destination folder";
  }
  return "completed";
}

std::string GroupedCount(std::uint64_t count) {
  const std::string digits = std::to_string(count);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

std::string NotKeptText(std::uint64_t count) {
  std::string text = GroupedCount(count);
  text += count == 1 ? " more game not kept" : " more games not kept";
  text += " (--all-games or --split keeps them)";
  return text;
}

}  // namespace varnoket::cli
