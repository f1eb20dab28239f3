"""scikit-learn estimators over the engine's four paradigms."""
import numpy as np
from sklearn.base import BaseEstimator, ClassifierMixin, RegressorMixin
from sklearn.utils import check_random_state
from sklearn.utils.multiclass import check_classification_targets
from sklearn.utils.validation import check_is_fitted

from . import _native

_ACTIVATIONS = {"logistic": 0, "identity": 1, "linear": 1, "tanh": 2, "gaussian": 3, "sine": 4,
                "tanh15": 5, "symmetric_logistic": 6, "gaussian_complement": 7}
_SOLVERS = {"plain": 1, "momentum": 2, "batch": 3, "rprop": 11}
_PNN_KERNELS = {"distance": 6, "dot": 7, "city-block": 10}
_GRNN_KERNELS = {"distance": 8, "city-block": 9}
_LVQ_VARIANTS = {"distance": 4, "dot": 5}
# The smoothing factors the automatic search tries: 24 steps of a log grid
# from 0.01 to 2, as `koru train --pick-sigma loo` does.
SIGMA_GRID = [float(v) for v in np.exp(np.linspace(np.log(0.01), np.log(2.0), 24))]


def _choice(table, value, what):
    if value not in table:
        raise ValueError(f"unknown {what} {value!r} (use {', '.join(sorted(table))})")
    return table[value]


def _seed(random_state):
    return int(check_random_state(random_state).randint(0, 0x8000))


def _fixed(numeric_format):
    if numeric_format not in ("float", "fixed"):
        raise ValueError(f"unknown numeric_format {numeric_format!r} (use 'float' or 'fixed')")
    return numeric_format == "fixed"


def _as_float32(X, fixed=False):
    X = np.ascontiguousarray(X, dtype=np.float32)
    if fixed and X.size and np.abs(X).max() >= 128.0:
        raise ValueError("numeric_format='fixed' holds values of about -128..128 (8.24 fixed point); "
                         "scale the inputs, e.g. with StandardScaler in a Pipeline")
    return X


def _unit_length(X):
    # As koru does it: the squares summed column by column in doubles.
    wide = X.astype(np.float64)
    squares = np.zeros(len(X))
    for column in range(X.shape[1]):
        squares += wide[:, column] * wide[:, column]
    out = X.copy()
    some = squares > 0.0
    out[some] = (wide[some] / np.sqrt(squares[some])[:, None]).astype(np.float32)
    return out


def _inputs(estimator, X, fixed=False):
    """X validated for a fitted estimator, with the scaling of a loaded model."""
    X = estimator._validate_data(X, reset=False, dtype=[np.float64, np.float32])
    scaling = getattr(estimator, "input_scaling_", None)
    if scaling is not None:
        offset, scale, unit_length = scaling
        X = ((np.asarray(X, dtype=np.float64) - offset) / scale).astype(np.float32)
        if unit_length:
            X = _unit_length(X)
    return _as_float32(X, fixed)


class _Saving:
    def save(self, path, input_names=None, target_name="target"):
        """Write the fitted model as a file that ``koru`` reads.

        Parameters
        ----------
        path : str or os.PathLike
        input_names : list of str, optional
        target_name : str, default="target"
            See :func:`koru32.save`.
        """
        from ._model_file import save
        save(self, path, input_names=input_names, target_name=target_name)


class _Classifier(ClassifierMixin, _Saving, BaseEstimator):
    def _encode(self, X, y):
        X, y = self._validate_data(X, y, dtype=[np.float64, np.float32])
        self.input_scaling_ = None
        check_classification_targets(y)
        self.classes_, labels = np.unique(y, return_inverse=True)
        if len(self.classes_) < 2:
            raise ValueError(f"{type(self).__name__} needs samples of at least 2 classes; got 1 class")
        onehot = np.zeros((len(labels), len(self.classes_)), dtype=np.float32)
        onehot[np.arange(len(labels)), labels] = 1.0
        return X, labels, onehot


def _normalise(scores):
    scores = np.maximum(scores.astype(np.float64), 0.0)
    total = scores.sum(axis=1, keepdims=True)
    empty = total[:, 0] == 0.0
    scores[empty] = 1.0
    total[empty] = scores.shape[1]
    return scores / total


