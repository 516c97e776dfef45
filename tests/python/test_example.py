"""The analysis example runs end to end on a small leaf."""
import os
import pathlib
import subprocess
import sys

EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "patches.py"


def test_patches_example_writes_its_figure(tmp_path):
    env = dict(os.environ, MPLCONFIGDIR=str(tmp_path / "mpl"))
    result = subprocess.run([sys.executable, str(EXAMPLE), "--size", "50", "--stomata", "200",
                             "--steps", "300", "--out", str(tmp_path / "figures")],
                            capture_output=True, text=True, env=env, check=False)
    assert result.returncode == 0, result.stderr
    assert "patches" in result.stdout
    figure = tmp_path / "figures" / "patches.png"
    assert figure.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
