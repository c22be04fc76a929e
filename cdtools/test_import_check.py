"""Tests of the PE import reader, the table of Windows facts and the import check, on real
programs built here (cdtools/test_programs.py).

  python3 -m unittest discover -s cdtools -t .      (from the repository root)
"""
import os
import shutil
import tempfile
import unittest

from cdtools import header_rows, import_check, pe_imports, test_programs, windows_facts
from cdtools.installer_check import RELEASES

ORDER = [r.name for r in RELEASES]  # the columns of a row's states: 98 ME 2000 XP XP-x64 ...
STATES = {"n": "will not start", "s": "will start", "?": "not known"}


@unittest.skipUnless(test_programs.have_tools(), "MinGW, clang, lld or makensis not installed")
class ImportCheckTest(unittest.TestCase):
    ROWS = [  # (case, state on 98 ME 2000 XP XPx64 Vista 7 8 8.1 10 11, release, text there)
        ("GetTickCount64", "nnnnnssssss", "XP",
         "will not start on Windows XP: needs kernel32.dll!GetTickCount64 (from Windows Vista on)"),
        ("InitializeSRWLock", "??nnn??????", "2000",
         "needs kernel32.dll!InitializeSRWLock (missing before Windows Vista)"),
        ("VCRUNTIME140", "nnnnnnnnnnn", "XP",
         "will not start on Windows XP: needs VCRUNTIME140.dll, which Windows XP does not have "
         "and the CD does not hold beside D:\\Setup.exe"),
        ("import by ordinal", "nnnnnnnnnnn", "10", "needs VCRUNTIME140.dll, which Windows 10"),
        ("Universal CRT", "nnnnn??n???", "7", "warning: needs api-ms-win-crt-runtime-l1-1-0.dll, "
                                              "which Windows 7 has only with the update KB2999226"),
        ("own DLL", "sssssssssss", None, None),
        ("own DLL with GetTickCount64", "nnnnnssssss", "XP",
         "needs kernel32.dll!GetTickCount64 (from Windows Vista on), through helper.dll on the CD"),
        ("own DLL without the function", "nnnnnnnnnnn", "11",
         "needs helper.dll!helper_answer, which helper.dll on the CD does not export"),
        ("damaged own DLL", "nnnnnnnnnnn", "98",
         "needs helper.dll, and the helper.dll on the CD cannot be read"),
        ("kernel32.dll on the CD", "nnnnnssssss", "XP", "needs kernel32.dll!GetTickCount64"),
        ("delay-loaded DLL", "???????????", "XP",
         "warning: delay-loads VCRUNTIME140.dll, which Windows XP does not have and the CD does "
         "not hold beside D:\\Setup.exe; only a call into it fails"),
        ("NSIS", "???????????", None, None),
    ]

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="import-check-")
        cls.programs = {case: test_programs.build(case, os.path.join(cls.work, str(n)))
                        for n, (case, *_) in enumerate(cls.ROWS)}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def test_each_release_of_each_program(self):
        for case, states, release, text in self.ROWS:
            with self.subTest(case):
                path = self.programs[case]
                report = import_check.check(path, "Setup.exe", os.path.dirname(path))
                self.assertEqual([report.results[r].state for r in ORDER],
                                 [STATES[s] for s in states])
                if text:
                    result = report.results[release]
                    said = result.reasons() + ["warning: " + w for w in result.warnings]
                    self.assertTrue(any(text in line for line in said), said)

    def test_the_reader_gives_delay_imports_and_ordinals(self):
        delayed = pe_imports.read_imports(self.programs["delay-loaded DLL"])
        self.assertIn(pe_imports.Import("VCRUNTIME140.dll", "__std_terminate", True), delayed)
        self.assertIn(pe_imports.Import("VCRUNTIME140.dll", "#7", False),
                      pe_imports.read_imports(self.programs["import by ordinal"]))

    def test_a_file_that_is_no_pe_image_is_refused_by_name(self):
        with open(self.programs["GetTickCount64"], "rb") as f:
            whole = f.read()
        for case, data in (("text", b"@echo off\r\n" * 50), ("cut short", whole[:300])):
            with self.subTest(case):
                path = os.path.join(self.work, case + ".exe")
                with open(path, "wb") as f:
                    f.write(data)
                with self.assertRaises(pe_imports.PeImportError):
                    pe_imports.read_imports(path)


class TableTest(unittest.TestCase):
    def setUp(self):
        self.facts = windows_facts.load()

    def test_every_row_has_a_source(self):
        self.assertEqual(windows_facts.unsourced_rows(self.facts), [])
        self.assertIn("GetTickCount64", {n for _, n in self.facts.missing_before})
        broken = windows_facts.parse("[sources]\nsdk x\n[dlls]\nfoo.dll  XP  blog\n"
                                     "[functions]\nKERNEL32.dll\n  Sleep  95\n")
        self.assertEqual(windows_facts.unsourced_rows(broken),
                         ["foo.dll: source 'blog'", "KERNEL32.dll Sleep: source ''"])

    def test_no_row_puts_a_function_where_the_headers_say_it_is_missing(self):
        self.assertEqual(windows_facts.contradictions(self.facts), [])
        wrong = windows_facts.parse("[sources]\nsdk x\nheaders y\n[functions]\nKERNEL32.dll\n"
                                    "  GetTickCount64  XP  sdk\n[missing before]\nKERNEL32.dll\n"
                                    "  GetTickCount64  Vista  headers\n")
        self.assertEqual(windows_facts.contradictions(wrong),
                         ["KERNEL32.dll GetTickCount64: the table gives XP, the headers Vista"])

    def test_what_each_kind_of_row_says_of_each_release(self):
        rows = [  # (WHEN, states on 98 ME 2000 XP XPx64 Vista 7 8 8.1 10 11)
            ("95", "sssssssssss"), ("98 SE", "sssssssssss"), ("NT 4.0", "??sssssssss"),
            ("2000", "??sssssssss"), ("XP", "nnnssssssss"), ("Server 2003", "nnnnsssssss"),
            ("Vista", "nnnnnssssss"), ("11", "nnnnnnnnnns"), ("never", "nnnnnnnnnnn"),
            ("?", "???????????"), ("not before 8", "nnnnnnn????"), ("ME", "ns?????????"),
        ]
        answer = {True: "s", False: "n", None: "?"}
        for when, states in rows:
            with self.subTest(when):
                self.assertEqual("".join(answer[windows_facts.present(when, r)] for r in RELEASES),
                                 states)

    @unittest.skipUnless(shutil.which(header_rows.COMPILER), "MinGW not installed")
    def test_the_generated_rows_are_what_the_headers_give(self):
        with open(windows_facts.TABLE, encoding="utf-8") as f:
            _, committed = header_rows.split_table(f.read())
        self.assertEqual(committed, header_rows.generate())


if __name__ == "__main__":
    unittest.main()
