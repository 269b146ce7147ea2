#pragma once
// `dunro partitions`: what each source holds, read from its partition table.
#include "cli/options.h"

namespace cli {

int RunPartitions(const Options& options);

} // namespace cli
