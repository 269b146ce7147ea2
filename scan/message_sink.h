#pragma once
// How workers report to a front end: window-message numbers with two
// parameters. "post" is queued for the receiver's thread.
#include <cstdint>

enum : unsigned {
    kMsgScanStopped = 1037,       // 0x40D: a stopped scan pass has ended
    kMsgRecoveryFinished = 1059,  // 0x423: a recovery job has ended
    kMsgPartitionSearchEnded = 1080,  // 0x438: a full search of an image for lost volumes has ended
};

struct MessageSink {
    virtual ~MessageSink() = default;
    virtual void post(unsigned msg, uintptr_t wparam, intptr_t lparam) = 0;
};
