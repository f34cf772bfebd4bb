#!/usr/bin/env python3
"""The form generator: value encodings, nesting, and readable errors for bad form files."""
import importlib.util
import pathlib
import subprocess
import sys
import tempfile
import unittest

TOOL = pathlib.Path(sys.argv.pop(1))
spec = importlib.util.spec_from_file_location("make_form_resources", TOOL)
forms = importlib.util.module_from_spec(spec)
spec.loader.exec_module(forms)


class CompileForm(unittest.TestCase):
    def test_values_take_the_smallest_type(self):
        name, stream = forms.compile_form(
            "object F: TNVForm\n  A = 1\n  B = -300\n  C = $10000\n  D = True\n  E = false\n"
            "  G = 'it''s'\n  H = zelExcept.Handle\n  I = 'caf\u00e9'\nend\n")
        self.assertEqual("F", name)
        expected = (b"TPF0\x07TNVForm\x01F"
                    b"\x01A\x02\x01" b"\x01B\x03\xd4\xfe" b"\x01C\x04\x00\x00\x01\x00" b"\x01D\x09" b"\x01E\x08"
                    b"\x01G\x06\x04it's" b"\x01H\x07\x10zelExcept.Handle"
                    b"\x01I\x14\x05\x00\x00\x00caf\xc3\xa9"
                    b"\x00\x00")
        self.assertEqual(expected, stream)

    def test_children_close_the_parents_properties(self):
        _, stream = forms.compile_form(
            "object F: TNVForm\n  object Error Details: TNVEdit\n    Lines = 8\n  end\n"
            "  object B: TNVButton\n  end\nend\n")
        self.assertEqual(b"TPF0\x07TNVForm\x01F\x00"
                         b"\x07TNVEdit\x0dError Details\x05Lines\x02\x08\x00\x00"
                         b"\x09TNVButton\x01B\x00\x00"
                         b"\x00", stream)

    def test_long_ascii_text_is_a_long_string(self):
        _, stream = forms.compile_form("object F: TNVForm\n  M = '" + "x" * 300 + "'\nend\n")
        self.assertEqual(b"\x01M\x0c\x2c\x01\x00\x00", stream[14:21])

    def test_bad_files_are_refused_with_the_line(self):
        bad = {
            "object F: TNVForm\n  A = 'open\nend\n": "line 2",
            "object F: TNVForm\n  A = 1 2\nend\n": "line 2",
            "object F: TNVForm\n": "not complete",
            "end\n": "line 1",
            "object F: TNVForm\n  object E: TNVEdit\n  end\n  A = 1\nend\n": "line 4",
            "object F: TNVForm\nend\nobject G: TNVForm\nend\n": "line 3",
            "object F: TNVForm\n  A = 99999999999\nend\n": "line 2",
        }
        for source, where in bad.items():
            with self.assertRaises(forms.FormError, msg=source) as caught:
                forms.compile_form(source)
            self.assertIn(where, str(caught.exception))

    def test_command_line_writes_streams_and_rc(self):
        with tempfile.TemporaryDirectory() as folder:
            source = pathlib.Path(folder) / "x.form"
            source.write_text("object MyForm: TNVForm\nend\n", encoding="utf-8")
            out = pathlib.Path(folder) / "out"
            subprocess.run([sys.executable, str(TOOL), "--output", str(out), str(source)], check=True)
            self.assertEqual(b"TPF0\x07TNVForm\x06MyForm\x00\x00", (out / "MyForm.bin").read_bytes())
            self.assertIn("TZEMyForm RCDATA", (out / "forms.rc").read_text())
            source.write_text("object MyForm: TNVForm\n", encoding="utf-8")
            failed = subprocess.run([sys.executable, str(TOOL), "--output", str(out), str(source)],
                                    capture_output=True, text=True)
            self.assertEqual(1, failed.returncode)
            self.assertIn("x.form", failed.stderr)


if __name__ == "__main__":
    unittest.main()
