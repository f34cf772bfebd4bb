#!/usr/bin/env python3
"""Simulator of Tarvo digital I/O modules speaking Vantel 97, for tests and the demo.

One process plays one or more modules on one bus. The bus is reachable over any mix of:
a pseudo-terminal (created here, or an existing device such as one end of a socat pair),
a TCP listener and a UDP socket, all on 127.0.0.1 only. A line-based TCP control port
lets a test drive the inputs, read the outputs, inject faults and read the request log.

Frames
  Request and answer: "*a" LEN(2, high first) address signature code data checksum CR,
  LEN = data length + 5, checksum = 255 - (sum of every byte before it) mod 256.
  Incoming bytes are scanned for "*a"; anything before it is noise and is dropped. A
  complete frame with a wrong checksum or no CR is logged and dropped from its "*" only,
  so a real frame hidden behind it is still found. A frame header whose length is not yet
  complete is dropped as noise when a complete good frame follows it, or when the next
  bytes arrive more than 0.5 s later.

Answers
  A module answers a request addressed to its own address or to 0xFE. The answer carries
  the module's address (the one it had when the request arrived), the request's signature
  and the acknowledge code in place of the instruction. With several modules a broadcast
  request is answered by each module in the order of --modules. Answers go back on the
  channel the request came in on (the TCP connection, the UDP sender, the pty).

Acknowledge codes
  0 done; 1 unknown instruction; 2 feature absent (counters on a module without counters,
  temperature on a module without thermometers); 3 answer would be too long (0x1B asking
  for more than 12 thermostat channels, or for all of them with more than 12 outputs);
  4 bad request (data length that does not fit the instruction, a number out of range);
  5 configuration write not prepared (0xE0 not directly armed by 0xE4).
  Refused requests change nothing and answer no data.

Automatic messages
  With automatic notification on (0x10 with a nonzero byte), every change of the inputs
  sends code 13 with the input bit string, signature 0, from the module's address, on
  every channel: the pty, every open TCP connection and the last UDP sender.

Instructions (request data -> answer data)
  0xE3 reset: none -> none. Outputs off, timed outputs and PWM cleared, counters zeroed,
       configuration write disarmed; inputs, address and stored settings are kept.
  0xF3 identification: none -> "TARVO <in>/<out> <kind> ;F97;V0573.26.01;T<thermometers>"
       (--ident replaces it; --legacy gives "Tarvo;F97;V0573.26" and no counters).
  0xF1 parameter byte: none -> 1 byte.   0xE1: 1 byte -> none (stored).
  0xFE flag: none -> 1 byte, 0 or 1.     0xEE: 1 byte -> none (nonzero = 1).
  0xF2 user data: none -> the stored bytes (0 to 16).
  0xE2: a start byte that must be 0, then up to 16 bytes -> none; the bytes up to the
       first zero byte are stored.
  0xFA factory information: none -> word 1, word 2, 32-bit value, high bytes first.
       Word 1 and word 2 default to 573 and 26, the value to 100000 + module address
       (--factory W1,W2,BASE: the value is BASE + the module's start-up address).
  0xF0 address: none -> address, baud code (default 6).
  0xE4 prepare configuration write: none -> none; arms the next 0xE0.
  0xE0: address, baud code -> none. The address must be 0 to 253 and the code 0 to 11.
       Any 0xE0 disarms. The answer still comes from the old address; the baud code is
       only stored.
  0xEB: new address, word 1 (2 bytes), word 2 (2 bytes) -> none. Only a module whose
       factory words 1 and 2 match answers and takes the address; the others stay silent.
  0x31 inputs, 0x30 outputs: none -> I/O bit string, high byte first, the last byte holding
       I/O 1 to 8 in bits 0 to 7; at least one byte.
  0x20 set outputs: one or more output command bytes (bit 7 state, bits 0-6 output number
       from 1) -> none. Any number out of range refuses the whole request. A set output
       loses its pending timed fall-back.
  0x23 timed output: time byte, output command byte -> none. The output takes the state
       now and falls back to the state it had before after time x 100 ms (--time-unit-ms);
       time 0 sets it without fall-back. A new timed command on the same output replaces
       the pending fall-back (falling back to the state before the first timed command).
  0x70 PWM: channel, value -> none. 0x71: channel -> channel, value. Any channel byte is
       accepted; unset channels read 0.
  0x62 pulse rate: a, b -> 16-bit value of input a (set with the control command
       set-pps), high byte first; b is ignored; unset inputs read 0.
  0x60 counters: request byte (bit 7 clear after reading, bits 0-5 number, 0 = every
       counter) -> width (--counter-width, default 32) then the values. A counter counts
       the rising edges of the input of the same number.
  0x6A counter setting: setting byte -> none. 0x6B: none or a number (0 = every counter)
       -> setting bytes (bits 0-5 number, bit 7 option A, bit 6 option B). The options
       are stored only.
  0x10 automatic notification: 1 byte -> none (nonzero = on). 0x11: none -> "a" when on,
       a zero byte when off.
  0x51 temperature: thermometer number, counted from 0 -> number, value x 10 as a signed
       16-bit value, high byte first.
  0x2A, 0x2B names: channel, 21 bytes -> none. 0x3A, 0x3B: channel -> the 21 stored bytes
       (initially zeros). 0x2A pairs with 0x3A, 0x2B with 0x3B.
  0x26 value: channel, byte, value in halves -> none. 0x36: channel -> byte, value; none
       -> byte, value for every channel.
  0x38 modes: channel -> mode byte; none -> every mode byte (set with set-mode).
  0x25: 1 byte -> none (stored).
  0x1A thermostat: channel and 7 setting bytes -> none. 0x1B: up to 12 channels -> the
       8-byte setting of each; none -> every channel (more than 12 outputs: code 3).
       Initially the channel byte followed by 7 zero bytes.
  Channels of 0x1A/0x1B, 0x26/0x36, 0x2A/0x3A, 0x2B/0x3B and 0x38 run from 0 to the
  output count - 1.

Control port (one command per line; answers "OK [result]" or "ERR text")
  A leading "@ADDR" picks the module (default: the first of --modules).
  set-input N 0|1        input N (from 1); an edge counts and may send code 13
  set-inputs BITS        "0101..." for inputs 1, 2, ... (fewer characters: the rest stays)
  get-inputs, get-outputs the states as "0101...", first character = I/O 1
  set-temperature T [N]  thermometer N (from 0, default 0) reads T degrees
  set-counter N VALUE    set-pps N VALUE    set-mode CHANNEL BYTE
  state                  the module's state as one JSON object
  fault MODE [ARG] [once] one fault, replacing the previous one, for every answer or, with
                         "once", for the next request addressed to a module:
                         silence (the request is ignored, no answer), noise (garbage
                         bytes before the answer), split [GAP_MS] (answer in 3-byte pieces,
                         default gap 10 ms), late MS (answer delayed), wrong-signature
                         (signature + 1), wrong-address (address + 1, never 0xFE),
                         unsolicited (a code 12 frame with the outputs, signature 0, sent
                         just before each answer); "fault none" clears it
  send-unsolicited HEX   writes the bytes as they are on every channel
  log [clear]            every good frame received so far (any address), as hex, space
                         separated; "log clear" empties the log
  quit                   stops the simulator

On start-up one JSON line on stdout gives what was opened, e.g.
  {"tcp": 40001, "udp": 40002, "control": 40003, "pty": "/dev/pts/7", "link": "/tmp/com5"}
"""

