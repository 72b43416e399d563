# SPDX-License-Identifier: MIT
import json
import os
import subprocess
from pathlib import Path

import pytest

import penrune

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"


def load(name):
    return json.loads((EXAMPLES / name).read_text())


def tool():
    """The penrune command beside the library under test (PENRUNE_TOOL
    overrides)."""
    if os.environ.get("PENRUNE_TOOL"):
        return Path(os.environ["PENRUNE_TOOL"])
    library = Path(os.environ.get("PENRUNE_LIBRARY", EXAMPLES.parent / "build" / "libpenrune.so"))
    return library.parent / "tools" / "penrune"


def test_zhongguo_reads_first():
    assert penrune.recognize(load("zhongguo.json"))[0] == "中国"


@pytest.mark.parametrize("example", sorted(p.name for p in EXAMPLES.glob("*.json")))
@pytest.mark.parametrize("mode, flags", [(penrune.LINE, []), (penrune.CLASSIC, ["--classic"])])
def test_lists_match_the_command(example, mode, flags):
    command = tool()
    if not command.exists():
        pytest.skip(f"{command} not built")
    out = subprocess.run([str(command), "recognize", str(EXAMPLES / example)] + flags,
                         check=True, capture_output=True, text=True).stdout
    expected = [line.split("\t")[1] for line in out.splitlines()]
    assert expected
    assert penrune.recognize(load(example), mode) == expected


def test_kernel_follows_every_stroke_and_undo_walks_back():
    strokes = load("zhongguo.json")
    kernel = penrune.Kernel()
    assert kernel.mode == penrune.LINE
    assert kernel.candidates() == []
    history = []
    for stroke in strokes:
        kernel.add_stroke(stroke)
        history.append(kernel.candidates())
    assert kernel.stroke_count == len(strokes)
    assert history[-1][0] == "中国"
    assert history[-2] != history[-1]
    for count in range(len(strokes) - 1, 0, -1):
        assert kernel.undo()
        assert kernel.stroke_count == count
        assert kernel.candidates() == history[count - 1]
    assert kernel.undo()
    assert kernel.candidates() == []
    assert not kernel.undo()
    # Written again after the walk back, the line reads as the first time.
    for stroke in strokes:
        kernel.add_stroke(stroke)
    assert kernel.candidates() == history[-1]


def test_reset_and_mode_change_empty_the_kernel():
    strokes = load("zhongguo.json")
    kernel = penrune.Kernel(penrune.CLASSIC)
    for stroke in strokes:
        kernel.add_stroke(stroke)
    classic = kernel.candidates()
    kernel.reset()
    assert kernel.stroke_count == 0 and kernel.candidates() == []
    for stroke in strokes:
        kernel.add_stroke(stroke)
    assert kernel.candidates() == classic
    kernel.mode = penrune.LINE
    assert kernel.stroke_count == 0 and kernel.candidates() == []
    for mode in (2, 1.0, True, "line"):
        with pytest.raises(ValueError, match="unknown mode"):
            kernel.mode = mode
    assert kernel.mode == penrune.LINE


@pytest.mark.parametrize("stroke, message", [
    ([], "empty stroke"),
    ([(10, 10), (-1, 20)], "point 2: coordinate -1 outside 0..65534"),
    ([(10, 65535)], "point 1: coordinate 65535 outside"),
    ([(10, 10), (1.5, 20)], "point 2: coordinates must be integers"),
    ([(10, "20")], "point 1: coordinates must be integers"),
    ([(True, 20)], "point 1: coordinates must be integers"),
    ([(10, 10, 10)], "point 1: expected an \\(x, y\\) pair"),
    ([10, 20], "point 1: expected an \\(x, y\\) pair"),
    ("10 20", "a stroke must be a list"),
    (None, "a stroke must be a list"),
    ([(i % 1000, i // 1000) for i in range(20000)], "stroke of 20000 points does not fit"),
])
def test_bad_strokes_raise_and_change_nothing(stroke, message):
    kernel = penrune.Kernel()
    first = load("zhongguo.json")[0]
    kernel.add_stroke(first)
    before = kernel.candidates()
    with pytest.raises(ValueError, match=message):
        kernel.add_stroke(stroke)
    assert kernel.stroke_count == 1 and kernel.candidates() == before
    with pytest.raises(ValueError, match="stroke 2: " + message):
        penrune.recognize([first, stroke])


def test_bad_lines_raise():
    for strokes in ("strokes", 42, None):
        with pytest.raises(ValueError, match="strokes must be a list"):
            penrune.recognize(strokes)
    assert penrune.recognize([]) == []


def test_capacity_is_checked_before_the_kernel():
    kernel = penrune.Kernel()
    long_stroke = [(i % 500, i // 500 * 20) for i in range(4000)]
    for _ in range(4):
        kernel.add_stroke(long_stroke)
    # 4 x 4001 points held of 16383, less the new stroke's end marker and
    # the end-of-data point: room for 377 more.
    with pytest.raises(ValueError, match="stroke of 378 points does not fit: the line has room for 377 more"):
        kernel.add_stroke(long_stroke[:378])
    kernel.add_stroke(long_stroke[:377])
    assert kernel.stroke_count == 5
    with pytest.raises(ValueError, match="room for 0 more points"):
        kernel.add_stroke([(1, 1)])
    assert kernel.undo()
    kernel.add_stroke([(1, 1)])
    assert kernel.stroke_count == 5


def test_stroke_table_limit():
    kernel = penrune.Kernel()
    for i in range(penrune.STROKE_MAX):
        kernel.add_stroke([(i * 60, 0), (i * 60 + 50, 0)])
    with pytest.raises(ValueError, match="at most 1024 strokes"):
        kernel.add_stroke([(0, 100), (50, 100)])
    assert kernel.stroke_count == penrune.STROKE_MAX
