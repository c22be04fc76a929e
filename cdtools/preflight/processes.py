"""Each program that the preflight starts runs in a session (and process group) of its own,
with a time limit: on a time-out, Ctrl-C, SIGTERM or any error the whole group ends, not only
the program that was started. Ctrl-C at the terminal then reaches the preflight alone, which
ends what it started and cleans up."""
import contextlib
import os
import signal
import subprocess
import time

from cdtools import cli

# The signals that stop the preflight: how each is named, and the exit code it ends with.
STOPS = {signal.SIGINT: ("Ctrl-C", cli.INTERRUPTED), signal.SIGTERM: ("SIGTERM", cli.TERMINATED),
         signal.SIGHUP: ("SIGHUP", cli.HANGUP)}
SIGNALS = tuple(STOPS)


class TimedOut(Exception):
    def __init__(self, command, seconds):
        super().__init__("%s did not end within %d s" % (os.path.basename(command[0]), seconds))
        self.seconds = seconds


class Stopped(BaseException):
    """A signal asked the preflight to stop. A BaseException, as KeyboardInterrupt is: no
    `except Exception` on the way swallows it."""

    def __init__(self, signum):
        name, self.exit_code = STOPS[signum]
        super().__init__(name)
        self.signum = signum


def _stop(signum, frame):
    # A second signal while the first one's clean-up runs would cut that clean-up short.
    for each in SIGNALS:
        signal.signal(each, signal.SIG_IGN)
    raise Stopped(signum)


def stop_on_signals():
    """From now on Ctrl-C, SIGTERM and SIGHUP raise Stopped where the preflight is."""
    for each in SIGNALS:
        signal.signal(each, _stop)


@contextlib.contextmanager
def signals_held():
    """Holds Ctrl-C, SIGTERM and SIGHUP back until the block has ended: for the steps that
    must not be cut in two (the swap of the output folder, stopping Xvfb and Wine)."""
    previous = signal.pthread_sigmask(signal.SIG_BLOCK, SIGNALS)
    try:
        yield
    finally:
        signal.pthread_sigmask(signal.SIG_SETMASK, previous)


def kill_group(process, grace=5):
    """SIGTERM to the process's whole group, then SIGKILL to what is left of it after `grace`
    seconds (so that a package manager of the set-up may end its step); waits for the
    process itself."""
    _signal_group(process.pid, signal.SIGTERM)
    deadline = time.monotonic() + grace
    while process.poll() is None or _signal_group(process.pid, 0):
        if time.monotonic() > deadline:
            break
        time.sleep(0.05)
    _signal_group(process.pid, signal.SIGKILL)
    process.wait()


def _signal_group(group, signum):
    """Whether the group had a process to signal."""
    try:
        os.killpg(group, signum)
        return True
    except ProcessLookupError:
        return False


def run(command, timeout, env=None, cwd=None):
    """Runs command in a session of its own, its output captured as text; its
    CompletedProcess. On a time-out (TimedOut) or any exception its group is killed first."""
    process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, encoding="utf-8", errors="replace",
                               env=env, cwd=cwd, start_new_session=True)
    try:
        out, err = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        kill_group(process)
        try:  # what is left in the pipes, unless a program outside the group holds them
            process.communicate(timeout=10)
        except subprocess.TimeoutExpired:
            pass
        raise TimedOut(command, timeout)
    except BaseException:
        kill_group(process)
        raise
    return subprocess.CompletedProcess(command, process.returncode, out, err)
