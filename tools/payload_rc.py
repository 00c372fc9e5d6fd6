#!/usr/bin/env python3
"""Turns a setup manifest and the folders that hold its files into the resource script
that the setup program is linked with.

The manifest is an INI file in code page 936. Section [FCount] key count gives the number
of program files, section [Flist] names them as F1..Fn; the optional [KCount] Kcount and
[Klist] K1..Kn do the same for the resource library. Section and key names match without
regard to case, as the setup program reads them. Every entry is a path that starts with a
backslash, relative to the folder it is installed below.

Resources: the manifest is type FILE0 name SRC0, program file i is FILEi / SRCi and
resource-library file j is KFILEj / KSRCj, all in language 0x0804 (Chinese, simplified).

Each entry is looked for below the roots in the order given (the leading backslash
dropped, backslashes turned into slashes); the first root that has it wins. The run fails,
naming them, when an entry has a file in no root or when a root holds a file that no entry
names.

    payload_rc.py --manifest setup.ini --root files --root built --out payload.rc [--depfile payload.rc.d]
    payload_rc.py --check --manifest setup.ini [--root DIR ...]

--check validates the manifest in the form the product ships it (no byte-order mark,
CR LF line ends only, first line [Fcount]) and, with roots, that they hold exactly the
listed files; it writes nothing.
"""
import argparse
import hashlib
import os
import sys

LANGUAGE = "LANGUAGE 0x04, 0x02"  # 2052, zh-CN


class PayloadError(Exception):
    def __init__(self, problems):
        super().__init__("\n".join(problems))
        self.problems = problems


class Entry:
    def __init__(self, key, path, resource_type, resource_name):
        self.key = key  # "F12"
        self.path = path  # "\~tmp.ini"
        self.resource_type = resource_type  # "FILE12"
        self.resource_name = resource_name  # "SRC12"
        self.file = None  # where it was found

    def relative(self):
        return self.path[1:].replace("\\", "/")

    def describe(self):
        return f"entry {self.key} {self.path}"


def read_manifest_text(path):
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xef\xbb\xbf") or data.startswith(b"\xff\xfe") or data.startswith(b"\xfe\xff"):
        raise PayloadError([f"{path}: starts with a byte-order mark; the manifest must be "
                            "plain code page 936 text"])
    try:
        text = data.decode("gbk")
    except UnicodeDecodeError as e:
        line = data[:e.start].count(b"\n") + 1
        raise PayloadError([f"{path}: line {line}: bytes {data[e.start:e.end + 1].hex(' ')} "
                            "are not code page 936 (GBK) text"])
    return data, text


def parse_ini(text):
    """Sections as {lower-case name: (spelling, {lower-case key: (spelling, value)})}. As
    with the platform's profile functions, the first section and the first key of a name
    win, blanks around names and values do not count and ';' starts a comment line."""
    sections = {}
    current = None
    for raw in text.replace("\r\n", "\n").replace("\r", "\n").split("\n"):
        line = raw.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and "]" in line:
            name = line[1:line.index("]")].strip()
            # The keys of a repeated section are never read.
            current = {} if name.lower() in sections else sections.setdefault(name.lower(), (name, {}))[1]
            continue
        if current is None or "=" not in line:
            continue
        key, value = line.split("=", 1)
        current.setdefault(key.strip().lower(), (key.strip(), value.strip()))
    return sections


def read_list(sections, count_section, count_key, list_section, prefix, type_prefix,
              name_prefix, required):
    problems = []
    counts = sections.get(count_section.lower())
    if counts is None or count_key.lower() not in counts[1]:
        if required:
            problems.append(f"no [{count_section}] {count_key}= key")
        elif list_section.lower() in sections:
            problems.append(f"[{list_section}] is there but [{count_section}] {count_key}= is not")
        return [], problems
    raw = counts[1][count_key.lower()][1]
    if not raw.isdigit():
        return [], [f"[{count_section}] {count_key}={raw} is not a number"]
    count = int(raw)
    keys = sections.get(list_section.lower(), (list_section, {}))[1]
    entries = []
    for i in range(1, count + 1):
        key = f"{prefix}{i}"
        if key.lower() not in keys:
            problems.append(f"[{list_section}] has no {key}= though {count_key}={count}")
            continue
        entries.append(Entry(key, keys[key.lower()][1], f"{type_prefix}{i}", f"{name_prefix}{i}"))
    for lower, (spelling, _) in keys.items():
        number = lower[len(prefix):]
        if lower.startswith(prefix.lower()) and number.isdigit() and int(number) > count:
            problems.append(f"[{list_section}] {spelling}= lies beyond {count_key}={count}; "
                            "the setup program would skip it")
    return entries, problems


def check_entry_paths(entries):
    problems = []
    seen = {}
    for entry in entries:
        p = entry.path
        parts = p[1:].split("\\")
        if not p.startswith("\\"):
            problems.append(f"{entry.describe()}: does not start with a backslash")
        elif "/" in p or any(part in ("", ".", "..") for part in parts):
            problems.append(f"{entry.describe()}: not a plain path of folder and file names "
                            "separated by single backslashes")
        earlier = seen.setdefault(p.lower(), entry)
        if earlier is not entry:
            problems.append(f"{entry.describe()}: names the same file as {earlier.describe()}")
    return problems


