#!/usr/bin/python3
"""Vectorised numpy references for the pattern nets and LVQ: a Parzen
classifier (PNN), a Nadaraya-Watson estimator (GRNN) and LVQ1, on the same
digits data, store sizes and recalled patterns as the engine's rows.

Prints one line per row: name TAB best seconds per pass TAB work TAB unit
(the format of the engine's and FANN's programs). A pass recalls the same
patterns as the engine's pass, one call per pattern as the engine takes them;
the "batched" rows recall them all in one call, the way numpy is at its best.
"""
import gzip
import os
import sys
import time

import numpy as np

SKLEARN = os.environ.get("KORU32_SKLEARN_DATA", "/usr/lib/python3/dist-packages/sklearn/datasets/data")


def load_digits():
    with gzip.open(os.path.join(SKLEARN, "digits.csv.gz"), "rt") as f:
        rows = np.loadtxt(f, delimiter=",")
    x = (rows[:, :64] * (1.0 / 16.0)).astype(np.float32)
    labels = rows[:, 64].astype(int)
    y = np.zeros((len(labels), 10), np.float32)
    y[np.arange(len(labels)), labels] = 1.0
    return x, y, labels


FANN = os.environ.get("KORU32_FANN_DATA", "/usr/share/doc/libfann-dev/examples/datasets")


def load_fann(name):
    """A FANN training file: a header of patterns, inputs, outputs, then the
    values pattern by pattern, inputs before outputs."""
    with open(os.path.join(FANN, name + ".train")) as f:
        values = f.read().split()
    count, inputs, outputs = (int(v) for v in values[:3])
    rows = np.array(values[3:3 + count * (inputs + outputs)], np.float32).reshape(count, inputs + outputs)
    return rows[:, :inputs].copy(), rows[:, inputs:].copy()


def load_diabetes():
    """The ten measurements, each column divided by its largest magnitude;
    the target divided by 350 (the engine's benchmark does the same)."""
    rows = np.loadtxt(os.path.join(SKLEARN, "diabetes_data_raw.csv.gz"))
    target = np.loadtxt(os.path.join(SKLEARN, "diabetes_target.csv.gz"))
    largest = np.abs(rows).max(axis=0)
    x = np.where(largest > 0, rows / np.where(largest > 0, largest, 1.0), 0.0).astype(np.float32)
    return x, (target / 350.0).astype(np.float32)[:, None]


def resized(x, y, n):
    """The first n patterns, repeated with the engine's small jitter past the set."""
    count = len(x)
    idx = np.arange(n) % count
    jitter = ((np.arange(n) // count) % 7).astype(np.float32) * np.float32(0.001)
    return x[idx] + jitter[:, None], y[idx]


def time_row(name, work, unit, seconds, run):
    run()
    start = time.perf_counter()
    run()
    once = time.perf_counter() - start
    passes = max(1, int(seconds / 3 / once)) if once > 0 else 100
    best = float("inf")
    for _ in range(3):
        start = time.perf_counter()
        for _ in range(passes):
            run()
        best = min(best, (time.perf_counter() - start) / passes)
    print(f"{name}\t{best:.9g}\t{work:.9g}\t{unit}", flush=True)


class Parzen:
    """Gaussian Parzen classifier: class scores sum(k_u T_u) / N_j."""

    def __init__(self, store, targets, sigma):
        self.store = store
        self.norms = (store * store).sum(axis=1)
        self.targets = targets
        self.counts = targets.sum(axis=0)
        self.scale = -1.0 / (2.0 * sigma * sigma)

    def activations(self, x):
        # |x - s|^2 = |s|^2 - 2 s.x + |x|^2, one matrix-vector product
        d2 = self.norms - 2.0 * (self.store @ x) + x @ x
        return np.exp(d2 * self.scale)

    def recall(self, x):
        return (self.activations(x) @ self.targets) / self.counts

    def recall_batch(self, xs):
        d2 = self.norms[None, :] - 2.0 * (xs @ self.store.T) + (xs * xs).sum(axis=1)[:, None]
        return (np.exp(d2 * self.scale) @ self.targets) / self.counts


class NadarayaWatson(Parzen):
    """Gaussian kernel regression: sum(k_u T_u) / sum(k_u)."""

    def recall(self, x):
        k = self.activations(x)
        return (k @ self.targets) / k.sum()

    def recall_batch(self, xs):
        d2 = self.norms[None, :] - 2.0 * (xs @ self.store.T) + (xs * xs).sum(axis=1)[:, None]
        k = np.exp(d2 * self.scale)
        return (k @ self.targets) / k.sum(axis=1)[:, None]


def main():
    smoke = "--smoke" in sys.argv
    seconds = 0.02 if smoke else 0.25
    x, y, labels = load_digits()
    recalled = 20 if smoke else 200
    queries = x[(np.arange(recalled) * 7) % len(x)]
    sizes = [100] if smoke else [100, 1000, 1797, 5000]
    for name, kind, sigma in (("pnn-distance", Parzen, 0.5), ("grnn-distance", NadarayaWatson, 0.5)):
        for n in sizes:
            store, targets = resized(x, y, n)
            model = kind(store, targets, np.float32(sigma))

            def one_by_one():
                for q in queries:
                    model.recall(q)

            time_row(f"recall {name} digits n={n}", recalled, "patterns", seconds, one_by_one)
            time_row(f"recall {name} digits n={n} batched", recalled, "patterns", seconds,
                     lambda: model.recall_batch(queries))

    # Whole training sets of other shapes, each recalling its own patterns.
    for set_name, name, kind, sigma in (("mushroom", "pnn-distance", Parzen, 0.5),
                                        ("building", "grnn-distance", NadarayaWatson, 0.2),
                                        ("diabetes", "grnn-distance", NadarayaWatson, 0.2)):
        try:
            sx, sy = load_diabetes() if set_name == "diabetes" else load_fann(set_name)
        except OSError:
            print(f"# missing data set {set_name}", flush=True)
            continue
        if smoke:
            sx, sy = resized(sx, sy, 100)
        model = kind(sx, sy, np.float32(sigma))
        own = sx[(np.arange(recalled) * 7) % len(sx)]

        def own_one_by_one(model=model, own=own):
            for q in own:
                model.recall(q)

        time_row(f"recall {name} {set_name} n={len(sx)}", recalled, "patterns", seconds, own_one_by_one)
        time_row(f"recall {name} {set_name} n={len(sx)} batched", recalled, "patterns", seconds,
                 lambda model=model, own=own: model.recall_batch(own))

    # LVQ1: unit u stands for class u mod 10; the winner (smallest squared
    # distance) moves toward a pattern of its class and away from any other.
    rng = np.random.default_rng(11)
    patterns = 100 if smoke else len(x)
    for m in [64] if smoke else [64, 256]:
        w = rng.uniform(-1.0, 1.0, (m, 64)).astype(np.float32)
        unit_class = np.arange(m) % 10

        def evaluate():
            for p in range(patterns):
                d = w - x[p]
                np.argmin((d * d).sum(axis=1))

        def train():
            for p in range(patterns):
                d = x[p] - w
                win = np.argmin((d * d).sum(axis=1))
                rate = 0.05 if unit_class[win] == labels[p] else -0.05
                w[win] += rate * d[win]

        time_row(f"lvq1 evaluate float32 digits units={m}", patterns, "patterns", seconds, evaluate)
        time_row(f"lvq1 train float32 digits units={m}", patterns, "patterns", seconds, train)


if __name__ == "__main__":
    main()
