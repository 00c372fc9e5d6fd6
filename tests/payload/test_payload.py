#!/usr/bin/env python3
"""Checks of the setup payload: the manifest as it ships, tools/payload_rc.py on small
payloads of its own, and the product's resource script once the build has written it.

Environment: TARVO_WINDRES, the resource compiler (resource scripts are compiled and the
result read back when it is set); TARVO_PAYLOAD_RC, the product's resource script."""
import contextlib
import os
import shutil
import sqlite3
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.normpath(os.path.join(HERE, "..", ".."))
TOOL = os.path.join(SOURCE, "tools", "payload_rc.py")
MANIFEST = os.path.join(SOURCE, "setup", "payload", "setup.ini")
WINDRES = os.environ.get("TARVO_WINDRES")
PRODUCT_RC = os.environ.get("TARVO_PAYLOAD_RC")
ZH_CN = 0x0804


def run_tool(*args):
    return subprocess.run([sys.executable, TOOL, *args], capture_output=True, text=True)


def ini_sections(text):
    """Section name -> {key: value}, names as spelled; just enough for these checks."""
    sections, current = {}, None
    for line in text.splitlines():
        if line.startswith("["):
            current = sections.setdefault(line.strip("[]"), {})
        elif "=" in line:
            key, value = line.split("=", 1)
            current[key] = value
    return sections


def compile_res(rc, res):
    done = subprocess.run([WINDRES, "-c", "65001", rc, "-O", "res", "-o", res],
                          capture_output=True, text=True)
    if done.returncode != 0:
        raise AssertionError(f"windres failed on {rc}:\n{done.stderr}")
    return read_res(res)


def read_res(path):
    """The resources of a .res file: {(type, name): (language, data)}."""
    with open(path, "rb") as f:
        data = f.read()

    def ident(offset):
        if struct.unpack_from("<H", data, offset)[0] == 0xFFFF:
            return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
        end = offset
        while struct.unpack_from("<H", data, end)[0]:
            end += 2
        return data[offset:end].decode("utf-16-le"), end + 2

    resources, pos = {}, 0
    while pos < len(data):
        size, header = struct.unpack_from("<II", data, pos)
        rtype, offset = ident(pos + 8)
        name, offset = ident(offset)
        offset += (-offset) % 4
        language = struct.unpack_from("<IHH", data, offset)[2]
        if rtype != 0:  # the file opens with an empty entry
            resources[(rtype, name)] = (language, data[pos + header:pos + header + size])
        pos += header + size
        pos += (-pos) % 4
    return resources


def rc_files(rc):
    """{(type, name): path} of the FILE statements of a generated resource script."""
    found = {}
    with open(rc, encoding="utf-8") as f:
        for line in f:
            parts = line.split(None, 2)
            if len(parts) == 3 and parts[2].startswith('"'):
                path = parts[2][1:parts[2].rindex('"')]
                found[(parts[1], parts[0])] = path.replace('""', '"').replace("\\\\", "\\")
    return found


def read(path):
    with open(path, "rb") as f:
        return f.read()


class ShippedManifest(unittest.TestCase):
    """setup/payload/setup.ini is read by the setup program with the profile functions
    in code page 936, so its bytes matter."""

    def setUp(self):
        self.data = read(MANIFEST)
        self.text = self.data.decode("gbk")  # raises on anything that is not GBK

    def test_byte_form(self):
        self.assertFalse(self.data.startswith(b"\xef\xbb\xbf"), "byte-order mark")
        self.assertTrue(self.data.startswith(b"[Fcount]\r\ncount=39\r\n[Flist]\r\n"))
        self.assertTrue(self.data.endswith(b"\r\n"))
        for number, line in enumerate(self.data[:-2].split(b"\r\n"), 1):
            self.assertNotIn(b"\n", line, f"line {number}")
            self.assertNotIn(b"\r", line, f"line {number}")

    def test_entries(self):
        sections = ini_sections(self.text)
        self.assertEqual(list(sections), ["Fcount", "Flist"])  # no resource-library lists
        entries = sections["Flist"]
        self.assertEqual(list(entries), [f"F{i}" for i in range(1, 40)])
        self.assertEqual(entries["F1"], "\\kiwa.exe")
        self.assertEqual(entries["F12"], "\\~tmp.ini")
        values = list(entries.values())
        for value in values:
            self.assertTrue(value.startswith("\\"), value)
        self.assertEqual([v.count("\\") for v in values[:12]], [1] * 12, "F1..F12 at the top")
        for required in ("\\ZIDezEvudaz.exe", "\\ZTupdate.exe", "\\ZT_Icon.dll",
                         "\\ZT_Portal.dll", "\\app\\Kelpview.exe", "\\config\\config.ini",
                         "\\data\\kiwa.db"):
            self.assertIn(required, values)
        self.assertTrue(any(not v.isascii() for v in values), "a name outside ASCII")
        self.assertEqual(len({v.lower() for v in values}), 39, "names repeat")

    def test_tool_accepts_it(self):
        done = run_tool("--check", "--manifest", MANIFEST)
        self.assertEqual(done.returncode, 0, done.stderr)


