"""What the commands of the CD tools and the audits share: their exit codes, and the way
they print a line of progress."""
import signal

OK = 0
FAILED = 1  # a check failed, or a tool that the command ran did
REFUSED = 2  # the arguments or the input are unfit: nothing was done or written
# Stopped by a signal: 128 and its number, as a shell reports it.
HANGUP = 128 + signal.SIGHUP
INTERRUPTED = 128 + signal.SIGINT
TERMINATED = 128 + signal.SIGTERM


def say(text=""):
    """A line of progress, shown at once even when the output is a pipe."""
    print(text, flush=True)
