#pragma once
// The byte layouts of the Tarvo instructions: I/O bit strings, output commands, counters,
// temperature, names, modes, values in halves and thermostat settings. Nothing here talks
// to a link.
#include "tarvo/TarvoRecords.h"

#include <cstdint>
#include <string>

// An I/O bit string, high byte first: I/O n (from 1) is bit (n - 1) mod 8 of the byte
// (n - 1) div 8 from the end. An empty array gets 8 elements per byte, a filled one keeps
// its length; elements beyond the bytes stay as they were. True when one was set.
bool DecodeIOBits(const std::string& bytes, TTarvoIOArray& states);
// Exactly `count` states; false, and `states` untouched, when the bytes hold fewer.
bool DecodeIOBits(const std::string& bytes, TTarvoIOArray& states, size_t count);

// Bit 7 the state, bits 0-6 the output number (1-127).
uint8_t OutputCommandByte(int number, bool state);
int OutputNumberOf(uint8_t command);
bool OutputStateOf(uint8_t command);

// Bit 7 asks the module to clear the counter with the read; bits 0-5 the number (0 = all).
uint8_t CounterRequestByte(int number, bool clear);
// A counter answer: its width in bits first, then values of whole bytes, high first.
// False for a width of 0 or above 32; a value cut short by the end is left out.
bool DecodeCounterValues(const std::string& answer, TTarvoCounterArray& values);

// Bits 0-5 the number, bit 7 option A, bit 6 option B.
uint8_t CounterSettingByte(int number, bool optionA, bool optionB);
// The setting byte of counter `number` in an answer; false when it holds none.
bool FindCounterSetting(const std::string& answer, int number, bool& optionA, bool& optionB);

// Bytes 2 and 3 as a signed 16-bit value, high first, in tenths of a degree.
bool DecodeTemperature(const std::string& answer, double& degrees);

// A name answer (0x3A, 0x3B) of exactly 21 bytes: a digit, then the name padded with zeros.
bool DecodeName(const std::string& answer, std::string& name, int& number);
// A name request (0x2A, 0x2B): the selector, then the number and the name in 21 bytes.
std::string EncodeNameRequest(uint8_t selector, const std::string& name, int number);

TTarvoMode DecodeMode(uint8_t byte);

float HalvesToValue(uint8_t byte);
// Rounded to half steps and held to 0..255.
uint8_t ValueToHalves(float value);

constexpr size_t kThermostatSettingSize = 8;
// The eight bytes at `offset`: channel, flags, value 1 and 2 in tenths (signed 16 bits,
// high first), value 3 in halves, extra byte. False when fewer bytes remain.
bool DecodeThermostatSetting(const std::string& bytes, size_t offset, uint8_t& channel,
                             TTarvoThermostatSetting& setting);
std::string EncodeThermostatSetting(uint8_t channel, const TTarvoThermostatSetting& setting);