def load_manifest(path, shipping_form=False):
    """The entries of a manifest, program files first. Raises PayloadError."""
    data, text = read_manifest_text(path)
    problems = []
    if shipping_form:
        if not data.startswith(b"[Fcount]\r\n"):
            problems.append(f"{path}: does not begin with the line [Fcount]")
        lines = data.split(b"\r\n")
        for number, line in enumerate(lines, 1):
            if b"\n" in line or b"\r" in line:
                problems.append(f"{path}: line {number} does not end in CR LF")
                break
        if not data.endswith(b"\r\n"):
            problems.append(f"{path}: the last line does not end in CR LF")
    sections = parse_ini(text)
    files, found = read_list(sections, "FCount", "count", "Flist", "F", "FILE", "SRC", True)
    problems += found
    library, found = read_list(sections, "KCount", "Kcount", "Klist", "K", "KFILE", "KSRC", False)
    problems += found
    problems += check_entry_paths(files) + check_entry_paths(library)
    if problems:
        raise PayloadError(problems)
    return files + library


def files_below(root):
    """Relative paths (with '/') of every file below a root."""
    found = []
    for folder, dirs, names in os.walk(root):
        dirs.sort()
        for name in sorted(names):
            full = os.path.join(folder, name)
            found.append(os.path.relpath(full, root).replace(os.sep, "/"))
    return found


def resolve(entries, roots):
    """Finds the file of every entry; raises PayloadError naming every entry without a
    file and every file without an entry."""
    problems = []
    for root in roots:
        if not os.path.isdir(root):
            problems.append(f"root {root} is not a folder")
    if problems:
        raise PayloadError(problems)
    on_disk = {root: set(files_below(root)) for root in roots}
    by_lower = {}
    for root, names in on_disk.items():
        for name in names:
            by_lower.setdefault(name.lower(), []).append(os.path.join(root, name))

    named = set()
    for entry in entries:
        for root in roots:
            if entry.relative() in on_disk[root]:
                entry.file = os.path.join(root, entry.relative())
                break
        if entry.file is None:
            near = by_lower.get(entry.relative().lower())
            hint = f" (there is {', '.join(near)}, which differs in letter case)" if near else ""
            problems.append(f"{entry.describe()}: no file {entry.relative()} in any root{hint}")
        named.add(entry.relative())
    for root, names in on_disk.items():
        for name in sorted(names):
            if name not in named:
                problems.append(f"file {os.path.join(root, name)} is named by no manifest entry "
                                "(list it in the manifest, or remove it; a file left in the build "
                                "tree by an earlier build can be deleted)")
    if problems:
        raise PayloadError(problems)


def rc_string(path):
    return '"' + path.replace("\\", "\\\\").replace('"', '""') + '"'


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def resource_script(manifest, entries):
    # The digests make the script change whenever a file does, so that whatever compiles
    # it is brought up to date even by tools that do not follow the file references.
    lines = [f"// The setup payload: {len(entries)} files listed by {manifest}.",
             "// Written by tools/payload_rc.py; changes are lost on the next build.",
             LANGUAGE,
             f"SRC0 FILE0 {rc_string(manifest)} // sha256 {digest(manifest)}"]
    for e in entries:
        lines.append(f"{e.resource_name} {e.resource_type} {rc_string(e.file)} "
                     f"// {e.key} sha256 {digest(e.file)}")
    return "\n".join(lines) + "\n"


def depfile_path(path):
    return path.replace("\\", "\\\\").replace(" ", "\\ ").replace("#", "\\#").replace("$", "$$")


def write_if_changed(path, text):
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except (OSError, UnicodeDecodeError):
        pass
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--manifest", required=True)
    parser.add_argument("--root", action="append", default=[], help="folder of files, searched in order")
    parser.add_argument("--out", help="the resource script to write")
    parser.add_argument("--depfile", help="a make-style list of the script's inputs")
    parser.add_argument("--check", action="store_true",
                        help="check the manifest (and roots, if given) and write nothing")
    args = parser.parse_args(argv)
    if not args.check and (not args.out or not args.root):
        parser.error("--out and at least one --root are needed, unless --check is given")

    manifest = os.path.abspath(args.manifest)
    try:
        entries = load_manifest(manifest, shipping_form=args.check)
        if args.root:
            resolve(entries, [os.path.abspath(r) for r in args.root])
    except PayloadError as e:
        for problem in e.problems:
            print(f"payload_rc: error: {problem}", file=sys.stderr)
        return 1
    except OSError as e:
        print(f"payload_rc: error: {e}", file=sys.stderr)
        return 1
    if args.check:
        print(f"payload_rc: {manifest}: {len(entries)} entries, well formed")
        return 0

    out = os.path.abspath(args.out)
    write_if_changed(out, resource_script(manifest, entries))
    if args.depfile:
        inputs = [manifest] + [e.file for e in entries]
        with open(args.depfile, "w", encoding="utf-8") as f:
            f.write(depfile_path(out) + ": " + " \\\n  ".join(depfile_path(p) for p in inputs) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
