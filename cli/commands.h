#pragma once
#include <atomic>

#include "cli/options.h"

namespace cli {

int RunDrives(const Options& options);
int RunScan(const Options& options, std::atomic<bool>& interrupted);
int RunRecover(const Options& options, std::atomic<bool>& interrupted);
int RunShow(const Options& options, std::atomic<bool>& interrupted);

} // namespace cli
