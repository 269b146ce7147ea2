#include "platform/users.h"

// Windows raises a program's rights through its own elevation, which keeps
// the user's identity: there is no pkexec and no other user to act for.
namespace platform {

bool StartedThroughPkexec() { return false; }

std::optional<InvokingUser> InvokingUserOfRoot() { return std::nullopt; }

bool StartAsUser(const InvokingUser&, const std::vector<std::string>&, std::string& error) {
    error = "not available on Windows";
    return false;
}

} // namespace platform
