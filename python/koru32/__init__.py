"""koru32: the KORU32 neural-network engine as scikit-learn estimators.

Four paradigms, each an estimator: :class:`BackpropClassifier`,
:class:`BackpropRegressor`, :class:`PNNClassifier`, :class:`GRNNRegressor`
and :class:`LVQClassifier`. A fitted estimator keeps its net as the bytes of
the engine's network file, so it holds no engine slot between calls and
pickles, copies and ships like any other value. :func:`load` opens a model
file written by ``koru train``; ``estimator.save(path)`` writes one.
"""
from ._errors import EngineError
from . import _native

# The version of the header the package was built against, major.minor.patch.
__version__ = "{}.{}.{}".format(_native.HEADER_VERSION // 10000, _native.HEADER_VERSION // 100 % 100,
                                _native.HEADER_VERSION % 100)

_number = _native.library_version()
if _number // 100 != _native.HEADER_VERSION // 100:
    raise ImportError(
        f"koru32 was built for the engine {_native.HEADER_VERSION} but the loaded library is {_number}")

from ._estimators import (  # noqa: E402
    BackpropClassifier,
    BackpropRegressor,
    GRNNRegressor,
    LVQClassifier,
    PNNClassifier,
)
from ._model_file import load, save  # noqa: E402


__all__ = [
    "BackpropClassifier",
    "BackpropRegressor",
    "EngineError",
    "GRNNRegressor",
    "LVQClassifier",
    "PNNClassifier",
    "library_version",
    "load",
    "save",
]


def library_version():
    """The loaded engine's version number.

    Returns
    -------
    int
        MAJOR*10000 + MINOR*100 + PATCH, as ``GetLibraryVersion`` reports it.
    """
    return _native.library_version()
