"""Shared helpers of the Python tests: float WAV files in and out, and the program."""

import os
import struct
import subprocess

import numpy as np
import pytest

CLI = os.environ.get("PARANDEL_CLI", "parandel")


def write_wav(path, audio, rate):
    """A 32-bit float WAV of a (frames,) or (frames, channels) array."""
    data = np.asarray(audio, dtype="<f4")
    if data.ndim == 1:
        data = data[:, None]
    channels = data.shape[1]
    payload = np.ascontiguousarray(data).tobytes()
    fmt = struct.pack("<HHIIHH", 3, channels, rate, rate * 4 * channels, 4 * channels, 32)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(payload)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt)
        f.write(b"data" + struct.pack("<I", len(payload)) + payload)


def read_wav(path):
    """(frames, channels) float32 samples of a 32-bit float WAV, whatever chunks it holds."""
    with open(path, "rb") as f:
        raw = f.read()
    assert raw[:4] == b"RIFF" and raw[8:12] == b"WAVE"
    pos, channels = 12, None
    while pos + 8 <= len(raw):
        tag, size = raw[pos:pos + 4], struct.unpack("<I", raw[pos + 4:pos + 8])[0]
        body = raw[pos + 8:pos + 8 + size]
        if tag == b"fmt ":
            code, channels = struct.unpack("<HH", body[:4])
            assert code == 3 and struct.unpack("<H", body[14:16])[0] == 32
        elif tag == b"data":
            return np.frombuffer(body, dtype="<f4").reshape(-1, channels)
        pos += 8 + size + (size & 1)
    raise AssertionError("no data chunk")


def run_cli(*args):
    return subprocess.run([CLI, *map(str, args)], capture_output=True, text=True, timeout=120)


@pytest.fixture
def workdir(request):
    base = os.environ.get("PARANDEL_TEST_TMP", "/tmp")
    path = os.path.join(base, "python-" + request.node.name.replace("[", "-").replace("]", ""))
    os.makedirs(path, exist_ok=True)
    for name in os.listdir(path):
        if os.path.isfile(os.path.join(path, name)):
            os.remove(os.path.join(path, name))
    return path
