"""Model files shared with the ``koru`` command-line program.

A model file is the engine's network file with ``koru``'s metadata as the
caller's bytes that SaveNet appends after the net: a text block whose first
line is ``koru-model 1``, then one ``key=value`` line per entry (values escape
``%``, ``,``, CR and LF as ``%25``, ``%2C``, ``%0D``, ``%0A``), whose last
line is ``crc32=`` and the CRC-32 (zlib's) of every byte of the file before
that line in 8 lowercase hex digits; then a 12-byte trailer, the text's length
as a 32-bit little-endian number and ``KORUMETA``.

``koru`` scales every input column as ``(x - offset) / scale`` (and, for the
dot-product kernels, to unit length) before the net sees it; a model loaded
here applies the same scaling, so it predicts what ``koru predict`` does. A
model saved here records the identity scaling: scaling stays the caller's job
in Python, and ``koru`` then feeds the net the numbers this package would.
"""
import os
import re
import zlib

import numpy as np
from sklearn.utils.validation import check_is_fitted

from . import _native
from ._estimators import (
    _ACTIVATIONS,
    BackpropClassifier,
    BackpropRegressor,
    GRNNRegressor,
    LVQClassifier,
    PNNClassifier,
)

_FIRST_LINE = "koru-model 1"
_MAGIC = b"KORUMETA"
_CRC_KEY = "crc32="
_CRC_LINE = len(_CRC_KEY) + 8 + 1
_REQUIRED = ("paradigm", "task", "inputs", "target", "classes", "scaling", "scaling.offset",
             "scaling.scale", "unit_length", "target.offset", "target.scale")
# The names `koru train` gives the engine's transfer functions and rules.
_KORU_TRANSFERS = ["logistic", "linear", "tanh", "gaussian", "sine", "tanh15", "symmetric-logistic",
                   "gaussian-complement"]
_KORU_RULES = {"plain": "plain", "momentum": "momentum", "batch": "batch", "adaptive": "rprop"}
_PARADIGMS = {"bp": 1, "lvq": 6, "pnn": 8, "grnn": 9}


def _escape(text):
    return text.replace("%", "%25").replace(",", "%2C").replace("\r", "%0D").replace("\n", "%0A")


_ESCAPES = {"%25": "%", "%2C": ",", "%0D": "\r", "%0A": "\n"}


def _unescape(text, fail):
    if re.search(r"%(?!25|2C|0D|0A)", text):
        raise fail("a bad escape in " + repr(text))
    return re.sub(r"%(25|2C|0D|0A)", lambda m: _ESCAPES[m.group(0)], text)


def _number(value):
    # The shortest of 15 to 17 significant digits that reads back exactly.
    value = float(value)
    for digits in (15, 16, 17):
        text = f"{value:.{digits}g}"
        if float(text) == value:
            return text
    return text


def _list(items):
    return ",".join(items)


def _split(text):
    return text.split(",") if text else []


class _Metadata:
    """The metadata block: the fixed entries and the ordered settings."""

    def __init__(self):
        self.fixed = {}
        self.settings = {}

    def encode(self):
        lines = [_FIRST_LINE] + [f"{key}={self.fixed[key]}" for key in _REQUIRED]
        lines += [f"set.{key}={_escape(str(value))}" for key, value in self.settings.items()]
        return "\n".join(lines) + "\n"

    @classmethod
    def decode(cls, text, fail):
        lines = text.split("\n")
        if lines[0] != _FIRST_LINE:
            raise fail(f"it does not start with '{_FIRST_LINE}'")
        metadata = cls()
        for line in lines[1:-1] if lines[-1] == "" else lines[1:]:
            key, equals, value = line.partition("=")
            if not equals:
                raise fail(f"line {line!r} has no '='")
            if key.startswith("set."):
                metadata.settings[key[4:]] = _unescape(value, fail)
            elif key in _REQUIRED:
                metadata.fixed[key] = value
        missing = [key for key in _REQUIRED if key not in metadata.fixed]
        if missing:
            raise fail(f"the '{missing[0]}' entry is missing")
        return metadata

    def numbers(self, key, fail, settings=False):
        try:
            return [float(v) for v in _split(self.settings[key] if settings else self.fixed[key])]
        except KeyError:
            raise fail(f"the model's metadata has no '{key}' entry") from None
        except ValueError:
            raise fail(f"'{key}' is not a list of numbers") from None


