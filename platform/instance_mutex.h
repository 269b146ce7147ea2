#pragma once
// The named kernel mutex that marks a running instance on Windows.
#include <string>

namespace platform {

// Creates the mutex `name`, owned by this process until it ends. False when
// another process had already created it; true otherwise, also when the
// mutex could not be made at all (the program then starts as usual).
bool ClaimInstanceMutex(const std::string& name);

} // namespace platform
