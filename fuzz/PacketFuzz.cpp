// Fuzz target of the packet receiver: arbitrary bytes arrive on the line in slices, with
// pauses that may or may not outlast the idle deadline, and with the caller's buffer
// changing size between calls. Every delivered packet must fit the buffer it was received
// into, and the receiver must only ever report its three statuses.
//
// Input: byte 0 picks the first maximum body size (0..32); then repeated groups of a
// control byte followed by up to 32 line bytes. Control bits: 0-4 slice length - 1,
// 5 pause after the slice, 6 change the buffer size, 7 make the pause longer than 220 ms.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "link/CommPort.h"
#include "link/SLK.h"
#include "testing/FakeSerialEdge.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    ManualClock clock;
    SetLinkClock(&clock);

    auto edge = std::make_unique<FakeSerialEdge>();
    FakeSerialEdge* line = edge.get();
    TCommPort port(std::move(edge));
    if (port.Open() != 0) __builtin_trap();
    TSLK slk(&port);

    // Heap buffers of exactly the announced size, so any write past one is caught.
    auto max = static_cast<uint16_t>(data[0] % 33);
    auto buffer = std::make_unique<uint8_t[]>(max ? max : 1);

    size_t i = 1;
    while (i < size) {
        const uint8_t control = data[i++];
        const size_t n = std::min<size_t>((control & 0x1F) + 1u, size - i);
        line->Feed(std::vector<uint8_t>(data + i, data + i + n));
        i += n;
        if (control & 0x40) {
            max = static_cast<uint16_t>((control ^ n) % 33);
            buffer = std::make_unique<uint8_t[]>(max ? max : 1);
        }
        for (;;) {
            uint8_t id = 0, type = 0;
            uint16_t bodySize = 0xFFFF;
            const TResult status = slk.SLKReceivePacket(max, buffer.get(), &id, &type, &bodySize);
            if (status == rc::Success) {
                if (bodySize > max) __builtin_trap();
                continue;  // more packets may be waiting
            }
            if (status != rc::NoPacket && status != rc::ReceivingPacket) __builtin_trap();
            if (line->BytesWaiting() != 0) __builtin_trap();  // a call consumes all it is given
            break;
        }
        if (control & 0x20) clock.Advance(control & 0x80 ? 221 : 50);
    }
    SetLinkClock(nullptr);
    return 0;
}
