#include "platform/users.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr char kSystemPath[] = "/usr/local/bin:/usr/bin:/bin";

std::optional<uint32_t> ParseUid(const char* text) {
    if (!text || !*text)
        return std::nullopt;
    uint64_t value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > UINT32_MAX)
            return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

// A program named without a folder is looked for in the system's folders,
// never in a PATH the caller brought along.
std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return name;
    std::string path = kSystemPath;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string candidate = path.substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

bool OwnedFolder(const std::string& path, uint32_t uid) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid;
}

bool OwnedSocket(const std::string& path, uint32_t uid) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == uid;
}

// The environment of the user's program: a few things of the display and the
// language carried over, the user's own places set, nothing else of root's.
std::vector<std::string> UserEnvironment(const InvokingUser& user) {
    std::vector<std::string> env = {"PATH=" + std::string(kSystemPath), "HOME=" + user.Home, "USER=" + user.Name,
                                    "LOGNAME=" + user.Name};
    const std::string runtime = "/run/user/" + std::to_string(user.Uid);
    if (OwnedFolder(runtime, user.Uid)) {
        env.push_back("XDG_RUNTIME_DIR=" + runtime);
        if (OwnedSocket(runtime + "/bus", user.Uid))
            env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + runtime + "/bus");
    }
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES",
                             "XDG_CURRENT_DESKTOP", "XDG_SESSION_TYPE", "DESKTOP_SESSION"})
        if (const char* value = std::getenv(name))
            env.push_back(std::string(name) + "=" + value);
    return env;
}

// What failed in the child, sent back through a pipe that closes on exec.
struct ChildFailure {
    int Step = 0;
    int Error = 0;
};
constexpr const char* kSteps[] = {"", "setgroups", "setgid", "setuid", "the ids did not change", "exec"};

[[noreturn]] void FailInChild(int pipeFd, int step) {
    ChildFailure failure{step, errno};
    [[maybe_unused]] ssize_t n = ::write(pipeFd, &failure, sizeof failure);
    ::_exit(127);
}

} // namespace

bool StartedThroughPkexec() {
    const char* uid = std::getenv("PKEXEC_UID");
    return ::geteuid() == 0 && uid && *uid;
}

std::optional<InvokingUser> InvokingUserOfRoot() {
    if (!StartedThroughPkexec())
        return std::nullopt;
    const std::optional<uint32_t> uid = ParseUid(std::getenv("PKEXEC_UID"));
    if (!uid || *uid == 0)
        return std::nullopt;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(static_cast<uid_t>(*uid), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    InvokingUser user;
    user.Uid = *uid;
    user.Gid = static_cast<uint32_t>(found->pw_gid);
    user.Name = found->pw_name ? found->pw_name : "";
    user.Home = found->pw_dir && *found->pw_dir ? found->pw_dir : "/";
    return user;
}

bool StartAsUser(const InvokingUser& user, const std::vector<std::string>& argv, std::string& error) {
    if (argv.empty() || user.Uid == 0) {
        error = "nothing to start";
        return false;
    }
    const std::string program = FindProgram(argv[0]);
    if (program.empty()) {
        error = argv[0] + " was not found";
        return false;
    }
    // Everything the child needs is made here: between fork and exec only
    // plain system calls are safe in a program with threads.
    int groupCount = 64;
    std::vector<gid_t> groups(static_cast<size_t>(groupCount));
    if (::getgrouplist(user.Name.c_str(), static_cast<gid_t>(user.Gid), groups.data(), &groupCount) < 0) {
        groups.resize(static_cast<size_t>(groupCount));
        if (::getgrouplist(user.Name.c_str(), static_cast<gid_t>(user.Gid), groups.data(), &groupCount) < 0) {
            error = "the groups of " + user.Name + " cannot be read";
            return false;
        }
    }
    groups.resize(static_cast<size_t>(groupCount));
    std::vector<std::string> envStrings = UserEnvironment(user);
    std::vector<char*> args, env;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (std::string& e : envStrings)
        env.push_back(e.data());
    env.push_back(nullptr);
    const uid_t uid = static_cast<uid_t>(user.Uid);
    const gid_t gid = static_cast<gid_t>(user.Gid);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    const pid_t middle = ::fork();
    if (middle < 0) {
        error = std::strerror(errno);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return false;
    }
    if (middle == 0) {
        // The program is left to the user's session: it is not our child, and
        // it does not end with our session.
        ::close(pipeFds[0]);
        ::setsid();
        const pid_t child = ::fork();
        if (child != 0)
            ::_exit(child < 0 ? 127 : 0);
        if (::setgroups(groups.size(), groups.data()) != 0)
            FailInChild(pipeFds[1], 1);
        if (::setgid(gid) != 0)
            FailInChild(pipeFds[1], 2);
        if (::setuid(uid) != 0)
            FailInChild(pipeFds[1], 3);
        errno = EPERM;
        if (::getuid() != uid || ::geteuid() != uid || ::getgid() != gid || ::getegid() != gid || ::setuid(0) == 0)
            FailInChild(pipeFds[1], 4);
        if (::chdir(user.Home.c_str()) != 0 && ::chdir("/") != 0)
            FailInChild(pipeFds[1], 5);
#ifdef CLOSE_RANGE_CLOEXEC
        // Root's open files (drives, the X connection) stay with us.
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
#endif
        ::execve(program.c_str(), args.data(), env.data());
        FailInChild(pipeFds[1], 5);
    }
    ::close(pipeFds[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    ChildFailure failure;
    ssize_t n;
    while ((n = ::read(pipeFds[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
    }
    ::close(pipeFds[0]);
    if (n == static_cast<ssize_t>(sizeof failure)) {
        error = std::string("cannot start ") + argv[0] + " as " + user.Name + ": " + kSteps[failure.Step] + ": " +
                std::strerror(failure.Error);
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "cannot start " + argv[0] + " as " + user.Name;
        return false;
    }
    return true;
}

} // namespace platform
