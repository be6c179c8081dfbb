#!/usr/bin/env python3
"""Writes the rule samples under samples/<family>/ and the case tables cases/<family>.tsv.

Every rule of the bundled pack has at least one attack sample that must fire at its severity and one
look-alike that must stay silent. Each family of rules has its own module in families/ (named after its
.yar file) so that families grow without touching each other. Samples are kept as plain files (the
tests read them, not this script); run it again after changing a case. Sample names never contain the
paths where they are planted (a folder named .git cannot be committed), the case says where each goes.

Case table columns: case, expect (fires | silent), rule, severity (- when silent), mode, sample,
destination inside a fresh temporary tree, other rules allowed to fire alongside (comma list or -),
grow (- or the size the planted file is padded to, see families/_kit.py).
"""
import importlib
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
FAMILIES = os.path.join(HERE, "families")
sys.path.insert(0, FAMILIES)

import _kit  # noqa: E402


def main():
    names = sorted(f[:-3] for f in os.listdir(FAMILIES) if f.endswith(".py") and not f.startswith("_"))
    for name in names:
        _kit.begin(name)
        importlib.import_module(name)
    for folder in ("samples", "cases"):
        shutil.rmtree(os.path.join(HERE, folder), ignore_errors=True)
        os.makedirs(os.path.join(HERE, folder))
    seen = set()
    for name in names:
        for sample, data in _kit.files[name].items():
            path = os.path.join(HERE, "samples", name, sample)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        with open(os.path.join(HERE, "cases", name + ".tsv"), "w") as f:
            for c in _kit.cases[name]:
                assert c[0] not in seen, f"case {c[0]} named twice"
                seen.add(c[0])
                f.write("\t".join(c) + "\n")
    total = sum(len(files) for files in _kit.files.values())
    print(f"{total} samples, {len(seen)} cases in {len(names)} families")


main()
