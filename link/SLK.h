// Packet framing on the serial port: a 10-byte header signed 0xBE 0xEF 0xED, a body and a
// CRC-16 footer. Both conversations with the handheld (its ROM debugger and the loader)
// ride on it. It knows nothing of commands.
#pragma once

#include <cstdint>

#include "base/ResultCodes.h"

class TCommPort;

class TSLK {
public:
    explicit TSLK(TCommPort* port);

    // Lead-in, header, body and CRC as four writes, then a flush.
    [[nodiscard]] TResult SLKSendPacket(uint8_t transactionId, uint8_t type, uint16_t bodySize,
                                        const uint8_t* body);

    // Consumes only the bytes already waiting and returns: 0 with a complete packet
    // delivered, 700 while a packet is in progress, -700 when idle. Never blocks.
    [[nodiscard]] TResult SLKReceivePacket(uint16_t maxBodySize, uint8_t* body,
                                           uint8_t* transactionId, uint8_t* type,
                                           uint16_t* bodySize);

    TCommPort* Port() const { return port_; }

private:
    uint32_t deadline_ = 0x7FFFFFFF;
    uint8_t state_ = 0;
    uint16_t rxType_ = 0;
    uint8_t headerSum_ = 0;
    uint16_t rxSize_ = 0;
    uint8_t rxId_ = 0;
    uint16_t rxCrc_ = 0;
    uint16_t runningCrc_ = 0;
    uint16_t rxCount_ = 0;
    TResult status_ = rc::NoPacket;
    TCommPort* port_;
};
