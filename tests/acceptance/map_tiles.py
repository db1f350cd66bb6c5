#!/usr/bin/env python3
"""The window's map from a local MBTiles file, without network, through the shipped program.

    map_tiles.py VARNELPLAYER WORKDIR

FFmpeg makes a dash-cam recording (a BlackVue-style front file with a GPS side file placing
the car in Busan) and the tiles: 256 x 256 pictures of one colour, PNG and JPEG. Python's
sqlite3 puts them in an MBTiles file (rows numbered from the south, as the format keeps
them) around the car's position at zoom 16. The window (offscreen) is started on the
recording with the tile source "mbtiles:FILE" in its settings file and takes a screenshot:
the map pane must show the tiles' colour; the same window with the default tile source (no
network here) must not; the MBTiles file must be unchanged. Prints the figures and exits 1
when a check fails.
"""
import hashlib
import math
import os
import shutil
import sqlite3
import subprocess
import sys

COLOUR = (200, 30, 160)
LATITUDE = 35.1796
LONGITUDE = 129.0756
ZOOM = 16
NAME = "20240305_090000_N"


def run(args, env=None, timeout=180):
    return subprocess.run(args, capture_output=True, env=env, timeout=timeout)


def ffmpeg(args):
    result = run(["ffmpeg", "-loglevel", "error", "-y"] + args)
    if result.returncode != 0:
        raise RuntimeError("ffmpeg failed: %s" % result.stderr.decode(errors="replace"))


def nmea(sentence):
    checksum = 0
    for char in sentence:
        checksum ^= ord(char)
    return "$%s*%02X" % (sentence, checksum)


def make_recording(folder):
    os.makedirs(folder, exist_ok=True)
    ffmpeg(["-f", "lavfi", "-i", "testsrc2=size=640x360:rate=30,format=yuv420p", "-t", "4",
            "-c:v", "libx264", "-g", "30", "-an", os.path.join(folder, NAME + "F.mp4")])
    start = 1709629200  # 2024-03-05 09:00:00 UTC, the name's time
    lines = []
    for s in range(4):
        t = start + s
        rmc = "GPRMC,0900%02d.00,A,%02d%07.4f,N,%03d%07.4f,E,0.0,0.0,050324,,,A" % (
            s, int(LATITUDE), (LATITUDE % 1) * 60, int(LONGITUDE), (LONGITUDE % 1) * 60)
        lines.append("[%d]%s" % (t * 1000, nmea(rmc)))
    with open(os.path.join(folder, NAME + ".gps"), "w") as out:
        out.write("\n".join(lines) + "\n")


def tile_picture(path, codec):
    ffmpeg(["-f", "lavfi", "-i", "color=c=0x%02X%02X%02X:s=256x256" % COLOUR, "-frames:v", "1",
            "-c:v", codec, "-pix_fmt", "rgb24" if codec == "png" else "yuvj444p", "-q:v", "2",
            "-f", "image2", path])
    with open(path, "rb") as f:
        return f.read()


def make_mbtiles(path, work):
    png = tile_picture(os.path.join(work, "tile.png"), "png")
    jpeg = tile_picture(os.path.join(work, "tile.jpg"), "mjpeg")
    side = 2 ** ZOOM
    column = int((LONGITUDE + 180.0) / 360.0 * side)
    lat = math.radians(LATITUDE)
    row = int((1.0 - math.asinh(math.tan(lat)) / math.pi) / 2.0 * side)
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.execute("CREATE TABLE metadata (name TEXT, value TEXT)")
    db.execute("CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, "
               "tile_data BLOB)")
    db.executemany("INSERT INTO metadata VALUES (?, ?)",
                   [("name", "test"), ("format", "png"), ("minzoom", "16"), ("maxzoom", "16")])
    for dx in range(-4, 5):
        for dy in range(-4, 5):
            data = png if (dx + dy) % 2 == 0 else jpeg
            db.execute("INSERT INTO tiles VALUES (?, ?, ?, ?)",
                       (ZOOM, column + dx, side - 1 - (row + dy), data))
    db.commit()
    db.close()


def screenshot(varnelplayer, folder, work, label, tile_url):
    home = os.path.join(work, label)
    shutil.rmtree(home, ignore_errors=True)
    os.makedirs(os.path.join(home, "config", "tatview"))
    if tile_url is not None:
        with open(os.path.join(home, "config", "tatview", "varnelplayer.ini"), "w") as ini:
            ini.write("[Map]\nTileUrl=%s\n" % tile_url)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QTWEBENGINE_DISABLE_SANDBOX="1",
               QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox "
                                          "--disable-background-networking", LC_ALL="C",
               HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_CACHE_HOME=os.path.join(home, "cache"),
               XDG_DATA_HOME=os.path.join(home, "data"))
    env.pop("PULSE_SERVER", None)
    shot = os.path.join(work, label + ".png")
    result = run([varnelplayer, folder, "--play", NAME, "--screenshot", shot, "--after", "3000"],
                 env=env, timeout=120)
    if result.returncode != 0 or not os.path.exists(shot):
        raise RuntimeError("window exited %d: %s" % (result.returncode,
                                                     result.stderr.decode(errors="replace")[-400:]))
    pixels = run(["ffmpeg", "-loglevel", "error", "-i", shot, "-f", "rawvideo", "-pix_fmt",
                  "rgb24", "-"]).stdout
    near = 0
    for i in range(0, len(pixels) - 2, 3):
        if (abs(pixels[i] - COLOUR[0]) <= 12 and abs(pixels[i + 1] - COLOUR[1]) <= 12 and
                abs(pixels[i + 2] - COLOUR[2]) <= 12):
            near += 1
    return near, os.path.join(home, "cache")


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    varnelplayer, work = (os.path.abspath(a) for a in sys.argv[1:])
    os.makedirs(work, exist_ok=True)
    folder = os.path.join(work, "recordings")
    make_recording(folder)
    mbtiles = os.path.join(work, "busan tiles.mbtiles")
    make_mbtiles(mbtiles, work)
    with open(mbtiles, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()

    failures = []
    local, cache = screenshot(varnelplayer, folder, work, "mbtiles", "mbtiles:" + mbtiles)
    default, _ = screenshot(varnelplayer, folder, work, "default", None)
    print("map_tiles local_tile_pixels=%d default_tile_pixels=%d" % (local, default))
    if local < 20000:
        failures.append("the map shows %d pixels of the file's tiles" % local)
    if default > 100:
        failures.append("the default map shows %d pixels of the tiles' colour" % default)
    with open(mbtiles, "rb") as f:
        if hashlib.sha256(f.read()).hexdigest() != digest:
            failures.append("the MBTiles file changed")
    if not os.path.isdir(os.path.join(cache, "tatview", "map")):
        failures.append("no map cache folder in the user's cache folder")
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
