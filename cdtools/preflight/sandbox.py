"""The sandbox that holds one run of the preflight (bubblewrap): the prefix's restore, its Wine
server, the runner, the launcher and whatever the CD's installers start, Unix programs included.

Inside it there is no network, no other process of the machine, no capability and no further
user namespace. The root is read-only; the home folders, /tmp, /var/tmp and /run (where the
machine's sockets are) are empty; writable are only the prefix and the run's output folder.
The snapshot, the CD's tree and the few files that the run needs are bound back read-only.
The X display is the preflight's own Xvfb, reached through its socket."""
import os
import re

from cdtools.preflight import processes

BWRAP = "bwrap"
PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"
HIDDEN = ("/home", "/root", "/tmp", "/var/tmp", "/run")
ISOLATION = ["--unshare-user", "--disable-userns", "--unshare-pid", "--unshare-net",
              "--unshare-ipc", "--unshare-uts", "--die-with-parent", "--new-session",
              "--cap-drop", "ALL"]

# Where a kernel or a container can forbid the namespaces: (setting, the value that forbids
# them, how to allow them).
SETTINGS = [
    ("/proc/sys/kernel/unprivileged_userns_clone", "0",
     "allow them with: sysctl kernel.unprivileged_userns_clone=1"),
    ("/proc/sys/user/max_user_namespaces", "0",
     "allow them with: sysctl user.max_user_namespaces=15000"),
    ("/proc/sys/kernel/apparmor_restrict_unprivileged_userns", "1",
     "AppArmor restricts them: sysctl kernel.apparmor_restrict_unprivileged_userns=0, or an "
     "AppArmor profile that allows userns for bwrap"),
]
IN_A_CONTAINER = ("a container may forbid them: allow unshare and mount in its seccomp profile "
                  "(for example docker run --security-opt seccomp=unconfined --security-opt "
                  "apparmor=unconfined)")


class Unavailable(Exception):
    """The machine cannot make the sandbox's namespaces."""


def x_socket(display):
    """The socket of an X display such as ":3" or ":3.0"; the abstract one is per network
    namespace, so the sandbox reaches the display only through this file."""
    match = re.fullmatch(r":(\d+)(\.\d+)?", display)
    if not match:
        raise ValueError("the display %r is not a local one (:N)" % display)
    return "/tmp/.X11-unix/X" + match.group(1)


def environment(display, screenshots):
    """A run's whole environment: nothing of the caller's, so no variable leads to the user's
    own display, session bus or agents."""
    return {"PATH": PATH, "HOME": os.path.expanduser("~"), "LC_ALL": "C.UTF-8",
            "DISPLAY": display, "KAVRIO_SCREENSHOTS": screenshots}


def hidden_folders(home):
    folders = []
    for folder in HIDDEN + (home,):
        real = os.path.realpath(folder)
        if real != "/" and os.path.isdir(real) and real not in folders:
            folders.append(real)
    return folders


def command(writable, readable, env, home):
    """bwrap's arguments up to the program: `writable` and `readable` are the host paths that
    the run writes and reads (each bound at its own path, read-write or read-only), `env` the
    run's whole environment (environment())."""
    args = [BWRAP] + ISOLATION + ["--ro-bind", "/", "/", "--dev", "/dev", "--proc", "/proc"]
    for folder in hidden_folders(home):
        args += ["--tmpfs", folder]
    binds = [(os.path.realpath(p), "--bind") for p in writable]
    binds += [(os.path.realpath(p), "--ro-bind") for p in readable]
    binds.append((x_socket(env["DISPLAY"]), "--ro-bind"))
    # A path bound inside another bound one comes after it, or the outer bind would cover it.
    for path, how in sorted(binds, key=lambda b: b[0].count("/")):
        args += [how, path, path]
    args.append("--clearenv")
    for name, value in env.items():
        args += ["--setenv", name, value]
    return args + ["--chdir", "/", "--"]


def why_no_namespaces(read_setting):
    """How to allow the namespaces, from the settings that forbid them (read_setting(path)
    gives a setting's text, or None where the kernel has no such setting)."""
    for path, forbidding, how in SETTINGS:
        value = read_setting(path)
        if value is not None and value.strip() == forbidding:
            return "%s is %s: %s" % (path, forbidding, how)
    return IN_A_CONTAINER


def read_setting(path):
    try:
        with open(path) as f:
            return f.read()
    except OSError:
        return None


def probe():
    """Raises Unavailable, saying why and how to allow it, where bwrap cannot make the
    sandbox's namespaces here."""
    try:
        result = processes.run([BWRAP] + ISOLATION + ["--ro-bind", "/", "/", "true"],
                               timeout=60, env={"PATH": PATH})
    except FileNotFoundError:
        raise Unavailable("bubblewrap (bwrap) is not installed; scripts/setup installs it")
    except processes.TimedOut:
        raise Unavailable("bwrap did not make its namespaces within 60 s")
    if result.returncode:
        said = " ".join(result.stderr.split())[-300:] or "exit code %d" % result.returncode
        raise Unavailable("bubblewrap cannot make the sandbox's namespaces here (%s); %s" % (
            said, why_no_namespaces(read_setting)))
