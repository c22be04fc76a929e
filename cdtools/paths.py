"""Where things lie in the repository and its build folder. The commands, and their tests,
take their paths from here rather than from one another. The root is the real path of the
checkout: the preflight's sandbox binds folders by their real paths."""
import os

ROOT = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
BUILD = os.path.join(ROOT, "build")
WIN32_BIN = os.path.join(BUILD, "win32", "bin")  # kavrio.exe, the stand-in, the runner
CD_IMAGE = os.path.join(BUILD, "cd", "kavrio.iso")  # make-cd writes it, the preflight tries it
SETUP = os.path.join(ROOT, "scripts", "setup")
WINE_ENV = os.path.join(ROOT, "tests", "win", "wine-env")
PREFLIGHT_OUT = os.path.join(BUILD, "preflight")
PREFLIGHT_STATE = os.path.join(BUILD, "preflight-wine")  # its Wine prefix and CD tree
PREFLIGHT_RUNNER = os.path.join(WIN32_BIN, "preflight_run.exe")
