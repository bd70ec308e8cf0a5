#!/usr/bin/env python3
"""play_e2e.py GAME

Plays a small puzzle to the end through real mouse input. Starts a copy of the program folder's
Game in a window on a 200 x 200 picture cut into 4 pieces, with every presented frame dumped to
PNG. The picture encodes its own coordinates: red = 28 + x, green = 28 + y, blue = 160. A frame
pixel (sx, sy) that shows picture pixel (x, y) unshaded therefore tells where that piece puts the
picture's origin on the screen: (sx - x, sy - y). Pieces in their places relative to each other
share one origin; the pixels of each loose piece form a cluster of their own origin.

The script grabs each piece on one of its visible inner pixels with xdotool, drags it so that
its origin meets the first piece's, and releases it; the last drop must snap and solve the
puzzle, which the dumped frames show as the colour flash (the white bar changes colour for about
three seconds). Then Esc asks the quit question, a click on the yes button answers it, and Game
must exit with code 0.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import waiting
from waiting import fail, step, until

WIDTH, HEIGHT = 800, 600
PICTURE = 200
BASE = 28
MARK = 160
MIN_CLUSTER = 300


def log(*args):
    print(*args, flush=True)


def make_picture(path):
    # A PPM written by hand, converted to PNG by ImageMagick.
    rows = bytearray()
    for y in range(PICTURE):
        for x in range(PICTURE):
            rows += bytes((BASE + x, BASE + y, MARK))
    ppm = path + ".ppm"
    with open(ppm, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (PICTURE, PICTURE))
        f.write(rows)
    subprocess.run(["convert", ppm, path], check=True)
    os.remove(ppm)


def read_frame(path):
    out = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
    if len(out) != WIDTH * HEIGHT * 3:
        raise ValueError("frame of %d bytes" % len(out))
    return out


def clusters(frame):
    """Origins of the picture shown by the pieces, with the pixels that show each one."""
    votes = {}
    for sy in range(0, HEIGHT - 60):  # the bar area is never board
        row = sy * WIDTH * 3
        for sx in range(WIDTH):
            i = row + sx * 3
            b = frame[i + 2]
            if b < MARK - 1 or b > MARK + 1:
                continue
            x = frame[i] - BASE
            y = frame[i + 1] - BASE
            if not (0 <= x < PICTURE and 0 <= y < PICTURE):
                continue
            votes.setdefault((sx - x, sy - y), []).append((sx, sy))
    # Merge origins within 3 pixels of a stronger one (filtering blurs the colours by a pixel).
    merged = []
    for origin, pixels in sorted(votes.items(), key=lambda kv: -len(kv[1])):
        for m in merged:
            if abs(m["origin"][0] - origin[0]) <= 3 and abs(m["origin"][1] - origin[1]) <= 3:
                m["pixels"].extend(pixels)
                break
        else:
            merged.append({"origin": origin, "pixels": list(pixels)})
    return [m for m in merged if len(m["pixels"]) >= MIN_CLUSTER]


def grab_point(cluster):
    """A pixel of the cluster whose 7 x 7 neighbourhood is all the cluster: surely the piece's own
    pixel and not an edge, nearest the cluster's centre."""
    pixels = set(cluster["pixels"])
    cx = sum(p[0] for p in pixels) / len(pixels)
    cy = sum(p[1] for p in pixels) / len(pixels)
    best = None
    for (x, y) in pixels:
        if not (10 <= x < WIDTH - 10 and 10 <= y < HEIGHT - 70):
            continue
        if all((x + dx, y + dy) in pixels for dx in (-3, 0, 3) for dy in (-3, 0, 3)):
            d = (x - cx) ** 2 + (y - cy) ** 2
            if best is None or d < best[0]:
                best = (d, x, y)
    return None if best is None else (best[1], best[2])


def bar_is_white(frame):
    i = (590 * WIDTH + 10) * 3
    return frame[i:i + 3] == b"\xff\xff\xff"


