"""What a run left in its output folder, taken into the page's folder. The installers could
write that folder too, so nothing in it is trusted: result.json is read with a size limit and
without following a link, each screenshot is copied the same way and converted as a BMP only,
whatever the file says it is, and nothing else is taken."""
import json
import os
import re
import shutil
import stat

from cdtools.preflight import processes

THUMBNAIL = "200x200"
RESULT_LIMIT = 4 << 20
SCREENSHOT_LIMIT = 64 << 20
SCREENSHOT_NAME = re.compile(r"[A-Za-z0-9][A-Za-z0-9_.-]{0,79}\.bmp")


class Unreadable(Exception):
    pass


def read_regular(path, limit):
    """The bytes of path: a regular file of at most `limit` bytes, never through a link."""
    try:
        fd = os.open(path, os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK)
    except OSError as error:
        raise Unreadable("%s cannot be opened (%s)" % (os.path.basename(path), error.strerror))
    with os.fdopen(fd, "rb") as f:
        status = os.fstat(f.fileno())
        if not stat.S_ISREG(status.st_mode):
            raise Unreadable("%s is not a file" % os.path.basename(path))
        data = f.read(limit + 1)
    if len(data) > limit:
        raise Unreadable("%s is over %d bytes" % (os.path.basename(path), limit))
    return data


def result(folder):
    """(the run's result.json as a dict, None) or (None, why it cannot be used)."""
    try:
        data = json.loads(read_regular(os.path.join(folder, "result.json"), RESULT_LIMIT))
    except Unreadable as error:
        return None, "the run's %s" % error
    except ValueError as error:  # also a text that is no UTF-8
        return None, "the run's result.json is not JSON (%s)" % error
    if not isinstance(data, dict):
        return None, "the run's result.json is not an object"
    return data, None


def screenshot_names(result):
    """The screenshots that the result names: each window's, and the started installer's."""
    names = [w.get("screenshot") for w in result.get("windows") or [] if isinstance(w, dict)]
    started = result.get("started")
    if isinstance(started, dict):
        names.append(started.get("screenshot"))
    return list(dict.fromkeys(n for n in names if n))


def to_png(name, source, target):
    """Converts source/name (a BMP) into target/NAME.png and its thumbnail; the PNG's path,
    or None where the runner wrote no such screenshot."""
    if not isinstance(name, str) or not SCREENSHOT_NAME.fullmatch(name):
        raise Unreadable("the screenshot name %r is not one that the runner writes" % (name,))
    if not os.path.lexists(os.path.join(source, name)):
        return None
    data = read_regular(os.path.join(source, name), SCREENSHOT_LIMIT)
    copy = os.path.join(target, name)
    with open(copy, "xb") as f:
        f.write(data)
    png = copy[:-len(".bmp")] + ".png"
    try:
        converted = processes.run(["convert", "bmp:" + copy, "-write", "png:" + png,
                                   "-thumbnail", THUMBNAIL,
                                   "png:" + png[:-len(".png")] + ".thumb.png"], timeout=120)
    except processes.TimedOut as error:
        raise Unreadable("%s: %s" % (name, error))
    finally:
        os.remove(copy)
    if converted.returncode:
        raise Unreadable("%s is not a BMP image that convert reads" % name)
    return png


def take(source, target):
    """Takes a run's result and screenshots from source into target (a new folder):
    (result or None, the PNGs' paths, problems)."""
    os.makedirs(target)
    found, why = result(source)
    if found is None:
        return None, [], [why]
    pngs, problems = [], []
    for name in screenshot_names(found):
        try:
            png = to_png(name, source, target)
        except Unreadable as error:
            problems.append("the run's screenshot: %s" % error)
            continue
        if png:
            pngs.append(png)
    with open(os.path.join(target, "result.json"), "w", encoding="utf-8") as f:
        json.dump(found, f, indent=1, ensure_ascii=False)
    return found, pngs, problems


def remove(folder):
    """Removes the run's folder, also where a program of the run took its owner's rights on a
    folder inside away."""
    os.chmod(folder, 0o700)
    for parent, folders, _ in os.walk(folder):
        for name in folders:
            if not os.path.islink(os.path.join(parent, name)):
                os.chmod(os.path.join(parent, name), 0o700)
    shutil.rmtree(folder)