def _labels(names):
    """Class labels as numbers where every label is one, as strings otherwise."""
    for kind in (int, float):
        try:
            return np.array([kind(name) for name in names])
        except ValueError:
            pass
    return np.array(names)


def _damaged(path):
    return lambda what: ValueError(f"{path}: damaged model metadata: {what}")


def load(path):
    """Open a model file written by ``koru train`` (or by :func:`save`).

    Parameters
    ----------
    path : str or os.PathLike
        The model file.

    Returns
    -------
    estimator : BackpropClassifier, BackpropRegressor, PNNClassifier, GRNNRegressor or LVQClassifier
        A fitted estimator whose predictions are those of ``koru predict``
        on the same rows: it applies the file's input scaling itself
        (``input_scaling_``) and, for regressors, maps the net's output back
        to the target's units. Its parameters are the file's training
        settings, so ``clone`` of it trains anew like ``koru train`` would
        (on data the caller scales).

    Raises
    ------
    ValueError
        The file is not a model file, its checksum does not match, or its
        metadata is damaged or does not fit its net.
    EngineError
        The engine refuses the network file.
    """
    path = os.fspath(path)
    with open(path, "rb") as file:
        data = file.read()
    if len(data) < 12 or data[-8:] != _MAGIC:
        raise ValueError(f"{path}: a network file without koru metadata (not made by 'koru train', or truncated)")
    length = int.from_bytes(data[-12:-8], "little")
    if length + 12 > len(data):
        raise ValueError(f"{path}: a truncated or damaged koru model (its metadata length is too large)")
    start = len(data) - 12 - length
    text = data[start:-12]
    _verify_checksum(data, start, text, path)
    fail = _damaged(path)
    try:
        metadata = _Metadata.decode(text.decode("utf-8"), fail)
    except UnicodeDecodeError:
        raise fail("it is not UTF-8 text") from None
    net, _ = _native.read_model_file(path)
    return _estimator(metadata, net, fail)


def _verify_checksum(data, start, text, path):
    at = len(text) - _CRC_LINE
    key = _CRC_KEY.encode()
    if at >= 0 and text[at:at + len(key)] == key and (at == 0 or text[at - 1:at] == b"\n") and text[-1:] == b"\n":
        if text[at + len(key):at + len(key) + 8].decode("ascii", "replace") != f"{zlib.crc32(data[:start + at]):08x}":
            raise ValueError(f"{path}: a damaged koru model (its contents do not match its checksum)")
    elif key in text:
        raise ValueError(f"{path}: a damaged koru model (its checksum line is out of place)")
    # Files written before the checksum existed have no such line.


