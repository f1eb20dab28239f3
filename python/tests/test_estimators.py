import copy
import pickle

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


def iris():
    X, y = load_iris(return_X_y=True)
    return StandardScaler().fit_transform(X), y


@pytest.mark.parametrize("estimator", ESTIMATORS, ids=lambda e: type(e).__name__)
def test_models_are_values(estimator):
    X, y = iris()
    fitted = estimator.set_params(**({"random_state": 3} if "random_state" in estimator.get_params() else {}))
    fitted.fit(X, y)
    expected = fitted.predict(X)
    for twin in (pickle.loads(pickle.dumps(fitted)), copy.deepcopy(fitted)):
        assert np.array_equal(twin.predict(X), expected)


def test_a_thousand_fitted_estimators_at_once():
    X, y = iris()
    models = [koru32.PNNClassifier(sigma=0.5).fit(X[i % 50::50], y[i % 50::50]) for i in range(1000)]
    assert all(np.array_equal(m.predict(X[:5]), models[0].predict(X[:5])) for m in models[::50])


def test_engine_failures_raise_with_code_name_and_text():
    with pytest.raises(koru32.EngineError) as raised:
        koru32._native.bp_predict(b"not a network file", np.zeros((1, 2), np.float32), 2, 1, 1)
    assert (raised.value.code, raised.value.name) == (41, "KORU32_ERR_RESTORE_FILE")
    assert raised.value.text in str(raised.value)
