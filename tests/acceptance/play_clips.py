#!/usr/bin/env python3
"""Plays clips shaped like dash cameras' files through the shipped programs and checks what a
viewer would see and hear.

    play_clips.py TATCARD VARNELPLAYER WORKDIR [--pulse SERVER] [--only NAME...]

FFmpeg makes each clip during the run: a test pattern with one white picture at every whole
second and, where the clip has sound, a click at every whole second. `tatcard play` plays it
and its line gives the pictures presented, the frame intervals and the picture/click offsets;
the window (offscreen) plays one of them and is looked at twice. Checked: at least 99 % of the
pictures presented, the frame interval's 99th percentile within 1.5 periods, `--limit-ms`
kept to within 300 ms (the process within 2.5 s), the picture/click offset within 20 ms, and
the window's front pane lit and changing, also when it asks for a VAAPI decoder (without a
device: one line says so and software decodes), and then the rear pane of the two-camera clip
too. Prints one table row per clip and exits 1 when any check fails.
"""
import glob
import json
import os
import re
import subprocess
import sys
import time

# name, files: [(file name, codec, profile, rate, size, sound)], seconds, container note
# sound: None or (codec, sample rate, channels, offset s: + after the picture, - before)
CLIPS = [
    ("h264-baseline-30-aac48-mono-mp4", [("2024_0101_101010_0001F.MP4", "libx264", "baseline",
                                           "30", "1280x720", ("aac", 48000, 1, 0.0))], 2),
    ("h264-main-25-aac44-stereo-mov", [("2024_0305_090702_001.MOV", "libx264", "main", "25",
                                         "1280x720", ("aac", 44100, 2, 0.0))], 3),
    ("h264-high-bframes-2997-aac48-stereo-late-mp4",
     [("2024_0101_101010_0001F.MP4", "libx264", "high", "30000/1001", "1920x1080",
       ("aac", 48000, 2, 0.25))], 4),
    ("h265-30-aac16-early-ts", [("2024_0101_101010_0001F.TS", "libx265", None, "30", "1280x720",
                                  ("aac", 16000, 1, -0.064))], 3),
    ("h264-high-60-pcm-mov", [("2024_0305_090702_001.MOV", "libx264", "high", "60", "640x360",
                                ("pcm_s16le", 48000, 1, 0.0))], 3),
    ("h264-30-silent-mp4", [("2024_0101_101010_0001F.MP4", "libx264", "high", "30", "640x360",
                              None)], 2),
    ("two-cameras-h264-30-h265-25", [("20240305_090702_NF.mp4", "libx264", "high", "30",
                                       "1280x720", ("aac", 48000, 1, 0.0)),
                                      ("20240305_090702_NR.mp4", "libx265", None, "25",
                                       "640x360", None)], 4),
    ("h264-30-aac48-60s-mp4", [("2024_0101_101010_0001F.MP4", "libx264", "main", "30",
                                 "320x180", ("aac", 48000, 1, 0.0))], 60),
    # Variable rate: 30 fps for two seconds, then every other picture (15 fps).
    ("h264-vfr-30-15-aac48-mp4", [("2024_0101_101010_0001F.MP4", "libx264", "high", "30",
                                    "640x360", ("aac", 48000, 1, 0.0))], 4),
]
VFR_CLIPS = {"h264-vfr-30-15-aac48-mp4"}
VFR_SLOWEST_FPS = 15.0
PULSE_CLIP = "h264-main-25-aac44-stereo-mov"
WINDOW_CLIP = "h264-main-25-aac44-stereo-mov"
# Played in the window asking for a hardware decoder: where no device answers (no render node),
# software decodes it after one line that says so.
HWDEC_CLIP = "two-cameras-h264-30-h265-25"
LIMIT_CLIP = "h264-30-aac48-60s-mp4"
LIMIT_MS = 1500
# How much longer than the limit the whole process may take: starting, opening, ending.
START_SLACK_MS = 2500


def run(args, env=None, timeout=180):
    return subprocess.run(args, capture_output=True, text=True, env=env, timeout=timeout)


