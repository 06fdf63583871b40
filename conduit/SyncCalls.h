// The sync retry: each Sync Manager call but registering, unregistering and the byte-order
// conversions is tried up to seven times. After a transient answer (syncerr::kTransient) the
// conduit waits a second and tries again; any other answer ends the tries. The card
// information and the database lists are also tried again, at once, while the count they
// bring is 0.
#pragma once

#include <cstdint>
#include <functional>

#include "base/SyncLayouts.h"
#include "conduit/SyncManager.h"

class SyncCalls {
public:
    static constexpr int kTries = 7;
    static constexpr uint32_t kWaitMs = 1000;

    // `sleep` waits the given milliseconds (tests pass a clock of their own).
    SyncCalls(SyncManager& sync, std::function<void(uint32_t ms)> sleep)
        : sync_(sync), sleep_(std::move(sleep)) {}

    SyncManager& Sync() { return sync_; }

    // `call` answers a sync code.
    template <class Call>
    int32_t Retry(Call&& call) {
        return RetryWhileEmpty(call, [] { return false; });
    }

    // Tries again also while `call` answers 0 and `empty()` holds; after the last try a 0
    // answer stands, and the caller sees the empty result.
    template <class Call, class Empty>
    int32_t RetryWhileEmpty(Call&& call, Empty&& empty) {
        int32_t result = syncerr::kOk;
        for (int attempt = 1; attempt <= kTries; ++attempt) {
            result = call();
            const bool again = result == syncerr::kTransient || (result == 0 && empty());
            if (!again || attempt == kTries) break;
            if (result == syncerr::kTransient) sleep_(kWaitMs);
        }
        return result;
    }

private:
    SyncManager& sync_;
    std::function<void(uint32_t)> sleep_;
};
