"""TW Parandel over numpy arrays.

process(audio, rate, ...)  the plug-in over a whole signal, as `parandel process` renders it
analyze(audio, rate, ...)  one entry of `parandel analyze --json`, as a dict
Plugin(rate, max_block)    one plug-in fed block by block, for streaming

Processing releases the GIL, so threads run side by side. `python3 -m parandel.report` maps the
analysis over a folder on a Dask cluster.
"""

from ._parandel import Plugin, __version__, analyze, process

__all__ = ["Plugin", "analyze", "process", "__version__"]