def first_flash(game, after):
    """The first dumped frame after `after` whose bar is not white: the colours are cycling."""
    for name in game.frame_names():
        if name <= after:
            continue
        try:
            frame = read_frame(os.path.join(game.frames, name))
        except (ValueError, subprocess.CalledProcessError):
            continue  # still being written
        if not bar_is_white(frame):
            return name
    return None


class Game:
    def __init__(self, game, work):
        self.work = work
        self.frames = os.path.join(work, "frames")
        os.makedirs(self.frames)
        bin_dir = os.path.join(work, "bin")
        os.makedirs(bin_dir)
        shutil.copy(game, os.path.join(bin_dir, "Game"))
        shutil.copy(os.path.join(os.path.dirname(game), "PictureDecoder"), os.path.join(bin_dir, "PictureDecoder"))
        shutil.copytree(os.path.join(os.path.dirname(game), "Gfx"), os.path.join(bin_dir, "Gfx"))
        self.picture = os.path.join(work, "kot.png")
        make_picture(self.picture)
        env = dict(os.environ)
        env.update(LIBGL_ALWAYS_SOFTWARE="1", SDL_AUDIODRIVER="dummy", D3D9_NO_VSYNC="1",
                   D3D9_DUMP_PATH=os.path.join(self.frames, "f%06d.png"), D3D9_DUMP_FRAMES="every:2")
        # In a sanitizer build the exit code is what this test checks; Mesa's software driver is
        # unloaded before the leak check at exit, so the few bytes it keeps show up under no
        # module name that a suppression could match. Leaks of the game's own code are the unit
        # tests' to find.
        env["ASAN_OPTIONS"] = (env.get("ASAN_OPTIONS", "") + ":detect_leaks=0").lstrip(":")
        self.out = open(os.path.join(work, "out.log"), "wb")
        self.proc = subprocess.Popen(["./Game", "--window", "--new:%s?4" % self.picture], cwd=bin_dir, env=env,
                                     stdout=self.out, stderr=subprocess.STDOUT)
        step("wait for Game's window")

        def window():
            if not self.alive():
                fail("Game ended with %d" % self.proc.returncode)
            r = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid)],
                               capture_output=True, text=True)
            return (r.stdout.split()[0], None) if r.stdout.strip() else (None, "no window yet")
        self.window = until(30, "Game's window", window)

    def xdo(self, *args):
        waiting.run("xdotool", *args)

    def move(self, x, y):
        self.xdo("mousemove", "--window", self.window, x, y)

    def key(self, name):
        self.move(400, 300)
        self.xdo("windowfocus", self.window)
        self.xdo("key", "--window", self.window, name)

    def frame_names(self):
        return sorted(os.listdir(self.frames))

    def whole_frame(self):
        """The newest frame written to its end (its PNG's IEND chunk), or None."""
        for name in reversed(self.frame_names()[-2:]):
            with open(os.path.join(self.frames, name), "rb") as f:
                f.seek(0, os.SEEK_END)
                if f.tell() >= 12:
                    f.seek(-8, os.SEEK_END)
                    if f.read(4) == b"IEND":
                        return name
        return None

    def latest_frame(self, later=6):
        """A whole frame drawn at least `later` frames after the newest one now: input sent
        before has been read by then."""
        now = self.whole_frame()
        wanted = (int(now[1:-4]) if now else 0) + later

        def check():
            if not self.alive():
                fail("Game ended with %d" % self.proc.returncode)
            name = self.whole_frame()
            if name and int(name[1:-4]) >= wanted:
                return name, None
            return None, "newest whole frame %s" % name
        return until(30, "frame %d" % wanted, check)

    def drag(self, start, delta):
        x, y = start
        self.move(x, y)
        self.latest_frame()
        self.xdo("mousedown", "--window", self.window, 1)
        self.latest_frame()
        steps = 6
        for i in range(1, steps + 1):
            self.move(x + delta[0] * i // steps, y + delta[1] * i // steps)
        self.latest_frame()  # the piece follows the cursor
        self.xdo("mouseup", "--window", self.window, 1)

    def alive(self):
        return self.proc.poll() is None


def main():
    game_path = sys.argv[1]
    work = tempfile.mkdtemp(prefix="play_e2e.")
    game = None
    display = waiting.OwnDisplay()
    try:
        display.__enter__()
        step("start Game")
        game = Game(game_path, work)

        # Past the intro and the logo: any key, until a frame shows pieces.
        step("pass intro and logo until pieces show")

        def pieces():
            if not game.alive():
                fail("Game ended with %d" % game.proc.returncode)
            game.key("a")
            time.sleep(0.2)
            name = game.whole_frame()
            found = clusters(read_frame(os.path.join(game.frames, name))) if name else []
            return (found, None) if len(found) >= 2 else (None, "%s: %d pieces" % (name, len(found)))
        found = until(90, "a frame with two pieces or more", pieces)
        log("game screen up,", len(found), "pieces seen")
        step("drag the pieces together")

        # Move the biggest piece so that the picture's origin lies at (54, 54): the whole picture
        # then fits the 308 x 308 board wherever its pieces belong. Every other piece follows it.
        target = (54, 54)
        flash = None
        for attempt in range(16):
            frame_name = game.latest_frame()
            frame = read_frame(os.path.join(game.frames, frame_name))
            found = clusters(frame)
            log("frame", frame_name, "origins", [c["origin"] for c in found], "sizes",
                [len(c["pixels"]) for c in found])
            loose = [c for c in found if abs(c["origin"][0] - target[0]) > 3 or abs(c["origin"][1] - target[1]) > 3]
            if not loose:
                # Everything seen lies in place; a piece may still hide under the others.
                game.key("shift")
                continue
            piece = max(found, key=lambda c: len(c["pixels"])) if len(loose) == len(found) else loose[0]
            grab = grab_point(piece)
            if grab is None:
                game.key("shift")  # raise the loose pieces: another one comes to the top
                continue
            delta = (target[0] - piece["origin"][0], target[1] - piece["origin"][1])
            log("drag", piece["origin"], "at", grab, "by", delta)
            before = game.frame_names()[-1]
            game.drag(grab, delta)
            game.latest_frame(10)  # the drop has been read and drawn
            flash = first_flash(game, before)
            if flash:
                break
        if flash is None:
            fail("the puzzle was not solved (no colour flash after a drop)")
        log("flash seen in", flash)

        # After three seconds the colours are back and the whole picture lies in one piece.
        step("wait for the colours to come back")

        def settled():
            name = game.latest_frame(2)
            frame = read_frame(os.path.join(game.frames, name))
            if not bar_is_white(frame):
                return None, "%s: the bar is not white" % name
            return (frame, None)
        frame = until(20, "the white bar after the flash", settled)
        found = clusters(frame)
        if len(found) != 1 or abs(found[0]["origin"][0] - target[0]) > 3:
            fail("the picture is not whole: %s" % [c["origin"] for c in found])

        # Leave: Esc asks, the yes button answers.
        step("leave: Esc, then the yes button")
        game.key("Escape")
        game.latest_frame(10)
        game.move(345, 330)
        game.xdo("click", "--window", game.window, 1)
        try:
            code = game.proc.wait(timeout=30 * waiting.SLOWDOWN)
        except subprocess.TimeoutExpired:
            fail("Game did not end after yes")
        if code != 0:
            fail("exit code %d" % code)
        log("solved, flashed and left with exit code 0")
        return 0
    except Exception as e:  # report and fail
        log("FAILED:", e if isinstance(e, waiting.Failure) else "in step '%s': %r" % (waiting.step_name, e))
        if game:
            game.out.flush()
            with open(os.path.join(work, "out.log"), "rb") as f:
                sys.stdout.write(f.read().decode("latin-1"))
        return 1
    finally:
        if game and game.alive():
            game.proc.kill()
            game.proc.wait()
        display.__exit__()
        if os.environ.get("PLAY_E2E_KEEP"):
            log("kept", work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
