#pragma once
// An unprivileged user made for one test (as root) and removed after it.
#include <cstdint>
#include <string>

namespace testing_support {

class ScopedSystemUser {
public:
    // Makes a system user without a home folder; Made() is false when the
    // test does not run as root or useradd failed.
    explicit ScopedSystemUser(const std::string& name);
    ~ScopedSystemUser();
    ScopedSystemUser(const ScopedSystemUser&) = delete;
    ScopedSystemUser& operator=(const ScopedSystemUser&) = delete;

    bool Made() const { return made_; }
    const std::string& Name() const { return name_; }
    uint32_t Uid() const { return uid_; }
    uint32_t Gid() const { return gid_; }

private:
    std::string name_;
    bool made_ = false;
    uint32_t uid_ = 0, gid_ = 0;
};

} // namespace testing_support
