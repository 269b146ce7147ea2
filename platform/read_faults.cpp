#include "platform/read_faults.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sstream>

namespace platform {

namespace {

std::mutex gMutex;
std::map<std::string, std::shared_ptr<const ReadFaultPlan>> gPlans;

bool Overlaps(uint64_t offset, uint64_t length, uint64_t start, uint64_t count) {
    return length > 0 && count > 0 && offset < start + count && start < offset + length;
}

// "fail:OFFSET:LENGTH" and "slow:OFFSET:LENGTH:MS", comma separated; a
// malformed item is skipped rather than guessed at.
std::shared_ptr<const ReadFaultPlan> PlanFromEnvironment() {
    const char* text = std::getenv("DUNRO_TEST_READ_FAULTS");
    if (!text || !*text)
        return nullptr;
    auto plan = std::make_shared<ReadFaultPlan>();
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        std::vector<std::string> parts;
        std::stringstream fields(item);
        std::string field;
        while (std::getline(fields, field, ':'))
            parts.push_back(field);
        char* end = nullptr;
        auto number = [&](const std::string& s) {
            unsigned long long v = std::strtoull(s.c_str(), &end, 0);
            return (end && *end == '\0' && !s.empty()) ? static_cast<uint64_t>(v) : UINT64_MAX;
        };
        if (parts.size() == 3 && parts[0] == "fail") {
            uint64_t offset = number(parts[1]), length = number(parts[2]);
            if (offset != UINT64_MAX && length != UINT64_MAX)
                plan->Failing.push_back({offset, length});
        } else if (parts.size() == 4 && parts[0] == "slow") {
            uint64_t offset = number(parts[1]), length = number(parts[2]), ms = number(parts[3]);
            if (offset != UINT64_MAX && length != UINT64_MAX && ms <= 600'000)
                plan->Slow.push_back({offset, length, static_cast<uint32_t>(ms)});
        }
    }
    return plan;
}

} // namespace

void SetReadFaults(const std::string& path, ReadFaultPlan plan) {
    std::lock_guard lock(gMutex);
    gPlans[path] = std::make_shared<const ReadFaultPlan>(std::move(plan));
}

void ClearReadFaults() {
    std::lock_guard lock(gMutex);
    gPlans.clear();
}

std::shared_ptr<const ReadFaultPlan> ReadFaultsFor(const std::string& path) {
    {
        std::lock_guard lock(gMutex);
        auto it = gPlans.find(path);
        if (it != gPlans.end())
            return it->second;
    }
    static const std::shared_ptr<const ReadFaultPlan> fromEnvironment = PlanFromEnvironment();
    return fromEnvironment;
}

FaultVerdict CheckReadFaults(const ReadFaultPlan& plan, uint64_t offset, uint32_t count) {
    FaultVerdict verdict;
    for (const SlowRange& slow : plan.Slow)
        if (Overlaps(slow.Offset, slow.Length, offset, count))
            verdict.DelayMs = std::max(verdict.DelayMs, slow.DelayMs);
    uint64_t firstBad = UINT64_MAX;
    for (const ByteRange& bad : plan.Failing)
        if (Overlaps(bad.Offset, bad.Length, offset, count))
            firstBad = std::min(firstBad, std::max(bad.Offset, offset));
    if (firstBad != UINT64_MAX) {
        verdict.Fails = true;
        verdict.ReadableBefore = static_cast<uint32_t>(firstBad - offset);
    }
    return verdict;
}

} // namespace platform
