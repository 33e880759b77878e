#!/usr/bin/env python3
"""Makes the release ZIP and its SHA256SUMS, the same bytes on every build.

  make_release.py OUT_DIR NAME SOURCE_DIR FILE...

Writes OUT_DIR/NAME.zip holding the FILEs (by their base names, in the order
given) and OUT_DIR/SHA256SUMS in the form `sha256sum -c` reads. Every entry
gets the same time: SOURCE_DATE_EPOCH when set, else the time of the last
commit in SOURCE_DIR (as reproducible-builds.org describes), else 1980-01-01.
No owner, permission or extra time field is stored.
"""
import hashlib, os, subprocess, sys, time, zipfile

ZIP_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC, the earliest time a ZIP holds


def release_time(source_dir):
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        out = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"], capture_output=True,
                             text=True, check=True).stdout.strip()
        return int(out)
    except (OSError, subprocess.CalledProcessError, ValueError):
        return ZIP_EPOCH


def main():
    out_dir, name, source_dir, files = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    stamp = time.gmtime(max(release_time(source_dir), ZIP_EPOCH))[:6]
    archive = os.path.join(out_dir, name + ".zip")
    with zipfile.ZipFile(archive + ".part", "w") as zf:
        for path in files:
            info = zipfile.ZipInfo(os.path.basename(path), date_time=stamp)
            info.create_system = 0  # MS-DOS: no Unix owner or permissions
            info.external_attr = 0
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as f:
                zf.writestr(info, f.read(), compresslevel=9)
    os.replace(archive + ".part", archive)
    with open(archive, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    with open(os.path.join(out_dir, "SHA256SUMS"), "w", newline="\n") as f:
        f.write(f"{digest}  {name}.zip\n")


if __name__ == "__main__":
    main()