import argparse
import errno
import json
import os
import signal
import socket
import sys
import termios
import threading
import time
import tty

LOCALHOST = "127.0.0.1"
FRAME_MARK = b"*a"
CR = 0x0D
HEADER_SIZE = 7
SMALLEST_FRAME = 9
BROADCAST = 0xFE
STALE_PARTIAL_SECONDS = 0.5

ACK_DONE = 0
ACK_UNKNOWN = 1
ACK_ABSENT = 2
ACK_TOO_LONG = 3
ACK_BAD_REQUEST = 4
ACK_NOT_PREPARED = 5

AUTO_OUTPUTS = 12
AUTO_INPUTS = 13

NAME_SIZE = 21
THERMOSTAT_SIZE = 8
THERMOSTATS_PER_ANSWER = 12
MAX_COUNTERS = 60
MAX_OUTPUTS = 127
HIGHEST_ADDRESS = 253
HIGHEST_BAUD_CODE = 11
NOISE = b"\x00\xff*\x55\x0d~"
SPLIT_PIECE = 3
RECEIVED_LOG_LIMIT = 10000


def checksum(data):
    return 255 - (sum(data) & 0xFF)


def is_good_frame(candidate):
    return candidate[-1] == CR and checksum(candidate[:-2]) == candidate[-2]


def build_frame(address, signature, code, data=b""):
    length = len(data) + 5
    head = b"*a" + bytes([length >> 8, length & 0xFF, address, signature, code]) + bytes(data)
    return head + bytes([checksum(head), CR])


class Frame:
    """A good frame as received."""

    def __init__(self, raw):
        self.raw = raw
        self.address, self.signature, self.code = raw[4], raw[5], raw[6]
        self.data = raw[HEADER_SIZE:-2]


class FrameParser:
    """Cuts a byte stream into frames, resynchronising on "*a" after noise or bad frames."""

    def __init__(self, clock=time.monotonic):
        self._buffer = bytearray()
        self._clock = clock
        self._last_feed = None

    def feed(self, data):
        """Returns (good frames, discarded pieces as (reason, bytes))."""
        now = self._clock()
        discarded = []
        if self._buffer and now - self._last_feed > STALE_PARTIAL_SECONDS:
            discarded.append(("stale partial frame", bytes(self._buffer)))
            del self._buffer[:1]
        self._last_feed = now
        self._buffer += data
        frames = []
        while self._next(frames, discarded):
            pass
        return frames, discarded

    def _next(self, frames, discarded):
        start = self._buffer.find(FRAME_MARK)
        if start < 0:
            keep = 1 if self._buffer.endswith(FRAME_MARK[:1]) else 0
            self._drop(len(self._buffer) - keep, "noise", discarded)
            return False
        self._drop(start, "noise", discarded)
        if len(self._buffer) < 4:
            return False
        size = self._announced_size(0)
        if size < SMALLEST_FRAME:
            discarded.append(("impossible length", bytes(self._buffer[:4])))
            del self._buffer[:1]
            return True
        if len(self._buffer) < size:
            # A complete good frame behind an unfinished one means the first "*a" was noise.
            later = self._good_frame_after(1)
            if later < 0:
                return False
            self._drop(later, "unfinished frame", discarded)
            return True
        candidate = bytes(self._buffer[:size])
        if not is_good_frame(candidate):
            discarded.append(("bad checksum or end", candidate))
            del self._buffer[:1]
            return True
        del self._buffer[:size]
        frames.append(Frame(candidate))
        return True

    def _announced_size(self, start):
        return (self._buffer[start + 2] << 8 | self._buffer[start + 3]) + 4

    def _good_frame_after(self, start):
        position = self._buffer.find(FRAME_MARK, start)
        while 0 <= position <= len(self._buffer) - SMALLEST_FRAME:
            size = self._announced_size(position)
            if size >= SMALLEST_FRAME and is_good_frame(self._buffer[position:position + size]):
                return position
            position = self._buffer.find(FRAME_MARK, position + 1)
        return -1

    def _drop(self, count, reason, discarded):
        if count > 0:
            discarded.append((reason, bytes(self._buffer[:count])))
            del self._buffer[:count]


