"""The output folder DIR is written beside it, as DIR.partial, and swapped in only once whole:
the earlier DIR is moved aside (DIR.previous) first, and put back if the swap fails. An
interruption therefore leaves the earlier output or the new one, never half of either."""
import os
import shutil

from cdtools.preflight import processes


def staging(out):
    return out + ".partial"


def aside(out):
    return out + ".previous"


def recover(out):
    """Puts back an earlier output that a stop in the middle of a swap (a power cut, SIGKILL)
    left aside, and removes an old staging folder."""
    with processes.signals_held():
        if not os.path.lexists(out) and os.path.isdir(aside(out)):
            os.rename(aside(out), out)
    discard(out)


def begin(out):
    """A new, empty staging folder; its path."""
    recover(out)
    os.makedirs(os.path.join(staging(out), "runs"))
    return staging(out)


def discard(out):
    shutil.rmtree(staging(out), ignore_errors=True)


def replace(out):
    """Swaps the whole staging folder in as out; the earlier out is removed only after that."""
    with processes.signals_held():
        earlier = os.path.lexists(out)
        if earlier:
            shutil.rmtree(aside(out), ignore_errors=True)
            os.rename(out, aside(out))
        try:
            os.rename(staging(out), out)
        except BaseException:
            if earlier:
                os.rename(aside(out), out)
            raise
    if earlier:
        shutil.rmtree(aside(out), ignore_errors=True)
