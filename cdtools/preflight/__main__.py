import sys

from cdtools.preflight.command import main

sys.exit(main(sys.argv[1:]))
