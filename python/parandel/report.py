"""python3 -m parandel.report FOLDER OUT [--scheduler ADDRESS] [settings]

The report of `parandel analyze FOLDER/* --report OUT` (report.json byte for byte, index.html and
the pictures), computed on a Dask cluster: one task per audio file of FOLDER (its files with an
audio extension, in byte order of their names). Without --scheduler a local cluster with one
worker process per core is started for the run and stopped after it. With one, the workers must
reach FOLDER under the same path, and OUT is written where this command runs.

A worker lost during the run costs nothing: the scheduler runs its tasks again elsewhere.
"""

import argparse
import os
import sys

from . import _parandel

# The parameter options in the order the command line applies and lists them.
SETTINGS = [
    ("--width", "width", float),
    ("--pan", "pan", float),
    ("--bass-focus", "bass_focus", float),
    ("--out-gain", "out_gain", float),
    ("--mono-to-stereo", "mono_to_stereo", bool),
    ("--mono-out", "mono_out", bool),
]


def audio_files(folder):
    """The audio files of folder, as FOLDER/name, in byte order of their names."""
    names = sorted(os.listdir(folder), key=os.fsencode)
    paths = [os.path.join(folder, n) for n in names]
    return [p for p in paths if os.path.isfile(p) and _parandel._is_audio_name(p)]


def report_file(path, settings, block_size):
    """One file's part of the report, as plain values (the task a worker runs)."""
    return _parandel._report_file(path, settings, block_size)


def run(files, out, client, settings=(), block_size=512):
    """Maps the files over the client's cluster and writes the report; the per-file results.
    The outputs must have passed _parandel._check_report."""
    futures = client.map(report_file, files, settings=list(settings), block_size=block_size,
                         pure=False)
    results = client.gather(futures)
    _parandel._write_report(files, results, out, list(settings))
    return results


def parse(argv):
    parser = argparse.ArgumentParser(
        prog="python3 -m parandel.report",
        description="The report of `parandel analyze --report` for a folder, on a Dask cluster")
    parser.add_argument("folder", metavar="FOLDER", help="folder of audio files")
    parser.add_argument("out", metavar="OUT", help="folder of the report")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="a running Dask scheduler (default: a local cluster for this run)")
    for flag, name, kind in SETTINGS:
        if kind is bool:
            parser.add_argument(flag, dest=name, action="store_true")
        else:
            parser.add_argument(flag, dest=name, type=float)
    parser.add_argument("--block-size", type=int, default=512)
    return parser.parse_args(argv)


def main(argv=None):
    args = parse(argv)
    settings = []
    for _, name, kind in SETTINGS:
        value = getattr(args, name)
        if (value is not None and kind is not bool) or value is True:
            settings.append((name, float(value)))
    from distributed import Client, LocalCluster

    try:
        files = audio_files(args.folder)
    except OSError as e:
        print(f"parandel.report: error: cannot list '{args.folder}': {e.strerror}",
              file=sys.stderr)
        return 2
    if not files:
        print(f"parandel.report: error: no audio files in '{args.folder}'", file=sys.stderr)
        return 2
    try:
        _parandel._check_report(files, args.out, settings)
        if args.scheduler:
            with Client(args.scheduler) as client:
                results = run(files, args.out, client, settings, args.block_size)
        else:
            with LocalCluster(n_workers=os.cpu_count() or 1, threads_per_worker=1,
                              processes=True, dashboard_address=None) as cluster, \
                    Client(cluster) as client:
                results = run(files, args.out, client, settings, args.block_size)
    except ValueError as e:
        print(f"parandel.report: error: {e}", file=sys.stderr)
        return 2
    except RuntimeError as e:
        print(f"parandel.report: error: {e}", file=sys.stderr)
        return 1
    failed = [r for r in results if r["error"]]
    for r in failed:
        print(f"parandel.report: error: {r['error']}", file=sys.stderr)
    print(f"{len(files) - len(failed)} of {len(files)} files analysed; report in {args.out}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
