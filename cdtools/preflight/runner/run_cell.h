// One run of the launcher for one cell, from its start to the verdict.
#pragma once

#include <string>
#include <vector>

#include "cell.h"
#include "run_result.h"

namespace preflight {

// Reads back what the launcher will meet, starts it from D: in its job, drives the cell's
// road, watches what it started and what else opened, ends every process that it started,
// and judges. `setUpFailures`: the cell's set-up steps that failed (ApplyCell).
RunResult RunCell(const Cell& cell, const std::vector<std::wstring>& setUpFailures);

}  // namespace preflight