class ShippedConfiguration(unittest.TestCase):
    """setup/payload/files/config/config.ini: the installed application's settings, which
    the setup program rewrites in part through the profile functions."""

    def test_form_and_keys(self):
        data = read(os.path.join(SOURCE, "setup", "payload", "files", "config", "config.ini"))
        self.assertFalse(data.startswith(b"\xef\xbb\xbf"), "byte-order mark")
        self.assertTrue(data.endswith(b"\r\n"))
        lines = data[:-2].split(b"\r\n")
        for number, line in enumerate(lines, 1):
            self.assertNotIn(b"\n", line, f"line {number}")
            self.assertNotIn(b"\r", line, f"line {number}")
        text = [line.decode("gbk") for line in lines]  # raises on anything that is not GBK
        self.assertEqual(text[0], "[config]")
        keys = [line.split("=", 1)[0] for line in text[1:]]
        # ver and updateurl are padded before "=", as the product writes them.
        self.assertRegex(keys[0], r"^ver +$")
        self.assertRegex(keys[1], r"^updateurl +$")
        self.assertEqual(text[1].split("=", 1)[1], "1.42")
        self.assertEqual(text[2].split("=", 1)[1], "http://update.tarvo.example/update/update.cfm")
        self.assertIn("backupPath=", text)
        self.assertEqual(len(keys), len({k.strip().lower() for k in keys}), "keys repeat")


