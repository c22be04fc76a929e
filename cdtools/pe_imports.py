"""A PE image's imports and exports, read with Debian's python3-pefile.

One reader for the audit of kavrio.exe, make-cd and the preflight: the import table and the
delay-import table, by name and by ordinal, and the export table of a DLL. The files are
other people's: every name is checked before it is used, and a file that pefile cannot read
is a PeImportError, never a crash.
"""
import collections
import re
import struct

import pefile

Import = collections.namedtuple("Import", "dll function delayed")  # function: name or "#7"
Exports = collections.namedtuple("Exports", "names ordinals")
# What a DLL name may be to be looked up beside the installer: a plain file name.
PLAIN_NAME = re.compile(r"[A-Za-z0-9_.+~$@()\[\]{}!#%&' -]{1,128}\Z")
FUNCTION_NAME = re.compile(r"[\x21-\x7e]{1,512}\Z")
DIRECTORIES = [pefile.DIRECTORY_ENTRY[name] for name in (
    "IMAGE_DIRECTORY_ENTRY_IMPORT", "IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT",
    "IMAGE_DIRECTORY_ENTRY_EXPORT")]


class PeImportError(ValueError):
    """The file's tables cannot be read."""


def is_plain_name(dll):
    """Whether a DLL name is a file name alone (no folder, no device, no ".."), which is all
    that the loader looks for beside the program."""
    return bool(PLAIN_NAME.match(dll)) and dll not in (".", "..") and ".." not in dll


class PeTables:
    """The imports and exports of one PE file."""

    def __init__(self, imports, exports):
        self.imports, self.exports = imports, exports

    @classmethod
    def read(cls, path):
        try:
            pe = pefile.PE(path, fast_load=True)
        except (pefile.PEFormatError, OSError) as error:
            raise PeImportError("%s: %s" % (path, error)) from None
        try:
            pe.parse_data_directories(directories=DIRECTORIES)
            unread = unread_tables(pe)
            if unread:
                raise PeImportError("%s: the %s cannot be read (cut short or damaged)" % (
                    path, " and the ".join(unread)))
            return cls(imports_of(pe), exports_of(pe))
        except (pefile.PEFormatError, struct.error, IndexError) as error:
            raise PeImportError("%s: a damaged table (%s)" % (path, error)) from None
        finally:
            pe.close()


def unread_tables(pe):
    """The tables that the header announces but that lie outside the file: without this, a
    file cut short would seem to import nothing."""
    unread = []
    entries = pe.OPTIONAL_HEADER.DATA_DIRECTORY
    for index, what in zip(DIRECTORIES, ("import table", "delay-import table", "export table")):
        if index >= len(entries) or not entries[index].VirtualAddress:
            continue
        offset = pe.get_offset_from_rva(entries[index].VirtualAddress)
        if offset is None or offset + min(entries[index].Size, 20) > len(pe.__data__):
            unread.append(what)
    return unread


def text_of(raw, pattern, what):
    text = raw.decode("ascii", "replace") if isinstance(raw, bytes) else str(raw)
    if not pattern.match(text):
        raise PeImportError("%s %r is not a name that Windows would load" % (what, text))
    return text


def imports_of(pe):
    """[Import] of both tables, in table order."""
    found = []
    for attribute, delayed in (("DIRECTORY_ENTRY_IMPORT", False),
                               ("DIRECTORY_ENTRY_DELAY_IMPORT", True)):
        for entry in getattr(pe, attribute, []):
            dll = text_of(entry.dll, FUNCTION_NAME, "the DLL name")
            for symbol in entry.imports:
                if symbol.import_by_ordinal or symbol.name is None:
                    function = "#%d" % symbol.ordinal
                else:
                    function = text_of(symbol.name, FUNCTION_NAME, "the function name")
                found.append(Import(dll, function, delayed))
    return found


def exports_of(pe):
    """Exports: the names and the ordinals that the export table gives."""
    directory = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    if directory is None:
        return Exports(frozenset(), frozenset())
    names = {s.name.decode("ascii", "replace") for s in directory.symbols if s.name}
    return Exports(frozenset(names), frozenset(s.ordinal for s in directory.symbols))


def read_imports(path):
    """[Import] of the PE file at path."""
    return PeTables.read(path).imports
