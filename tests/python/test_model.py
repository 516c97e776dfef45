"""The ombrisk module against ombrisk-batch, and its views, refusals and threads."""
import threading

import numpy as np
import pytest

import ombrisk


def test_same_run_as_batch_writes_the_same_bytes(tmp_path, batch_program):
    m = ombrisk.Model(seed=42)
    m.resize(200)
    m.place_stomata(400, border=2, spacing=3)
    m.kepi = 0.15
    m.offset_from_mean = 1
    m.advance(300)
    m.save(tmp_path / "module.dat")

    result = batch_program("--seed", 42, "--size", 200, "--border", 2, "--spacing", 3,
                           "--stomata", 400, "--set", "kepi=0.15", "--set",
                           "offset_from_mean=1", "--steps", 300, "--save",
                           tmp_path / "batch.dat")
    assert result.returncode == 0, result.stderr
    assert (tmp_path / "module.dat").read_bytes() == (tmp_path / "batch.dat").read_bytes()

    # A loaded file starts the same run again on both sides (offset_from_mean is
    # not in the file: the model keeps its own).
    m.load(tmp_path / "batch.dat")
    m.advance(50)
    m.save(tmp_path / "module2.dat")
    result = batch_program("--seed", 1, "--set", "offset_from_mean=1", "--load",
                           tmp_path / "batch.dat", "--steps", 50, "--save",
                           tmp_path / "batch2.dat")
    assert result.returncode == 0, result.stderr
    assert (tmp_path / "module2.dat").read_bytes() == (tmp_path / "batch2.dat").read_bytes()


def test_views_share_the_model_and_survive_steps():
    m = ombrisk.Model(seed=3)
    p, j = m.p, m.stoma_j
    assert p.shape == (100, 100) and p.dtype == np.float64
    assert np.shares_memory(p, m.p) and np.shares_memory(j, m.stoma_j)
    m.advance(20)
    assert m.step == 20
    assert p.mean() == pytest.approx(m.mean_p, abs=1e-12)
    assert np.array_equal(j, m.stoma_j)
    assert not np.all(p == 0.0)
    # Written p is what the next step starts from.
    p[:, :] = -1.0
    m.advance(1)
    assert m.mean_p < -0.5
    cols, rows = m.stoma_cols, m.stoma_rows
    assert list(cols[:3]) == [10, 10, 20] and list(rows[:3]) == [20, 60, 40]
    with pytest.raises(ValueError):
        cols[0] = 500  # positions change only through set_stomata


def test_reallocation_while_a_view_lives_raises_buffer_error():
    m = ombrisk.Model(seed=3)
    view = m.p[10:20]  # a view of a view keeps the storage in use too
    for call in (lambda: m.resize(200), m.restart, lambda: m.place_stomata(5), m.randomize,
                 lambda: m.set_stomata([1], [1])):
        with pytest.raises(BufferError):
            call()
    assert m.rows == 100 and m.stoma_count == 10
    del view
    m.resize(50)
    assert m.p.shape == (50, 50)


def test_bad_values_are_refused_and_change_nothing(tmp_path):
    m = ombrisk.Model(seed=3)
    before = (m.kepi, m.offset_from_mean, m.stoma_count, m.border, m.spacing)
    for name, value in (("kepi", float("nan")), ("kepi", float("inf")), ("kepi", "x"),
                        ("offset_from_mean", 2), ("offset_from_mean", 0.5),
                        ("auto_p_range", -1)):
        with pytest.raises(ValueError):
            setattr(m, name, value)
    with pytest.raises(ValueError, match="Too many stomata!!"):
        m.place_stomata(20001)
    with pytest.raises(ValueError, match="Illegal number of stomata!!"):
        m.place_stomata(-1)
    with pytest.raises(ValueError, match="Illegal border"):
        m.place_stomata(5, border=100)
    with pytest.raises(ValueError, match="Illegal location"):
        m.set_stomata([1, 2, 100], [1, 2, 3])
    with pytest.raises(ValueError, match="differ in length"):
        m.set_stomata([1, 2], [1])
    with pytest.raises(ValueError):
        m.resize(123)
    with pytest.raises(FileNotFoundError, match="Cannot find file"):
        m.load(tmp_path / "missing.dat")
    (tmp_path / "bad.dat").write_text("800 800\n")
    with pytest.raises(ValueError, match="Error in data file"):
        m.load(tmp_path / "bad.dat")
    with pytest.raises(OSError, match="Cannot write file"):
        m.save(tmp_path / "no-such-folder" / "x.dat")
    assert (m.kepi, m.offset_from_mean, m.stoma_count, m.border, m.spacing) == before
    assert list(m.stoma_cols) == [10, 10, 20, 30, 50, 60, 60, 80, 80, 80]

    m.set_stomata(np.array([0, 99]), np.array([99, 0]))
    assert list(m.stoma_cols) == [0, 99] and list(m.stoma_rows) == [99, 0]


def test_a_placement_that_falls_short_warns_and_keeps_what_it_placed():
    m = ombrisk.Model(seed=3)
    m.resize(50)
    with pytest.warns(RuntimeWarning, match="Randomize Failure!!"):
        placed = m.place_stomata(2000, border=1, spacing=5)
    assert 0 < placed < 2000
    assert m.stoma_count == 2000


def test_advance_releases_the_gil_and_keeps_other_calls_out():
    m = ombrisk.Model(seed=3)
    m.resize(400)
    ombrisk.set_threads(1)
    worker = threading.Thread(target=m.advance, args=(400,))
    spins = 0
    refused = False
    worker.start()
    while worker.is_alive():
        spins += 1
        if not refused:
            try:
                m.kepi = 0.2
            except RuntimeError:
                refused = True
    worker.join()
    ombrisk.set_threads(0)
    assert m.step == 400
    assert refused, "a field was set while another thread advanced the model"
    assert spins > 10000, f"the main thread ran only {spins} times during advance"
    assert m.kepi == 0.1
    with pytest.raises(ValueError):
        m.advance(-1)


def test_picture_is_the_window_client_area():
    if not hasattr(ombrisk.Model, "picture"):
        pytest.skip("built without pictures")
    m = ombrisk.Model(seed=3)
    image = m.picture()
    assert image.dtype == np.uint8 and image.ndim == 3 and image.shape[1:] == (850, 3)
    # A cell at p = 0 is mid-grey between the start-up bounds -5 and 5.
    assert tuple(image[100, 100]) == (127, 127, 127)
