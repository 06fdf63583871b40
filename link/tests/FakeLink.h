// The start most link tests share: the link's clock under the test's hand and an open port
// with its packet link over a fresh fake device.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "link/CommPort.h"
#include "link/SLK.h"
#include "testing/FakeSerialEdge.h"

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
