#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Each seed is a well-formed run: the camera's answers for a successful exchange, so that the
fuzzer starts from inputs that reach deep into the code and mutates from there.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

DELAY_1MS, DELAY_60MS, DELAY_1500MS, DELAY_12S = 0, 1, 2, 3
XOR, LONG, FAIL, FOLLOWS = 0x04, 0x08, 0x10, 0x20


def chunk(data=b"", flags=0):
    data = bytes(data)
    if len(data) > 255 or flags & LONG:
        return bytes([flags | LONG]) + struct.pack(">H", len(data)) + data
    return bytes([flags, len(data)]) + data


def status_block(state=2, pictures=0, store1=False):
    b = bytearray(126)
    b[1] = state
    b[2], b[3] = 1, 12
    b[0x0C:0x10] = struct.pack(">I", 123456789)
    b[0x1E] = 0x80 if store1 else 0
    b[0x24:0x26] = struct.pack(">h", pictures)
    b[0x4D:0x58] = b"TEXT-------"
    b[0x58:0x64] = b"TK358-000417"
    return bytes(b)


def packet(payload, size=256):
    """A data packet from the camera: the payload padded to size, with its XOR byte."""
    return chunk(bytes(payload).ljust(size, b"\0"), XOR | LONG | FOLLOWS)


def status_answer(**kw):
    """Command acknowledged, the status packet, then (after the host's 0xD2) completion."""
    return chunk(b"\xd1") + packet(status_block(**kw)) + chunk(b"\x00")


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def exchange_seeds():
    opened = chunk()  # nothing arrives on opening
    head = lambda op, arg, clock=0: bytes([(op << 2) | clock]) + struct.pack(">H", arg)
    write("fuzz_packet_exchange", "command", head(0, 0) + opened + chunk(b"\xd1\x00"))
    write("fuzz_packet_exchange", "command_refused", head(0, 0, 2) + opened + chunk(b"\xe1"))
    write("fuzz_packet_exchange", "payload_126",
          head(1, 126) + chunk(bytes(range(256)), XOR | LONG))
    write("fuzz_packet_exchange", "payload_two_packets",
          head(1, 300) + chunk(bytes(256), XOR | LONG) + chunk(bytes(range(256)), XOR | LONG))
    write("fuzz_packet_exchange", "payload_e2", head(2, 16) + chunk(b"\xe2"))
    write("fuzz_packet_exchange", "payload_bad_xor_then_good",
          head(1, 126, 3) + chunk(bytes(257), LONG) + chunk(bytes(256), XOR | LONG))
    write("fuzz_packet_exchange", "send_payload",
          head(4, (258 << 6) | 40) + opened + chunk(b"\xe3") + chunk(b"\xd2") + chunk(b"\xd2"))
    write("fuzz_packet_exchange", "send_data_packet", head(5, 0) + opened + chunk(b"\xd2"))
    write("fuzz_packet_exchange", "read_info", head(6, 0) + opened + status_answer() +
          chunk(b"\xd1") + status_answer())
    write("fuzz_packet_exchange", "read_clock", head(7, 0, 1) + opened + status_answer())
    write("fuzz_packet_exchange", "check_link_silent", head(8, 0) + opened)
    write("fuzz_packet_exchange", "drain", head(10, 0) + chunk(b"\x55" * 40, DELAY_60MS))
    write("fuzz_packet_exchange", "group_table",
          head(12, 10) + opened + status_answer() + chunk(b"\xd1") + status_answer() +
          chunk(b"\xd1") + packet(b"\x00\x00\x00\x03", 16) + chunk(b"\x00"))
    write("fuzz_packet_exchange", "list_items",
          head(13, 40) + opened + status_answer() + chunk(b"\xd1") + status_answer() +
          chunk(b"\xd1") + packet(b"\x00\x00\x00\x02", 16) + chunk(b"\x00") + chunk(b"\xd1") +
          packet(b"\x00\x02" + b"ITEM001\0JPG".ljust(20, b"\0") * 2) + chunk(b"\x00"))
    write("fuzz_packet_exchange", "name_table", head(14, 0) + opened + status_answer() +
          chunk(b"\xd1") + packet(b"NAME".ljust(256, b"\0")) + chunk(b"\x00"))


def connect_seeds():
    opened = chunk()
    greeting = chunk(b"WBRUZFQELPXV")
    after_greeting = chunk()  # the host's 0xD1
    speed = chunk(b"\xd1")  # the speed command is acknowledged
    transfer = bytearray()
    for _ in range(4):  # bank commands
        transfer += chunk(b"\xd1\x00")
    for _ in range(768):  # command acknowledged, block accepted, completion
        transfer += chunk(b"\xd1") + chunk(b"\xd2\x00")
    for _ in range(4 + 48):  # checksums and fixed parameters
        transfer += chunk(b"\xd1\x00")
    download = opened + greeting + after_greeting + speed
    write("fuzz_connect_transfer", "download_mode_success", b"\x00" + download + bytes(transfer))
    write("fuzz_connect_transfer", "download_mode_no_transfer", b"\x00" + download)
    write("fuzz_connect_transfer", "wrong_greeting", b"\x00" + opened + chunk(b"WBRUZFQELPXX"))
    write("fuzz_connect_transfer", "short_greeting", b"\x02" + opened + chunk(b"WBRUZFQELPX"))
    # Normal mode: the greeting goes unanswered, then the reads and the switch.
    normal = opened + chunk() + status_answer() + chunk(b"\xd1") + status_answer()
    write("fuzz_connect_transfer", "normal_mode", b"\x01" + normal + chunk(b"\xd1\x00") +
          greeting + after_greeting + speed)
    write("fuzz_connect_transfer", "search", b"\x04" + opened + chunk() + chunk(b"\xd1"))


def picture_seeds():
    def store(groups):
        out = bytearray([0, len(groups) - 1])
        for name, items in groups:
            out += name.ljust(16, b"\0") + bytes([items]) + b"ITEM" * items
        return bytes(out)
    contents = store([(b"", 1), (b"HOLIDAY", 3), (b"WORK", 0)]) + store([(b"", 0), (b"X", 2)])
    for op in range(8):
        write("fuzz_picture_store", f"op{op}", bytes([op, 20, 1]) + contents)
        write("fuzz_picture_store", f"op{op}_store1", bytes([op | 0x30, 5, 1]) + contents)
    write("fuzz_picture_store", "overrides", bytes([0, 20, 1]) + contents + bytes([0x7C, 9, 1, 2]))


def firmware_seeds():
    ident = b"Orvia Lumen Precision TK358 zoom camera. Firmware".ljust(61, b" ")
    write("fuzz_firmware_file", "header", bytes([48]) + ident + b"0120" + b"*.fw ")
    write("fuzz_firmware_file", "complete", bytes([0x80 | 48]) + ident + b"0120" + bytes(range(64)))
    write("fuzz_firmware_file", "empty", bytes([0]))
    write("fuzz_firmware_file", "filter", bytes([5]) + b"Firmware Files (*.fw )   |*.fw||  ")


def status_seeds():
    write("fuzz_status_block", "camera", status_block(pictures=3, store1=True) + bytes(18))
    write("fuzz_status_block", "wrong_state", status_block(state=7) + b"\x00\x3b" * 9)
    write("fuzz_status_block", "all_ff", b"\xff" * 200)


if __name__ == "__main__":
    exchange_seeds()
    connect_seeds()
    picture_seeds()
    firmware_seeds()
    status_seeds()
