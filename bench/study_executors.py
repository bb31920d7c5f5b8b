"""Rows per second of kelvane.study() on a thread pool of one and of two
threads, and on a Dask cluster of two worker processes of one thread each,
over the 48-row study of kelvane-bench-study.

    PYTHONPATH=build/python /usr/bin/python3 bench/study_executors.py

The cluster is started (and given one row) before the clock starts.
"""

import time
from concurrent.futures import ThreadPoolExecutor

import kelvane

# 48 runs of the default window (an unused zone's partial pressures varied).
VARY = {"PartialPressure1[14]": "0:11:1", "PartialPressure2[14]": "0:3:1"}


def rows_per_second(executor):
    start = time.perf_counter()
    table = kelvane.study(vary=VARY, robust=True, executor=executor)
    elapsed = time.perf_counter() - start
    assert len(table) == 48 and (table["outcome"] == "finished").all()
    return 48 / elapsed, table


def main():
    with ThreadPoolExecutor(max_workers=1) as pool:
        one, reference = rows_per_second(pool)
    with ThreadPoolExecutor(max_workers=2) as pool:
        two, _ = rows_per_second(pool)
    print(f"threads: 1 thread {one:.2f} rows/s, 2 threads {two:.2f} rows/s (x{two / one:.2f})")
    try:
        import distributed
    except ImportError:
        print("dask: not installed (python3-distributed)")
        return
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        executor = client.get_executor()
        kelvane.study(vary={"WebSpeed": [1.0]}, executor=executor)  # the workers import kelvane
        dask, table = rows_per_second(executor)
    assert table.equals(reference)
    print(f"dask: 2 workers x 1 thread {dask:.2f} rows/s (x{dask / two:.2f} of 2 threads, same rows)")


if __name__ == "__main__":
    main()