class _Backprop(_Saving, BaseEstimator):
    def __init__(self, hidden_layer_sizes=(16,), activation="logistic", solver="momentum",
                 learning_rate_init=None, momentum=0.5, max_iter=200, early_stopping=False,
                 validation_fraction=0.1, n_iter_no_change=10, tol=1e-4, random_state=None,
                 numeric_format="float", weight_range=0.5):
        self.hidden_layer_sizes = hidden_layer_sizes
        self.activation = activation
        self.solver = solver
        self.learning_rate_init = learning_rate_init
        self.momentum = momentum
        self.max_iter = max_iter
        self.early_stopping = early_stopping
        self.validation_fraction = validation_fraction
        self.n_iter_no_change = n_iter_no_change
        self.tol = tol
        self.random_state = random_state
        self.numeric_format = numeric_format
        self.weight_range = weight_range

    def _train(self, X, T, output_transfer, default_rate):
        fixed = _fixed(self.numeric_format)
        X = _as_float32(X, fixed)
        hidden = [int(h) for h in np.atleast_1d(self.hidden_layer_sizes)]
        s = _native.BpSettings()
        s.sizes = [X.shape[1]] + hidden + [T.shape[1]]
        s.transfers = [_choice(_ACTIVATIONS, self.activation, "activation")] * len(hidden) + [output_transfer]
        s.net_type = _choice(_SOLVERS, self.solver, "solver")
        s.fixed = fixed
        s.seed = _seed(self.random_state)
        s.rate = default_rate if self.learning_rate_init is None else float(self.learning_rate_init)
        s.momentum = float(self.momentum)
        s.weight_range = float(self.weight_range)
        s.max_iter = int(self.max_iter)
        s.tol = float(self.tol)
        s.n_iter_no_change = int(self.n_iter_no_change)
        empty_x = np.zeros((0, X.shape[1]), np.float32)
        empty_t = np.zeros((0, T.shape[1]), np.float32)
        if self.early_stopping:
            if len(X) < 2:
                raise ValueError("early_stopping needs at least 2 samples (n_samples = 1)")
            order = np.random.RandomState(s.seed).permutation(len(X))
            held = min(max(1, int(round(len(X) * self.validation_fraction))), len(X) - 1)
            v, t = np.sort(order[:held]), np.sort(order[held:])
            net, losses, scores = _native.bp_fit(s, X[t], T[t], X[v], T[v])
        else:
            net, losses, scores = _native.bp_fit(s, X, T, empty_x, empty_t)
        self.net_ = net
        self.n_layers_ = len(s.sizes)
        self.n_outputs_ = T.shape[1]
        self.loss_curve_ = list(losses)
        self.validation_scores_ = list(scores) if self.early_stopping else None
        self.n_iter_ = len(losses)
        self.best_loss_ = min(losses)
        return self

    def _outputs(self, X):
        check_is_fitted(self, "net_")
        X = _inputs(self, X, _fixed(self.numeric_format))
        return _native.bp_predict(self.net_, X, self.n_features_in_, self.n_outputs_, self.n_layers_ - 1)


# The parameters and the common attributes of both backpropagation estimators,
# joined into each one's docstring.
_BACKPROP_SECTIONS = """\
    Parameters
    ----------
    hidden_layer_sizes : tuple of int, default=(16,)
        Neurons of each hidden layer (0 to 30 layers).
    activation : str, default="logistic"
        Transfer function of the hidden layers: "logistic", "identity" (or
        "linear", limited to [-10, 10]), "tanh", "gaussian", "sine", "tanh15",
        "symmetric_logistic" or "gaussian_complement".
    solver : {"plain", "momentum", "batch", "rprop"}, default="momentum"
        The engine's training rule: plain steps, steps with momentum, one
        accumulated step per epoch, or adaptive per-weight steps.
    learning_rate_init : float, optional
        The rate; by default 0.2 for the classifier and 0.05 for the regressor.
    momentum : float, default=0.5
        Momentum of the "momentum" and "batch" rules.
    max_iter : int, default=200
        Most epochs; every epoch presents every row once, in an order shuffled
        with the seed.
    early_stopping : bool, default=False
        Hold out ``validation_fraction`` of the rows, keep the net of the
        epoch with the lowest validation error and stop after
        ``n_iter_no_change`` epochs without improvement.
    validation_fraction : float, default=0.1
    n_iter_no_change : int, default=10
        Epochs without an improvement of more than ``tol`` (on the validation
        error with early stopping, on the training error otherwise) before
        training stops.
    tol : float, default=1e-4
    random_state : int, RandomState or None, default=None
        Draws the engine's portable seed: the same seed gives the same weights
        and the same net on every platform.
    numeric_format : {"float", "fixed"}, default="float"
        32-bit floats or 8.24 fixed point (inputs within about +-128).
    weight_range : float, default=0.5
        Initial weights are drawn in +-``weight_range``.

    Attributes
    ----------
    net_ : bytes
        The trained net as network-file bytes.
    n_features_in_ : int
    feature_names_in_ : ndarray of str
        Only where fit was given column names (or the model was loaded).
    n_iter_ : int
        Epochs run.
    loss_curve_ : list of float
        Training mean squared error of every epoch.
    validation_scores_ : list of float or None
        Validation mean squared error of every epoch, with early stopping.
    best_loss_ : float
        The lowest training error.
    n_layers_, n_outputs_ : int
    input_scaling_ : tuple or None
        ``(offset, scale, unit_length)`` of a model loaded from ``koru``,
        applied to X before the net sees it; None after fit.
"""