class Generator(unittest.TestCase):
    """tools/payload_rc.py on a small payload: two roots, one of them holding a file
    that the first root has too."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="payload rc ")
        self.addCleanup(shutil.rmtree, self.tmp)
        self.first = os.path.join(self.tmp, 'root "one"')
        self.second = os.path.join(self.tmp, "root two")
        self.files = {
            (self.first, "a.txt"): b"first a\r\n",
            (self.second, "a.txt"): b"second a\r\n",  # hidden by the first root
            (self.second, "sub/deeper/b.bin"): bytes(range(256)) * 3,
            (self.first, "config/默认灯光.preset"): "名称=默认\r\n".encode("gbk"),
            (self.first, "lib/k.dat"): b"library file",
        }
        for (root, relative), content in self.files.items():
            self.write(os.path.join(root, relative), content)
        self.manifest = os.path.join(self.tmp, "setup.ini")
        self.write_manifest(["\\a.txt", "\\sub\\deeper\\b.bin", "\\config\\默认灯光.preset"],
                            ["\\lib\\k.dat"])
        self.rc = os.path.join(self.tmp, "out", "payload.rc")
        os.makedirs(os.path.dirname(self.rc))

    def write(self, path, content):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)

    def write_manifest(self, files, library=(), head=None):
        lines = head or ["[Fcount]", f"count={len(files)}", "[Flist]"]
        lines = lines + [f"F{i}={e}" for i, e in enumerate(files, 1)]
        if library:
            lines += ["[KCount]", f"Kcount={len(library)}", "[Klist]"]
            lines += [f"K{j}={e}" for j, e in enumerate(library, 1)]
        self.write(self.manifest, ("\r\n".join(lines) + "\r\n").encode("gbk"))

    def generate(self, *extra):
        return run_tool("--manifest", self.manifest, "--root", self.first, "--root", self.second,
                        "--out", self.rc, *extra)

    def expected(self):
        return {
            ("FILE0", "SRC0"): self.manifest,
            ("FILE1", "SRC1"): os.path.join(self.first, "a.txt"),
            ("FILE2", "SRC2"): os.path.join(self.second, "sub/deeper/b.bin"),
            ("FILE3", "SRC3"): os.path.join(self.first, "config/默认灯光.preset"),
            ("KFILE1", "KSRC1"): os.path.join(self.first, "lib/k.dat"),
        }

    def test_resources_name_type_language_and_content(self):
        depfile = self.rc + ".d"
        done = self.generate("--depfile", depfile)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(rc_files(self.rc), self.expected())
        with open(depfile, encoding="utf-8") as f:
            listed = f.read()
        for path in self.expected().values():
            self.assertIn(path.replace(" ", "\\ "), listed)
        if not WINDRES:
            self.skipTest("TARVO_WINDRES not set: the script is not compiled")
        resources = compile_res(self.rc, os.path.join(self.tmp, "payload.res"))
        self.assertEqual(set(resources), set(self.expected()))
        for key, path in self.expected().items():
            self.assertEqual(resources[key], (ZH_CN, read(path)), key)

    def test_script_changes_with_a_file_and_only_then(self):
        self.assertEqual(self.generate().returncode, 0)
        before, stamp = read(self.rc), os.stat(self.rc).st_mtime_ns
        self.assertEqual(self.generate().returncode, 0)
        self.assertEqual(os.stat(self.rc).st_mtime_ns, stamp, "rewritten though nothing changed")
        self.write(os.path.join(self.second, "sub/deeper/b.bin"), bytes(reversed(range(256))) * 3)
        self.assertEqual(self.generate().returncode, 0)
        self.assertNotEqual(read(self.rc), before)

    def test_files_and_entries_that_do_not_match(self):
        # Each case spoils a fresh payload and returns what the error must name.
        def missing():
            os.remove(os.path.join(self.second, "sub/deeper/b.bin"))
            return ["entry F2 \\sub\\deeper\\b.bin", "no file sub/deeper/b.bin"]

        def missing_library_file():
            os.remove(os.path.join(self.first, "lib/k.dat"))
            return ["entry K1 \\lib\\k.dat"]

        def two_extra():
            stray = [os.path.join(self.first, "stray.txt"), os.path.join(self.second, "sub/old.dll")]
            for path in stray:
                self.write(path, b"x")
            return stray + ["named by no manifest entry"]

        def letter_case():
            os.rename(os.path.join(self.second, "sub"), os.path.join(self.second, "Sub"))
            return ["entry F2", "differs in letter case", os.path.join(self.second, "Sub/deeper/b.bin")]

        for spoil in (missing, missing_library_file, two_extra, letter_case):
            with self.subTest(spoil.__name__):
                self.setUp()
                fragments = spoil()
                done = self.generate()
                self.assertNotEqual(done.returncode, 0)
                for fragment in fragments:
                    self.assertIn(fragment, done.stderr)
                self.assertFalse(os.path.exists(self.rc), "script written despite the error")

    def test_malformed_manifests(self):
        entries = ["\\a.txt", "\\sub\\deeper\\b.bin", "\\config\\默认灯光.preset"]
        cases = [
            ("byte-order mark", lambda: self.write(self.manifest, b"\xef\xbb\xbf" + read(self.manifest)),
             "byte-order mark"),
            ("not GBK", lambda: self.write(self.manifest, read(self.manifest) + b"F9=\\\x80\xff\r\n"),
             "not code page 936"),
            ("no count", lambda: self.write_manifest(entries, head=["[Flist]"]), "no [FCount] count="),
            ("count too high", lambda: self.write_manifest(entries, head=["[FCount]", "count=4", "[Flist]"]),
             "no F4="),
            ("entry beyond count", lambda: self.write_manifest(entries, head=["[FCount]", "count=2", "[Flist]"]),
             "F3= lies beyond count=2"),
            ("no backslash", lambda: self.write_manifest(["a.txt"] + entries[1:]),
             "entry F1 a.txt: does not start with a backslash"),
            ("parent folder", lambda: self.write_manifest(entries + ["\\..\\x.txt"]),
             "entry F4 \\..\\x.txt: not a plain path"),
            ("same file twice", lambda: self.write_manifest(entries + ["\\A.TXT"]),
             "entry F4 \\A.TXT: names the same file as entry F1"),
        ]
        for label, spoil, fragment in cases:
            with self.subTest(label):
                self.setUp()
                spoil()
                done = self.generate()
                self.assertNotEqual(done.returncode, 0)
                self.assertIn(fragment, done.stderr)

    def test_check_demands_the_shipping_form(self):
        entries = ["\\a.txt", "\\sub\\deeper\\b.bin", "\\config\\默认灯光.preset"]
        library = ["\\lib\\k.dat"]
        self.write_manifest(entries, library)
        self.assertEqual(run_tool("--check", "--manifest", self.manifest).returncode, 0)
        cases = [
            ("LF line ends", lambda: self.write(self.manifest, read(self.manifest).replace(b"\r\n", b"\n")),
             "does not end in CR LF"),
            ("section spelled otherwise", lambda: self.write_manifest(
                entries, library, head=["[FCount]", "count=3", "[Flist]"]), "does not begin with the line [Fcount]"),
        ]
        for label, spoil, fragment in cases:
            with self.subTest(label):
                self.write_manifest(entries, library)
                spoil()
                self.assertEqual(self.generate().returncode, 0, "generation accepts it")
                done = run_tool("--check", "--manifest", self.manifest)
                self.assertNotEqual(done.returncode, 0)
                self.assertIn(fragment, done.stderr)


@unittest.skipUnless(PRODUCT_RC, "TARVO_PAYLOAD_RC not set: the product payload is not built here")
class ProductPayload(unittest.TestCase):
    """The resource script of the product, as the build wrote it."""

    @classmethod
    def setUpClass(cls):
        if not os.path.isfile(PRODUCT_RC):
            raise AssertionError(f"{PRODUCT_RC} is missing: build the project first")
        cls.files = rc_files(PRODUCT_RC)
        sections = ini_sections(read(MANIFEST).decode("gbk"))
        cls.entries = {int(k[1:]): v for k, v in sections["Flist"].items()}

    def test_every_entry_and_the_manifest_are_resources(self):
        self.assertEqual(set(self.files), {(f"FILE{i}", f"SRC{i}") for i in range(40)})
        self.assertEqual(self.files[("FILE0", "SRC0")], MANIFEST)
        for i, entry in self.entries.items():
            path = self.files[(f"FILE{i}", f"SRC{i}")]
            self.assertTrue(path.endswith(entry.replace("\\", "/")), (entry, path))
            self.assertTrue(os.path.isfile(path), path)
        if WINDRES:
            with tempfile.TemporaryDirectory() as tmp:
                resources = compile_res(PRODUCT_RC, os.path.join(tmp, "payload.res"))
            self.assertEqual(set(resources), set(self.files))
            for key, path in self.files.items():
                self.assertEqual(resources[key], (ZH_CN, read(path)), key)

    def test_files_are_of_their_kind(self):
        signatures = {".exe": b"MZ", ".dll": b"MZ", ".bmp": b"BM", ".hdr": b"#?RADIANCE\n",
                      ".db": b"SQLite format 3\x00"}
        marker = bytes((0x42, 0x30, 0x60, 0x11, 0, 0, 0, 0))
        for i, entry in self.entries.items():
            data = read(self.files[(f"FILE{i}", f"SRC{i}")])
            extension = os.path.splitext(entry)[1].lower()
            with self.subTest(entry):
                if extension in signatures:
                    self.assertTrue(data.startswith(signatures[extension]))
                if extension == ".bmp":
                    self.assertEqual(struct.unpack_from("<I", data, 2)[0], len(data))
                if extension == ".max":
                    at = data.find(marker)
                    self.assertGreater(at, 0)
                    self.assertIn(struct.unpack_from("<H", data, at + 10)[0], range(9000, 15000))

    def test_database(self):
        path = self.files[("FILE28", "SRC28")]
        self.assertEqual(self.entries[28], "\\data\\kiwa.db")
        with contextlib.closing(sqlite3.connect(f"file:{path}?mode=ro", uri=True)) as db:
            rows = db.execute("SELECT mrrespath, softkey FROM mrconfig").fetchall()
        self.assertEqual(rows, [("D:\\Tarvo\\MirelRES", "")])


if __name__ == "__main__":
    unittest.main()
