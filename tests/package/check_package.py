#!/usr/bin/env python3
"""Checks the Debian package as a user receives it.

    check_package.py VERSION DIR [DIR...]

Takes the newest tatview_VERSION_<arch>.deb in the folders given (exit status 77, which ctest
counts as skipped, when there is none: the package is built by `scripts/setup.sh package` or
`cmake --build BUILD --target package`, not by every build), and checks
  - its control fields: name, version, architecture, section, and the dependencies dpkg-shlibdeps
    found in the programs together with the fonts and Leaflet read at run time;
  - its files: the four programs and nothing else in usr/bin, the desktop entry, the icons at
    every hicolor size, the manual pages, tatcard's bash completion, the copyright file and
    the changelog; the programs stripped and without a run path into a build folder;
  - unpacked with `dpkg -x` into a scratch root (never installed): every program answers
    --help and --version there with the library path unset and the offscreen platform, the
    version being VERSION; tatcard makes a small demonstration card and lists it, handing the
    picture commands to the tatcard-media beside it; the window takes a screenshot of that
    card at its normal size; the manual pages format without warnings; and the completion
    completes commands, options, values and the card's recording names.
"""
import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

PROGRAMS = ["varnelplayer", "tatcard", "tatcard-media", "aviinfo"]
ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256, 512]
RUNTIME_DEPENDS = ["fonts-dejavu-core", "fonts-nanum", "libjs-leaflet", "libqt6sql6-sqlite"]
# Libraries the programs link, which only dpkg-shlibdeps puts in Depends.
LIBRARY_DEPENDS = ["libc6", "libstdc++6", "libqt6widgets6", "libqt6webenginewidgets6",
                   "libqt6sql6", "libavcodec", "libavformat", "libpulse0", "libssl3"]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what)
    return condition


def run(args, env=None, cwd=None, timeout=120):
    return subprocess.run(args, env=env, cwd=cwd, capture_output=True, text=True,
                          timeout=timeout)


def find_package(version, folders):
    found = []
    for folder in folders:
        found += glob.glob(os.path.join(folder, f"tatview_{version}_*.deb"))
    return max(found, key=os.path.getmtime) if found else None


def check_control(deb, version):
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    check(os.path.basename(deb) == f"tatview_{version}_{arch}.deb",
          f"file name {os.path.basename(deb)}, not tatview_{version}_{arch}.deb")
    fields = {}
    for name in ["Package", "Version", "Architecture", "Section", "Maintainer", "Depends",
                 "Description"]:
        fields[name] = run(["dpkg-deb", "-f", deb, name]).stdout.strip()
    check(fields["Package"] == "tatview", f"Package is {fields['Package']!r}")
    check(fields["Version"] == version, f"Version is {fields['Version']!r}, not {version}")
    check(fields["Architecture"] == arch, f"Architecture is {fields['Architecture']!r}")
    check(fields["Section"] == "video", f"Section is {fields['Section']!r}")
    check("@" in fields["Maintainer"], f"Maintainer is {fields['Maintainer']!r}")
    check(len(fields["Description"].split("\n")) > 3, "the description has no long text")
    depends = [d.strip().split(" ")[0] for d in re.split(r"[,|]", fields["Depends"])]
    for name in RUNTIME_DEPENDS:
        check(name in depends, f"Depends lacks {name}: {fields['Depends']}")
    for prefix in LIBRARY_DEPENDS:
        check(any(d.startswith(prefix) for d in depends),
              f"Depends lacks a {prefix} package (dpkg-shlibdeps): {fields['Depends']}")


