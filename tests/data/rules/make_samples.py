#!/usr/bin/env python3
"""Writes samples/<family>/ and cases/<family>.tsv from families/<family>.py (one module per .yar file).

Every rule has an attack that must fire at its severity and a look-alike that must stay silent. The tests read
the samples as plain files, so run this again after changing a case; the columns are RuleCase's in RulePackTest.cpp.
Sample names never hold the planted path (a folder named .git cannot be committed); the case says where each goes.
"""
import collections
import importlib
import pathlib
import shutil
import sys

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE / "families"))

import _kit  # noqa: E402


def main():
    names = sorted(p.stem for p in (HERE / "families").glob("[!_]*.py"))
    for name in names:
        _kit.begin(name)
        importlib.import_module(name)
    for folder in ("samples", "cases"):
        shutil.rmtree(HERE / folder, ignore_errors=True)
        (HERE / folder).mkdir()
    for name in names:
        (HERE / "samples" / name).mkdir()
        for sample, data in _kit.files[name].items():
            (HERE / "samples" / name / sample).write_bytes(data)
        (HERE / "cases" / f"{name}.tsv").write_text("".join("\t".join(c) + "\n" for c in _kit.cases[name]))
    counts = collections.Counter(c[0] for rows in _kit.cases.values() for c in rows)
    assert max(counts.values()) == 1, f"cases named twice: {[c for c, n in counts.items() if n > 1]}"
    print(f"{sum(map(len, _kit.files.values()))} samples, {len(counts)} cases in {len(names)} families")


main()
