#include "support/process.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include "support/test_support.h"

namespace fs = std::filesystem;

namespace testing_support {

std::vector<std::string> SplitArguments(const std::string& line) {
    std::vector<std::string> args;
    std::string current;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '\'') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any)
                args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        args.push_back(current);
    return args;
}

namespace {
std::string ReadAndRemove(const fs::path& p) {
    std::string text;
    {
        std::ifstream in(p, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::error_code ec;
    fs::remove(p, ec);
    return text;
}
} // namespace

#ifdef _WIN32

namespace {
std::wstring Wide(const std::string& s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

// Quoting as the C runtime parses a command line.
std::wstring QuoteArgument(const std::wstring& a) {
    if (!a.empty() && a.find_first_of(L" \t\"") == std::wstring::npos)
        return a;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : a) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}
} // namespace

CommandResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment) {
    const fs::path dir = fs::path(DUNRO_BINARY_DIR) / "scratch";
    fs::create_directories(dir);
    const fs::path outPath = dir / ("out-" + ProcessTag()), errPath = dir / ("err-" + ProcessTag());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(outPath.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE err = CreateFileW(errPath.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    std::wstring line = QuoteArgument(Wide(program));
    for (const std::string& a : args)
        line += L" " + QuoteArgument(Wide(a));
    std::wstring block;
    for (const wchar_t* e = GetEnvironmentStringsW(); *e; e += wcslen(e) + 1)
        block += std::wstring(e) + L'\0';
    for (const std::string& e : environment)
        block += Wide(e) + L'\0';
    block += L'\0';
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    CommandResult result;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr,
                       &si, &pi)) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        result.exitCode = static_cast<int>(code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(out);
    CloseHandle(err);
    result.out = ReadAndRemove(outPath);
    result.err = ReadAndRemove(errPath);
    return result;
}

bool SetProcessTimeZone(const char*) { return false; }

#else

namespace {

// The argument and environment arrays posix_spawn takes: the program's name
// and `args`, and this process's environment with `environment` added.
struct SpawnVectors {
    SpawnVectors(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment)
        : argStore{program} {
        argStore.insert(argStore.end(), args.begin(), args.end());
        for (auto& a : argStore)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (char** e = environ; *e; ++e)
            envStore.emplace_back(*e);
        envStore.insert(envStore.end(), environment.begin(), environment.end());
        for (auto& e : envStore)
            envp.push_back(e.data());
        envp.push_back(nullptr);
    }
    std::vector<std::string> argStore, envStore;
    std::vector<char*> argv, envp;
};

} // namespace

CommandResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment) {
    const fs::path dir = fs::path(DUNRO_BINARY_DIR) / "scratch";
    fs::create_directories(dir);
    const fs::path outPath = dir / ("out-" + ProcessTag()), errPath = dir / ("err-" + ProcessTag());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    SpawnVectors spawn(program, args, environment);
    CommandResult result;
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, spawn.argv.data(), spawn.envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = ReadAndRemove(outPath);
    result.err = ReadAndRemove(errPath);
    return result;
}

RunningProgram StartProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& environment) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    SpawnVectors spawn(program, args, environment);
    RunningProgram running;
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, spawn.argv.data(), spawn.envp.data()) == 0)
        running.pid = pid;
    posix_spawn_file_actions_destroy(&actions);
    return running;
}

void KillProgram(RunningProgram& running) {
    if (running.pid <= 0)
        return;
    ::kill(static_cast<pid_t>(running.pid), SIGKILL);
    int status = 0;
    waitpid(static_cast<pid_t>(running.pid), &status, 0);
    running.pid = -1;
}

bool SetProcessTimeZone(const char* zone) {
    if (zone)
        setenv("TZ", zone, 1);
    else
        unsetenv("TZ");
    tzset();
    return true;
}

#endif

bool CanLimitAddressSpace() {
#if defined(_WIN32)
    return false;
#elif defined(__SANITIZE_ADDRESS__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return false;
#else
    return true;
#endif
#else
    return true;
#endif
}

void ExitWithAnswer(const std::string& answer) {
    if (answer == "ok")
        std::_Exit(0);
    std::fputs(answer.c_str(), stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

#ifdef _WIN32
bool LimitAddressSpace(size_t) { return false; }
bool UnlimitAddressSpace() { return false; }
#else
bool LimitAddressSpace(size_t headroom) {
    std::ifstream status("/proc/self/status");
    std::string line;
    uint64_t kilobytes = 0;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0)
            kilobytes = std::strtoull(line.c_str() + 7, nullptr, 10);
    if (kilobytes == 0)
        return false;
    rlimit value{};
    if (getrlimit(RLIMIT_AS, &value) != 0)
        return false;
    value.rlim_cur = kilobytes * 1024 + headroom;  // the hard limit stays, so the soft one can be lifted again
    return setrlimit(RLIMIT_AS, &value) == 0;
}

bool UnlimitAddressSpace() {
    rlimit value{};
    if (getrlimit(RLIMIT_AS, &value) != 0)
        return false;
    value.rlim_cur = value.rlim_max;
    return setrlimit(RLIMIT_AS, &value) == 0;
}
#endif

} // namespace testing_support
