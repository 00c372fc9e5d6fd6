#!/usr/bin/env python3
"""Writes a payload shaped like the shipped product for the install benchmark: a manifest
(code page 936, CR LF, first section [Fcount]) and 39 files of about 31 MB in all, laid
out at the top level and one folder below. The database and the configuration are real
ones, as the install updates them: the shipped configuration, and a database of the
product's schema filled up to its size."""
import random
import sqlite3
import sys
from pathlib import Path

KB, MB = 1024, 1024 * 1024
FILES = [
    ("\\kiwa.exe", 9 * MB), ("\\ZIDezEvudaz.exe", 2 * MB), ("\\ZTupdate.exe", 1 * MB),
    ("\\ZTBackup.exe", 900 * KB), ("\\ZTMaxLink.exe", 700 * KB), ("\\ZTRepair.exe", 600 * KB),
    ("\\ZT_Icon.dll", 300 * KB), ("\\ZT_Portal.dll", 3 * MB), ("\\ZT_Common.dll", 2 * MB),
    ("\\ZT_Scene.dll", 1500 * KB), ("\\readme.txt", 4 * KB), ("\\~tmp.ini", 1 * KB),
    ("\\app\\Kelpview.exe", 1 * MB), ("\\app\\ZTRender.exe", 2 * MB), ("\\app\\ZT_Preview.dll", 800 * KB),
    ("\\config\\config.ini", 1 * KB), ("\\config\\bg_light.bmp", 400 * KB), ("\\config\\bg_dark.bmp", 400 * KB),
    ("\\config\\nothumb.bmp", 60 * KB), ("\\config\\studio.hdr", 1500 * KB), ("\\config\\sky.hdr", 1500 * KB),
    ("\\config\\light_studio.max", 300 * KB), ("\\config\\light_sky.max", 300 * KB),
    ("\\config\\camera.max", 200 * KB), ("\\config\\默认灯光.preset", 3 * KB),
    ("\\config\\studio.preset", 3 * KB), ("\\config\\sky.preset", 3 * KB), ("\\data\\kiwa.db", 600 * KB),
    ("\\images\\splash.bmp", 300 * KB), ("\\images\\about.bmp", 200 * KB), ("\\images\\toolbar.bmp", 50 * KB),
    ("\\package\\mirel_base.pkg", 400 * KB), ("\\Script\\ZTStartup.ms", 20 * KB),
    ("\\Script\\ZTMergeScene.ms", 20 * KB), ("\\Script\\ZTApplyPreset.ms", 20 * KB),
    ("\\Script\\ZTRenderPreview.ms", 20 * KB), ("\\Script\\ZTMaterialLib.ms", 20 * KB),
    ("\\Script\\ZTExportInfo.ms", 20 * KB), ("\\Script\\ZTScript.dat", 100 * KB),
]


SOURCE = Path(__file__).resolve().parents[2]


def write_database(path, size, rng):
    db = sqlite3.connect(path)
    db.executescript((SOURCE / "setup/payload/kiwa.sql").read_text(encoding="utf-8"))
    db.execute("CREATE TABLE filler (data BLOB)")
    for _ in range(size // 4096):
        db.execute("INSERT INTO filler VALUES (?)", (rng.randbytes(3000),))
    db.commit()
    db.close()


def main(out):
    out = Path(out)
    files = out / "files"
    rng = random.Random(1042)
    lines = ["[Fcount]", f"count={len(FILES)}", "[Flist]"]
    for i, (entry, size) in enumerate(FILES, 1):
        lines.append(f"F{i}={entry}")
        path = files / entry.lstrip("\\").replace("\\", "/")
        path.parent.mkdir(parents=True, exist_ok=True)
        if entry == "\\data\\kiwa.db":
            write_database(path, size, rng)
        elif entry == "\\config\\config.ini":
            path.write_bytes((SOURCE / "setup/payload/files/config/config.ini").read_bytes())
        else:
            path.write_bytes(rng.randbytes(size))
    (out / "setup.ini").write_bytes(("\r\n".join(lines) + "\r\n").encode("gbk"))


if __name__ == "__main__":
    main(sys.argv[1])
