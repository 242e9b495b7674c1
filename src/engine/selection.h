#pragma once
// Which listing IDs a firing plan refreshes, and what it remembers as its progress.

#include "common/plan.h"

#include <string>

namespace engine {

// Batch sizes beyond the list only repeat its first ID; past this many (or the list's length,
// when longer) the repeats stop, so a mistyped size cannot build a batch without end. A size
// below zero counts as 0.
inline constexpr long long kMaxBatchRepeats = 10000;

// Fixed-point mode: every ID as stored. Batch rotation: the `num` IDs after
// `progress`, continued from the start; positions past the end take the first ID again.
// Any other mode: empty text.
std::string select_ids(const common::Plan& plan);

// The selection's last ID: the progress stored after a firing.
std::string progress_of(const std::string& selection);

} // namespace engine