def encode_bits(states):
    """I/O bit string: high byte first, the last byte holds I/O 1 to 8."""
    size = max(1, (len(states) + 7) // 8)
    out = bytearray(size)
    for index, state in enumerate(states):
        if state:
            out[size - 1 - index // 8] |= 1 << (index % 8)
    return bytes(out)


def parse_bits_text(text):
    if not text or any(c not in "01" for c in text):
        raise ValueError("expected a string of 0 and 1")
    return [c == "1" for c in text]


def bits_text(states):
    return "".join("1" if s else "0" for s in states)


class ModuleConfig:
    def __init__(self, args):
        self.inputs = args.inputs
        self.outputs = args.outputs
        self.thermometers = args.thermometers
        self.counters = min(args.inputs, MAX_COUNTERS) if args.counters is None else args.counters
        if args.legacy:
            self.counters = 0
        self.counter_width = args.counter_width
        self.kind = args.kind
        self.ident = args.ident
        if self.ident is None:
            self.ident = "Tarvo;F97;V0573.26" if args.legacy else (
                f"TARVO {args.inputs}/{args.outputs} {args.kind} ;F97;V0573.26.01;"
                f"T{args.thermometers}")
        self.baud_code = args.baud_code
        self.factory = args.factory
        self.time_unit = args.time_unit_ms / 1000.0


# Accepted request data lengths per instruction; anything else gets ACK_BAD_REQUEST.
REQUEST_LENGTHS = {
    0xE3: {0}, 0xF3: {0}, 0xF1: {0}, 0xE1: {1}, 0xFE: {0}, 0xEE: {1}, 0xF2: {0},
    0xE2: set(range(1, 18)), 0xFA: {0}, 0xF0: {0}, 0xE4: {0}, 0xE0: {2}, 0xEB: {5},
    0x31: {0}, 0x30: {0}, 0x20: set(range(1, MAX_OUTPUTS + 1)), 0x23: {2}, 0x70: {2},
    0x71: {1}, 0x62: {2}, 0x60: {1}, 0x6A: {1}, 0x6B: {0, 1}, 0x10: {1}, 0x11: {0},
    0x51: {1}, 0x2A: {1 + NAME_SIZE}, 0x2B: {1 + NAME_SIZE}, 0x3A: {1}, 0x3B: {1},
    0x26: {3}, 0x36: {0, 1}, 0x38: {0, 1}, 0x25: {1}, 0x1A: {THERMOSTAT_SIZE},
    0x1B: set(range(0, 256)),
}


class Refused(Exception):
    def __init__(self, ack):
        super().__init__(ack)
        self.ack = ack


class TarvoModule:
    """State and instruction set of one module. Callers hold the bus lock."""

    def __init__(self, address, serial, config, schedule):
        self.address = address
        self.config = config
        self._schedule = schedule
        self.inputs = [False] * config.inputs
        self.outputs = [False] * config.outputs
        self.counters = [0] * config.counters
        self.counter_options = [0] * config.counters
        self.temperatures = [0.0] * config.thermometers
        self.pulse_rates = {}
        self.pwm = {}
        self.auto_notify = False
        self.user_data = b""
        self.parameter = 0
        self.flag = 0
        self.baud_code = config.baud_code
        self.factory = (config.factory[0], config.factory[1], serial)
        self.config_armed = False
        channels = config.outputs
        self.names = {0x3A: [bytes(NAME_SIZE)] * channels, 0x3B: [bytes(NAME_SIZE)] * channels}
        self.values = [(0, 0)] * channels
        self.modes = [0] * channels
        self.thermostats = [bytes([c]) + bytes(THERMOSTAT_SIZE - 1) for c in range(channels)]
        self.byte25 = 0
        self._fallbacks = {}
        self._handlers = {
            0xE3: self._reset, 0xF3: self._identify, 0xF1: self._read_parameter,
            0xE1: self._write_parameter, 0xFE: self._read_flag, 0xEE: self._write_flag,
            0xF2: self._read_user_data, 0xE2: self._write_user_data, 0xFA: self._factory_info,
            0xF0: self._read_address, 0xE4: self._prepare_config, 0xE0: self._write_config,
            0xEB: self._write_address_by_serial, 0x31: self._read_inputs,
            0x30: self._read_outputs, 0x20: self._set_outputs, 0x23: self._set_timed_output,
            0x70: self._set_pwm, 0x71: self._read_pwm, 0x62: self._read_pulse_rate,
            0x60: self._read_counters, 0x6A: self._set_counter_option,
            0x6B: self._read_counter_options, 0x10: self._set_auto_notify,
            0x11: self._read_auto_notify, 0x51: self._read_temperature,
            0x2A: self._write_name, 0x2B: self._write_name, 0x3A: self._read_name,
            0x3B: self._read_name, 0x26: self._write_value, 0x36: self._read_values,
            0x38: self._read_modes, 0x25: self._write_byte25,
            0x1A: self._write_thermostat, 0x1B: self._read_thermostats,
        }

    def handle(self, code, data):
        """Returns (ack, answer data), or None when the module stays silent."""
        handler = self._handlers.get(code)
        if handler is None:
            return ACK_UNKNOWN, b""
        if len(data) not in REQUEST_LENGTHS[code]:
            return ACK_BAD_REQUEST, b""
        try:
            answer = handler(code, data)
        except Refused as refusal:
            return refusal.ack, b""
        if answer is None:
            return None
        return ACK_DONE, answer

    # Changes from the control port.

    def set_input(self, number, state):
        """Returns True when the input changed."""
        index = self._input_index(number)
        if self.inputs[index] == state:
            return False
        if state and index < len(self.counters):
            self.counters[index] = (self.counters[index] + 1) & self.counter_mask()
        self.inputs[index] = state
        return True

    def automatic_inputs_frame(self):
        return build_frame(self.address, 0, AUTO_INPUTS, encode_bits(self.inputs))

    def automatic_outputs_frame(self):
        return build_frame(self.address, 0, AUTO_OUTPUTS, encode_bits(self.outputs))

    def state(self):
        return {
            "address": self.address, "inputs": bits_text(self.inputs),
            "outputs": bits_text(self.outputs), "counters": self.counters,
            "counter_options": self.counter_options, "temperatures": self.temperatures,
            "pwm": {str(k): v for k, v in sorted(self.pwm.items())},
            "pulse_rates": {str(k): v for k, v in sorted(self.pulse_rates.items())},
            "auto_notify": self.auto_notify, "user_data": self.user_data.hex(),
            "parameter": self.parameter, "flag": self.flag, "baud_code": self.baud_code,
            "factory": list(self.factory), "byte25": self.byte25,
            "pending_fallbacks": sorted(self._fallbacks),
        }

    def _input_index(self, number):
        if not 1 <= number <= len(self.inputs):
            raise ValueError(f"input {number} is not between 1 and {len(self.inputs)}")
        return number - 1

    def counter_mask(self):
        return (1 << self.config.counter_width) - 1

    @staticmethod
    def _require(condition, ack=ACK_BAD_REQUEST):
        if not condition:
            raise Refused(ack)

    def _channel(self, value):
        self._require(value < self.config.outputs)
        return value

    # Common Vantel instructions.

    def _reset(self, _code, _data):
        for number in list(self._fallbacks):
            self._fallbacks.pop(number).cancel()
        self.outputs = [False] * len(self.outputs)
        self.pwm.clear()
        self.counters = [0] * len(self.counters)
        self.config_armed = False
        return b""

    def _identify(self, _code, _data):
        return self.config.ident.encode("latin-1")

    def _read_parameter(self, _code, _data):
        return bytes([self.parameter])

    def _write_parameter(self, _code, data):
        self.parameter = data[0]
        return b""

    def _read_flag(self, _code, _data):
        return bytes([self.flag])

    def _write_flag(self, _code, data):
        self.flag = 1 if data[0] else 0
        return b""

    def _read_user_data(self, _code, _data):
        return self.user_data

    def _write_user_data(self, _code, data):
        self._require(data[0] == 0)
        self.user_data = bytes(data[1:]).split(b"\x00", 1)[0][:16]
        return b""

    def _factory_info(self, _code, _data):
        word1, word2, serial = self.factory
        return word1.to_bytes(2, "big") + word2.to_bytes(2, "big") + serial.to_bytes(4, "big")

    def _read_address(self, _code, _data):
        return bytes([self.address, self.baud_code])

    def _prepare_config(self, _code, _data):
        self.config_armed = True
        return b""

    def _write_config(self, _code, data):
        armed, self.config_armed = self.config_armed, False
        self._require(armed, ACK_NOT_PREPARED)
        self._require(data[0] <= HIGHEST_ADDRESS and data[1] <= HIGHEST_BAUD_CODE)
        self.address, self.baud_code = data[0], data[1]
        return b""

    def _write_address_by_serial(self, _code, data):
        word1, word2 = int.from_bytes(data[1:3], "big"), int.from_bytes(data[3:5], "big")
        if (word1, word2) != self.factory[:2]:
            return None
        self._require(data[0] <= HIGHEST_ADDRESS)
        self.address = data[0]
        return b""

    # Tarvo instructions.

    def _read_inputs(self, _code, _data):
        return encode_bits(self.inputs)

    def _read_outputs(self, _code, _data):
        return encode_bits(self.outputs)

    def _output_commands(self, data):
        commands = [(byte & 0x7F, bool(byte & 0x80)) for byte in data]
        self._require(all(1 <= number <= len(self.outputs) for number, _ in commands))
        return commands

    def _set_outputs(self, _code, data):
        for number, state in self._output_commands(data):
            pending = self._fallbacks.pop(number, None)
            if pending:
                pending.cancel()
            self.outputs[number - 1] = state
        return b""

    def _set_timed_output(self, _code, data):
        ((number, state),) = self._output_commands(data[1:])
        pending = self._fallbacks.pop(number, None)
        fallback_state = pending.state if pending else self.outputs[number - 1]
        if pending:
            pending.cancel()
        self.outputs[number - 1] = state
        if data[0]:
            self._fallbacks[number] = self._schedule(
                data[0] * self.config.time_unit, lambda: self._fall_back(number),
                fallback_state)
        return b""

    def _fall_back(self, number):
        pending = self._fallbacks.pop(number, None)
        if pending:
            self.outputs[number - 1] = pending.state

    def _set_pwm(self, _code, data):
        self.pwm[data[0]] = data[1]
        return b""

    def _read_pwm(self, _code, data):
        return bytes([data[0], self.pwm.get(data[0], 0)])

    def _read_pulse_rate(self, _code, data):
        return self.pulse_rates.get(data[0], 0).to_bytes(2, "big")

    def _counter_numbers(self, number):
        self._require(self.counters, ACK_ABSENT)
        if number == 0:
            return range(1, len(self.counters) + 1)
        self._require(number <= len(self.counters))
        return [number]

    def _read_counters(self, _code, data):
        numbers = self._counter_numbers(data[0] & 0x3F)
        width = self.config.counter_width
        answer = bytearray([width])
        for number in numbers:
            answer += self.counters[number - 1].to_bytes((width + 7) // 8, "big")
            if data[0] & 0x80:
                self.counters[number - 1] = 0
        return bytes(answer)

    def _set_counter_option(self, _code, data):
        number = data[0] & 0x3F
        self._require(self.counters, ACK_ABSENT)
        self._require(1 <= number <= len(self.counters))
        self.counter_options[number - 1] = data[0] & 0xC0
        return b""

    def _read_counter_options(self, _code, data):
        numbers = self._counter_numbers(data[0] if data else 0)
        return bytes(self.counter_options[n - 1] | n for n in numbers)

    def _set_auto_notify(self, _code, data):
        self.auto_notify = data[0] != 0
        return b""

    def _read_auto_notify(self, _code, _data):
        return b"a" if self.auto_notify else b"\x00"

    def _read_temperature(self, _code, data):
        self._require(self.temperatures, ACK_ABSENT)
        self._require(data[0] < len(self.temperatures))
        tenths = max(-32768, min(32767, round(self.temperatures[data[0]] * 10)))
        return bytes([data[0]]) + tenths.to_bytes(2, "big", signed=True)

    def _write_name(self, code, data):
        self.names[code + 0x10][self._channel(data[0])] = bytes(data[1:])
        return b""

    def _read_name(self, code, data):
        return self.names[code][self._channel(data[0])]

    def _write_value(self, _code, data):
        self.values[self._channel(data[0])] = (data[1], data[2])
        return b""

    def _read_values(self, _code, data):
        if data:
            return bytes(self.values[self._channel(data[0])])
        return b"".join(bytes(pair) for pair in self.values)

    def _read_modes(self, _code, data):
        if data:
            return bytes([self.modes[self._channel(data[0])]])
        return bytes(self.modes)

    def _write_byte25(self, _code, data):
        self.byte25 = data[0]
        return b""

    def _write_thermostat(self, _code, data):
        self.thermostats[self._channel(data[0])] = bytes(data)
        return b""

    def _read_thermostats(self, _code, data):
        channels = list(data) if data else list(range(self.config.outputs))
        self._require(len(channels) <= THERMOSTATS_PER_ANSWER, ACK_TOO_LONG)
        return b"".join(self.thermostats[self._channel(c)] for c in channels)


class Fault:
    MODES = ("silence", "noise", "split", "late", "wrong-signature", "wrong-address",
             "unsolicited")

    def __init__(self, mode=None, milliseconds=0, once=False):
        self.mode = mode
        self.milliseconds = milliseconds
        self.once = once

    @classmethod
    def parse(cls, words):
        once = bool(words) and words[-1] == "once"
        words = words[:-1] if once else words
        if words == ["none"]:
            return cls()
        if not words or words[0] not in cls.MODES:
            raise ValueError("fault needs one of: none " + " ".join(cls.MODES))
        mode, arguments = words[0], words[1:]
        if mode == "late":
            if len(arguments) != 1:
                raise ValueError("fault late needs MS")
            return cls(mode, int(arguments[0]), once)
        if mode == "split":
            if len(arguments) > 1:
                raise ValueError("fault split takes at most GAP_MS")
            return cls(mode, int(arguments[0]) if arguments else 10, once)
        if arguments:
            raise ValueError(f"fault {mode} takes no argument")
        return cls(mode, 0, once)


class FallbackTimer:
    """A pending fall-back of a timed output. It fires under the bus lock, and cancel() is
    called under it too, so a timer already waiting for the lock when it is cancelled
    does nothing."""

    def __init__(self, lock, seconds, action, state):
        self.state = state
        self._cancelled = False
        self._timer = threading.Timer(seconds, self._fire, args=(lock, action))
        self._timer.daemon = True
        self._timer.start()

    def _fire(self, lock, action):
        with lock:
            if not self._cancelled:
                action()

    def cancel(self):
        self._cancelled = True
        self._timer.cancel()


class Bus:
    """The modules, the channels they talk on, the faults and the request log."""

    def __init__(self, addresses, config, verbose):
        self.lock = threading.RLock()
        self.verbose = verbose
        self.modules = [TarvoModule(address, config.factory[2] + address, config, self._schedule)
                        for address in addresses]
        self.fault = Fault()
        self.received = []
        self.unsolicited_sinks = []
        self.stopping = threading.Event()
        self.quit_requested = threading.Event()

    def _schedule(self, seconds, action, state):
        return FallbackTimer(self.lock, seconds, action, state)

    def trace(self, text):
        if self.verbose:
            print(f"{time.strftime('%H:%M:%S')} {text}", file=sys.stderr, flush=True)

    def module_at(self, address):
        for module in self.modules:
            if module.address == address:
                return module
        raise ValueError(f"no module at address {address}")

    def receive(self, parser, data, reply, where):
        frames, discarded = parser.feed(data)
        for reason, piece in discarded:
            self.trace(f"{where} dropped {reason}: {piece.hex(' ')}")
        for frame in frames:
            self._answer(frame, reply, where)

    def _answer(self, frame, reply, where):
        self.trace(f"{where} rx {frame.raw.hex(' ')}")
        with self.lock:
            if len(self.received) < RECEIVED_LOG_LIMIT:
                self.received.append(frame.raw.hex())
            targets = [m for m in self.modules if frame.address in (m.address, BROADCAST)]
            if not targets:
                return
            fault = self.fault
            if fault.once:
                self.fault = Fault()
            if fault.mode == "silence":
                self.trace(f"{where} fault silence: request ignored")
                return
            answers = []
            for module in targets:
                address = module.address
                result = module.handle(frame.code, frame.data)
                if result is not None:
                    answers.append((module, address, result))
        for module, address, (ack, data) in answers:
            self._send_answer(reply, where, fault, module, address, frame.signature, ack, data)

    def _send_answer(self, reply, where, fault, module, address, signature, ack, data):
        if fault.mode == "wrong-signature":
            signature = (signature + 1) & 0xFF
        if fault.mode == "wrong-address":
            address = (address + 1) & 0xFF
            address = address + 1 if address == BROADCAST else address
        answer = build_frame(address, signature, ack, data)
        if fault.mode == "late":
            time.sleep(fault.milliseconds / 1000.0)
        if fault.mode == "unsolicited":
            with self.lock:
                extra = module.automatic_outputs_frame()
            self._write(reply, where, extra)
        if fault.mode == "noise":
            answer = NOISE + answer
        if fault.mode == "split":
            for offset in range(0, len(answer), SPLIT_PIECE):
                if offset:
                    time.sleep(fault.milliseconds / 1000.0)
                self._write(reply, where, answer[offset:offset + SPLIT_PIECE])
        else:
            self._write(reply, where, answer)

    def _write(self, reply, where, data):
        self.trace(f"{where} tx {data.hex(' ')}")
        try:
            reply(data)
        except OSError as error:
            self.trace(f"{where} write failed: {error}")

    def send_unsolicited(self, data):
        for sink in list(self.unsolicited_sinks):
            self._write(sink.send_unsolicited, sink.name, data)

    def set_inputs(self, module, changes):
        """changes: (number, state) pairs; one automatic message when any input changed."""
        with self.lock:
            changed = [module.set_input(number, state) for number, state in changes]
            message = module.automatic_inputs_frame() if any(changed) and module.auto_notify \
                else None
        if message:
            self.send_unsolicited(message)


class PtyChannel:
    """A pseudo-terminal made here, or an existing serial device, in raw mode."""

    def __init__(self, bus, device=None, link=None):
        self.bus = bus
        self.link = None
        if device is None:
            self._fd, self._slave = os.openpty()
            self.path = os.ttyname(self._slave)
            self._make_raw(self._slave)
        else:
            self._fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
            self._slave = None
            self.path = device
            self._make_raw(self._fd)
        self.name = f"pty {self.path}"
        self._write_lock = threading.Lock()
        if link:
            self._make_link(link)

    @staticmethod
    def _make_raw(fd):
        try:
            tty.setraw(fd, termios.TCSANOW)
        except termios.error:
            pass

    def _make_link(self, link):
        if os.path.islink(link):
            os.unlink(link)
        os.symlink(self.path, link)
        self.link = link

    def start(self):
        threading.Thread(target=self._read_loop, daemon=True).start()

    def _read_loop(self):
        parser = FrameParser()
        while not self.bus.stopping.is_set():
            try:
                data = os.read(self._fd, 4096)
            except OSError as error:
                if error.errno == errno.EIO:
                    time.sleep(0.05)
                    continue
                return
            if not data:
                return
            self.bus.receive(parser, data, self.send, self.name)

    def send(self, data):
        with self._write_lock:
            view = memoryview(data)
            while view:
                view = view[os.write(self._fd, view):]

    send_unsolicited = send

    def close(self):
        if self.link and os.path.islink(self.link):
            os.unlink(self.link)
        for fd in (self._fd, self._slave):
            if fd is not None:
                os.close(fd)


class TcpConnection:
    def __init__(self, sock, peer):
        self.sock = sock
        self.name = f"tcp {peer[0]}:{peer[1]}"
        self._write_lock = threading.Lock()

    def send(self, data):
        with self._write_lock:
            self.sock.sendall(data)

    send_unsolicited = send


class TcpChannel:
    """A listener on 127.0.0.1; every connection is a channel of its own."""

    def __init__(self, bus, port):
        self.bus = bus
        self.listener = socket.create_server((LOCALHOST, port))
        self.port = self.listener.getsockname()[1]

    def start(self):
        threading.Thread(target=self._accept_loop, daemon=True).start()

    def _accept_loop(self):
        while True:
            try:
                sock, peer = self.listener.accept()
            except OSError:
                return
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            connection = TcpConnection(sock, peer)
            threading.Thread(target=self._serve, args=(connection,), daemon=True).start()

    def _serve(self, connection):
        self.bus.trace(f"{connection.name} connected")
        self.bus.unsolicited_sinks.append(connection)
        parser = FrameParser()
        try:
            while True:
                data = connection.sock.recv(4096)
                if not data:
                    break
                self.bus.receive(parser, data, connection.send, connection.name)
        except OSError:
            pass
        finally:
            self.bus.unsolicited_sinks.remove(connection)
            connection.sock.close()
            self.bus.trace(f"{connection.name} closed")

    def close(self):
        self.listener.close()


class UdpChannel:
    """A socket on 127.0.0.1; answers go to the sender, automatic messages to the last one."""

    def __init__(self, bus, port):
        self.bus = bus
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind((LOCALHOST, port))
        self.port = self.sock.getsockname()[1]
        self.name = f"udp {self.port}"
        self._last_peer = None
        self._parsers = {}

    def start(self):
        threading.Thread(target=self._read_loop, daemon=True).start()

    def _read_loop(self):
        while True:
            try:
                data, peer = self.sock.recvfrom(65535)
            except ConnectionError:
                continue
            except OSError:
                return
            self._last_peer = peer
            parser = self._parsers.setdefault(peer, FrameParser())
            self.bus.receive(parser, data, lambda d, p=peer: self.sock.sendto(d, p),
                             f"udp {peer[0]}:{peer[1]}")

    def send_unsolicited(self, data):
        if self._last_peer:
            self.sock.sendto(data, self._last_peer)

    def close(self):
        self.sock.close()


class ControlServer:
    """Line commands on 127.0.0.1 that drive the bus while it runs."""

    def __init__(self, bus, port):
        self.bus = bus
        self.listener = socket.create_server((LOCALHOST, port))
        self.port = self.listener.getsockname()[1]
        self._commands = {
            "help": self._help, "set-input": self._set_input, "set-inputs": self._set_inputs,
            "get-inputs": self._get_inputs, "get-outputs": self._get_outputs,
            "set-temperature": self._set_temperature, "set-counter": self._set_counter,
            "set-pps": self._set_pps, "set-mode": self._set_mode, "state": self._state,
            "fault": self._fault, "send-unsolicited": self._send_unsolicited,
            "log": self._log, "quit": self._quit,
        }

    def start(self):
        threading.Thread(target=self._accept_loop, daemon=True).start()

    def _accept_loop(self):
        while True:
            try:
                sock, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(sock,), daemon=True).start()

    def _serve(self, sock):
        with sock, sock.makefile("rb") as lines:
            for line in lines:
                reply = self.execute(line.decode("utf-8", "replace"))
                try:
                    sock.sendall((reply + "\n").encode())
                except OSError:
                    return
                if self.bus.quit_requested.is_set():
                    self.bus.stopping.set()
                    return

    def execute(self, line):
        words = line.split()
        if not words:
            return "ERR empty command"
        try:
            module = self.bus.modules[0]
            if words[0].startswith("@"):
                module = self.bus.module_at(int(words[0][1:], 0))
                words = words[1:]
            command = self._commands.get(words[0]) if words else None
            if command is None:
                return "ERR unknown command; try help"
            result = command(module, words[1:])
        except (ValueError, IndexError) as error:
            return f"ERR {error}"
        return "OK" if result is None else f"OK {result}"

    @staticmethod
    def _count(words, count):
        if len(words) != count:
            raise ValueError(f"expected {count} argument(s)")

    def _help(self, _module, _words):
        return " ".join(sorted(self._commands))

    def _set_input(self, module, words):
        self._count(words, 2)
        if words[1] not in ("0", "1"):
            raise ValueError("state must be 0 or 1")
        self.bus.set_inputs(module, [(int(words[0]), words[1] == "1")])

    def _set_inputs(self, module, words):
        self._count(words, 1)
        states = parse_bits_text(words[0])
        if len(states) > len(module.inputs):
            raise ValueError(f"the module has {len(module.inputs)} inputs")
        self.bus.set_inputs(module, list(enumerate(states, start=1)))

    def _get_inputs(self, module, words):
        self._count(words, 0)
        with self.bus.lock:
            return bits_text(module.inputs)

    def _get_outputs(self, module, words):
        self._count(words, 0)
        with self.bus.lock:
            return bits_text(module.outputs)

    def _set_temperature(self, module, words):
        if len(words) not in (1, 2):
            raise ValueError("expected VALUE [THERMOMETER]")
        number = int(words[1]) if len(words) == 2 else 0
        if not 0 <= number < len(module.temperatures):
            raise ValueError(f"the module has {len(module.temperatures)} thermometers")
        with self.bus.lock:
            module.temperatures[number] = float(words[0])

    def _set_counter(self, module, words):
        self._count(words, 2)
        number, value = int(words[0]), int(words[1], 0)
        if not 1 <= number <= len(module.counters):
            raise ValueError(f"the module has {len(module.counters)} counters")
        with self.bus.lock:
            module.counters[number - 1] = value & module.counter_mask()

    def _set_pps(self, module, words):
        self._count(words, 2)
        with self.bus.lock:
            module.pulse_rates[int(words[0]) & 0xFF] = int(words[1]) & 0xFFFF

    def _set_mode(self, module, words):
        self._count(words, 2)
        channel, value = int(words[0]), int(words[1], 0)
        if not 0 <= channel < len(module.modes):
            raise ValueError(f"channels are 0 to {len(module.modes) - 1}")
        with self.bus.lock:
            module.modes[channel] = value & 0xFF

    def _state(self, module, words):
        self._count(words, 0)
        with self.bus.lock:
            return json.dumps(module.state())

    def _fault(self, _module, words):
        fault = Fault.parse(words)
        with self.bus.lock:
            self.bus.fault = fault

    def _send_unsolicited(self, _module, words):
        self._count(words, 1)
        self.bus.send_unsolicited(bytes.fromhex(words[0]))

    def _log(self, _module, words):
        with self.bus.lock:
            if words == ["clear"]:
                self.bus.received.clear()
                return None
            self._count(words, 0)
            return " ".join(self.bus.received) or None

    def _quit(self, _module, _words):
        self.bus.quit_requested.set()

    def close(self):
        self.listener.close()


def parse_addresses(text):
    addresses = [int(part, 0) for part in text.split(",") if part.strip()]
    if not addresses or any(not 0 <= a <= HIGHEST_ADDRESS for a in addresses):
        raise argparse.ArgumentTypeError(f"addresses must be 0 to {HIGHEST_ADDRESS}")
    if len(set(addresses)) != len(addresses):
        raise argparse.ArgumentTypeError("addresses must differ")
    return addresses


def parse_factory(text):
    parts = [int(p, 0) for p in text.split(",")]
    if len(parts) != 3:
        raise argparse.ArgumentTypeError("expected W1,W2,BASE")
    return parts


def bounded(low, high):
    def convert(text):
        value = int(text, 0)
        if not low <= value <= high:
            raise argparse.ArgumentTypeError(f"must be {low} to {high}")
        return value
    return convert


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        description="Plays Tarvo I/O modules speaking Vantel 97 for tests and the demo.",
        epilog=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    channels = parser.add_argument_group("channels (at least one; all on 127.0.0.1)")
    channels.add_argument("--pty", action="store_true", help="create a pseudo-terminal pair")
    channels.add_argument("--device", metavar="PATH", help="use this serial device instead")
    channels.add_argument("--link", metavar="PATH",
                          help="symlink PATH to the pty's slave end (implies --pty)")
    channels.add_argument("--tcp", metavar="PORT", type=bounded(0, 65535),
                          help="TCP listener; 0 picks a port")
    channels.add_argument("--udp", metavar="PORT", type=bounded(0, 65535),
                          help="UDP socket; 0 picks a port")
    channels.add_argument("--control", metavar="PORT", type=bounded(0, 65535),
                          help="line-based control port; 0 picks a port")
    module = parser.add_argument_group("modules")
    module.add_argument("--address", type=bounded(0, HIGHEST_ADDRESS), default=1,
                        help="address of the one module (default 1)")
    module.add_argument("--modules", metavar="A,B,...", type=parse_addresses,
                        help="addresses of several modules on the bus (overrides --address)")
    module.add_argument("--inputs", type=bounded(0, 256), default=8)
    module.add_argument("--outputs", type=bounded(0, MAX_OUTPUTS), default=8)
    module.add_argument("--counters", type=bounded(0, MAX_COUNTERS),
                        help="counters (default: inputs, at most 60); 0 refuses with code 2")
    module.add_argument("--counter-width", type=int, choices=(8, 16, 24, 32), default=32)
    module.add_argument("--thermometers", type=bounded(0, 255), default=1)
    module.add_argument("--kind", choices=("ETH", "USB", "RS"), default="ETH",
                        help="connection kind in the identification text")
    module.add_argument("--ident", metavar="TEXT", help="identification text to answer")
    module.add_argument("--legacy", action="store_true",
                        help='answer "Tarvo;F97;V0573.26" and refuse counters')
    module.add_argument("--baud-code", type=bounded(0, HIGHEST_BAUD_CODE), default=6)
    module.add_argument("--factory", metavar="W1,W2,BASE", type=parse_factory,
                        default=[573, 26, 100000])
    module.add_argument("--time-unit-ms", type=bounded(1, 60000), default=100,
                        help="unit of the 0x23 time byte (default 100 ms)")
    parser.add_argument("--verbose", action="store_true", help="log frames to stderr")
    args = parser.parse_args(argv)
    if args.link:
        args.pty = True
    if args.pty and args.device:
        parser.error("--pty/--link and --device exclude each other")
    if not (args.pty or args.device or args.tcp is not None or args.udp is not None):
        parser.error("give at least one of --pty, --link, --device, --tcp, --udp")
    return args


def main(argv=None):
    args = parse_arguments(argv)
    bus = Bus(args.modules or [args.address], ModuleConfig(args), args.verbose)
    opened = []
    announce = {}
    try:
        if args.pty or args.device:
            pty_channel = PtyChannel(bus, args.device, args.link)
            opened.append(pty_channel)
            bus.unsolicited_sinks.append(pty_channel)
            announce["device" if args.device else "pty"] = pty_channel.path
            if pty_channel.link:
                announce["link"] = pty_channel.link
        if args.tcp is not None:
            opened.append(TcpChannel(bus, args.tcp))
            announce["tcp"] = opened[-1].port
        if args.udp is not None:
            opened.append(UdpChannel(bus, args.udp))
            bus.unsolicited_sinks.append(opened[-1])
            announce["udp"] = opened[-1].port
        if args.control is not None:
            opened.append(ControlServer(bus, args.control))
            announce["control"] = opened[-1].port
        for channel in opened:
            channel.start()
        for signal_number in (signal.SIGINT, signal.SIGTERM):
            signal.signal(signal_number, lambda *_: bus.stopping.set())
        print(json.dumps(announce), flush=True)
        while not bus.stopping.wait(0.2):
            pass
    finally:
        for channel in reversed(opened):
            channel.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
