"""python3 -m parandel.report on a local Dask cluster: the command line's report, also when a
worker dies during the run."""

import multiprocessing
import os
import shutil
import threading

import numpy as np

from conftest import run_cli, write_wav
from parandel import report

RATE = 22050


def make_folder(path, count):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    rng = np.random.default_rng(3)
    for i in range(count):
        x = rng.normal(0.0, 0.2, (RATE + 1000 * i, 1 if i % 3 == 0 else 2)).astype(np.float32)
        write_wav(os.path.join(path, f"take{i:02d}.wav"), x, RATE)
    with open(os.path.join(path, "notes.txt"), "w") as f:
        f.write("not audio, not reported\n")


def folder_bytes(path):
    return {n: open(os.path.join(path, n), "rb").read() for n in sorted(os.listdir(path))}


def kill_a_busy_worker(client, stop):
    """Kills a worker process while it runs a task; the address killed, or None."""
    pids = client.run(os.getpid)
    while not stop.is_set():
        for address, keys in client.processing().items():
            if keys and address in pids:
                os.kill(pids[address], 9)
                return address
        stop.wait(0.02)
    return None


def test_report_on_two_workers_matches_the_command_line_despite_a_killed_worker(workdir):
    from distributed import Client, LocalCluster

    folder, ours, theirs = (os.path.join(workdir, n) for n in ("in", "dask", "cli"))
    make_folder(folder, 8)
    for out in (ours, theirs):
        shutil.rmtree(out, ignore_errors=True)
    files = report.audio_files(folder)
    assert [os.path.basename(f) for f in files] == [f"take{i:02d}.wav" for i in range(8)]
    r = run_cli("analyze", *files, "--report", theirs, "--width", 30, "--quiet")
    assert r.returncode == 0, r.stderr

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        stop = threading.Event()
        killed = []
        killer = threading.Thread(target=lambda: killed.append(kill_a_busy_worker(client, stop)))
        killer.start()
        try:
            code = report.main([folder, ours, "--scheduler", cluster.scheduler_address,
                                "--width", "30"])
        finally:
            stop.set()
            killer.join()
    assert code == 0
    assert killed and killed[0] is not None
    assert folder_bytes(ours) == folder_bytes(theirs)
    assert multiprocessing.active_children() == []


def test_report_refuses_what_the_command_line_refuses(workdir, capsys):
    folder = os.path.join(workdir, "in")
    make_folder(folder, 1)
    assert report.main([folder, os.path.join(folder, "take00.wav")]) == 2
    assert "not a folder" in capsys.readouterr().err
    empty = os.path.join(workdir, "empty")
    shutil.rmtree(empty, ignore_errors=True)
    os.makedirs(empty)
    assert report.main([empty, os.path.join(workdir, "out")]) == 2
    assert "no audio files" in capsys.readouterr().err
    assert report.main([folder, os.path.join(workdir, "out"), "--pan", "300"]) == 2
    assert "range" in capsys.readouterr().err
