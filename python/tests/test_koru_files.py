# Model files shared with the koru program: both directions, on the bundled iris.
import os
import pathlib
import subprocess

import numpy as np
import pytest

import koru32

KORU = os.environ.get("KORU32_TEST_KORU")
IRIS = pathlib.Path(__file__).resolve().parents[2] / "data" / "iris.csv"
COLUMNS = ["sepal_length", "sepal_width", "petal_length", "petal_width"]
pytestmark = [pytest.mark.skipif(not KORU, reason="KORU32_TEST_KORU names no koru program"),
              pytest.mark.filterwarnings("ignore:X does not have valid feature names")]


def koru(*args):
    return subprocess.run([KORU, *map(str, args)], check=True, capture_output=True, text=True).stdout


def iris(target):
    # The inputs (every other numeric column) and the target column's text.
    rows = [line.split(",") for line in IRIS.read_text().split()[1:]]
    inputs = [c for c in COLUMNS if c != target]
    X = np.array([[float(r[COLUMNS.index(c)]) for c in inputs] for r in rows])
    y = np.array([r[(COLUMNS + ["species"]).index(target)] for r in rows])
    return X, (y if target == "species" else y.astype(float)), inputs


def koru_predictions(model, classify):
    # koru predict's prediction column and, for classifiers, its probabilities.
    return [line.split(",")[1:] for line in koru("predict", *(["--proba"] if classify else []), model, IRIS).splitlines()[1:]]


def python_predictions(estimator, X, classify):
    # The same columns, as koru writes them, from the estimator.
    if not classify:
        return [[f"{v:.9g}"] for v in estimator.predict(X)]
    proba = estimator.predict_proba(X) if hasattr(estimator, "predict_proba") else [[]] * len(X)
    return [[str(label)] + [f"{p:.9g}" for p in ps] for label, ps in zip(estimator.predict(X), proba)]


# label, koru train's options, the target column
FROM_KORU = [
    ("bp classifier", ["--paradigm", "bp", "--epochs", 60], "species"),
    ("bp regressor, standard scaling", ["--paradigm", "bp", "--task", "regress", "--scaling", "standard",
                                        "--epochs", 40], "petal_width"),
    ("pnn, dot kernel (unit length)", ["--paradigm", "pnn", "--kernel", "dot"], "species"),
    ("grnn, city block", ["--paradigm", "grnn", "--kernel", "city-block"], "petal_width"),
    ("lvq", ["--paradigm", "lvq", "--epochs", 20], "species"),
]


@pytest.mark.parametrize("options,target", [c[1:] for c in FROM_KORU], ids=[c[0] for c in FROM_KORU])
def test_a_model_trained_by_koru_predicts_here_what_koru_predicts(tmp_path, options, target):
    X, _, inputs = iris(target)
    koru("train", IRIS, "-o", tmp_path / "m.net", "-q", "--target", target, "--inputs", ",".join(inputs), *options)
    model = koru32.load(tmp_path / "m.net")
    classify = target == "species"
    lines = koru_predictions(tmp_path / "m.net", classify and not isinstance(model, koru32.LVQClassifier))
    assert python_predictions(model, X, classify) == lines
    assert list(model.feature_names_in_) == inputs


FROM_PYTHON = [
    ("bp classifier", koru32.BackpropClassifier(hidden_layer_sizes=(6, 4), learning_rate_init=0.2, max_iter=40,
                                                random_state=2), "species"),
    ("bp regressor, fixed point", koru32.BackpropRegressor(max_iter=30, numeric_format="fixed", learning_rate_init=0.1, random_state=2),
     "petal_width"),
    ("pnn, city block", koru32.PNNClassifier(kernel="city-block"), "species"),
    ("grnn", koru32.GRNNRegressor(sigma=0.3), "petal_width"),
    ("lvq", koru32.LVQClassifier(n_units_per_class=2, random_state=2), "species"),
]


@pytest.mark.parametrize("estimator,target", [c[1:] for c in FROM_PYTHON], ids=[c[0] for c in FROM_PYTHON])
def test_a_model_saved_here_predicts_in_koru_and_back_what_it_predicts_here(tmp_path, estimator, target):
    X, y, inputs = iris(target)
    estimator.fit(X, y)
    estimator.save(tmp_path / "m.net", input_names=inputs, target_name=target)
    classify = target == "species"
    lines = koru_predictions(tmp_path / "m.net", classify and hasattr(estimator, "predict_proba"))
    assert python_predictions(estimator, X, classify) == lines
    back = koru32.load(tmp_path / "m.net")
    assert np.array_equal(back.predict(X), estimator.predict(X))
    assert back.get_params() == estimator.get_params()


@pytest.mark.parametrize("damage,message", [
    (lambda b: b[:600] + bytes([b[600] ^ 1]) + b[601:], "checksum"),
    (lambda b: b[:-1], "without koru metadata"),
    (lambda b: b.replace(b"classes=setosa,versicolor,virginica", b"classes=setosa,versicolor,virginicA"), "checksum"),
    (lambda b: b.replace(b"\ncrc32=", b"crc32="), "out of place"),
], ids=["a net byte flipped", "the trailer cut", "a class renamed", "the checksum line joined"])
def test_a_damaged_model_file_is_refused(tmp_path, damage, message):
    X, y, inputs = iris("species")
    koru32.PNNClassifier(sigma=0.5).fit(X, y).save(tmp_path / "m.net", input_names=inputs, target_name="species")
    (tmp_path / "bad.net").write_bytes(damage((tmp_path / "m.net").read_bytes()))
    with pytest.raises(ValueError, match=message):
        koru32.load(tmp_path / "bad.net")
