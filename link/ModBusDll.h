#pragma once
// Frame layer of the Modbus RTU link: the raw frame buffers, request framing with the
// CRC-16/MODBUS, and the check that splits a received frame. Knows nothing of what a
// function code means and never touches the serial port.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "shell/SharedState.h"

namespace tabsend {

// One raw frame as it goes on or comes off the wire.
struct FrameBuf {
    std::vector<std::uint8_t> Data;  // the frame bytes
    Flag16 Ready = kFalse;           // set when the buffer holds a complete frame
    std::int32_t Length = 0;         // number of valid bytes at the start of Data
};

// One Modbus message without its CRC: a request to send or a reply taken apart.
struct ModBusMsg {
    std::vector<std::uint8_t> Data;  // the data bytes
    Flag16 Ready = kFalse;
    std::int32_t Length = 0;
    std::uint8_t Address = 0;
    std::uint8_t FuncCode = 0;
};

// Size of the frame and message records made at initialisation (indices 0..270).
inline constexpr std::size_t kRecordBytes = 271;

// The two CRC bytes in wire order.
struct CrcBytes {
    std::uint8_t low = 0xFF;   // goes on the wire first
    std::uint8_t high = 0xFF;  // goes on the wire last
    bool operator==(const CrcBytes&) const = default;
};

// The standard's high-byte and low-byte tables of the table-driven CRC-16.
extern const std::array<std::uint8_t, 256> kCrcHighTable;
extern const std::array<std::uint8_t, 256> kCrcLowTable;

// CRC-16/MODBUS of the given bytes (poly 0xA001 reflected, init 0xFFFF), table method.
CrcBytes crc16(std::span<const std::uint8_t> bytes);

// A complete request frame: address, function code, data, CRC low, CRC high.
std::vector<std::uint8_t> buildFrame(std::uint8_t address, std::uint8_t funcCode,
                                     std::span<const std::uint8_t> data);

class ModBusDll {
  public:
    FrameBuf TxFrame;  // the next request as it goes on the wire
    FrameBuf RxFrame;  // the bytes of the last reply as they came off the wire

    // Both buffers: 271 bytes, not ready, length 0.
    void FrameBufInit();

    // Frames the first Count bytes of Msg.Data for Address into TxFrame, re-sized to
    // exactly Count + 4 bytes; TxFrame.Ready true. Note the order: function code first.
    void MakeFrame(std::uint8_t FuncCode, std::uint8_t Address, const ModBusMsg& Msg,
                   std::int32_t Count);

    // Checks the RxFrame.Length counted bytes of RxFrame. Sound frame: gives 0 and writes
    // address, function code, data length (L - 4) and Msg.Data[0..L-5]. Too short (L <= 1,
    // or fewer than the 4 bytes of address, function code and CRC), bad CRC, or more data
    // than Msg.Data holds: gives 33 and writes nothing. In every
    // case RxFrame ends with Length 0 and Ready false, so a frame is examined once.
    std::uint8_t CheckFrame(std::uint8_t& FuncCodeOut, ModBusMsg& Msg, std::int32_t& LengthOut,
                            std::uint8_t& AddressOut);

    // CRC of the first Count bytes of Buf.Data (Count is clamped to the data present).
    static CrcBytes Crc16(const FrameBuf& Buf, std::int32_t Count);
};

}  // namespace tabsend
