#!/usr/bin/env python3
"""Writes a payload shaped like the shipped product for the install benchmark and the
install-at-scale test: a manifest (code page 936, CR LF, first section [Fcount]) with 39
program files laid out at the top level and one folder below, and optionally a resource
library ([KCount] / [Klist]) of many small files spread over folders two levels deep, plus
a few large ones.

    make_bench_payload.py OUT [--programs-from SETUP_INI] [--library N] [--large N] [--small]

--programs-from  the program files of that manifest (the shipped one), whose files come
                 from its own folders; without it, 39 files of random bytes of the
                 shipped product's sizes (about 31 MB)
--library N      resource-library files of 1 to 16 KB (default 0)
--large N        large resource-library files of 9 MB each (default 0)
--small          library files of at most 2 KB, for a test that checks every byte
                 rather than measures
"""
import argparse
import random
import sys
from pathlib import Path

KB, MB = 1024, 1024 * 1024
PROGRAM_FILES = [
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

# A resource library as users fill it: kinds of asset, each with its categories.
KINDS = ["模型", "材质", "灯光", "贴图", "脚本"]
CATEGORIES = ["家具", "灯具", "植物", "人物", "车辆", "厨卫", "装饰", "建筑", "电器", "其他"]
EXTENSIONS = [".max", ".jpg", ".mat", ".ies", ".ms"]


def library_entries(count, large):
    entries = []
    for j in range(count):
        kind = j % len(KINDS)
        category = (j // len(KINDS)) % len(CATEGORIES)
        entries.append((f"\\{KINDS[kind]}\\{CATEGORIES[category]}\\{j + 1:05d}{EXTENSIONS[kind]}", None))
    for j in range(large):
        entries.append((f"\\{KINDS[0]}\\场景\\大场景{j + 1}.max", 9 * MB))
    return entries


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--programs-from")
    parser.add_argument("--library", type=int, default=0)
    parser.add_argument("--large", type=int, default=0)
    parser.add_argument("--small", action="store_true")
    args = parser.parse_args()

    out = Path(args.out)
    files = out / "files"
    files.mkdir(parents=True, exist_ok=True)
    rng = random.Random(1042)

    def write(entry, size):
        path = files / entry.lstrip("\\").replace("\\", "/")
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(rng.randbytes(size))

    if args.programs_from:
        shipped = Path(args.programs_from).read_bytes().decode("gbk")
        if "kcount" in shipped.lower():
            sys.exit(f"{args.programs_from} has a resource library of its own")
        lines = [line for line in shipped.split("\r\n") if line]
    else:
        lines = ["[Fcount]", f"count={len(PROGRAM_FILES)}", "[Flist]"]
        for i, (entry, size) in enumerate(PROGRAM_FILES, 1):
            lines.append(f"F{i}={entry}")
            write(entry, size)

    library = library_entries(args.library, args.large)
    if library:
        lines += ["[KCount]", f"Kcount={len(library)}", "[Klist]"]
        for j, (entry, size) in enumerate(library, 1):
            lines.append(f"K{j}={entry}")
            if size is None:
                size = rng.randint(1, 2 * KB) if args.small else rng.randint(1 * KB, 16 * KB)
            write(entry, size)
    (out / "setup.ini").write_bytes(("\r\n".join(lines) + "\r\n").encode("gbk"))


if __name__ == "__main__":
    main()
