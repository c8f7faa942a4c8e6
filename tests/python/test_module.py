"""parandel over numpy arrays: the same samples as the command line, checked arguments, and
threads side by side."""

import json
import os
import threading
import time

import numpy as np
import pytest

import parandel
from conftest import read_wav, run_cli, write_wav

RATE = 44100


def signal(frames, channels, seed):
    rng = np.random.default_rng(seed)
    x = rng.normal(0.0, 0.25, (frames, channels))
    if channels == 2:
        x[:, 1] = 0.6 * x[:, 0] + 0.4 * x[:, 1]  # partly correlated, as music is
    return x.astype(np.float32)


SETTINGS = [
    {},
    {"width": 60, "pan": -30, "bass_focus": 150},
    {"width": -100, "out_gain": 6.5},
    {"mono_to_stereo": True, "out_gain": -3, "block_size": 100},
    {"mono_out": True, "bass_focus": 0, "block_size": 1024},
]


def cli_options(settings):
    args = []
    for key, value in settings.items():
        flag = "--" + key.replace("_", "-")
        if isinstance(value, bool):
            args += [flag] if value else []
        else:
            args += [flag, value]
    return args


@pytest.mark.parametrize("channels", [1, 2])
@pytest.mark.parametrize("settings", SETTINGS, ids=lambda s: "-".join(map(str, s)) or "default")
def test_process_gives_the_samples_of_the_command_line(workdir, channels, settings):
    x = signal(3 * 4096 + 77, channels, 7)
    src, out = os.path.join(workdir, "in.wav"), os.path.join(workdir, "out.wav")
    write_wav(src, x, RATE)
    r = run_cli("process", src, out, "--quiet", *cli_options(settings))
    assert r.returncode == 0, r.stderr
    expected = read_wav(out)
    audio = x[:, 0] if channels == 1 else x
    got = parandel.process(audio, RATE, **settings)
    assert got.dtype == np.float32 and got.shape == (len(x), 2)
    assert np.array_equal(got, expected)
    # Double precision in, double out, holding the same single-precision results.
    got64 = parandel.process(audio.astype(np.float64), RATE, **settings)
    assert got64.dtype == np.float64 and np.array_equal(got64, expected)


def test_memory_order_does_not_change_the_result():
    x = signal(5000, 2, 3)
    c_order = parandel.process(x, RATE, width=40)
    fortran = parandel.process(np.asfortranarray(x), RATE, width=40)
    wide = np.zeros((5000, 5), np.float32)
    wide[:, 1], wide[:, 3] = x[:, 0], x[:, 1]
    strided = parandel.process(wide[:, 1::2], RATE, width=40)  # neither C nor Fortran
    assert np.array_equal(c_order, fortran) and np.array_equal(c_order, strided)
    mono = signal(5000, 1, 4)
    assert np.array_equal(parandel.process(mono, RATE), parandel.process(mono[:, 0], RATE))


@pytest.mark.parametrize("channels", [1, 2])
def test_analyze_gives_the_entry_of_the_command_line(workdir, channels):
    x = signal(2 * RATE + 333, channels, 11)
    src, out = os.path.join(workdir, "in.wav"), os.path.join(workdir, "a.json")
    write_wav(src, x, RATE)
    r = run_cli("analyze", src, "--json", out, "--width", 70, "--quiet")
    assert r.returncode == 0, r.stderr
    with open(out) as f:
        expected = json.load(f)
    got = parandel.analyze(x, RATE, width=70, file=src)
    assert got == expected