def make_file(path, codec, profile, rate, size, sound, seconds, vfr=False):
    flash = "drawbox=c=white:t=fill:enable='lt(mod(t\\,1)\\,0.999/(%s))'" % rate
    if vfr:
        flash += ",select='lt(t\\,2)+not(mod(n\\,2))'"
    args = ["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
            "testsrc2=size=%s:rate=%s,format=yuv420p,%s" % (size, rate, flash)]
    if sound is not None:
        acodec, arate, channels, offset = sound
        # The clicks lie at the picture's whole seconds whenever the sound starts.
        lead = -offset if offset < 0 else 0.0
        click = ("aevalsrc='if(lt(mod(t-%.3f\\,1)\\,0.01)\\,0.8*sin(2*PI*1000*t)\\,"
                 "0.02*sin(2*PI*300*t))':s=%d:c=%s" % (lead, arate,
                                                       "stereo" if channels == 2 else "mono"))
        if offset > 0:
            # Sound that starts after the picture: the stream's first sample is at the offset.
            args += ["-f", "lavfi", "-i", click, "-af", "atrim=start=%.3f" % offset]
        else:
            # Sound that starts before the picture: the stream is moved earlier by the lead.
            args += ["-itsoffset", str(offset), "-f", "lavfi", "-i", click]
    num, _, den = rate.partition("/")
    keyint = str(max(1, round(float(num) / float(den or 1))))  # a key frame every second
    args += ["-t", str(seconds), "-c:v", codec, "-g", keyint]
    if profile:
        args += ["-profile:v", profile]
    if codec == "libx265":
        args += ["-x265-params", "log-level=none"]
    if sound is not None:
        args += ["-c:a", sound[0]]
        if sound[0] == "aac":
            args += ["-b:a", "64k"]
    else:
        args += ["-an"]
    if vfr:
        args += ["-fps_mode", "vfr"]
    args.append(path)
    result = run(args)
    if result.returncode != 0:
        raise RuntimeError("ffmpeg failed for %s: %s" % (path, result.stderr))


def front_frames(path):
    result = run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                  "-show_entries", "stream=nb_read_packets,r_frame_rate", "-of", "json", path])
    stream = json.loads(result.stdout)["streams"][0]
    num, den = stream["r_frame_rate"].split("/")
    return int(stream["nb_read_packets"]), float(num) / float(den)


def play_line(text):
    match = re.search(r"^play (.*)$", text, re.M)
    if not match:
        return None
    figures = {}
    for item in match.group(1).split():
        key, _, value = item.partition("=")
        try:
            figures[key] = float(value)
        except ValueError:
            pass
    return figures


def recording_name(tatcard, folder):
    """The folder's one recording, named as the programs name it."""
    result = run([tatcard, "ls", folder, "--json"])
    recordings = json.loads(result.stdout) if result.returncode == 0 else []
    if len(recordings) != 1:
        raise RuntimeError("%s: expected one recording, tatcard ls says %s" %
                           (folder, result.stdout + result.stderr))
    return recordings[0]["name"]


# The window's small slot (x, y, width, height), where the rear picture shows without GPS.
SMALL_SLOT = (650, 268, 320, 180)


def png_stats(path, crop=None):
    """Mean brightness of the picture's pixels (of the crop rectangle when given), and their
    raw grey bytes, through ffmpeg."""
    crop_args = ["-vf", "crop=%d:%d:%d:%d" % (crop[2], crop[3], crop[0], crop[1])] if crop else []
    result = subprocess.run(["ffmpeg", "-loglevel", "error", "-i", path] + crop_args +
                            ["-f", "rawvideo", "-pix_fmt", "gray", "-"],
                            capture_output=True, timeout=60)
    data = result.stdout
    return (sum(data) / len(data) if data else 0.0), data


