// The start most link tests share: the link's clock under the test's hand and an open port
// with its packet link over a fresh fake device.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "link/Clock.h"
#include "link/CommPort.h"
#include "link/SLK.h"
#include "testing/FakeSerialEdge.h"

// A front end that wants the thread while the port waits: it notes the link's clock each
// time it gets it, and can do something with it.
struct RecordingIdle final : LineIdle {
    bool IdleWanted() const override { return wanted; }
    void Idle() override {
        at.push_back(LinkClock().NowMs());
        if (onIdle) onIdle();
    }
    // The longest stretch from `start` to `end` in which it did not get the thread.
    uint32_t LongestGap(uint32_t start, uint32_t end) const {
        uint32_t longest = 0, from = start;
        for (uint32_t t : at) {
            longest = std::max(longest, ElapsedMs(from, t));
            from = t;
        }
        return std::max(longest, ElapsedMs(from, end));
    }
    bool wanted = true;
    std::vector<uint32_t> at;
    std::function<void()> onIdle;
};

class FakeLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto edge = std::make_unique<FakeSerialEdge>();
        fake = edge.get();
        port = std::make_unique<TCommPort>(std::move(edge));
        ASSERT_EQ(port->Open(), 0);
        slk = std::make_unique<TSLK>(port.get());
    }

    ScopedManualClock clock;
    FakeSerialEdge* fake = nullptr;
    std::unique_ptr<TCommPort> port;
    std::unique_ptr<TSLK> slk;
};
