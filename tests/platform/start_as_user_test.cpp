// Starting a program as the user a root program works for: the program runs
// with that user's ids and places, never as root.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/users.h"
#include "support/system_user.h"
#include "support/test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace testing_support;

TEST(StartAsUser, TheProgramRunsWithTheUsersIdsAndPlaces) {
    if (!RequireRoot("dropping to another user"))
        return;
    ScopedSystemUser made("dunro-u" + std::to_string(::getpid() % 100000));
    ASSERT_TRUE(made.Made()) << "useradd failed";
    const fs::path dir = fs::path(DUNRO_BINARY_DIR) / "scratch" / ("start-as-user-" + ProcessTag());
    fs::remove_all(dir);
    fs::create_directories(dir);
    ASSERT_EQ(::chown(dir.c_str(), made.Uid(), made.Gid()), 0);

    ::setenv("PKEXEC_UID", std::to_string(made.Uid()).c_str(), 1);
    const std::optional<platform::InvokingUser> user = platform::InvokingUserOfRoot();
    ::unsetenv("PKEXEC_UID");
    ASSERT_TRUE(user);
    EXPECT_EQ(user->Uid, made.Uid());
    EXPECT_EQ(user->Gid, made.Gid());
    EXPECT_EQ(user->Name, made.Name());

    // A stand-in for the desktop's opener: it notes who it runs as.
    const fs::path note = dir / "note", partial = dir / "note.partial";
    const std::string script = "{ id -u; id -g; id -G; echo \"$HOME $USER\"; } > '" + partial.string() + "' && mv '" +
                               partial.string() + "' '" + note.string() + "'";
    std::string error;
    ASSERT_TRUE(platform::StartAsUser(*user, {"sh", "-c", script}, error)) << error;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(note) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream in(note);
    std::string uid, gid, groups, places;
    std::getline(in, uid);
    std::getline(in, gid);
    std::getline(in, groups);
    std::getline(in, places);
    EXPECT_EQ(uid, std::to_string(made.Uid()));
    EXPECT_EQ(gid, std::to_string(made.Gid()));
    EXPECT_EQ(groups, std::to_string(made.Gid())) << "root's supplementary groups were kept";
    EXPECT_EQ(places, user->Home + " " + made.Name());
    fs::remove_all(dir);
}

TEST(StartAsUser, NoInvokingUserWithoutPkexecOrForRoot) {
    ::unsetenv("PKEXEC_UID");
    EXPECT_FALSE(platform::InvokingUserOfRoot());
    EXPECT_FALSE(platform::StartedThroughPkexec());
    if (::geteuid() == 0) {
        ::setenv("PKEXEC_UID", "0", 1);
        EXPECT_TRUE(platform::StartedThroughPkexec());
        EXPECT_FALSE(platform::InvokingUserOfRoot());
        ::setenv("PKEXEC_UID", "12x", 1);
        EXPECT_FALSE(platform::InvokingUserOfRoot());
        ::unsetenv("PKEXEC_UID");
    }
}

#endif
