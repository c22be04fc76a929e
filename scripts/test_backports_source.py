"""Tests of scripts/backports-source against made-up apt configuration folders.

  python3 -m unittest discover -s scripts -p 'test_*.py'
"""
import os
import subprocess
import tempfile
import unittest

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "backports-source")
KEY = "/usr/share/keyrings/debian-archive-keyring.gpg"


def origin(path):
    return "# bookworm-backports, from the source of bookworm in {apt}/%s\n" % path


CASES = [  # (what, {file: text}, exit code, what is printed ({apt}: the folder))
    ("one-line sources.list naming another host",
     {"sources.list": "deb http://pkg.example.net/debian bookworm main contrib\n"
                      "deb http://pkg.example.net/debian-security bookworm-security main\n"},
     0, origin("sources.list") + "deb http://pkg.example.net/debian bookworm-backports main contrib\n"),
    ("options kept, trailing comment dropped",
     {"sources.list": "deb [ arch=amd64 signed-by=%s ] https://apt.example.com/debian "
                      "bookworm main  # the company host\n" % KEY},
     0, origin("sources.list") +
     "deb [arch=amd64 signed-by=%s] https://apt.example.com/debian bookworm-backports main\n" % KEY),
    ("deb822 with several suites and URIs, comments and an inline key",
     {"sources.list.d/debian.sources":
      "Types: deb\nURIs: http://a.example.org/debian-security\nSuites: bookworm-security\n"
      "Components: main\n\n"
      "Types: deb deb-src\n# taken from a snapshot\nURIs: http://a.example.org/debian "
      "http://b.example.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\n"
      "Signed-By:\n -----BEGIN PGP PUBLIC KEY BLOCK-----\n .\n mQINBGPL\n"
      " -----END PGP PUBLIC KEY BLOCK-----\n"},
     0, origin("sources.list.d/debian.sources") +
     "Types: deb\nURIs: http://a.example.org/debian http://b.example.org/debian\n"
     "Suites: bookworm-backports\nComponents: main\nSigned-By: \n"
     " -----BEGIN PGP PUBLIC KEY BLOCK-----\n .\n mQINBGPL\n -----END PGP PUBLIC KEY BLOCK-----\n"),
    ("disabled and commented entries, and files apt does not read, are passed over",
     {"sources.list": "# deb http://old.example.org/debian bookworm main\n"
                      "deb-src http://src.example.org/debian bookworm main\n",
      "sources.list.d/a.sources": "Enabled: no\nTypes: deb\nURIs: http://off.example.org/debian\n"
                                  "Suites: bookworm\nComponents: main\n",
      "sources.list.d/b.list.disabled": "deb http://parked.example.org/debian bookworm main\n",
      "sources.list.d/c.list": "deb http://on.example.org/debian bookworm main\n"},
     0, origin("sources.list.d/c.list") + "deb http://on.example.org/debian bookworm-backports main\n"),
    ("none found: only a CD, security updates and another release",
     {"sources.list": "deb cdrom:[Debian GNU/Linux 12.0.0 _Bookworm_ - Official amd64 DVD]/ "
                      "bookworm main\n"
                      "deb http://s.example.org/debian-security bookworm-security main\n"
                      "deb http://t.example.org/debian trixie main\n"},
     3, ""),
    ("no configuration at all", {}, 3, ""),
    ("a local file: copy, trusted", {"sources.list": "deb [trusted=yes] file:/srv/debian bookworm main\n"},
     0, origin("sources.list") + "deb [trusted=yes] file:/srv/debian bookworm-backports main\n"),
    ("a caching proxy",
     {"sources.list.d/proxy.sources": "Types: deb\nURIs: http://cache.example:3142/debian\n"
                                      "Suites: bookworm\nComponents: main\nSigned-By: %s\n" % KEY},
     0, origin("sources.list.d/proxy.sources") +
     "Types: deb\nURIs: http://cache.example:3142/debian\nSuites: bookworm-backports\n"
     "Components: main\nSigned-By: %s\n" % KEY),
    ("backports served already by a source of the machine's own",
     {"sources.list": "deb http://pkg.example.net/debian bookworm main\n"
                      "deb http://pkg.example.net/debian bookworm-backports main\n"},
     0, ""),
]


