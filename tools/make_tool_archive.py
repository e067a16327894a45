#!/usr/bin/env python3
"""Makes and checks the tool archive that the program carries and unpacks at start-up.

  make_tool_archive.py --output ARCHIVE --dll ffucomponents.dll --exe ffutool.exe
  make_tool_archive.py --check ARCHIVE

The archive holds, in this order, the folder entry "ffutool/" (stored, empty) and the deflated
files "ffutool/ffucomponents.dll" and "ffutool/ffutool.exe", with no archive comment. Each entry
carries an NTFS extra field with its times, as archives made on Windows do. All three times of a
file are its modification time (the access time changes whenever the file is read, and Linux
keeps no creation time); the folder takes the newer time of the two files. When
SOURCE_DATE_EPOCH is set, no time is later than it and the DOS time fields hold UTC instead of
local time, so the same file contents give the same archive bytes on any machine.

--check tells whether an archive can stand for the tool: its first three entries must be the
three above, in that order, and every entry must be unencrypted, stored or deflated, and intact.
"""

import argparse
import os
import struct
import sys
import tempfile
import time
import zipfile
import zlib

FOLDER = "ffutool/"
DLL = "ffutool/ffucomponents.dll"
EXE = "ffutool/ffutool.exe"
EXPECTED = (FOLDER, DLL, EXE)

STORED = 0
DEFLATED = 8
# General-purpose flag bit 1: deflated at maximum compression.
FLAG_MAXIMUM = 0x0002
# Version 2.0 made on MS-DOS/FAT, so the external attributes are the Windows file attributes.
VERSION_MADE_BY = 20
ATTRIBUTE_DIRECTORY = 0x10
ATTRIBUTE_ARCHIVE = 0x20

NTFS_TAG = 0x000A
NTFS_TIMES_TAG = 0x0001
# 100-ns intervals between 1601-01-01 (FILETIME) and 1970-01-01.
FILETIME_UNIX_EPOCH = 116444736000000000


class ArchiveError(Exception):
    pass


def filetime(time_ns):
    return time_ns // 100 + FILETIME_UNIX_EPOCH


def ntfs_extra(time_ns):
    """The NTFS extra field: 4 reserved bytes, then the times attribute (mtime, atime, ctime)."""
    ft = filetime(time_ns)
    times = struct.pack("<HHQQQ", NTFS_TIMES_TAG, 24, ft, ft, ft)
    body = b"\0\0\0\0" + times
    return struct.pack("<HH", NTFS_TAG, len(body)) + body


def dos_date_time(time_ns, utc):
    # Local time, as ZIP tools read it, unless the build asks for a reproducible archive:
    # then UTC, so that the zone of the machine does not change the bytes.
    seconds = time_ns // 1_000_000_000
    t = time.gmtime(seconds) if utc else time.localtime(seconds)
    if t.tm_year < 1980:
        return (1 << 5) | 1, 0
    if t.tm_year > 2107:
        return (127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29
    date = ((t.tm_year - 1980) << 9) | (t.tm_mon << 5) | t.tm_mday
    clock = (t.tm_hour << 11) | (t.tm_min << 5) | (min(t.tm_sec, 59) // 2)
    return date, clock


def deflate(data):
    compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    return compressor.compress(data) + compressor.flush()


def zip_bytes(entries, utc):
    """entries: (name, data or None for a folder, time in ns) in archive order."""
    out = bytearray()
    central = bytearray()
    for name, data, time_ns in entries:
        raw_name = name.encode("ascii")
        extra = ntfs_extra(time_ns)
        date, clock = dos_date_time(time_ns, utc)
        if data is None:
            method, flags, needed, payload, crc, size = STORED, 0, 10, b"", 0, 0
            attributes = ATTRIBUTE_DIRECTORY
        else:
            method, flags, needed = DEFLATED, FLAG_MAXIMUM, 20
            payload, crc, size = deflate(data), zlib.crc32(data), len(data)
            attributes = ATTRIBUTE_ARCHIVE
        offset = len(out)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, needed, flags, method, clock, date, crc,
                           len(payload), size, len(raw_name), len(extra))
        out += raw_name + extra + payload
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, VERSION_MADE_BY, needed, flags,
                               method, clock, date, crc, len(payload), size, len(raw_name),
                               len(extra), 0, 0, 0, attributes, offset)
        central += raw_name + extra
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central),
                      len(out), 0)
    return bytes(out + central + end)