def check_window(varnelplayer, folder, name, work, what=None, extra=(), said=None, rear=False):
    """None when the window's front pane (and with `rear` the rear pane in the small slot) is
    lit and changes, else what went wrong; the window's diagnostic lines (standard error) are
    added to `said` when given."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QTWEBENGINE_DISABLE_SANDBOX="1",
               QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox "
                                          "--disable-background-networking", LC_ALL="C")
    env.pop("PULSE_SERVER", None)
    shots = []
    for after in (1200, 2200):
        shot = os.path.join(work, "window-%d.png" % after)
        # The window keeps its settings file in the folder it starts in.
        # --play NAME, or what was given instead (--trip N).
        chosen = what if what is not None else ["--play", name]
        result = subprocess.run([varnelplayer, folder] + chosen + list(extra) +
                                ["--screenshot", shot, "--after", str(after)],
                                capture_output=True, text=True, env=env, timeout=120, cwd=work)
        if said is not None:
            said.extend(line for line in result.stderr.splitlines()
                        if line.startswith("tatview: "))
        if result.returncode != 0 or not os.path.exists(shot):
            return "window exited %d: %s" % (result.returncode, result.stderr[-400:])
        shots.append((png_stats(shot), png_stats(shot, SMALL_SLOT) if rear else None))
    for pane, k in (("window picture", 0), ("rear pane", 1)):
        if shots[0][k] is None:
            continue
        first, second = shots[0][k], shots[1][k]
        if first[0] < 8 or second[0] < 8:
            return "%s is black (mean %.1f, %.1f)" % (pane, first[0], second[0])
        if first[1] == second[1]:
            return "%s did not change between 1.2 s and 2.2 s" % pane
    return None


def main():
    args = sys.argv[1:]
    if len(args) < 3:
        print(__doc__)
        return 2
    tatcard, varnelplayer, work = (os.path.abspath(a) if a != "-" else a for a in args[:3])
    pulse = None
    only = None
    rest = args[3:]
    while rest:
        if rest[0] == "--pulse" and len(rest) > 1:
            pulse = rest[1]
            rest = rest[2:]
        elif rest[0] == "--only":
            only = set(rest[1:])
            rest = []
        else:
            print("unknown argument " + rest[0])
            return 2
    os.makedirs(work, exist_ok=True)
    failures = []
    print("%-46s %-6s %10s %8s %8s %9s" % ("clip", "sound", "pictures", "p99_ms", "limit",
                                         "offset_ms"))
    for name, files, seconds in CLIPS:
        if only and name not in only:
            continue
        folder = os.path.join(work, name)
        os.makedirs(folder, exist_ok=True)
        for (file_name, codec, profile, rate, size, sound) in files:
            path = os.path.join(folder, file_name)
            if not os.path.exists(path):
                make_file(path, codec, profile, rate, size, sound, seconds, name in VFR_CLIPS)
        recording = recording_name(tatcard, folder)
        expected, fps = front_frames(os.path.join(folder, files[0][0]))
        outputs = [("null", ["--null-audio"])]
        if pulse and name == PULSE_CLIP:
            outputs.append(("pulse", []))
        for output, extra in outputs:
            env = dict(os.environ)
            env.pop("PULSE_SERVER", None)
            if output == "pulse":
                env["PULSE_SERVER"] = pulse
            result = run([tatcard, "play", folder, recording] + extra, env=env,
                         timeout=seconds * 3 + 60)
            figures = play_line(result.stdout)
            label = "%s/%s" % (name, output)
            if result.returncode != 0 or figures is None:
                failures.append("%s: exit %d %s" % (label, result.returncode,
                                                    result.stderr.strip()[-300:]))
                continue
            shown = int(figures.get("frames", 0))
            p99 = figures.get("interval_p99_ms", float("nan"))
            offset = figures.get("av_offset_mean_ms", float("nan"))
            limit_text = "-"
            if name == LIMIT_CLIP and output == "null":
                began = time.monotonic()
                limited = run([tatcard, "play", folder, recording, "--null-audio", "--limit-ms",
                               str(LIMIT_MS)], env=env)
                took = (time.monotonic() - began) * 1000.0
                # The play itself keeps to the limit; the process around it may take a while
                # longer to start and to end on a loaded machine.
                played = (play_line(limited.stdout) or {}).get("wall_ms", float("nan"))
                limit_text = "%.0f" % played
                if limited.returncode != 0 or not played <= LIMIT_MS + 300 or \
                        took > LIMIT_MS + START_SLACK_MS:
                    failures.append("%s: --limit-ms %d played %.0f ms, took %.0f ms (exit %d)" %
                                    (label, LIMIT_MS, played, took, limited.returncode))
            print("%-46s %-6s %4d/%-5d %8.1f %8s %9.1f" % (name, output, shown, expected, p99,
                                                        limit_text, offset))
            if shown * 100 < expected * 99:
                failures.append("%s: %d of %d pictures presented" % (label, shown, expected))
            if any(f[5] is not None for f in files) and not abs(offset) <= 20.0:
                failures.append("%s: picture/click offset %.1f ms beyond 20 ms" % (label, offset))
            period = 1000.0 / (VFR_SLOWEST_FPS if name in VFR_CLIPS else fps)
            if name in VFR_CLIPS:
                # At the pictures' own pace: as long as the clip lasts.
                wall = figures.get("wall_ms", 0.0)
                if abs(wall - seconds * 1000.0) > seconds * 1000.0 * 0.08:
                    failures.append("%s: played in %.0f ms, the clip lasts %d ms" %
                                    (label, wall, seconds * 1000))
            if not p99 <= 1.5 * period:
                failures.append("%s: frame interval p99 %.1f ms over 1.5 x %.1f ms" %
                                (label, p99, period))
        if name == WINDOW_CLIP and varnelplayer != "-":
            complaint = check_window(varnelplayer, folder, recording, work)
            if complaint:
                failures.append("%s/window: %s" % (name, complaint))
            else:
                print("%-46s window: the front pane is lit and changes" % name)
        if name == HWDEC_CLIP and varnelplayer != "-":
            said = []
            complaint = check_window(varnelplayer, folder, recording, work,
                                     extra=["--hwdec", "vaapi"], said=said, rear=True)
            # One line per window started (two), and only where no render node could answer.
            fallbacks = [line for line in said if "device answered" in line]
            if not complaint and not glob.glob("/dev/dri/renderD*") and len(fallbacks) != 2:
                complaint = "expected one fallback line a window, got %s" % said
            if complaint:
                failures.append("%s/window --hwdec vaapi: %s" % (name, complaint))
            else:
                print("%-46s window --hwdec vaapi: both panes lit and changing (%s)" %
                      (name, "software" if fallbacks else "hardware"))
    for failure in failures:
        print("FAILED " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