class BackportsSourceTest(unittest.TestCase):
    def make(self, files):
        apt = tempfile.mkdtemp(prefix="apt-")
        self.addCleanup(subprocess.run, ["rm", "-rf", apt])
        for name, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(apt, name)), exist_ok=True)
            with open(os.path.join(apt, name), "w") as f:
                f.write(text)
        return apt

    def run_tool(self, *args):
        return subprocess.run([TOOL, *args], capture_output=True, text=True)

    def test_sources(self):
        for what, files, code, printed in CASES:
            with self.subTest(what):
                apt = self.make(files)
                result = self.run_tool(apt)
                self.assertEqual((result.returncode, result.stdout),
                                 (code, printed.format(apt=apt)), result.stderr)
                if code == 3:
                    self.assertIn("deb URI bookworm-backports main", result.stderr)

    def test_write_replaces_only_our_own_file_and_only_when_changed(self):
        apt = self.make({
            "sources.list.d/debian.sources": "Types: deb\nURIs: http://new.example.org/debian\n"
                                             "Suites: bookworm\nComponents: main\n",
            "sources.list.d/kavrio-backports.list": "deb http://old.example.org/debian "
                                                    "bookworm-backports main\n"})
        first = self.run_tool("--write", apt)
        own = os.path.join(apt, "sources.list.d", "kavrio-backports")
        self.assertEqual(first.stdout.splitlines()[:2],
                         ["removed %s.list" % own, "wrote %s.sources" % own])
        with open(own + ".sources") as f:
            self.assertIn("URIs: http://new.example.org/debian\nSuites: bookworm-backports\n",
                          f.read())
        again = self.run_tool("--write", apt)
        self.assertEqual((again.returncode, again.stdout.splitlines()[0]),
                         (0, "# bookworm-backports, from the source of bookworm in "
                             "%s/sources.list.d/debian.sources" % apt))

    def test_without_security_keeps_every_other_source(self):
        rows = [  # (what, {file: text}, release.list, release.sources)
            ("one-line, the security line and a comment left out",
             {"sources.list": "deb http://p.example.net/debian bookworm main # ours\n"
                              "deb http://p.example.net/debian-security bookworm-security main\n"
                              "deb-src http://p.example.net/debian bookworm main\n"},
             "deb http://p.example.net/debian bookworm main\n", ""),
            ("deb822: a stanza of security alone goes, the others keep their other suites",
             {"sources.list.d/debian.sources":
              "Types: deb\nURIs: http://a.example.org/debian\nSuites: bookworm bookworm-updates"
              "\nComponents: main\nSigned-By: %s\n\n"
              "Types: deb\nURIs: http://a.example.org/debian-security\n"
              "Suites: bookworm-security\nComponents: main\n\n"
              "Enabled: no\nTypes: deb\nURIs: http://off.example.org/debian\nSuites: bookworm\n"
              "Components: main\n" % KEY},
             "", "Types: deb\nURIs: http://a.example.org/debian\nSuites: bookworm bookworm-updates"
                 "\nComponents: main\nSigned-By: %s\n" % KEY),
        ]
        for what, files, one_line, deb822 in rows:
            with self.subTest(what):
                apt, out = self.make(files), tempfile.mkdtemp(prefix="apt-out-")
                self.addCleanup(subprocess.run, ["rm", "-rf", out])
                result = self.run_tool("--without-security", apt, out)
                self.assertEqual(result.returncode, 0, result.stderr)
                for name, text in (("release.list", one_line), ("release.sources", deb822)):
                    with open(os.path.join(out, name)) as f:
                        self.assertEqual(f.read(), text)
        only_security = self.make({"sources.list": "deb http://s.example.org/debian-security "
                                                   "bookworm-security main\n"})
        self.assertEqual(self.run_tool("--without-security", only_security, "/nonexistent/x")
                         .returncode, 3)


if __name__ == "__main__":
    unittest.main()
