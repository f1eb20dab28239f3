import copy
import io
import pickle

import joblib
import numpy as np
import pytest
from sklearn.datasets import load_digits, load_iris
from sklearn.model_selection import GridSearchCV, cross_val_score
from sklearn.pipeline import make_pipeline
from sklearn.preprocessing import StandardScaler
from sklearn.utils.estimator_checks import parametrize_with_checks

import koru32

ESTIMATORS = [koru32.BackpropClassifier(max_iter=50), koru32.BackpropRegressor(max_iter=50),
              koru32.PNNClassifier(), koru32.GRNNRegressor(), koru32.LVQClassifier()]


@parametrize_with_checks(ESTIMATORS)
def test_scikit_learn_checks(estimator, check):
    check(estimator)


def iris():
    X, y = load_iris(return_X_y=True)
    return StandardScaler().fit_transform(X), y


@pytest.mark.parametrize("estimator", ESTIMATORS, ids=lambda e: type(e).__name__)
def test_models_are_values(estimator):
    X, y = iris()
    fitted = estimator.set_params(**({"random_state": 3} if "random_state" in estimator.get_params() else {}))
    fitted.fit(X, y)
    expected = fitted.predict(X)
    stored = io.BytesIO()
    joblib.dump(fitted, stored)
    stored.seek(0)
    for twin in (pickle.loads(pickle.dumps(fitted)), copy.deepcopy(fitted), joblib.load(stored)):
        assert np.array_equal(twin.predict(X), expected)


def test_searches_in_parallel_processes_and_threads_agree_with_one_at_a_time():
    # Threads share the one engine through the binding's lock; processes each
    # load their own. Either way every fold scores as it does alone.
    X, y = load_digits(return_X_y=True)
    X, y = X[::3], y[::3]
    pipeline = make_pipeline(StandardScaler(), koru32.PNNClassifier())
    alone = cross_val_score(pipeline, X, y, cv=3)
    assert alone.mean() > 0.9
    grid = {"pnnclassifier__sigma": [0.5, 1.0, 2.0]}
    scores = []
    for backend in ("loky", "threading"):
        with joblib.parallel_backend(backend, n_jobs=2):
            search = GridSearchCV(pipeline, grid, cv=3).fit(X, y)
        scores.append(search.cv_results_["mean_test_score"])
    assert np.array_equal(scores[0], scores[1])
    search = GridSearchCV(pipeline, grid, cv=3, n_jobs=1).fit(X, y)
    assert np.array_equal(search.cv_results_["mean_test_score"], scores[0])


def test_a_thousand_fitted_estimators_at_once():
    X, y = iris()
    models = [koru32.PNNClassifier(sigma=0.5).fit(X[i % 50::50], y[i % 50::50]) for i in range(1000)]
    assert all(np.array_equal(m.predict(X[:5]), models[0].predict(X[:5])) for m in models[::50])


def test_engine_failures_raise_with_code_name_and_text():
    X, y = iris()
    net = koru32.BackpropClassifier(max_iter=2).fit(X, y).net_
    with pytest.raises(koru32.EngineError) as raised:
        koru32._native.bp_predict(net[:600], X, 4, 3, 2)  # a header promising more than there is
    assert (raised.value.code, raised.value.name) == (41, "KORU32_ERR_RESTORE_FILE")
    assert raised.value.text in str(raised.value)


def _malformed_calls():
    X, y = iris()
    bp = koru32.BackpropClassifier(max_iter=2).fit(X, y).net_
    pnn = koru32.PNNClassifier(sigma=0.5).fit(X, y).net_
    lvq = koru32.LVQClassifier(max_iter=2).fit(X, y).net_
    n, T = koru32._native, np.zeros((150, 3), np.float32)
    X = X.astype(np.float32)
    return {
        "empty bytes": lambda: n.bp_predict(b"", X, 4, 3, 2),
        "empty bytes, kernel": lambda: n.kernel_predict(b"", 6, X, 4, 3, 0.5),
        "empty bytes, save": lambda: n.write_model_file(b"", "unused.net", ""),
        "text, not a net": lambda: n.lvq_predict(b"x" * 600, X, 4, 3),
        "a PNN as backprop": lambda: n.bp_predict(pnn, X, 4, 3, 2),
        "more outputs than the net": lambda: n.bp_predict(bp, X, 4, 4, 2),
        "fewer inputs than the net": lambda: n.bp_predict(bp, X[:, :2].copy(), 2, 3, 2),
        "a backprop net as PNN": lambda: n.kernel_predict(bp, 6, X, 4, 3, 0.5),
        "PNN of another kernel": lambda: n.kernel_predict(pnn, 10, X, 4, 3, 0.5),
        "leave-one-out over fewer rows": lambda: n.kernel_leave_one_out(pnn, 6, X[:9], T[:9], [0.5], 0.0),
        "LVQ with more units": lambda: n.lvq_predict(lvq, X, 4, 9),
    }


@pytest.mark.parametrize("label", list(_malformed_calls()))
def test_bytes_that_do_not_fit_the_call_are_refused_before_the_engine_sees_them(label):
    with pytest.raises(ValueError, match="empty|not a network file|does not fit|expected"):
        _malformed_calls()[label]()
