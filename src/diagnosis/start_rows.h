#pragma once

#include <vector>

#include "diagnosis/diagnose.h"
#include "diagnosis/start_watch.h"

namespace qm::diagnosis {

// The rows that tell why this start failed, each item beginning with
// "本次启动": the service's state and how it ended, every log event written
// since the start that tells of a failure, the program that holds the
// connector's port; a notice naming the runner's log directory when none of
// that explains it.
std::vector<Row> StartAttemptRows(const StartAttempt& attempt, const Inspectors& inspectors);

}  // namespace qm::diagnosis
