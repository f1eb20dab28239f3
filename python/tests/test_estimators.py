import numpy as np
import pytest
from sklearn.datasets import load_iris
from sklearn.preprocessing import StandardScaler
from sklearn.utils.estimator_checks import parametrize_with_checks

import koru32

ESTIMATORS = [koru32.BackpropClassifier(max_iter=50), koru32.BackpropRegressor(max_iter=50),
              koru32.PNNClassifier(), koru32.GRNNRegressor(), koru32.LVQClassifier()]


@parametrize_with_checks(ESTIMATORS)
def test_scikit_learn_checks(estimator, check):
    check(estimator)


def _malformed_calls():
    X, y = StandardScaler().fit_transform(load_iris().data), load_iris().target
    bp = koru32.BackpropClassifier(max_iter=2).fit(X, y).net_
    pnn = koru32.PNNClassifier(sigma=0.5).fit(X, y).net_
    lvq = koru32.LVQClassifier(max_iter=2).fit(X, y).net_
    n, T, X = koru32._native, np.zeros((150, 3), np.float32), X.astype(np.float32)
    return {
        "empty bytes": lambda: n.bp_predict(b"", X, 4, 3, 2),
        "empty bytes, save": lambda: n.write_model_file(b"", "unused.net", ""),
        "a PNN as backprop": lambda: n.bp_predict(pnn, X, 4, 3, 2),
        "more outputs than the net": lambda: n.bp_predict(bp, X, 4, 4, 2),
        "PNN of another kernel": lambda: n.kernel_predict(pnn, 10, X, 4, 3, 0.5),
        "leave-one-out over fewer rows": lambda: n.kernel_leave_one_out(pnn, 6, X[:9], T[:9], [0.5], 0.0),
        "LVQ with more units": lambda: n.lvq_predict(lvq, X, 4, 9),
    }


@pytest.mark.parametrize("label", list(_malformed_calls()))
def test_bytes_that_do_not_fit_the_call_are_refused_before_the_engine_sees_them(label):
    with pytest.raises(ValueError, match="empty|not a network file|does not fit|expected"):
        _malformed_calls()[label]()
