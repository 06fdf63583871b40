#include "link/SLK.h"

#include <gtest/gtest.h>

#include "link/CommPort.h"
#include "link/tests/FakeLink.h"
#include "testing/Wire.h"

namespace {

using wire::Cat;
using wire::Packet;
using Bytes = std::vector<uint8_t>;

class SLKTest : public FakeLinkTest {
protected:
    struct Got {
        TResult status;
        uint8_t id = 0, type = 0;
        uint16_t size = 0;
        Bytes body;
    };
    Got Receive(uint16_t max) {
        Got g;
        Bytes buffer(max);  // exactly max: a write past it is an ASan failure
        g.status = slk->SLKReceivePacket(max, buffer.data(), &g.id, &g.type, &g.size);
        if (g.status == 0) g.body.assign(buffer.begin(), buffer.begin() + g.size);
        return g;
    }
};

TEST_F(SLKTest, SendWritesLeadInHeaderBodyAndCrcAsFourWritesThenFlushes) {
    const Bytes body = {1, 2, 3};
    ASSERT_EQ(slk->SLKSendPacket(0x12, 0x05, 3, body.data()), 0);
    const Bytes expected = {0x80, 0x80, 0x80, 0xBE, 0xEF, 0xED, 0x00, 0x00, 0x05,
                            0x00, 0x03, 0x12, 0xB4, 0x01, 0x02, 0x03, 0xD0, 0xFC};
    EXPECT_EQ(fake->wire, expected);
    EXPECT_EQ(fake->writeSizes, (std::vector<uint32_t>{3, 10, 3, 2}));
    EXPECT_EQ(fake->flushes, 1u);
}

TEST_F(SLKTest, SendWithEmptyBodyHasTheCrcRightAfterTheHeader) {
    ASSERT_EQ(slk->SLKSendPacket(0xFF, 0x8E, 0, nullptr), 0);
    const Bytes expected = {0x80, 0x80, 0x80, 0xBE, 0xEF, 0xED, 0x00, 0x00,
                            0x8E, 0x00, 0x00, 0xFF, 0x27, 0x33, 0xC7};
    EXPECT_EQ(fake->wire, expected);
}

TEST_F(SLKTest, AFailedWriteEndsTheSendWithNothingMoreWritten) {
    const Bytes body = {1, 2, 3};
    const size_t before[] = {0, 3, 13, 16};  // bytes already out when write k fails
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        SetUp();  // a fresh port and fake per case
        fake->failWriteAt = k;
        EXPECT_EQ(slk->SLKSendPacket(1, 1, 3, body.data()), -615);
        EXPECT_EQ(fake->wire.size(), before[k]);
        EXPECT_EQ(fake->flushes, 0u);
    }
    fake->failWriteAt = -1;
    fake->failing = {FakeSerialEdge::kFlush};
    EXPECT_EQ(slk->SLKSendPacket(1, 1, 3, body.data()), -617);
}

TEST_F(SLKTest, ReceivesPacketsAmidNoiseAsFramed) {
    const Bytes good = Packet(7, 0x85, {0x10, 0xBE, 0x20});
    const Bytes big(300, 0x5A);
    struct Case {
        const char* what;
        Bytes stream;
        uint16_t max;
        bool delivered;
        Bytes body;
    } cases[] = {
        {"plain", good, 3, true, {0x10, 0xBE, 0x20}},
        {"noise first", Cat({{0x00, 0x80, 0x80, 0xEF, 0xED}, good}), 4, true, {0x10, 0xBE, 0x20}},
        {"empty body", Packet(3, 0x87, {}), 0, true, {}},
        {"body at the maximum, two-byte size", Packet(1, 0, big), 300, true, big},
        {"larger than the maximum is skipped, the next is taken",
         Cat({Packet(2, 0x85, {1, 2, 3, 4, 5}), good}),
         4,
         true,
         {0x10, 0xBE, 0x20}},
        {"bad header checksum",
         [&] {
             Bytes b = good;
             b[9] ^= 1;
             return b;
         }(),
         4,
         false,
         {}},
        {"corrupted CRC",
         [&] {
             Bytes b = good;
             b.back() ^= 1;
             return b;
         }(),
         4,
         false,
         {}},
        // A signature byte seen where the second belongs is not taken as a new start.
        {"repeated first signature byte", Cat({{0xBE}, good}), 4, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        fake->Feed(c.stream);
        const Got g = Receive(c.max);
        EXPECT_EQ(g.status == 0, c.delivered);
        if (c.delivered) {
            EXPECT_EQ(g.body, c.body);
            EXPECT_EQ(g.size, c.body.size());
        } else {
            EXPECT_EQ(g.status, -700);
        }
        EXPECT_EQ(fake->Pending(), 0u);
    }
}

TEST_F(SLKTest, TwoPacketsInOneBurstComeOutOnePerCall) {
    const Bytes second = Packet(2, 0x8E, {9});
    fake->Feed(Cat({Packet(1, 0x80, {8}), second}));
    Got g = Receive(4);
    ASSERT_EQ(g.status, 0);
    EXPECT_EQ(g.id, 1);
    EXPECT_EQ(fake->Pending(), second.size());
    g = Receive(4);
    ASSERT_EQ(g.status, 0);
    EXPECT_EQ(g.id, 2);
    EXPECT_EQ(g.type, 0x8E);
}

TEST_F(SLKTest, StalledPacketIsReceivingFor220MsThenAbandoned) {
    const Bytes p = Packet(5, 0x80, {1, 2, 3, 4});
    const Bytes head(p.begin(), p.begin() + 8), tail(p.begin() + 8, p.end());
    EXPECT_EQ(Receive(4).status, -700);  // idle
    fake->Feed(head);
    EXPECT_EQ(Receive(4).status, 700);
    clock->Advance(220);
    EXPECT_EQ(Receive(4).status, 700);  // not yet later than the deadline
    clock->Advance(1);
    EXPECT_EQ(Receive(4).status, -700);
    // What arrives after the abandonment is noise, not the rest of a packet.
    fake->Feed(tail);
    EXPECT_EQ(Receive(4).status, -700);
    // And the receiver is ready for the next packet.
    fake->Feed(p);
    EXPECT_EQ(Receive(4).status, 0);
}

TEST_F(SLKTest, SlowBytesKeepThePacketAliveAndTheDeadlineSurvivesTickWrap) {
    SetLinkClock(nullptr);
    ManualClock nearWrap(0xFFFFFF80u);
    SetLinkClock(&nearWrap);
    const Bytes p = Packet(5, 0x80, {1, 2, 3, 4});
    for (size_t i = 0; i + 1 < p.size(); ++i) {
        fake->Feed({p[i]});
        ASSERT_EQ(Receive(4).status, 700) << i;
        nearWrap.Advance(200);  // crosses 0xFFFFFFFF on the way
        ASSERT_EQ(Receive(4).status, 700) << i;
    }
    fake->Feed({p.back()});
    EXPECT_EQ(Receive(4).status, 0);
    SetLinkClock(&*clock);
}

}  // namespace