def _estimator(metadata, net, fail):
    fixed, settings = metadata.fixed, metadata.settings
    paradigm, task = fixed["paradigm"], fixed["task"]
    if paradigm not in _PARADIGMS or task not in ("classify", "regress"):
        raise fail(f"unknown paradigm or task '{paradigm}', '{task}'")
    inputs = [_unescape(name, fail) for name in _split(fixed["inputs"])]
    classes = [_unescape(name, fail) for name in _split(fixed["classes"])]
    offset = np.array(metadata.numbers("scaling.offset", fail))
    scale = np.array(metadata.numbers("scaling.scale", fail))
    if not inputs or len(offset) != len(inputs) or len(scale) != len(inputs) or not np.all(scale != 0):
        raise fail("the input columns and their scaling do not match")
    if task == "classify" and len(classes) < 2:
        raise fail("a classifier without classes")

    def number(key, default=None):
        if key not in settings and default is not None:
            return default
        values = metadata.numbers(key, fail, settings=True)
        if len(values) != 1:
            raise fail(f"'{key}' must hold one number")
        return values[0]

    def integers(key):
        values = metadata.numbers(key, fail, settings=True)
        if not all(v == int(v) for v in values):
            raise fail(f"'{key}' is not a list of integers")
        return [int(v) for v in values]

    numeric_format = settings.get("format", "float")
    if numeric_format not in ("float", "fixed"):
        raise fail(f"unknown format '{numeric_format}'")
    seed = int(settings["seed"]) if settings.get("seed", "").isdigit() else None
    outputs = len(classes) if task == "classify" else 1
    shape = _native.net_shape(net)
    if shape[1] != _PARADIGMS[paradigm]:
        raise fail(f"metadata for {paradigm}, a net of paradigm {shape[1]}")
    slabs = [neurons for neurons, _ in shape[2]]
    if paradigm == "bp":
        hidden = integers("bp.hidden")
        transfer = settings.get("bp.transfer", "logistic")
        if transfer not in _KORU_TRANSFERS or settings.get("bp.rule", "momentum") not in _KORU_RULES:
            raise fail("unknown transfer function or rule")
        kind = BackpropClassifier if task == "classify" else BackpropRegressor
        est = kind(hidden_layer_sizes=tuple(hidden), activation=transfer.replace("-", "_"),
                   solver=_KORU_RULES[settings.get("bp.rule", "momentum")],
                   learning_rate_init=number("bp.rate", 0.2 if task == "classify" else 0.05),
                   momentum=number("bp.momentum", 0.5), max_iter=int(number("bp.epochs", 300)),
                   random_state=seed, numeric_format=numeric_format,
                   weight_range=number("bp.weight_range", 0.5))
        expected = [len(inputs)] + hidden + [outputs]
        est.n_layers_ = len(expected)
        est.n_outputs_ = outputs
        est.n_iter_ = int(number("bp.epochs_run", 0))
        est.loss_curve_ = []
        est.validation_scores_ = None
        est.best_loss_ = number("train.mse", float("nan"))
    elif paradigm in ("pnn", "grnn"):
        if (paradigm == "pnn") != (task == "classify"):
            raise fail("a PNN model must be a classifier, a GRNN model a regressor")
        sigma = number("sigma")
        if not sigma > 0:
            raise fail("the smoothing factor must be above 0")
        kind = PNNClassifier if paradigm == "pnn" else GRNNRegressor
        picked = settings.get("sigma.picked_by", "none") != "none"
        est = kind(kernel=settings.get("kernel", "distance"), sigma="auto" if picked else sigma)
        est.sigma_ = sigma
        expected = [len(inputs), slabs[1] if len(slabs) > 1 else 0, outputs]
        est.fallback_ = number("fallback", 0.0)
        if paradigm == "pnn":
            est.fallback_ = int(est.fallback_) if 0 <= est.fallback_ < outputs else 0
    else:
        if task != "classify":
            raise fail("an LVQ model must be a classifier")
        unit_classes = integers("lvq.unit_classes")
        if not unit_classes or min(unit_classes) < 0 or max(unit_classes) >= len(classes):
            raise fail("an LVQ unit of an unknown class")
        est = LVQClassifier(variant=settings.get("lvq.variant", "distance"),
                            n_units_per_class=int(number("lvq.units_per_class", 1)),
                            learning_rate_init=number("lvq.rate", 0.1),
                            final_learning_rate=number("lvq.final_rate", 0.0),
                            radius=int(number("lvq.radius", 0)), grid_width=int(number("lvq.grid_width", 0)),
                            max_iter=int(number("lvq.epochs", 100)), random_state=seed,
                            numeric_format=numeric_format)
        est.unit_classes_ = np.array(unit_classes)
        est.n_iter_ = est.max_iter
        est.loss_curve_ = []
        expected = [len(inputs), len(unit_classes)]
    if slabs[:len(expected)] != expected:
        raise fail(f"the metadata does not fit the net (slabs of {expected} neurons, the net has {slabs})")
    est.net_ = net
    est.n_features_in_ = len(inputs)
    est.feature_names_in_ = np.array(inputs, dtype=object)
    est.input_scaling_ = (offset, scale, fixed["unit_length"] == "1")
    if task == "classify":
        est.classes_ = _labels(classes)
    else:
        est.target_offset_ = float(fixed["target.offset"])
        est.target_scale_ = float(fixed["target.scale"])
    return est


