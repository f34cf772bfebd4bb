#!/usr/bin/env python3
"""Checks the module simulator from the outside: it runs as a process and is spoken to over
TCP with frames built here, independently of its own codec."""

import json
import os
import socket
import subprocess
import sys
import time
import unittest

SIMULATOR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "module_sim.py")
WAIT_SECONDS = 2.0
QUIET_SECONDS = 0.25


def frame(address, signature, code, data=b""):
    length = len(data) + 5
    body = bytes([0x2A, 0x61, length // 256, length % 256, address, signature, code]) + data
    return body + bytes([(255 - sum(body)) % 256, 0x0D])


class Simulator:
    """One simulator process with a TCP bus connection and a control connection."""

    def __init__(self, *options):
        self.process = subprocess.Popen(
            [sys.executable, SIMULATOR, "--tcp", "0", "--control", "0", *options],
            stdout=subprocess.PIPE, text=True, env={**os.environ, "PYTHONDONTWRITEBYTECODE": "1"})
        self.ports = json.loads(self.process.stdout.readline())
        self.bus = socket.create_connection(("127.0.0.1", self.ports["tcp"]), WAIT_SECONDS)
        self.control = socket.create_connection(("127.0.0.1", self.ports["control"]),
                                                WAIT_SECONDS)
        self.control_lines = self.control.makefile("r")
        self.pending = b""

    def close(self):
        self.command("quit")
        self.bus.close()
        self.control_lines.close()
        self.control.close()
        self.process.stdout.close()
        self.process.wait(WAIT_SECONDS)

    def command(self, line):
        self.control.sendall((line + "\n").encode())
        return self.control_lines.readline().rstrip("\n")

    def receive_raw(self, timeout=WAIT_SECONDS):
        """Bytes before the next complete frame, and that frame."""
        deadline = time.monotonic() + timeout
        while True:
            start = self.pending.find(b"*a")
            if start >= 0 and len(self.pending) >= start + 4:
                end = start + self.pending[start + 2] * 256 + self.pending[start + 3] + 4
                if len(self.pending) >= end:
                    before, found = self.pending[:start], self.pending[start:end]
                    self.pending = self.pending[end:]
                    return before, found
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise TimeoutError(f"no complete frame; have {self.pending.hex(' ')}")
            self.bus.settimeout(remaining)
            self.pending += self.bus.recv(4096)

    def receive(self, timeout=WAIT_SECONDS):
        return self.receive_raw(timeout)[1]

    def exchange(self, address, signature, code, data=b""):
        self.bus.sendall(frame(address, signature, code, data))
        return self.receive()

    def assert_quiet(self, test):
        with test.assertRaises(TimeoutError):
            self.receive(QUIET_SECONDS)


class SimulatorTestCase(unittest.TestCase):
    options = ()

    def setUp(self):
        self.sim = Simulator(*self.options)
        self.addCleanup(self.sim.close)

    def assertAnswer(self, answer, address, signature, ack, data=None):
        self.assertEqual(answer[4:7], bytes([address, signature, ack]), answer.hex(" "))
        if data is not None:
            self.assertEqual(answer[7:-2], data)


class AnswersTest(SimulatorTestCase):
    def test_identification_answer_names_the_configured_module(self):
        sim = Simulator("--inputs", "16", "--outputs", "4", "--thermometers", "2",
                        "--kind", "USB", "--address", "5")
        self.addCleanup(sim.close)
        self.assertAnswer(sim.exchange(0xFE, 7, 0xF3), 5, 7, 0,
                          b"TARVO 16/4 USB ;F97;V0573.26.01;T2")
        self.assertAnswer(sim.exchange(5, 8, 0xF3), 5, 8, 0)

    def test_every_answer_is_a_well_formed_frame(self):
        requests = [(0xF3, b""), (0x31, b""), (0x30, b""), (0xFA, b""), (0xF0, b""),
                    (0x60, b"\x00"), (0x51, b"\x00"), (0x99, b""), (0x20, b"\x00"),
                    (0x1B, b"")]
        for signature, (code, data) in enumerate(requests, start=1):
            answer = self.sim.exchange(1, signature, code, data)
            with self.subTest(code=hex(code)):
                self.assertEqual(answer[2] * 256 + answer[3], len(answer) - 4)
                self.assertEqual(answer[-2], (255 - sum(answer[:-2])) % 256)
                self.assertEqual(answer[-1], 0x0D)
                self.assertEqual(answer[5], signature)

    def test_refusals_carry_their_acknowledge_code(self):
        self.assertAnswer(self.sim.exchange(1, 1, 0x99), 1, 1, 1, b"")
        self.assertAnswer(self.sim.exchange(1, 2, 0x20, b"\x89"), 1, 2, 4, b"")
        self.assertAnswer(self.sim.exchange(1, 3, 0xE0, b"\x02\x06"), 1, 3, 5, b"")
        self.assertAnswer(self.sim.exchange(1, 4, 0x31, b"\x00"), 1, 4, 4, b"")

    def test_requests_for_other_addresses_are_logged_but_not_answered(self):
        request = frame(9, 1, 0xF3)
        self.sim.bus.sendall(request)
        self.sim.assert_quiet(self)
        self.assertEqual(self.sim.command("log"), "OK " + request.hex())

    def test_noise_and_bad_frames_before_a_request_are_skipped(self):
        bad_checksum = bytearray(frame(1, 1, 0x31))
        bad_checksum[-2] ^= 0xFF
        good = frame(1, 2, 0x30)
        self.sim.bus.sendall(b"\x00*x*a" + bytes(bad_checksum) + b"junk" + good)
        self.assertAnswer(self.sim.receive(), 1, 2, 0, b"\x00")
        self.sim.assert_quiet(self)
        self.assertEqual(self.sim.command("log"), "OK " + good.hex())


class StateTest(SimulatorTestCase):
    options = ("--time-unit-ms", "20")

    def test_input_change_sends_automatic_message_only_when_notification_is_on(self):
        self.assertEqual(self.sim.command("set-input 2 1"), "OK")
        self.sim.assert_quiet(self)
        self.assertAnswer(self.sim.exchange(1, 1, 0x10, b"\x01"), 1, 1, 0, b"")
        self.assertAnswer(self.sim.exchange(1, 2, 0x11), 1, 2, 0, b"a")
        self.assertEqual(self.sim.command("set-input 3 1"), "OK")
        self.assertAnswer(self.sim.receive(), 1, 0, 13, b"\x06")
        self.assertEqual(self.sim.command("set-input 3 1"), "OK")
        self.sim.assert_quiet(self)

    def test_outputs_set_single_all_and_timed_with_fall_back(self):
        self.assertAnswer(self.sim.exchange(1, 1, 0x20, b"\x81\x88"), 1, 1, 0)
        self.assertEqual(self.sim.command("get-outputs"), "OK 10000001")
        self.assertAnswer(self.sim.exchange(1, 2, 0x23, b"\x03\x82"), 1, 2, 0)
        self.assertAnswer(self.sim.exchange(1, 3, 0x30), 1, 3, 0, b"\x83")
        time.sleep(0.15)
        self.assertAnswer(self.sim.exchange(1, 4, 0x30), 1, 4, 0, b"\x81")

    def test_counters_count_rising_edges_and_clear_on_read(self):
        for state in ("101", "0", "1"):
            self.sim.command(f"set-inputs {state}")
        self.assertAnswer(self.sim.exchange(1, 1, 0x60, b"\x81"), 1, 1, 0,
                          b"\x20\x00\x00\x00\x02")
        self.assertAnswer(self.sim.exchange(1, 2, 0x60, b"\x03"), 1, 2, 0,
                          b"\x20\x00\x00\x00\x01")
        self.assertAnswer(self.sim.exchange(1, 3, 0x60, b"\x01"), 1, 3, 0,
                          b"\x20\x00\x00\x00\x00")

    def test_temperature_is_answered_in_tenths(self):
        self.assertEqual(self.sim.command("set-temperature -12.5"), "OK")
        self.assertAnswer(self.sim.exchange(1, 1, 0x51, b"\x00"), 1, 1, 0, b"\x00\xff\x83")
        self.assertAnswer(self.sim.exchange(1, 2, 0x51, b"\x01"), 1, 2, 4)


class FaultTest(SimulatorTestCase):
    def test_noise_once_precedes_only_the_next_answer(self):
        self.assertEqual(self.sim.command("fault noise once"), "OK")
        self.sim.bus.sendall(frame(1, 1, 0x31))
        before, answer = self.sim.receive_raw()
        self.assertNotEqual(before, b"")
        self.assertAnswer(answer, 1, 1, 0)
        self.sim.bus.sendall(frame(1, 2, 0x31))
        self.assertEqual(self.sim.receive_raw()[0], b"")

    def test_silence_and_wrong_signature_until_cleared(self):
        self.assertEqual(self.sim.command("fault silence"), "OK")
        self.sim.bus.sendall(frame(1, 1, 0x31) + frame(1, 2, 0x31))
        self.sim.assert_quiet(self)
        self.assertEqual(self.sim.command("fault wrong-signature"), "OK")
        self.assertAnswer(self.sim.exchange(1, 3, 0x31), 1, 4, 0)
        self.assertEqual(self.sim.command("fault none"), "OK")
        self.assertAnswer(self.sim.exchange(1, 5, 0x31), 1, 5, 0)
        self.assertTrue(self.sim.command("fault late").startswith("ERR"))


class BusTest(SimulatorTestCase):
    options = ("--modules", "1,2")

    def test_broadcast_reaches_every_module_and_address_change_moves_one(self):
        self.sim.bus.sendall(frame(0xFE, 1, 0x31))
        self.assertEqual({self.sim.receive()[4], self.sim.receive()[4]}, {1, 2})
        self.assertAnswer(self.sim.exchange(2, 2, 0xE4), 2, 2, 0)
        self.assertAnswer(self.sim.exchange(2, 3, 0xE0, b"\x07\x06"), 2, 3, 0)
        self.assertAnswer(self.sim.exchange(7, 4, 0xF0), 7, 4, 0, b"\x07\x06")
        self.sim.bus.sendall(frame(2, 5, 0xF0))
        self.sim.assert_quiet(self)
        self.assertEqual(self.sim.command("@7 set-input 1 1"), "OK")
        self.assertEqual(self.sim.command("@7 get-inputs"), "OK 10000000")
        self.assertEqual(self.sim.command("get-inputs"), "OK 00000000")


if __name__ == "__main__":
    unittest.main()
