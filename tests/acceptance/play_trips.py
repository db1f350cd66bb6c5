#!/usr/bin/env python3
"""Plays a drive of dash-cam recordings through the shipped programs as one timeline and checks
what a viewer would see and hear at the boundaries between the files.

    play_trips.py TATCARD VARNELPLAYER WORKDIR
    play_trips.py --make FOLDER RECORDINGS SECONDS FRONT REAR   (makes a drive; for benches)

FFmpeg makes a drive of RECORDINGS back-to-back two-camera recordings (front with sound that
clicks at every whole second and a white picture at every whole second, rear without sound;
one of them an event recording), each with a BlackVue-style GPS side file, and one recording
five minutes later, the next drive. Checked: `tatcard trips` finds the two drives with their
recordings and figures; `tatcard play --trip 1` presents at least 99 % of the drive's front
pictures, no front interval at a boundary over two periods, no hole in the sound, the
picture/click offset within 20 ms over the whole drive; seeks across the files land (their
latency is printed); `tatcard gpx --trip 1` gives one track of the whole drive in time order;
the window (offscreen) plays the drive with `--trip 1` and shows a lit, moving front pane.
Prints the figures and exits 1 when any check fails.
"""
import calendar
import json
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from play_clips import check_window, make_file, play_line, run  # noqa: E402

RECORDINGS = 10
SECONDS = 3
RATE = "30"
EVENT_AT = 4  # the fifth recording is an event recording
START = (2024, 3, 5, 9, 0, 0)


def nmea(sentence):
    checksum = 0
    for char in sentence:
        checksum ^= ord(char)
    return "$%s*%02X" % (sentence, checksum)


