#!/usr/bin/env python3
"""Tests of tools/make_tool_archive.py, judged by Python's zipfile and Info-ZIP's unzip/zip.

Run: python3 tests/tools/make_tool_archive_test.py
With QUORVEL_TOOL_ARCHIVE_FILE set, the archive the build made is checked as well.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
import zlib

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                      "make_tool_archive.py")
NAMES = ["ffutool/", "ffutool/ffucomponents.dll", "ffutool/ffutool.exe"]
FILETIME_UNIX_EPOCH = 116444736000000000

# Odd seconds, so that a time read back from the 2-second DOS field instead of the NTFS field
# shows; and different for the two files, so that the folder's "newer of the two" shows.
DLL_TIME = 1_600_000_001
EXE_TIME = 1_700_000_003


def run(*args, env=None):
    return subprocess.run([sys.executable, SCRIPT, *args], capture_output=True, text=True,
                          env=env)


def ntfs_times(extra):
    """(mtime, atime, ctime) as FILETIMEs from the NTFS field in an extra block, else None."""
    pos = 0
    while pos + 4 <= len(extra):
        tag, size = struct.unpack_from("<HH", extra, pos)
        body = extra[pos + 4:pos + 4 + size]
        if tag == 0x000A:
            reserved, attr_tag, attr_size = struct.unpack_from("<IHH", body, 0)
            if reserved != 0 or attr_tag != 0x0001 or attr_size != 24 or size != 32:
                raise AssertionError(f"malformed NTFS field: {body.hex()}")
            return struct.unpack_from("<QQQ", body, 8)
        pos += 4 + size
    return None


def filetime(seconds):
    return seconds * 10_000_000 + FILETIME_UNIX_EPOCH


class Workspace(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tool_archive_test.")
        self.addCleanup(shutil.rmtree, self.dir)
        # Compressible and incompressible content, so that deflate has real work to do.
        self.dll_data = b"MZ library " * 5000 + os.urandom(3000)
        self.exe_data = b"MZ program " * 700
        self.dll = self.write("in/ffucomponents.dll", self.dll_data, DLL_TIME)
        self.exe = self.write("in/ffutool.exe", self.exe_data, EXE_TIME)

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data, mtime=None):
        p = self.path(name)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(data)
        if mtime is not None:
            os.utime(p, (mtime, mtime))
        return p

    def make(self, name="tool_archive.zip", env=None):
        out = self.path(name)
        result = run("--output", out, "--dll", self.dll, "--exe", self.exe, env=env)
        self.assertEqual(result.returncode, 0, result.stderr)
        return out

    def env_without_epoch(self, **extra):
        env = {k: v for k, v in os.environ.items() if k != "SOURCE_DATE_EPOCH"}
        env.update(extra)
        return env


class LayoutTest(Workspace):
    def test_entries_methods_crcs_and_data(self):
        archive = self.make(env=self.env_without_epoch())
        with zipfile.ZipFile(archive) as z:
            infos = z.infolist()
            self.assertEqual([i.filename for i in infos], NAMES)
            self.assertEqual(z.comment, b"")
            folder, dll, exe = infos
            self.assertTrue(folder.is_dir())
            self.assertEqual((folder.compress_type, folder.file_size, folder.compress_size,
                              folder.CRC), (zipfile.ZIP_STORED, 0, 0, 0))
            for info, data in ((dll, self.dll_data), (exe, self.exe_data)):
                self.assertEqual(info.compress_type, zipfile.ZIP_DEFLATED)
                self.assertEqual(info.file_size, len(data))
                self.assertLess(info.compress_size, len(data))
                self.assertEqual(info.CRC, zlib.crc32(data))
                self.assertEqual(z.read(info), data)
                self.assertEqual(info.flag_bits & 0x1, 0)

    def test_ntfs_times_in_local_and_central_headers(self):
        archive = self.make(env=self.env_without_epoch())
        expected = {
            NAMES[0]: filetime(EXE_TIME),  # the newer of the two files
            NAMES[1]: filetime(DLL_TIME),
            NAMES[2]: filetime(EXE_TIME),
        }
        with open(archive, "rb") as f:
            raw = f.read()
        with zipfile.ZipFile(archive) as z:
            for info in z.infolist():
                want = (expected[info.filename],) * 3
                self.assertEqual(ntfs_times(info.extra), want, info.filename)
                # The local header carries the same field.
                offset = info.header_offset
                name_len, extra_len = struct.unpack_from("<HH", raw, offset + 26)
                local_extra = raw[offset + 30 + name_len:offset + 30 + name_len + extra_len]
                self.assertEqual(ntfs_times(local_extra), want, info.filename)

    def test_info_zip_reads_it(self):
        zone = self.env_without_epoch(TZ="Asia/Shanghai")
        archive = self.make(env=zone)
        listing = subprocess.run(["unzip", "-Z", "-v", archive], capture_output=True,
                                 text=True, check=True).stdout
        entries = listing.split("Central directory entry #")[1:]
        self.assertEqual(len(entries), 3)
        methods = ["none (stored)", "deflated", "deflated"]
        with zipfile.ZipFile(archive) as z:
            crcs = [i.CRC for i in z.infolist()]
        for entry, name, method, crc in zip(entries, NAMES, methods, crcs):
            self.assertIn(f"\n  {name}\n", entry)
            self.assertIn(f"compression method:                             {method}", entry)
            self.assertIn(f"32-bit CRC value (hex):                         {crc:08x}", entry)
            self.assertIn("ID 0x000a (PKWARE Win32) and 32 data bytes", entry)
        self.assertIn("There is no zipfile comment.", listing)
        tested = subprocess.run(["unzip", "-t", archive], capture_output=True, text=True)
        self.assertEqual(tested.returncode, 0, tested.stdout)

        # Info-ZIP on Unix sets times from the DOS field, read as local time (to even seconds).
        target = self.path("unpacked")
        subprocess.run(["unzip", "-q", archive, "-d", target], check=True, env=zone)
        self.assertEqual(os.stat(os.path.join(target, NAMES[1])).st_mtime, DLL_TIME - 1)
        self.assertEqual(os.stat(os.path.join(target, NAMES[2])).st_mtime, EXE_TIME - 1)
        with open(os.path.join(target, NAMES[1]), "rb") as f:
            self.assertEqual(f.read(), self.dll_data)


class ReproducibleTest(Workspace):
    def test_source_date_epoch_clamps_times_and_fixes_the_bytes(self):
        epoch = 1_650_000_000  # between the two files' times
        # Two builds of the same bytes at different times after the epoch, in different zones.
        archives = []
        for build, zone in ((100, "UTC"), (200, "Asia/Shanghai")):
            os.utime(self.dll, (EXE_TIME + build, EXE_TIME + build))
            os.utime(self.exe, (EXE_TIME + build + 1, EXE_TIME + build + 1))
            env = self.env_without_epoch(SOURCE_DATE_EPOCH=str(epoch), TZ=zone)
            archives.append(self.make(f"build{build}.zip", env=env))
        with open(archives[0], "rb") as a, open(archives[1], "rb") as b:
            self.assertEqual(a.read(), b.read())
        with zipfile.ZipFile(archives[0]) as z:
            infos = z.infolist()
            self.assertEqual([ntfs_times(i.extra)[0] for i in infos], [filetime(epoch)] * 3)
            # 2022-04-15 05:20:00 UTC
            self.assertEqual(infos[1].date_time, (2022, 4, 15, 5, 20, 0))

        # An input older than the epoch keeps its own time.
        os.utime(self.dll, (DLL_TIME, DLL_TIME))
        older = self.make("older.zip", env=self.env_without_epoch(SOURCE_DATE_EPOCH=str(epoch)))
        with zipfile.ZipFile(older) as z:
            self.assertEqual([ntfs_times(i.extra)[0] for i in z.infolist()],
                             [filetime(epoch), filetime(DLL_TIME), filetime(epoch)])

    def test_bad_epoch_and_missing_input_are_reported(self):
        out = self.path("x.zip")
        result = run("--output", out, "--dll", self.dll, "--exe", self.exe,
                     env=self.env_without_epoch(SOURCE_DATE_EPOCH="yesterday"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("SOURCE_DATE_EPOCH", result.stderr)
        result = run("--output", out, "--dll", self.path("none.dll"), "--exe", self.exe)
        self.assertEqual(result.returncode, 1)
        self.assertIn("none.dll", result.stderr)
        self.assertFalse(os.path.exists(out))


class CheckTest(Workspace):
    """--check on archives made by Info-ZIP's zip, as a supplied vendor archive would be."""

    def setUp(self):
        super().setUp()
        tree = self.path("tree/ffutool")
        os.makedirs(tree)
        shutil.copy(self.dll, os.path.join(tree, "ffucomponents.dll"))
        shutil.copy(self.exe, os.path.join(tree, "ffutool.exe"))
        self.write("tree/readme.txt", b"notes\n")

    def zip(self, name, members, *options):
        out = self.path(name)
        subprocess.run(["zip", "-q", *options, out, *members], cwd=self.path("tree"),
                       check=True)
        return out

    def check(self, archive):
        return run("--check", archive)

    def test_usable_archives(self):
        cases = {
            "made by this script": self.make(),
            "made by zip": self.zip("zip.zip", NAMES),
            "with a further entry": self.zip("more.zip", NAMES + ["readme.txt"]),
        }
        for label, archive in cases.items():
            with self.subTest(label):
                result = self.check(archive)
                self.assertEqual(result.returncode, 0, result.stderr)

    def test_rejected_archives_say_why(self):
        damaged = self.path("damaged.zip")
        shutil.copy(self.zip("good.zip", NAMES), damaged)
        with zipfile.ZipFile(damaged) as z:
            info = z.getinfo(NAMES[2])
            data_at = info.header_offset + 30 + len(info.filename) + len(info.extra)
        with open(damaged, "r+b") as f:
            f.seek(data_at + info.compress_size // 2)
            byte = f.read(1)
            f.seek(-1, os.SEEK_CUR)
            f.write(bytes([byte[0] ^ 0xFF]))
        cases = [
            ("swapped files", self.zip("swapped.zip", [NAMES[0], NAMES[2], NAMES[1]]),
             ['entry 2 is "ffutool/ffutool.exe"', '"ffutool/ffucomponents.dll"',
              "out of order"]),
            ("folder last", self.zip("folder_last.zip", [NAMES[1], NAMES[2], NAMES[0]]),
             ['entry 1 is "ffutool/ffucomponents.dll"', '"ffutool/"', "out of order"]),
            ("no folder entry", self.zip("no_folder.zip", NAMES, "-D"),
             ['"ffutool/" is missing']),
            ("no program", self.zip("no_exe.zip", NAMES[:2]),
             ['"ffutool/ffutool.exe" is missing']),
            ("encrypted", self.zip("encrypted.zip", NAMES, "-P", "secret"),
             ['"ffutool/ffucomponents.dll" is encrypted']),
            ("bzip2", self.zip("bzip2.zip", NAMES, "-Z", "bzip2"),
             ['"ffutool/ffucomponents.dll" uses compression method 12']),
            ("damaged", damaged, ['"ffutool/ffutool.exe"']),
            ("not a zip", self.write("plain.zip", b"not an archive" * 10), ["not a ZIP archive"]),
            ("no file", self.path("absent.zip"), ["no such file"]),
        ]
        for label, archive, phrases in cases:
            with self.subTest(label):
                result = self.check(archive)
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(archive, result.stderr)
                for phrase in phrases:
                    self.assertIn(phrase, result.stderr)


@unittest.skipUnless(os.environ.get("QUORVEL_TOOL_ARCHIVE_FILE"), "no built archive named")
class BuiltArchiveTest(unittest.TestCase):
    def test_the_build_made_a_usable_archive(self):
        archive = os.environ["QUORVEL_TOOL_ARCHIVE_FILE"]
        result = run("--check", archive)
        self.assertEqual(result.returncode, 0, result.stderr)
        tested = subprocess.run(["unzip", "-t", archive], capture_output=True, text=True)
        self.assertEqual(tested.returncode, 0, tested.stdout)
        with zipfile.ZipFile(archive) as z:
            for name in NAMES[1:]:
                self.assertEqual(z.read(name)[:2], b"MZ", name)


if __name__ == "__main__":
    unittest.main()