@pytest.mark.parametrize(
    "call, error, words",
    [
        (lambda: parandel.process([0.0, 0.1], RATE), TypeError, "numpy array"),
        (lambda: parandel.process(np.zeros(10, np.int16), RATE), TypeError, "float32 or float64"),
        (lambda: parandel.process(np.zeros((10, 3), np.float32), RATE), ValueError, "(10, 3)"),
        (lambda: parandel.process(np.zeros((2, 2, 2), np.float32), RATE), ValueError, "shaped"),
        (lambda: parandel.process(np.zeros(10, np.float32), 0), ValueError, "rate"),
        (lambda: parandel.process(np.zeros(10, np.float32), 44100.5), ValueError, "rate"),
        (lambda: parandel.process(np.zeros(10, np.float32), float("nan")), ValueError, "rate"),
        (lambda: parandel.process(np.zeros(10, np.float32), RATE, width=float("nan")),
         ValueError, "width"),
        (lambda: parandel.process(np.zeros(10, np.float32), RATE, pan=101), ValueError, "range"),
        (lambda: parandel.process(np.zeros(10, np.float32), RATE, block_size=0), ValueError,
         "block_size"),
        (lambda: parandel.analyze(np.zeros(10, np.float32), RATE, out_gain=float("inf")),
         ValueError, "out_gain"),
        (lambda: parandel.Plugin(RATE, 64).process(np.zeros((65, 2), np.float32)), ValueError,
         "at most 64"),
        (lambda: parandel.Plugin(RATE, 64).process(np.zeros(64, np.float32)), ValueError,
         "channels"),
        (lambda: parandel.Plugin(RATE, 64).set("loudness", 1), ValueError, "unknown"),
        (lambda: parandel.Plugin(RATE, 64).set("CorrelationMeter", 1), ValueError, "meter"),
        (lambda: parandel.Plugin(RATE, 64, channels=3), ValueError, "channels"),
        (lambda: parandel.Plugin(-1, 64), ValueError, "rate"),
    ],
)
def test_bad_input_raises_a_clear_error(call, error, words):
    with pytest.raises(error, match=None) as caught:
        call()
    assert words in str(caught.value)


def test_plugin_streams_what_process_renders_and_resets():
    x = signal(8 * 512, 2, 5)
    whole = parandel.process(x, RATE, width=30)  # no latency here: blocks line up
    plugin = parandel.Plugin(RATE, 512)
    plugin.set("width", 30)
    plugin.reset()
    streamed = np.concatenate([plugin.process(x[k:k + 512]) for k in range(0, len(x), 512)])
    assert np.array_equal(streamed, whole)
    plugin.reset()
    again = np.concatenate([plugin.process(x[k:k + 512]) for k in range(0, len(x), 512)])
    assert np.array_equal(again, whole)
    # The meters: identical channels correlate fully (once the meter has settled); the width
    # meter shows the setting.
    same = np.repeat(signal(2 * RATE, 1, 6), 2, axis=1)
    for k in range(0, len(same), 512):
        plugin.process(same[k:k + 512])
    assert plugin.correlation > 0.99
    plugin.set("Width", 100)
    assert plugin.width_meter == 1.0


def test_two_threads_process_at_once():
    signals = [signal(10 * RATE, 2, 20 + i) for i in range(2)]
    alone = [parandel.process(s, RATE, width=50) for s in signals]
    results = [None, None]

    def work(i):
        results[i] = parandel.process(signals[i], RATE, width=50)

    threads = [threading.Thread(target=work, args=(i,)) for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert all(np.array_equal(results[i], alone[i]) for i in range(2))


def test_processing_lets_other_python_threads_run():
    x = signal(60 * RATE, 2, 30)
    inside = threading.Event()
    finished = threading.Event()

    def work():
        inside.set()
        parandel.process(x, RATE)
        inside.clear()
        finished.set()

    worker = threading.Thread(target=work)
    worker.start()
    # This thread wakes every 5 ms and counts the wake-ups that find the worker inside the call.
    # Were the GIL held through the render, it could wake there at most twice (on its way in and
    # on its way out); a minute of audio takes a few hundred milliseconds.
    woke_inside = 0
    while not finished.is_set():
        time.sleep(0.005)
        woke_inside += inside.is_set()
    worker.join()
    assert woke_inside >= 5
