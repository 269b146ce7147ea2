// A drive the system will not open for this process is told apart from one
// that is not there, so that the user learns that rights are missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform/device.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

#ifndef _WIN32
TEST(Rights, AFileThisProcessMayNotReadIsRefusedForRightsAndAMissingOneIsNot) {
    const fs::path file = fs::temp_directory_path() / ("dunro-rights-" + ProcessTag());
    std::ofstream(file) << "volume";
    ::chmod(file.c_str(), 0);
    const fs::path missing = file.string() + ".missing";
    if (::geteuid() != 0) {
        EXPECT_TRUE(platform::OpenRefusedForRights(file.string()));
        EXPECT_FALSE(platform::OpenRefusedForRights(missing.string()));
        EXPECT_FALSE(platform::HasAdministratorRights());
    } else {
        // Root may read anything: ask as an ordinary user, in a child.
        EXPECT_TRUE(platform::HasAdministratorRights());
        EXPECT_FALSE(platform::OpenRefusedForRights(file.string()));
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(3);
            const bool ok = platform::OpenRefusedForRights(file.string()) &&
                            !platform::OpenRefusedForRights(missing.string()) && !platform::HasAdministratorRights();
            ::_exit(ok ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    fs::remove(file);
}
#endif
