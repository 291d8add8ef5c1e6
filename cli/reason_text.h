// SPDX-License-Identifier: MIT
#ifndef VARNOKET_CLI_REASON_TEXT_H_
#define VARNOKET_CLI_REASON_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "batch/batch_run.h"

namespace varnoket::cli {

// The English text of a reason, as the command line prints it.
std::string_view ReasonText(FailureReason reason);

// The English text of a run that could not start.
std::string_view OutcomeText(RunOutcome outcome);

// "149,999": a count with its thousands marked.
std::string GroupedCount(std::uint64_t count);

// "149,999 more games not kept (--all-games or --split keeps them)".
std::string NotKeptText(std::uint64_t count);

}  // namespace varnoket::cli

#endif  // VARNOKET_CLI_REASON_TEXT_H_