def gps_side_file(path, start_epoch, first_second, seconds):
    """One fix a second, driving east at 72 km/h (20 m/s, 38.9 knots)."""
    lines = []
    for s in range(seconds):
        t = start_epoch + s
        clock = t % 86400
        lon_minutes = 58.0 + (first_second + s) * 20.0 / 1852.0 / 0.79  # about 37.5 N
        rmc = "GNRMC,%02d%02d%02d.00,A,3733.0000,N,126%07.4f,E,38.9,90.0,050324,,,A" % (
            clock // 3600, clock // 60 % 60, clock % 60, lon_minutes)
        lines.append("[%d]%s" % (t * 1000, nmea(rmc)))
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


def stamp(seconds_after):
    """The epoch seconds of the camera's clock read as UTC, and the name's date and time."""
    t = calendar.timegm(START) + seconds_after
    return t, time.strftime("%Y%m%d_%H%M%S", time.gmtime(t))


def make_drive(folder, recordings=RECORDINGS, seconds=SECONDS, front_size="320x180",
               rear_size="160x90"):
    """recordings back to back of seconds each, then one five minutes later."""
    os.makedirs(folder, exist_ok=True)
    starts = [k * seconds for k in range(recordings)] + [recordings * seconds + 300]
    for k, after in enumerate(starts):
        epoch, name = stamp(after)
        letter = "E" if k == EVENT_AT else "N"
        front = os.path.join(folder, "%s_%sF.mp4" % (name, letter))
        rear = os.path.join(folder, "%s_%sR.mp4" % (name, letter))
        if not os.path.exists(front):
            make_file(front, "libx264", "main", RATE, front_size, ("aac", 48000, 1, 0.0),
                      seconds)
            make_file(rear, "libx264", "main", RATE, rear_size, None, seconds)
        gps_side_file(os.path.join(folder, "%s_%s.gps" % (name, letter)), epoch, after, seconds)
        # The camera closes each file when its recording ends; its card shows the camera's
        # clock as if it were UTC.
        for path in (front, rear):
            os.utime(path, (epoch + seconds, epoch + seconds))


def main():
    if len(sys.argv) == 7 and sys.argv[1] == "--make":
        make_drive(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], sys.argv[6])
        return 0
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    tatcard, varnelplayer, work = (os.path.abspath(a) if a != "-" else a for a in sys.argv[1:])
    folder = os.path.join(work, "drive")
    make_drive(folder)
    failures = []
    env = dict(os.environ)
    env.pop("PULSE_SERVER", None)

    listed = run([tatcard, "trips", folder, "--json"], env=env)
    drives = json.loads(listed.stdout) if listed.returncode == 0 else []
    if len(drives) != 2 or len(drives[0]["recordings"]) != RECORDINGS:
        failures.append("tatcard trips: expected 2 drives, the first of %d recordings: %s" %
                        (RECORDINGS, (listed.stdout + listed.stderr)[-600:]))
    else:
        first = drives[0]
        print("trips: %d drives; drive 1: %d recordings, %.1f s, %.2f km, top %.0f km/h, "
              "average %.0f km/h, events %s" % (len(drives), len(first["recordings"]),
                                                first["duration_s"], first["distance_km"],
                                                first["top_speed_kmh"],
                                                first["average_speed_kmh"], first["events"]))
        if not first["events"] or drives[1]["events"]:
            failures.append("tatcard trips: the event mark is on the wrong drive")
        if abs(first["duration_s"] - RECORDINGS * SECONDS) > 0.5:
            failures.append("tatcard trips: drive 1 lasts %.3f s" % first["duration_s"])
        # 20 m/s for the drive's fixes, one a second, the legs inside each recording.
        if not 0.3 < first["distance_km"] < 0.7 or not 60 < first["top_speed_kmh"] < 80:
            failures.append("tatcard trips: figures %.3f km, top %.1f km/h" %
                            (first["distance_km"], first["top_speed_kmh"]))

    played = run([tatcard, "play", folder, "--trip", "1", "--null-audio"], env=env,
                 timeout=RECORDINGS * SECONDS * 3 + 60)
    figures = play_line(played.stdout)
    period = 1000.0 / float(RATE)
    expected = RECORDINGS * SECONDS * int(RATE)
    if played.returncode != 0 or figures is None:
        failures.append("play --trip: exit %d %s" % (played.returncode, played.stderr[-400:]))
    else:
        print("play --trip 1: %d/%d pictures, %d boundaries, largest front interval at a "
              "boundary %.1f ms, sound hole %.1f ms, picture/click offset %.1f ms (drift "
              "%.1f ms), interval p99 %.1f ms" %
              (figures.get("frames", 0), expected, figures.get("boundaries", 0),
               figures.get("boundary_max_ms", float("nan")), figures.get("sound_gap_ms", 0),
               figures.get("av_offset_mean_ms", float("nan")),
               figures.get("av_offset_drift_ms", float("nan")),
               figures.get("interval_p99_ms", float("nan"))))
        if figures.get("frames", 0) * 100 < expected * 99:
            failures.append("play --trip: %d of %d pictures" % (figures.get("frames", 0),
                                                                expected))
        if figures.get("boundaries", 0) != RECORDINGS - 1:
            failures.append("play --trip: %d boundaries crossed" % figures.get("boundaries", 0))
        if not figures.get("boundary_max_ms", 1e9) <= 2 * period:
            failures.append("play --trip: front interval %.1f ms at a boundary" %
                            figures.get("boundary_max_ms", float("nan")))
        if not figures.get("sound_gap_ms", 1e9) <= 25.0:
            failures.append("play --trip: a hole of %.1f ms in the sound" %
                            figures.get("sound_gap_ms", float("nan")))
        if not abs(figures.get("av_offset_mean_ms", 1e9)) <= 20.0 or \
                not abs(figures.get("av_offset_drift_ms", 1e9)) <= 20.0:
            failures.append("play --trip: picture/click offset %.1f ms, drift %.1f ms" %
                            (figures.get("av_offset_mean_ms", float("nan")),
                             figures.get("av_offset_drift_ms", float("nan"))))

    # Seeks across the files, to times that are not whole seconds, forward and back.
    seeks = "4500,17200,8100,26300,1300,22700,13900,29100"
    sought = run([tatcard, "play", folder, "--trip", "1", "--null-audio", "--seek-ms", seeks,
                  "--gap-ms", "700", "--limit-ms", "9000"], env=env, timeout=120)
    seek_figures = play_line(sought.stdout)
    if sought.returncode != 0 or seek_figures is None or \
            "seek_first_frame_ms" not in seek_figures:
        failures.append("play --trip --seek-ms: exit %d %s" % (sought.returncode,
                                                                sought.stderr[-400:]))
    else:
        print("seeks across files: median %.1f ms, p95 %.1f ms" %
              (seek_figures["seek_first_frame_ms"], seek_figures.get("seek_p95_ms", 0)))
        # A loaded 2-core machine: a loose bound here; the closing figures come from a bench.
        if seek_figures["seek_first_frame_ms"] > 500:
            failures.append("seeks across files: median %.1f ms" %
                            seek_figures["seek_first_frame_ms"])

    route = run([tatcard, "gpx", folder, "--trip", "1"], env=env)
    points = re.findall(r"<time>([^<]+)</time>", route.stdout)
    if route.returncode != 0 or len(points) < RECORDINGS * SECONDS - 1:
        failures.append("gpx --trip: exit %d, %d points" % (route.returncode, len(points)))
    elif points != sorted(points):
        failures.append("gpx --trip: points out of time order")
    else:
        print("gpx --trip 1: %d points in time order" % len(points))

    if varnelplayer != "-":
        complaint = check_window(varnelplayer, folder, None, work, ["--trip", "1"])
        if complaint:
            failures.append("window --trip: " + complaint)
        else:
            print("window --trip 1: the front pane is lit and changes")
    for failure in failures:
        print("FAILED " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
