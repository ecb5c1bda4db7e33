// Modbus RTU frames: the request and answer buffers, the CRC-16, building the two requests and
// collecting an answer. The buffers are the poll cycle's module state, alive for the whole run.
#pragma once

#include <cstdint>
#include <vector>

namespace serial {
class TCustomComPort;
}

namespace app {

// CRC-16 of the Modbus serial line: reflected polynomial 0xA001, one table lookup per byte.
extern const uint16_t Crc16Table[256];
// Runs count bytes through the register; the caller loads it with 0xFFFF first.
void Crc16Update(const uint8_t* data, uint16_t count, uint16_t& crc);

inline constexpr int RxLimit = 100;  // an answer never grows past this

extern uint8_t TxFrame[101];  // the request being sent; every request is bytes 0..7
extern uint8_t RxFrame[201];  // the answer being collected
extern uint8_t RxChunk[101];  // the bytes of one receive event
extern int32_t RxLength;      // valid bytes in RxFrame
extern uint16_t CrcValue;     // the register for the request being built
extern const char ReadRequestTemplate[25];

// Function 03: three holding registers from address 0 of the slave. Closes the frame.
void BuildReadRequest(int address);
// Function 06: one register (0..255) of the slave gets the value. Closes the frame.
void BuildWriteRequest(int address, int reg, int value);
// Bytes 6 and 7: the CRC over bytes 0..5, low byte first.
void CloseFrameWithCrc();

enum class RxState { Incomplete, Overflow, Complete };

// Reads the count waiting bytes of one receive event and appends them to RxFrame. Bytes that
// would take the answer past RxLimit are read and dropped (Overflow); when `dropped` is given,
// they are appended to it for the record.
RxState CollectAnswer(serial::TCustomComPort& port, int count,
                      std::vector<uint8_t>* dropped = nullptr);
// The completeness test on what RxFrame holds now.
bool AnswerComplete();
// The length the answer's own header gives it (byte count + 5, or 8 for a write echo).
int AnswerFrameLength();
// Whether the answer's last two bytes (of its own length) are its CRC.
bool AnswerCrcValid();
// A complete exception answer: function with bit 7 set, five bytes, good CRC.
bool ExceptionAnswer();
// Register i (0..2) of a function 03 answer, when its bytes are within the byte count.
bool AnswerRegister(int i, uint16_t& value);

}  // namespace app
