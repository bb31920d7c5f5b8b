"""Throughput of kelvane.run() from one thread and from two.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_threads.py [runs]

The march releases the interpreter lock, so on an idle machine with two
cores two threads finish close to twice the runs per second of one.
"""

import sys
import time
from concurrent.futures import ThreadPoolExecutor

import kelvane


def runs_per_second(threads, runs):
    start = time.perf_counter()
    with ThreadPoolExecutor(max_workers=threads) as pool:
        list(pool.map(lambda _: kelvane.run(), range(runs)))
    return runs / (time.perf_counter() - start)


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 12
    kelvane.run()  # warm up
    one = runs_per_second(1, runs)
    two = runs_per_second(2, runs)
    print(f"kelvane.run() on the defaults, {runs} runs: 1 thread {one:.2f}/s, 2 threads {two:.2f}/s, "
          f"ratio {two / one:.2f}")


if __name__ == "__main__":
    main()