def check_files(deb):
    listing = run(["dpkg-deb", "-c", deb]).stdout.split("\n")
    files = set()
    for line in listing:
        if not line.strip():
            continue
        path = line.split()[5]
        if not line.startswith("d"):
            files.add(path[2:] if path.startswith("./") else path)
        else:
            check(line[:10] == "drwxr-xr-x", f"folder {path} is {line[:10]}, not 0755")
        check("/build" not in path and "tests" not in path, f"unexpected file {path}")
    expected = {f"usr/bin/{p}" for p in PROGRAMS}
    expected |= {f"usr/share/man/man1/{p}.1.gz" for p in PROGRAMS}
    expected |= {f"usr/share/icons/hicolor/{n}x{n}/apps/varnelplayer.png" for n in ICON_SIZES}
    expected |= {"usr/share/applications/varnelplayer.desktop",
                 "usr/share/icons/hicolor/scalable/apps/varnelplayer.svg",
                 "usr/share/bash-completion/completions/tatcard",
                 "usr/share/doc/tatview/copyright",
                 "usr/share/doc/tatview/changelog.gz"}
    for path in sorted(expected - files):
        check(False, f"the package lacks {path}")
    for path in sorted(files - expected):
        check(False, f"the package holds {path}, which it should not")


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", head[16:24])


def check_unpacked(root, version, work):
    bindir = os.path.join(root, "usr", "bin")
    env = {k: v for k, v in os.environ.items() if k != "LD_LIBRARY_PATH"}
    env.update(QT_QPA_PLATFORM="offscreen", HOME=work, XDG_CONFIG_HOME=os.path.join(work, "cfg"),
               XDG_RUNTIME_DIR=work, LC_ALL="C.UTF-8", QTWEBENGINE_DISABLE_SANDBOX="1")
    env.pop("TATVIEW_CARD", None)
    for program in PROGRAMS:
        path = os.path.join(bindir, program)
        sections = run(["readelf", "-S", "-W", path]).stdout
        check(".symtab" not in sections and ".debug_info" not in sections,
              f"{program} is not stripped")
        dynamic = run(["readelf", "-d", "-W", path]).stdout
        check("RPATH" not in dynamic and "RUNPATH" not in dynamic,
              f"{program} carries a run path: {dynamic}")
        for option in ["--help", "--version"]:
            result = run([path, option], env=env, cwd=work, timeout=60)
            check(result.returncode == 0,
                  f"{program} {option} exited with {result.returncode}: {result.stderr}")
            if option == "--version":
                check(result.stdout == f"{program} {version}\n",
                      f"{program} --version printed {result.stdout!r}, not "
                      f"'{program} {version}'")
            else:
                check(result.stdout.startswith("usage:") and len(result.stdout) > 60,
                      f"{program} --help printed {result.stdout[:200]!r}")

    # tatcard runs its picture commands through the tatcard-media beside it.
    tatcard = os.path.join(bindir, "tatcard")
    card = os.path.join(work, "card")
    made = run([tatcard, "demo", card, "--seconds", "2", "--front", "320x240"], env=env,
               cwd=work, timeout=300)
    if not check(made.returncode == 0 and os.path.isfile(os.path.join(card, "TATSTORE",
                                                                      "VOLUME.TAT")),
                 f"tatcard demo failed ({made.returncode}): {made.stderr[-2000:]}"):
        return
    listed = run([tatcard, "ls", card], env=env, cwd=work)
    names = [line.split()[0] for line in listed.stdout.split("\n") if line.strip()]
    check(listed.returncode == 0 and len(names) == 14,
          f"tatcard ls listed {len(names)} recordings ({listed.returncode}): {listed.stderr}")

    # The window, started from the scratch root, draws its skin and list at its normal size.
    shot = os.path.join(work, "window.png")
    window = run([os.path.join(bindir, "varnelplayer"), "--card", card, "--screenshot", shot,
                  "--after", "500"], env=env, cwd=work, timeout=180)
    check(window.returncode == 0 and os.path.isfile(shot),
          f"varnelplayer --screenshot failed ({window.returncode}): {window.stderr[-2000:]}")
    if os.path.isfile(shot):
        check(png_size(shot) == (975, 635), f"the screenshot is {png_size(shot)}, not 975x635")

    check_manual_pages(root, env)
    check_completion(root, tatcard, card, names, env)


