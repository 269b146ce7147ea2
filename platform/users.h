#pragma once
// Who a program started as root through pkexec acts for, and starting a
// program as that user. A program given administrator rights for the user
// must not hand the user root-owned files, nor start the user's desktop
// programs (a file browser that outlives it) as root.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct InvokingUser {
    uint32_t Uid = 0;
    uint32_t Gid = 0;  // the user's primary group
    std::string Name;
    std::string Home;
};

// True when the effective user is root and pkexec said who asked for it
// (PKEXEC_UID), whether or not that user can be found.
bool StartedThroughPkexec();
// That user, when StartedThroughPkexec() and the user is known to the system
// and is not root.
std::optional<InvokingUser> InvokingUserOfRoot();

// Starts `argv` as `user`, detached: with the user's supplementary groups,
// group and user id (each change checked, and root out of reach
// afterwards), and HOME, USER, LOGNAME, XDG_RUNTIME_DIR and the session bus
// set for that user. argv[0] is a full path or a name found in the system's
// own program folders. False, with `error` saying why, when the program was
// not started as that user; then nothing runs.
bool StartAsUser(const InvokingUser& user, const std::vector<std::string>& argv, std::string& error);

} // namespace platform
