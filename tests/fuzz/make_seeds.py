#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into tests/fuzz/corpus/<target>/.

Each seed is one road through the code, spelled in the input format that the head of
fuzz_launch.cpp and fuzz_registry.cpp describes; the fuzzers start from these. Run it again
after a change to either format, and commit its output.
"""
import pathlib
import shutil
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"

# --- fuzz_launch -------------------------------------------------------------------------

HOME, AGENT, BROWSER, RUN_PROGRAM = 0, 1, 2, 3
CREATE_FAILS, SHELL_FAILS, SHELL_NO_PROCESS, ENDED, EXIT_UNREADABLE, NO_C = 1, 2, 4, 8, 16, 32
ELEVATION, NOT_FOUND = 0, 1


def text16(text):
    """A text in FuzzInput::Text16's tokens: ASCII and Latin-1 as they are, others as 0x05."""
    out = bytearray()
    for c in text:
        unit = ord(c)
        if 0x08 <= unit <= 0xFF:
            out.append(unit)
        else:
            out += b"\x05" + struct.pack("<H", unit)
    return bytes(out) + b"\x00"


def launch(action, module="D:\\kavrio.exe", program="", windows="C:\\WINDOWS", failures=0,
           error=ELEVATION, attributes=0, exit_code=0, wait_mode=1, out_size=260):
    header = bytes([failures, error, attributes, exit_code, action, wait_mode & 0xFF])
    header += struct.pack("<H", out_size)
    return header + text16(windows) + text16(module) + text16(program)


LAUNCH_SEEDS = {
    "home-from-cd-root": launch(HOME),
    "agent-from-cd-folder": launch(AGENT, module="D:\\CD Kavrio\\kavrio.exe"),
    "browser-on-share-elevated": launch(BROWSER, module="\\\\srv\\share\\kavrio.exe",
                                        failures=CREATE_FAILS, error=ELEVATION),
    "device-path-shell-declined": launch(HOME, module="\\\\?\\D:\\kavrio.exe",
                                         failures=CREATE_FAILS | SHELL_FAILS),
    "non-latin-folder": launch(AGENT, module="C:\\Instala\u00e7\u00e3o \u5b89\u88c5\\kavrio.exe"),
    "tripled-separators": launch(HOME, module="D:\\CD\\\\\\kavrio.exe", out_size=8),
    "module-name-too-long": launch(HOME, module="D:\\" + "k" * 300),
    "module-name-without-folder": launch(BROWSER, module="kavrio.exe"),
    "run-waits-no-c-drive": launch(RUN_PROGRAM, program="D:\\\\\\\\Setup.exe", failures=NO_C,
                                   windows="e:\\winnt", wait_mode=0, exit_code=42),
    "run-network-ended-unreadable": launch(RUN_PROGRAM, program="\\\\\\\\srv\\\\Setup.exe",
                                           failures=ENDED | EXIT_UNREADABLE | NOT_FOUND),
}

# --- fuzz_registry -----------------------------------------------------------------------

HKLM = 0
SZ, DWORD, BINARY = 0, 2, 3  # type choices
OK, MORE_DATA, NOT_FOUND_STATUS = 0, 3, 4  # query status choices
OPEN_OK, OPEN_NOT_FOUND = 0, 4  # open status choices
NEW_HANDLE = 0


def open_key(status=OPEN_OK, handle=NEW_HANDLE):
    return bytes([status, handle])


def query(value, type_choice=SZ, status=OK, size_choice=0):
    """One answer of QueryValueEx: these bytes written, their count reported (size_choice 0)."""
    assert len(value) < 255
    return bytes([status, type_choice, len(value) + 1]) + value + bytes([size_choice])


def text_read(version):
    """GetValue of a REG_SZ: the open and both reads, the same text each time."""
    value = version.encode() + b"\x00"
    return open_key() + query(value) + query(value)


def registry(answers, key=b"Software\\Microsoft\\Internet Explorer", name=b"Version", nulls=0):
    return bytes([HKLM, nulls]) + key + b"\x00" + name + b"\x00" + answers


CURRENT = "6.0.2800.1106"
REGISTRY_SEEDS = {
    # KeyExists, GetValue, then the check: its KeyExists and three reads.
    "current-browser-menu": registry(open_key() + text_read(CURRENT) + open_key() +
                                     text_read(CURRENT) * 3),
    "browser-4-prompt": registry(open_key() + text_read("4.72") + open_key() +
                                 text_read("4.72.3110.0") * 3),
    "value-changes-to-5.0-on-the-last-read": registry(
        open_key() + text_read(CURRENT) + open_key() + text_read("5.50") + text_read("5.50") +
        text_read("5.00.2920.0000")),
    "4-then-5.0-one-prompt": registry(open_key() + text_read(CURRENT) + open_key() +
                                      text_read(CURRENT) + text_read("4.0") + text_read("5.0")),
    "key-missing": registry(open_key(OPEN_NOT_FOUND) + open_key(OPEN_NOT_FOUND) +
                            open_key(OPEN_NOT_FOUND), key=b"\\\\Software\\Kavrio"),
    "dword-and-binary-over-255-raises": registry(
        open_key() + open_key() + query(b"\x05\x00\x00\x00", DWORD) +
        query(b"\x05\x00\x00\x00", DWORD) + open_key() + open_key() +
        query(b"\xff\x01", BINARY) + query(b"\xff\x01", BINARY),
        key=b"\\Software\\KavrioAdapterTests", name=b"Number"),
    # First read: more data than 255 bytes; then a stored size of 0xFFFFFFFF and a second
    # read that fills the whole buffer with no NUL.
    "text-longer-than-the-buffer": registry(
        open_key() + open_key() + query(b"", SZ, MORE_DATA, 5) + open_key() + open_key() +
        bytes([OK, SZ, 1, 3]) + bytes([OK, SZ, 0]) + b"4" * 255 + bytes([1])),
    "null-names": registry(b"", nulls=3),
    # The lowest DWORD, whose decimal text needs a minus sign and the widest magnitude.
    "dword-lowest": registry(
        open_key() + open_key() + query(b"\x00\x00\x00\x80", DWORD) +
        query(b"\x00\x00\x00\x80", DWORD) + open_key() + query(b"\x00\x00\x00\x80", DWORD) +
        query(b"\x00\x00\x00\x80", DWORD)),
}


def write(target, seeds):
    folder = CORPUS / target
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    for name, data in seeds.items():
        (folder / name).write_bytes(data)


if __name__ == "__main__":
    write("launch", LAUNCH_SEEDS)
    write("registry", REGISTRY_SEEDS)
