#include "support/system_user.h"

#ifndef _WIN32
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#endif

namespace testing_support {

ScopedSystemUser::ScopedSystemUser(const std::string& name) : name_(name) {
#ifndef _WIN32
    if (::geteuid() != 0)
        return;
    const std::string quiet = " >/dev/null 2>&1";
    [[maybe_unused]] int leftOver = std::system(("userdel " + name_ + quiet).c_str());  // from a killed run
    if (std::system(("useradd --system --no-create-home --shell /usr/sbin/nologin " + name_ + quiet).c_str()) != 0)
        return;
    if (const passwd* entry = ::getpwnam(name_.c_str())) {
        uid_ = entry->pw_uid;
        gid_ = entry->pw_gid;
        made_ = true;
    }
#endif
}

ScopedSystemUser::~ScopedSystemUser() {
#ifndef _WIN32
    if (made_) {
        [[maybe_unused]] int removed = std::system(("userdel " + name_ + " >/dev/null 2>&1").c_str());
    }
#endif
}

} // namespace testing_support