def _settings_of(est):
    """The paradigm's entries of the metadata, as `koru train` writes them."""
    if isinstance(est, (BackpropClassifier, BackpropRegressor)):
        classify = isinstance(est, BackpropClassifier)
        transfer = _KORU_TRANSFERS[_ACTIVATIONS[est.activation]]
        rate = est.learning_rate_init if est.learning_rate_init is not None else (0.2 if classify else 0.05)
        hidden = [int(h) for h in np.atleast_1d(est.hidden_layer_sizes)]
        return "bp", {
            "bp.hidden": _list(str(h) for h in hidden), "bp.transfer": transfer,
            "bp.output_transfer": "logistic" if classify else "linear",
            "bp.rule": {v: k for k, v in _KORU_RULES.items()}[est.solver], "bp.rate": _number(rate),
            "bp.momentum": _number(est.momentum), "bp.weight_range": _number(est.weight_range),
            "bp.epochs": str(int(est.max_iter)), "bp.epochs_run": str(est.n_iter_),
            "format": est.numeric_format}
    if isinstance(est, (PNNClassifier, GRNNRegressor)):
        return ("pnn" if isinstance(est, PNNClassifier) else "grnn"), {
            "fallback": _number(est.fallback_), "kernel": est.kernel, "sigma": _number(est.sigma_),
            "sigma.picked_by": "loo" if est.sigma == "auto" else "none",
            "patterns": str(_native.net_shape(est.net_)[2][1][0])}
    if isinstance(est, LVQClassifier):
        return "lvq", {
            "lvq.variant": est.variant, "lvq.units_per_class": str(int(est.n_units_per_class)),
            "lvq.unit_classes": _list(str(int(c)) for c in est.unit_classes_),
            "lvq.rate": _number(est.learning_rate_init), "lvq.final_rate": _number(est.final_learning_rate),
            "lvq.radius": str(int(est.radius)), "lvq.grid_width": str(int(est.grid_width)),
            "lvq.epochs": str(int(est.max_iter)), "format": est.numeric_format}
    raise TypeError(f"koru32.save takes a koru32 estimator, not {type(est).__name__}")


def save(estimator, path, input_names=None, target_name="target"):
    """Write a fitted estimator as a model file that ``koru`` reads.

    ``koru eval``, ``koru predict`` and ``koru info`` read the file and
    predict what the estimator does on the same rows (``koru predict`` prints
    9 significant digits). The file is written to a temporary name and renamed
    into place, so a failure leaves no half-written file.

    Parameters
    ----------
    estimator : a fitted koru32 estimator
    path : str or os.PathLike
        The model file to write (conventionally ``*.net``).
    input_names : list of str, optional
        The CSV column of each input, as ``koru`` will look them up; by
        default ``feature_names_in_`` where the estimator has it, otherwise
        ``x0``, ``x1``, ...
    target_name : str, default="target"
        The CSV column that ``koru eval`` compares the predictions with.

    Raises
    ------
    TypeError
        The estimator is not one of this package's.
    ValueError
        The input names do not match the estimator's inputs.

    Notes
    -----
    A model that came from :func:`load` keeps its input scaling
    (``input_scaling_``) and writes it back; one fitted here records the
    identity scaling.
    """
    check_is_fitted(estimator, "net_")
    paradigm, settings = _settings_of(estimator)
    count = estimator.n_features_in_
    if input_names is None:
        input_names = getattr(estimator, "feature_names_in_", [f"x{i}" for i in range(count)])
    input_names = [str(name) for name in input_names]
    if len(input_names) != count:
        raise ValueError(f"{len(input_names)} input names for {count} inputs")
    scaling = getattr(estimator, "input_scaling_", None)
    offset, scale, unit = scaling if scaling is not None else (np.zeros(count), np.ones(count), False)
    classify = hasattr(estimator, "classes_")
    metadata = _Metadata()
    metadata.fixed = {
        "paradigm": paradigm, "task": "classify" if classify else "regress",
        "inputs": _list(_escape(name) for name in input_names), "target": _escape(str(target_name)),
        "classes": _list(_escape(str(c)) for c in estimator.classes_) if classify else "",
        "scaling": "minmax", "scaling.offset": _list(_number(v) for v in offset),
        "scaling.scale": _list(_number(v) for v in scale), "unit_length": "1" if unit else "0",
        "target.offset": _number(getattr(estimator, "target_offset_", 0.0)),
        "target.scale": _number(getattr(estimator, "target_scale_", 1.0))}
    if isinstance(getattr(estimator, "random_state", None), (int, np.integer)):
        settings["seed"] = str(int(estimator.random_state))
    metadata.settings = dict(settings, made_by="koru32 for Python")
    text = (metadata.encode() + _CRC_KEY + "00000000\n").encode("utf-8")
    path = os.fspath(path)
    pending = f"{path}.{os.getpid()}.tmp"
    try:
        _native.write_model_file(estimator.net_, pending, text)
        # The checksum covers the file as the engine wrote it, up to its line.
        with open(pending, "r+b") as file:
            data = file.read()
            at = len(data) - 12 - _CRC_LINE
            file.seek(at + len(_CRC_KEY))
            file.write(f"{zlib.crc32(data[:at]):08x}".encode("ascii"))
        os.replace(pending, path)
    except BaseException:
        if os.path.exists(pending):
            os.remove(pending)
        raise