def source_date_epoch_ns():
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if not value:
        return None
    try:
        return int(value) * 1_000_000_000
    except ValueError:
        raise ArchiveError(f"SOURCE_DATE_EPOCH is not a number of seconds: {value!r}")


def file_time_ns(path, limit_ns):
    mtime = os.stat(path).st_mtime_ns
    return mtime if limit_ns is None else min(mtime, limit_ns)


def tool_archive_bytes(dll_path, exe_path):
    limit = source_date_epoch_ns()
    files = []
    for name, path in ((DLL, dll_path), (EXE, exe_path)):
        try:
            with open(path, "rb") as f:
                data = f.read()
            files.append((name, data, file_time_ns(path, limit)))
        except OSError as e:
            raise ArchiveError(f"cannot read {path}: {e.strerror}")
    folder_time = max(t for _, _, t in files)
    return zip_bytes([(FOLDER, None, folder_time)] + files, utc=limit is not None)


def write_atomically(path, data):
    # A half-written archive must never look up to date to the build.
    folder = os.path.dirname(os.path.abspath(path))
    fd, temporary = tempfile.mkstemp(dir=folder, prefix=".tool_archive.")
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        os.chmod(temporary, 0o644)
        os.replace(temporary, path)
    except BaseException:
        if os.path.exists(temporary):
            os.unlink(temporary)
        raise


def check_archive(path):
    """Raises ArchiveError saying what is wrong with the archive at path."""
    order = ", ".join(f'"{n}"' for n in EXPECTED)
    try:
        archive = zipfile.ZipFile(path)
    except FileNotFoundError:
        raise ArchiveError(f"{path}: no such file")
    except (zipfile.BadZipFile, OSError) as e:
        raise ArchiveError(f"{path}: not a ZIP archive ({e})")
    with archive:
        infos = archive.infolist()
        names = [i.filename for i in infos]
        for position, expected in enumerate(EXPECTED):
            found = names[position] if position < len(names) else None
            if found == expected:
                continue
            if expected not in names:
                problem = f'entry "{expected}" is missing'
            else:
                problem = (f'entry {position + 1} is "{found}" but should be "{expected}" '
                           f'(found as entry {names.index(expected) + 1}): out of order')
            raise ArchiveError(f"{path}: {problem}; the archive must begin with {order} "
                               f"in this order")
        for info in infos:
            if info.flag_bits & 0x1:
                raise ArchiveError(f'{path}: entry "{info.filename}" is encrypted')
            if info.compress_type not in (STORED, DEFLATED):
                raise ArchiveError(f'{path}: entry "{info.filename}" uses compression method '
                                   f'{info.compress_type}; only stored and deflated are read')
        if infos[0].file_size != 0:
            raise ArchiveError(f'{path}: entry "{FOLDER}" is not an empty folder entry')
        for info in infos:
            try:
                with archive.open(info) as entry:
                    while entry.read(1 << 20):
                        pass
            except (zipfile.BadZipFile, zlib.error, EOFError, OSError) as e:
                raise ArchiveError(f'{path}: entry "{info.filename}" is damaged ({e})')


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    mode = parser.add_mutually_exclusive_group(required=True)
    mode.add_argument("--check", metavar="ARCHIVE", help="check an archive supplied for the tool")
    mode.add_argument("--output", metavar="ARCHIVE", help="the archive to make")
    parser.add_argument("--dll", help="ffucomponents.dll to put in the archive")
    parser.add_argument("--exe", help="ffutool.exe to put in the archive")
    args = parser.parse_args(argv)
    try:
        if args.check:
            check_archive(args.check)
            print(f"{args.check}: a usable tool archive")
        else:
            if not args.dll or not args.exe:
                parser.error("--output needs --dll and --exe")
            write_atomically(args.output, tool_archive_bytes(args.dll, args.exe))
    except ArchiveError as e:
        print(f"tool archive: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
