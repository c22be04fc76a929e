"""The CD tools: laying out, checking and reading the installation CD, and reading the PE
images that go on it.

  joliet           reads an image's Joliet tree (python3 -m cdtools.joliet list|extract)
  installer_check  which Windows starts an installer, from its header
  layout           the CD root's layout, and the check of an installers folder against it
  make_cd          lays out, checks, signs and images the CD (scripts/make-cd)
  pe_image         PE header fields, sections and resources, and the objdump to read them
  link_map         what a GNU ld link map says about an image

The repository root is the import root: the commands (scripts/make-cd, the audits, the
benchmark, the post-link step) run these modules with it on PYTHONPATH, or with
`python3 -m` from it. Importing the package imports none of its modules.
"""