class BackpropClassifier(_Classifier, _Backprop):
    __doc__ = """A backpropagation net with one logistic output per class.

    Parameters follow scikit-learn's ``MLPClassifier`` where they exist. The
    targets are one-hot class vectors; ``predict`` takes the class of the
    largest output and ``predict_proba`` the outputs divided by their sum.

""" + _BACKPROP_SECTIONS + """    classes_ : ndarray
        The class labels, sorted.

    Examples
    --------
    >>> from sklearn.datasets import load_iris
    >>> from sklearn.pipeline import make_pipeline
    >>> from sklearn.preprocessing import StandardScaler
    >>> X, y = load_iris(return_X_y=True)
    >>> model = make_pipeline(StandardScaler(), BackpropClassifier(random_state=1)).fit(X, y)
    >>> model.predict_proba(X[:1]).shape
    (1, 3)
    """

    def fit(self, X, y):
        """Train the net on rows X with labels y.

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)
            float32 or float64 rows.
        y : array-like of shape (n_samples,)
            Class labels (numbers or strings), at least two classes.

        Returns
        -------
        self
        """
        X, _, T = self._encode(X, y)
        return self._train(X, T, _ACTIVATIONS["logistic"], 0.2)

    def predict_proba(self, X):
        """The outputs of every row, normalised to sum to 1.

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)

        Returns
        -------
        proba : ndarray of shape (n_samples, n_classes)
            The outputs (negative ones taken as 0) over their sum; equal
            shares where all are 0. Columns follow ``classes_``.
        """
        return _normalise(self._outputs(X))

    def predict(self, X):
        """The class of the largest output for every row of X.

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)

        Returns
        -------
        y : ndarray of shape (n_samples,)
        """
        outputs = self._outputs(X)
        return self.classes_[np.argmax(outputs, axis=1)]


class BackpropRegressor(RegressorMixin, _Backprop):
    __doc__ = """A backpropagation net with one linear output.

    The target is standardised inside (mean 0, deviation 1), as the linear
    output is limited to [-10, 10], and mapped back by ``predict``.

""" + _BACKPROP_SECTIONS + """    target_offset_, target_scale_ : float
        The net learns ``(y - target_offset_) / target_scale_``.
    """

    def fit(self, X, y):
        """Train the net on rows X with targets y.

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)
            float32 or float64 rows.
        y : array-like of shape (n_samples,)
            Real targets.

        Returns
        -------
        self
        """
        X, y = self._validate_data(X, y, y_numeric=True, dtype=[np.float64, np.float32])
        self.input_scaling_ = None
        y = np.asarray(y, dtype=np.float64)
        self.target_offset_ = float(y.mean())
        spread = float(y.std())
        self.target_scale_ = spread if spread > 0 else 1.0
        T = ((y - self.target_offset_) / self.target_scale_).astype(np.float32).reshape(-1, 1)
        return self._train(X, T, _ACTIVATIONS["linear"], 0.05)

    def predict(self, X):
        """The estimate for every row of X.

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)

        Returns
        -------
        y : ndarray of shape (n_samples,)
            In the target's units.
        """
        return self._outputs(X)[:, 0].astype(np.float64) * self.target_scale_ + self.target_offset_


