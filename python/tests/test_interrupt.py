"""Ctrl-C during a long computation raises KeyboardInterrupt promptly and leaves nothing running."""
import os
import signal
import threading
import time

import pytest

import kavo


def os_threads():
    return len(os.listdir("/proc/self/task"))


def interrupt_after(seconds):
    timer = threading.Timer(seconds, os.kill, (os.getpid(), signal.SIGINT))
    timer.start()
    return timer


@pytest.mark.parametrize("tables,threads", [
    ([11, 11, 0.5], None),                         # one table at its mode: never stops alone
    ([[11, 11, 0.5]] * 8 + [[3, 5, 0.4]] * 8, 2),  # many, some queued behind the running ones
    ([[11, 11, 0.5]] * 3, 1),
])
def test_sigint_cancels_a_long_call_within_a_second(tables, threads):
    before = os_threads()
    timer = interrupt_after(0.5)
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        kavo.evidence("proportion", tables, method="monte_carlo", max_draws=10**15, precision=0,
                      threads=threads)
    elapsed = time.monotonic() - start
    timer.join()
    assert 0.45 < elapsed < 1.5
    assert os_threads() == before  # the library's worker threads have ended
    # The module still works afterwards, and gives the same digits as before.
    assert (f"{kavo.evidence('kavoprop', [3, 5, 0.4], prior=0, method='monte_carlo').evidence:e}"
            == "7.072672e-01")


def test_other_threads_can_run_python_while_it_computes():
    ticks = []
    stop = threading.Event()

    def tick():
        while not stop.is_set():
            ticks.append(time.monotonic())
            time.sleep(0.01)

    ticker = threading.Thread(target=tick)
    ticker.start()
    try:
        kavo.evidence("kavoind", [[12, 5, 7, 9]] * 2, method="monte_carlo", threads=2)  # ~0.3 s
    finally:
        stop.set()
        ticker.join()
    assert len(ticks) > 10  # the GIL was released during the call


LONG_CALL = ("import threading, time, kavo\n"
             "worker = threading.Thread(target=kavo.evidence, daemon=True,\n"
             "    args=('independence', [[3, 3, 3, 3]] * 50),\n"
             "    kwargs=dict(method='monte_carlo', max_draws=10**7, precision=0, threads=1))\n"
             "worker.start()\n")


@pytest.mark.parametrize("script,interrupt", [
    (LONG_CALL + "time.sleep(1)\n", False),            # the interpreter exits under the call
    (LONG_CALL + "print('joining', flush=True)\nworker.join()\n", True),  # Ctrl-C in the join
], ids=["exit", "ctrl-c"])
def test_the_interpreter_exits_cleanly_while_another_thread_computes(script, interrupt):
    import subprocess
    import sys
    process = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    if interrupt:
        assert process.stdout.readline() == "joining\n"
        time.sleep(0.5)
        process.send_signal(signal.SIGINT)
    out, err = process.communicate(timeout=60)
    assert "terminate called" not in err
    assert process.returncode == (-signal.SIGINT if interrupt else 0), err
