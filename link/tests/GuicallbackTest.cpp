#include "link/Guicallback.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(GuicallbackIdle, TheHookIsWantedOnlyWhileBoundAndNeverRunsInsideItself) {
    GuiCallback callback(nullptr);
    EXPECT_FALSE(callback.IdleWanted());
    callback.Idle();  // nothing bound: nothing happens

    int runs = 0;
    bool wantedInside = true;
    {
        // The hook pumps messages, and one of them sets off another wait of the engine.
        const ScopedIdleHook bound(callback, [&] {
            ++runs;
            wantedInside = callback.IdleWanted();
            callback.Idle();
        });
        EXPECT_TRUE(callback.IdleWanted());
        callback.Idle();
        EXPECT_EQ(runs, 1);
        EXPECT_FALSE(wantedInside) << "a wait inside the hook must not slice itself for it";
        EXPECT_TRUE(callback.IdleWanted());
    }
    EXPECT_FALSE(callback.IdleWanted()) << "unbound when the engine call is over";
    callback.Idle();
    EXPECT_EQ(runs, 1);
}

TEST(GuicallbackIdle, AnErrorThroughTheHookLeavesItUsable) {
    GuiCallback callback(nullptr);
    int runs = 0;
    callback.SetIdleHook([&] {
        if (++runs == 1) throw std::runtime_error("from the GUI layer");
    });
    EXPECT_THROW(callback.Idle(), std::runtime_error);
    EXPECT_TRUE(callback.IdleWanted());
    callback.Idle();
    EXPECT_EQ(runs, 2);
}

}  // namespace