def _pick_sigma(sigma, net, kind, X, T, fallback):
    if sigma != "auto":
        if not float(sigma) > 0.0:
            raise ValueError("sigma must be above 0, or 'auto'")
        return float(sigma)
    if len(X) < 2:
        return 1.0
    losses = _native.kernel_leave_one_out(net, kind, X, T, SIGMA_GRID, fallback)
    # The smallest loss wins; among equals the largest (smoothest) factor.
    best = max(i for i, loss in enumerate(losses) if loss <= min(losses))
    return SIGMA_GRID[best]


class PNNClassifier(_Classifier):
    """A probabilistic net: one pattern unit per training row.

    Parameters
    ----------
    kernel : {"distance", "dot", "city-block"}, default="distance"
        The engine's kernel ("dot" expects rows of unit length).
    sigma : float or "auto", default="auto"
        The smoothing factor; "auto" picks it by leave-one-out over a log
        grid of 24 factors from 0.01 to 2 (the fewest errors, the largest
        factor among equals).

    Attributes
    ----------
    net_ : bytes
        The net as network-file bytes.
    sigma_ : float
        The smoothing factor in use.
    classes_ : ndarray
        The class labels, sorted.
    fallback_ : int
        Index of the most frequent training class, predicted for a row far
        from every stored pattern (all densities 0).
    n_features_in_ : int
    input_scaling_ : tuple or None
        As for :class:`BackpropClassifier`.

    Notes
    -----
    ``predict_proba`` gives the class densities normalised to sum to 1; a row
    whose densities are all 0 gets equal probabilities.

    Examples
    --------
    >>> from sklearn.datasets import load_digits
    >>> from sklearn.model_selection import cross_val_score
    >>> X, y = load_digits(return_X_y=True)
    >>> cross_val_score(PNNClassifier(), X / 16, y).mean() > 0.9
    True
    """

    def __init__(self, kernel="distance", sigma="auto"):
        self.kernel = kernel
        self.sigma = sigma

    def fit(self, X, y):
        """Store every row of X with its class, and pick sigma if "auto".

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)
            float32 or float64 rows.
        y : array-like of shape (n_samples,)
            Class labels (numbers or strings), at least two classes.

        Returns
        -------
        self
        """
        X, _, T = self._encode(X, y)
        X = _as_float32(X)
        kind = _choice(_PNN_KERNELS, self.kernel, "kernel")
        self.net_ = _native.kernel_fit(kind, X, T)
        self.sigma_ = _pick_sigma(self.sigma, self.net_, kind, X, T, 0.0)
        self.fallback_ = int(np.argmax(T.sum(axis=0)))
        return self

    def _scores(self, X):
        check_is_fitted(self, "net_")
        return _native.kernel_predict(self.net_, _PNN_KERNELS[self.kernel], _inputs(self, X), self.n_features_in_,
                                      len(self.classes_), self.sigma_)

    def predict_proba(self, X):
        """The normalised class densities of every row.

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)

        Returns
        -------
        proba : ndarray of shape (n_samples, n_classes)
            Columns follow ``classes_``.
        """
        return _normalise(self._scores(X)[0])

    def predict(self, X):
        """The class of the largest density; ``fallback_`` where all are 0.

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)

        Returns
        -------
        y : ndarray of shape (n_samples,)
        """
        scores, defined = self._scores(X)
        return self.classes_[np.where(defined, np.argmax(scores, axis=1), self.fallback_)]


class GRNNRegressor(RegressorMixin, _Saving, BaseEstimator):
    """A general regression net: one pattern unit per training row.

    Parameters
    ----------
    kernel : {"distance", "city-block"}, default="distance"
    sigma : float or "auto", default="auto"
        As for :class:`PNNClassifier`; "auto" takes the least leave-one-out
        squared error.

    Attributes
    ----------
    net_ : bytes
    sigma_ : float
    fallback_ : float
        The training mean, predicted where the estimate is undefined (every
        kernel 0, so the denominator is 0).
    target_offset_, target_scale_ : float
        The net's estimate times ``target_scale_`` plus ``target_offset_`` is
        the prediction (0 and 1 after fit; a model loaded from ``koru`` has
        its target scaling).
    n_features_in_ : int
    input_scaling_ : tuple or None
    """

    def __init__(self, kernel="distance", sigma="auto"):
        self.kernel = kernel
        self.sigma = sigma

    def fit(self, X, y):
        """Store every row of X with its target, and pick sigma if "auto".

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)
            float32 or float64 rows.
        y : array-like of shape (n_samples,)
            Real targets.

        Returns
        -------
        self
        """
        X, y = self._validate_data(X, y, y_numeric=True, dtype=[np.float64, np.float32])
        X = _as_float32(X)
        self.input_scaling_ = None
        self.target_offset_, self.target_scale_ = 0.0, 1.0
        T = np.ascontiguousarray(y, dtype=np.float32).reshape(-1, 1)
        kind = _choice(_GRNN_KERNELS, self.kernel, "kernel")
        self.fallback_ = float(T.mean())
        self.net_ = _native.kernel_fit(kind, X, T)
        self.sigma_ = _pick_sigma(self.sigma, self.net_, kind, X, T, self.fallback_)
        return self

    def predict(self, X):
        """The estimate for every row of X.

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)

        Returns
        -------
        y : ndarray of shape (n_samples,)
            In the target's units.
        """
        check_is_fitted(self, "net_")
        out, defined = _native.kernel_predict(self.net_, _GRNN_KERNELS[self.kernel], _inputs(self, X),
                                              self.n_features_in_, 1, self.sigma_)
        estimate = out[:, 0].astype(np.float64) * self.target_scale_ + self.target_offset_
        return np.where(defined, estimate, self.fallback_)