def check_manual_pages(root, env):
    for program in PROGRAMS:
        page = os.path.join(root, "usr", "share", "man", "man1", f"{program}.1.gz")
        if not os.path.isfile(page):
            continue  # told by check_files
        shown = run(["man", "--warnings", "-l", page], env=dict(env, MANWIDTH="80"))
        check(shown.returncode == 0 and shown.stderr == "",
              f"man {program} ({shown.returncode}): {shown.stderr}")
        check("NAME" in shown.stdout and program in shown.stdout and "SYNOPSIS" in shown.stdout,
              f"the manual page of {program} has no NAME and SYNOPSIS")


# bash-completion's helpers, which the completion uses where they are loaded (as in a user's
# shell) and does without otherwise.
BASH_COMPLETION = "/usr/share/bash-completion/bash_completion"


def completions(script, words, env, helpers):
    """What the completion offers for the command line `words`, its last word being the one
    completed, with or without bash-completion's helpers loaded."""
    quoted = " ".join("'" + w.replace("'", "'\\''") + "'" for w in words)
    program = f"""{"source " + BASH_COMPLETION if helpers else ""}
source '{script}'
COMP_WORDS=({quoted}); COMP_CWORD=$((${{#COMP_WORDS[@]}} - 1))
COMP_LINE="${{COMP_WORDS[*]}}"; COMP_POINT=${{#COMP_LINE}}
_tatcard; printf '%s\\n' "${{COMPREPLY[@]}}"
"""
    result = run(["bash", "--norc", "--noprofile", "-c", program], env=env)
    check(result.returncode == 0, f"completion of {words}: {result.stderr}")
    return [w for w in result.stdout.split("\n") if w]


def check_completion(root, tatcard, card, names, env):
    script = os.path.join(root, "usr", "share", "bash-completion", "completions", "tatcard")
    if not os.path.isfile(script):
        return
    cases = [
        ([tatcard, ""], {"demo", "ls", "info", "export", "play", "clip", "verify", "--help"}),
        ([tatcard, "ex"], {"export"}),
        ([tatcard, "play", card, names[0], "--s"], {"--seek-ms", "--step", "--speed", "--size",
                                                     "--show"}),
        ([tatcard, "ls", card, "--category", ""], {"event", "rec", "parking", "manual", "all"}),
        ([tatcard, "clip", card, "--layout", ""], {"front", "pip", "side", "grid"}),
        ([tatcard, "csv", card, "--units", ""], {"kmh", "mph"}),
        ([tatcard, "config", card, "--set", "mic_"], {"mic_in=", "mic_volume="}),
        ([tatcard, "info", card, ""], set(names)),
    ]
    for helpers in [False, True] if os.path.isfile(BASH_COMPLETION) else [False]:
        for words, wanted in cases:
            offered = set(completions(script, words, env, helpers))
            check(wanted <= offered, f"completing {words[1:]} offered {sorted(offered)}, "
                                     f"not {sorted(wanted - offered)}")
        # Only what fits the word typed.
        offered = completions(script, [tatcard, "ls", card, "--category", "ev"], env, helpers)
        check(offered == ["event"], f"completing --category ev offered {offered}")
        # After a trip's number comes the output file, not a recording.
        offered = completions(script, [tatcard, "gpx", card, "--trip", "1", card], env, helpers)
        check(offered == [card], f"completing gpx --trip 1 offered {offered}")


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    version = sys.argv[1]
    deb = find_package(version, sys.argv[2:])
    if deb is None:
        print(f"no tatview_{version}_*.deb in {' '.join(sys.argv[2:])}: skipped "
              f"(scripts/setup.sh package builds it)")
        return 77
    print(f"checking {deb} ({os.path.getsize(deb)} bytes)")
    check_control(deb, version)
    check_files(deb)
    work = tempfile.mkdtemp(prefix="tatview-package-")
    try:
        root = os.path.join(work, "root")
        unpacked = run(["dpkg", "-x", deb, root])
        if check(unpacked.returncode == 0, f"dpkg -x failed: {unpacked.stderr}"):
            check_unpacked(root, version, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"package: {len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
