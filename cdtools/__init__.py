"""The CD tools: laying out, checking and reading the installation CD, and reading the PE
images that go on it.

  joliet           reads an image's Joliet tree (python3 -m cdtools.joliet list|extract)
  installer_check  which Windows starts an installer, from its header
  layout           the CD root's layout, and the check of an installers folder against it
  make_cd          lays out, checks, signs and images the CD (scripts/make-cd)
  pe_image         PE header fields, sections and resources, and the objdump to read them
  link_map         what a GNU ld link map says about an image

The repository root is the import root, and cdtools, audit, bench and tools are its
packages. The commands (scripts/make-cd, the audits, the post-link step) run their module
with `python3 -P -m` and the root first on PYTHONPATH: -P leaves the caller's working folder
off the path, so a cdtools/ there never stands in for this tree's. From the root itself,
`python3 -m cdtools.joliet ...` does the same. Importing the package imports none of its
modules. A subpackage is a folder here with its own __init__.py; scripts/test discovers its
test_*.py files with the rest.
"""