class LVQClassifier(_Classifier):
    """Learning vector quantisation with the engine's grid neighbourhood.

    Each class has ``n_units_per_class`` units, each started on a training
    row of its class; the winning unit of a row moves toward it when of the
    row's class and away from it otherwise (with its grid neighbours).

    Parameters
    ----------
    variant : {"distance", "dot"}, default="distance"
        Squared-distance or dot-product score ("dot" expects unit-length rows).
    n_units_per_class : int, default=1
    learning_rate_init : float, default=0.05
    final_learning_rate : float, default=0.0
        The rate falls linearly from ``learning_rate_init`` to this over the
        epochs.
    radius : int, default=0
        Neighbourhood radius of the first epoch, falling to 0.
    grid_width : int, default=0
        Columns of the units' grid (0: one row).
    max_iter : int, default=30
        Epochs.
    random_state : int, RandomState or None, default=None
    numeric_format : {"float", "fixed"}, default="float"

    Attributes
    ----------
    net_ : bytes
    classes_ : ndarray
    unit_classes_ : ndarray of int
        The class index of every unit.
    loss_curve_ : list of float
        Training error rate of every epoch.
    n_iter_ : int
    n_features_in_ : int
    input_scaling_ : tuple or None
    """

    def __init__(self, variant="distance", n_units_per_class=1, learning_rate_init=0.05,
                 final_learning_rate=0.0, radius=0, grid_width=0, max_iter=30, random_state=None,
                 numeric_format="float"):
        self.variant = variant
        self.n_units_per_class = n_units_per_class
        self.learning_rate_init = learning_rate_init
        self.final_learning_rate = final_learning_rate
        self.radius = radius
        self.grid_width = grid_width
        self.max_iter = max_iter
        self.random_state = random_state
        self.numeric_format = numeric_format

    def fit(self, X, y):
        """Train the units on rows X with labels y.

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)
            float32 or float64 rows.
        y : array-like of shape (n_samples,)
            Class labels (numbers or strings), at least two classes.

        Returns
        -------
        self
        """
        X, labels, _ = self._encode(X, y)
        s = _native.LvqSettings()
        s.net_type = _choice(_LVQ_VARIANTS, self.variant, "variant")
        s.fixed = _fixed(self.numeric_format)
        X = _as_float32(X, s.fixed)
        s.seed = _seed(self.random_state)
        s.classes = len(self.classes_)
        s.units_per_class = int(self.n_units_per_class)
        s.rate = float(self.learning_rate_init)
        s.final_rate = float(self.final_learning_rate)
        s.radius = int(self.radius)
        s.grid_width = int(self.grid_width)
        s.epochs = int(self.max_iter)
        self.net_, errors = _native.lvq_fit(s, X, [int(v) for v in labels])
        self.loss_curve_ = list(errors)
        self.n_iter_ = len(errors)
        self.unit_classes_ = np.repeat(np.arange(s.classes), s.units_per_class)
        return self

    def predict(self, X):
        """The class of the winning unit for every row of X.

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)

        Returns
        -------
        y : ndarray of shape (n_samples,)
        """
        check_is_fitted(self, "net_")
        X = _inputs(self, X, _fixed(self.numeric_format))
        winners, _ = _native.lvq_predict(self.net_, X, self.n_features_in_, len(self.unit_classes_))
        return self.classes_[self.unit_classes_[winners]]
