# SPDX-License-Identifier: MIT
# How the package finds the library, and that pip installs it.
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

PACKAGE_ROOT = Path(__file__).resolve().parents[1]
IN_TREE = PACKAGE_ROOT.parent / "build" / "libpenrune.so"
LIBRARY = Path(os.environ.get("PENRUNE_LIBRARY", IN_TREE)).resolve()
ZHONGGUO = PACKAGE_ROOT.parent / "examples" / "zhongguo.json"

# Prints the first candidate of zhongguo.json and the libpenrune file mapped.
PROBE = f"""
import json, penrune
print(penrune.recognize(json.load(open({str(ZHONGGUO)!r})))[0])
print(next(line.split()[-1] for line in open('/proc/self/maps') if 'libpenrune' in line))
"""


def run(python_path, cwd, library=None):
    env = {k: v for k, v in os.environ.items() if k != "PENRUNE_LIBRARY"}
    env["PYTHONPATH"] = str(python_path)
    if library is not None:
        env["PENRUNE_LIBRARY"] = str(library)
    return subprocess.run([sys.executable, "-c", PROBE], cwd=cwd, env=env, capture_output=True, text=True)


def test_library_path_from_the_environment_and_the_source_tree(tmp_path):
    given = run(PACKAGE_ROOT, tmp_path, LIBRARY)
    assert given.stdout.splitlines() == ["中国", str(LIBRARY)], given.stderr
    missing = run(PACKAGE_ROOT, tmp_path, tmp_path / "libpenrune.so")
    assert missing.returncode != 0
    assert "ImportError: libpenrune not found (set PENRUNE_LIBRARY" in missing.stderr
    assert str(tmp_path / "libpenrune.so") in missing.stderr
    if not IN_TREE.exists():
        pytest.skip("no in-tree build")
    in_tree = run(PACKAGE_ROOT, tmp_path)
    assert in_tree.stdout.splitlines() == ["中国", str(IN_TREE.resolve())], in_tree.stderr


def test_pip_installs_from_the_source_tree(tmp_path):
    # A copy, so that the build leaves nothing in the source tree.
    source = tmp_path / "source"
    shutil.copytree(PACKAGE_ROOT, source, ignore=shutil.ignore_patterns("tests", "build", "*.egg-info", "__pycache__"))
    target = tmp_path / "site"
    subprocess.run([sys.executable, "-m", "pip", "install", "--quiet", "--no-index", "--no-deps",
                    "--no-build-isolation", "--target", str(target), str(source)],
                   check=True, capture_output=True)
    installed = run(target, tmp_path, LIBRARY)
    assert installed.stdout.splitlines() == ["中国", str(LIBRARY)], installed.stderr
