#!/usr/bin/python3
"""The koru32 Python package against the same work through the C interface,
and against the peers a Python user would otherwise pick, on the same data in
one run (scikit-learn's digits, scaled to [0, 1]):

  BackpropClassifier.fit   a 64-32-10 net, momentum rule, a fixed number of
                           epochs, vs bench's python_peer doing the same calls
                           in C (the trained nets must be the same bytes), and
                           vs scikit-learn's MLPClassifier (its defaults: Adam,
                           batches of 200) for the same epochs;
  PNNClassifier.predict    recall of the held-out rows over the stored training
                           rows, vs the C recall loop over the same net, and vs
                           a numpy Parzen classifier (bench/numpy_reference.py),
                           one vectorised call over all rows.

Each time is the best of --reps runs, ours and the C program's taken in turn
(both pinned to one core); the ratios are ours over theirs, the target <= 1.15 for
the package over C. --smoke runs everything once on a little data.

  python_bench.py --build BUILD [--smoke] [--reps N] [--core C]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import warnings

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import numpy_reference  # noqa: E402


def parse_args():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--smoke", action="store_true")
    parser.add_argument("--reps", type=int, default=None)
    parser.add_argument("--core", type=int, default=None)
    args, _ = parser.parse_known_args()  # bench/run's other options are not ours
    return args


def best_of(reps, run):
    best = float("inf")
    for _ in range(reps):
        start = time.perf_counter()
        result = run()
        best = min(best, time.perf_counter() - start)
    return best, result


def interleaved(reps, ours, theirs, inner=1):
    """Best times of two runs taken in turn, so both see the same load; ours
    is timed `inner` times a turn, as the C program times itself."""
    best_ours = best_theirs = float("inf")
    for _ in range(reps):
        best_ours = min(best_ours, best_of(inner, ours)[0])
        best_theirs = min(best_theirs, theirs())
    return best_ours, best_theirs


def write_data(path, x, t):
    with open(path, "wb") as f:
        np.array([len(x), x.shape[1], t.shape[1]], np.int32).tofile(f)
        np.ascontiguousarray(x, np.float32).tofile(f)
        np.ascontiguousarray(t, np.float32).tofile(f)


def peer(pin, program, *args):
    out = subprocess.run(pin + [program, *map(str, args)], check=True, capture_output=True, text=True).stdout
    seconds, result = out.split()
    return float(seconds), float(result)


def main():
    args = parse_args()
    python = os.path.join(args.build, "python")
    program = os.path.join(args.build, "bench", "koru32_python_peer")
    if not os.path.isdir(os.path.join(python, "koru32")) or not os.path.exists(program):
        print("python bench: the build has no Python package (pybind11-dev, python3-dev): skipped")
        return 0
    sys.path.insert(0, python)
    try:
        import koru32
        from sklearn.neural_network import MLPClassifier
    except ImportError as error:
        print(f"python bench: {error} (python3-sklearn): skipped")
        return 0

    reps = args.reps or (1 if args.smoke else 5)
    core = args.core if args.core is not None else (os.cpu_count() or 1) - 1
    pin = ["taskset", "-c", str(core)] if shutil.which("taskset") else []
    if pin:
        os.sched_setaffinity(0, {core})  # this process too, like the C peer
    x, onehot, labels = numpy_reference.load_digits()
    rows = 300 if args.smoke else len(x)
    x, onehot, labels = x[:rows], onehot[:rows], labels[:rows]
    train = np.arange(rows) % 5 != 0
    test = ~train
    epochs = 3 if args.smoke else 30
    hidden = 32
    scratch = tempfile.mkdtemp(prefix="koru32-python-bench-")
    data = os.path.join(scratch, "train.bin")
    write_data(data, x[train], onehot[train])
    lines = []

    # ---- Backpropagation training ------------------------------------------------
    est = koru32.BackpropClassifier(hidden_layer_sizes=(hidden,), solver="momentum", learning_rate_init=0.2,
                                    momentum=0.5, max_iter=epochs, n_iter_no_change=epochs + 1, random_state=7)
    seed = koru32._estimators._seed(7)
    c_net = os.path.join(scratch, "c.net")
    ours, theirs = interleaved(reps, lambda: est.fit(x[train], labels[train]),
                               lambda: peer(pin, program, "train", data, c_net, seed, epochs, hidden)[0])
    with open(c_net, "rb") as f:
        same = f.read() == est.net_
    mlp = MLPClassifier(hidden_layer_sizes=(hidden,), activation="logistic", max_iter=epochs, tol=0.0,
                        n_iter_no_change=epochs + 1, random_state=7)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # MLPClassifier warns that it stopped at max_iter
        sk, _ = best_of(reps, lambda: mlp.fit(x[train], labels[train]))
    lines.append(f"BackpropClassifier.fit, digits {int(train.sum())} rows, 64-{hidden}-10, {epochs} epochs: "
                 f"{ours * 1e3:.1f} ms; C interface {theirs * 1e3:.1f} ms (same net: {'yes' if same else 'NO'}); "
                 f"MLPClassifier {sk * 1e3:.1f} ms")
    lines.append(f"  ratio BackpropClassifier.fit / C: {ours / theirs:.3f} (target <= 1.15)")
    lines.append(f"  ratio BackpropClassifier.fit / MLPClassifier.fit: {ours / sk:.3f}; "
                 f"test accuracy {est.score(x[test], labels[test]):.3f} vs {mlp.score(x[test], labels[test]):.3f}")

    # ---- PNN recall -----------------------------------------------------------
    sigma = 0.5
    pnn = koru32.PNNClassifier(sigma=sigma).fit(x[train], labels[train])
    predicted = pnn.predict(x[test])
    pnn_net = os.path.join(scratch, "pnn.net")
    with open(pnn_net, "wb") as f:
        f.write(pnn.net_)
    queries = os.path.join(scratch, "test.bin")
    write_data(queries, x[test], onehot[test])
    checksum = peer(pin, program, "recall", queries, pnn_net, sigma, 1)[1]
    # Each turn both sides recall 3 times and keep their best.
    ours, theirs = interleaved(reps, lambda: pnn.predict(x[test]),
                               lambda: peer(pin, program, "recall", queries, pnn_net, sigma, 3)[0], inner=3)
    mine = float(koru32._native.kernel_predict(pnn.net_, 6, x[test], 64, 10, sigma)[0].astype(np.float64).sum())
    parzen = numpy_reference.Parzen(x[train], onehot[train], np.float32(sigma))
    np_time, scores = best_of(reps, lambda: np.argmax(parzen.recall_batch(x[test]), axis=1))
    agree = np.mean(pnn.classes_[scores] == predicted)
    lines.append(f"PNNClassifier.predict, {int(test.sum())} rows over {int(train.sum())} patterns: "
                 f"{ours * 1e3:.2f} ms; C recall loop {theirs * 1e3:.2f} ms "
                 f"(same outputs: {'yes' if abs(mine - checksum) <= 1e-6 * max(1.0, abs(mine)) else 'NO'}); "
                 f"numpy Parzen (batched) {np_time * 1e3:.2f} ms, agrees on {agree:.3f} of the rows")
    lines.append(f"  ratio PNNClassifier.predict / C: {ours / theirs:.3f} (target <= 1.15)")
    lines.append(f"  ratio PNNClassifier.predict / numpy Parzen: {ours / np_time:.3f}")
    shutil.rmtree(scratch, ignore_errors=True)
    title = "smoke run: timings mean nothing" if args.smoke else f"best of {reps}"
    title = f"## Python package ({title})"
    print("\n".join([title] + lines))
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
