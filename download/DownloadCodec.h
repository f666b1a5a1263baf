#pragma once
// The pure part of the download protocol: number-to-byte conversions, the bitmap text
// parser, the rounding used by the progress accounting, the reading of numbers from
// LanTable.ini texts and the layouts of every download and read-back message.
// Nothing here touches the link, the shared state or the user interface.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tabsend {

// Vendor function codes of the download and read-back.
inline constexpr std::uint8_t FuncDeviceId = 0x2B;
inline constexpr std::uint8_t FuncLanErase = 0x7D;
inline constexpr std::uint8_t FuncLanWrite = 0x5A;
inline constexpr std::uint8_t FuncLanRead = 0x5B;
inline constexpr std::uint8_t FuncConnection = 0x7E;

// Bitmap buffer made from one BMArray text: bytes 0..1000, zero where the text has no value.
inline constexpr std::size_t kBitmapBufferBytes = 1001;
using BitmapBuffer = std::array<std::uint8_t, kBitmapBufferBytes>;

// Largest bitmap part carried by one message.
inline constexpr std::int32_t kPackageBytes = 255;

// Highest string number whose head flag (bit 7 of the number's high byte) stays free.
inline constexpr std::int32_t kMaxStringNumber = 32767;

// Colours of the slot boxes, 0x00BBGGRR.
inline constexpr std::uint32_t ColorGreen = 0x0000FF00;      // #00FF00, in operation
inline constexpr std::uint32_t ColorYellow = 0x0000FFFF;     // #FFFF00, out of operation
inline constexpr std::uint32_t ColorLightBlue = 0x00FF8080;  // #8080FF, box cannot be used
inline constexpr std::uint32_t ColorCyan = 0x00FFFF00;       // #00FFFF, no language / unknown

// Big-endian bytes: for each byte from the last to the first, byte = v AND 0xFF, then v is
// divided by 256 with the fraction dropped. For v >= 0 this is v big-endian (1000 gives
// 00 00 03 E8); the values sent are never negative.
std::array<std::uint8_t, 4> LongToBytes4(std::int32_t v);
std::array<std::uint8_t, 2> LongToBytes2(std::int32_t v);  // the low 16 bits of v
std::array<std::uint8_t, 2> IntToBytes2(std::int16_t v);

// Parses a BMArray text ("0x00,0x1F,0xA5"): every "0x" removed, commas become blanks, CR,
// LF and tab removed, trimmed, split at blanks; piece j becomes byte j. Pieces beyond the
// 1001st are ignored. Two separators in a row count as one. A piece that is not a
// hexadecimal number 00..FF leaves its byte 0 and still takes its place.
BitmapBuffer HexListToBytes(std::string_view text);

// num / den rounded to the nearest integer, halves to the even one, for every num and every
// den > 0 (no intermediate overflows). den <= 0 gives 0.
std::int64_t DivideRoundHalfEven(std::int64_t num, std::int64_t den);

// The number an INI value begins with (see langfiles/IniNumbers.h: "" and text without a
// number read as 0, a fraction is rounded halves to even), narrowed to the field it is sent
// in. Every number the download sends is unsigned: negative texts give 0 and values above
// the field's range its largest value (byte 0..255, 16-bit 0..32767, 32-bit 0..2147483647).
std::uint8_t IniByte(std::string_view text);
std::int16_t IniInt16(std::string_view text);
std::int32_t IniInt32(std::string_view text);

// Number of the bits 0..7 of value that are 1.
std::uint8_t CountSetBits(std::uint8_t value);

// ---- Message layouts (data bytes of the request, function code separate) ----

using MessageBytes = std::vector<std::uint8_t>;

MessageBytes DeviceIdRequest();                              // 0E 05 00
MessageBytes EraseRequest(std::uint8_t slot);                // slot
MessageBytes AssemblyInfoRequest(std::uint8_t lanTotalNum);  // 00 01 01 n
// Item 1 (TotalStrNum) and 2 (LanVer): slot, item, 4, value in 4 bytes.
MessageBytes LanguageInfoLongRequest(std::uint8_t slot, std::uint8_t item, std::int32_t value);
// Item 3 (LanType): slot, 3, 2, low 16 bits of the value.
MessageBytes LanguageCodeRequest(std::uint8_t slot, std::int32_t lanType);
MessageBytes CompleteSignalRequest(std::uint8_t slot);  // 9 + slot

// String index entry: target, 100, number hi, lo, 7, BMDispLine, Len hi, lo, Addr (4).
MessageBytes StringIndexRequest(std::uint8_t target, std::int32_t index, std::uint8_t dispLine,
                                std::int16_t len, std::int32_t addr);
// Single bitmap message: target, number hi, lo, Addr (4), L, bitmap bytes 0..L-1 (L <= 255).
MessageBytes SingleBitmapRequest(std::uint8_t target, std::int32_t index, std::int32_t addr,
                                 const BitmapBuffer& bytes, std::int32_t length);
// Bitmap head: target, number hi OR 0x80, lo, Addr (4), number of packages.
MessageBytes BitmapHeadRequest(std::uint8_t target, std::int32_t index, std::int32_t addr,
                               std::uint8_t packages);
// Package k (from 1): target, number hi, lo, k, M, bitmap bytes 255(k-1) .. +M-1.
// Package 0 and packages past the bitmap's end carry M = 0 and no bytes.
MessageBytes BitmapPackageRequest(std::uint8_t target, std::int32_t index, std::uint8_t k,
                                  const BitmapBuffer& bytes, std::int32_t length);

// Packages a bitmap of `length` bytes takes: length / 255 rounded up.
std::int32_t PackageCount(std::int32_t length);

MessageBytes SlotReadRequest(std::uint8_t slot, std::uint8_t item);  // 100 + slot, item
MessageBytes ToggleRequest(std::uint8_t slot);                       // 12 + slot, 4
MessageBytes ConnectRequest();                                       // 01
MessageBytes DisconnectRequest();                                    // 00

// Slot read items.
inline constexpr std::uint8_t ItemVersion = 2;
inline constexpr std::uint8_t ItemLanCode = 3;
inline constexpr std::uint8_t ItemStatus = 4;

}  // namespace tabsend
