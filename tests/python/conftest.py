"""Shared pieces of the Python module's tests."""
import os
import subprocess

import pytest


@pytest.fixture
def batch_program():
    """Runs ombrisk-batch with the given arguments and returns its result."""
    program = os.environ["OMBRISK_BATCH"]

    def run(*args):
        return subprocess.run([program, *map(str, args)], capture_output=True, text=True,
                              check=False)

    return run
