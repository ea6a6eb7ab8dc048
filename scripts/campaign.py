#!/usr/bin/env python3
"""The generated campaign: places the anti-virus test file into the folder that Torvane's reference
driver watches, in at least a hundred ways generated from a seed, and prints every placement the
driver missed.

Each placement combines a name (a stem and an ending: case, blanks, dots, trailing dots and blanks,
device names, non-Latin and astral characters, characters only another program outside Wine can
write, full-width extensions, long names; sometimes a twin that differs only in case), a path
(plain, or longer than 260 characters up to 2,600), a depth below the watched folder (its folders
made before the watch began or just now), a way of arriving (written, renamed in, copied, moved in,
hard linked in, its folder moved in, an old clean file cut and written again, written again after
the driver deleted it, renamed back after the driver renamed it, moved out of an excluded folder)
and a hand: this script, as another program outside Wine, or tests/bench/campaign_placer.exe, a
Windows program under Wine that reaches names through the long \\\\?\\ form. Beside each placement,
in the same folder and the same way, a control with a plain name is placed after it.

Torvane.exe runs from a program folder of its own, started by the placer as a user starts it, with
the default settings but for the action: first "rename" (the phase where files come back after the
driver renamed them), then "delete" (where they are written again after it deleted them). A file is
caught when the journal has its DETECT line, the report its Renamed: or Deleted: line, and its name
is gone from the folder. A placement counts as missed only once a file placed after it (a sentinel)
was caught and the driver has said nothing more of it for a while (longer while it says it will
try again).
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time

# ---- The dimensions --------------------------------------------------------------------------------

WORDS = ["setup", "invoice", "report", "patch", "game", "photo", "driver", "update", "tool", "notes"]
STEMS = {
    "plain": lambda r: r.choice(WORDS),
    "case": lambda r: "".join(c.upper() if r.random() < 0.5 else c for c in r.choice(WORDS)),
    "blanks": lambda r: r.choice(["%s %s", "%s  %s", " %s%s", "%s %s "]) % (r.choice(WORDS), r.choice(WORDS)),
    "dots": lambda r: r.choice(["%s..%s", ".%s.%s", "%s.%s.v2", "..%s%s"]) % (r.choice(WORDS), r.choice(WORDS)),
    "device name": lambda r: r.choice(["nul", "con", "aux", "prn", "com1", "lpt1", "NUL", "Con", "com9", "lpt3"]),
    "non-Latin": lambda r: r.choice(["вирус", "ιός", "病毒", "וירוס", "فيروس", "वायरस", "ウイルス", "été", "Ärger"]),
    "astral": lambda r: r.choice(["😀", "𝔳𝔦𝔯𝔲𝔰", "𠀋𠀍", "𐌰𐌱𐌲", "🦠virus", "a𝕏b"]),
    "outside-only characters": lambda r: r.choice(["q?", "s*", "b\\", "c:", "l<g>", "p|i", '"q"', "a?b*c:d"])
                                         + r.choice(WORDS),
    "long name": lambda r: (r.choice(WORDS) * 40)[:r.randint(200, 240)],
}
ENDINGS = {
    "plain": lambda r: "." + r.choice(["com", "exe"]),
    "case": lambda r: "." + r.choice(["COM", "Com", "cOm", "EXE", "eXe"]),
    "full-width extension": lambda r: "." + r.choice(["ｃｏｍ", "ＣＯＭ", "ｅｘｅ", "Ｅｘｅ"]),
    "trailing dot": lambda r: "." + r.choice(["com.", "exe..", "com..."]),
    "trailing blank": lambda r: "." + r.choice(["com ", "exe  ", "com   "]),
    "trailing dot and blank": lambda r: "." + r.choice(["com. ", "com .", "exe . .", "com .. "]),
}
WAYS = ["write", "rename in", "copy", "move in", "hard link in", "folder moved in", "truncate and rewrite",
        "written again after deleted", "renamed back", "out of an excluded folder"]
PREPARED_WAYS = {"truncate and rewrite", "written again after deleted", "renamed back", "out of an excluded folder"}
PHASE_OF_WAY = {"written again after deleted": "delete", "renamed back": "rename"}
ACTIONS = {"rename": 2, "delete": 4}
DEPTHS = [1, 1, 2, 2, 3, 5, 9, 17, 33, 40]
LONG_PATHS = [270, 600, 1100, 1300, 2600]
TWIN_WAYS = {"write", "rename in", "copy", "move in", "hard link in", "folder moved in", "written again after deleted"}


class Placement:
    """One placement: its dimensions, its files (the placement, a case twin, the control) and how it went."""

    def __init__(self, number):
        self.number = number
        self.tag = "p%04d" % number
        self.files = []          # Target records: the placement's file(s) first, the control last
        self.note = ""           # why it could not be placed, or what the driver said of it
        self.unplaced = False    # not placed (or not further: its first copy was missed)
        self.first_missed = []   # files missed at their first copy (written again, renamed back)
        self.missed = []         # the placement's files the driver missed
        self.control_missed = False
        self.activity = 0.0      # when the journal last named it
        self.wait_until = 0.0    # the driver said it would try again until about then

    def describe(self):
        length = len(self.files[0].win) if self.files else 0
        tree = "folders made " + self.tree if self.way != "folder moved in" else "folders staged"
        form = "stem %s, ending %s%s" % (self.stem, self.ending, ", case twin" if self.twin else "")
        return "%s %s: name %r (%s), way %s, by %s, depth %d (%s), path %d characters" % (
            self.tag, self.phase, self.name, form, self.way, self.side, self.depth, tree, length)

    def dimensions(self):
        return [("phase", self.phase), ("stem", self.stem), ("ending", self.ending),
                ("twin", "case twin" if self.twin else "single"), ("path", self.path), ("way", self.way),
                ("hand", self.side), ("depth", str(self.depth)), ("folders", self.tree)]


def cycle(rng, values, count):
    """count values drawn as shuffled rounds of all of them, so that each comes up evenly."""
    out = []
    while len(out) < count:
        round_ = list(values)
        rng.shuffle(round_)
        out += round_
    return out[:count]


def finish(p, rng):
    """The name from the stem and ending chosen, and what follows from the way and the name."""
    p.name = STEMS[p.stem](rng) + ENDINGS[p.ending](rng)
    if p.twin:
        p.name = "Ca" + p.name          # letters whose case the twin turns round
    p.twin_name = p.name.swapcase() if p.twin else None
    if p.twin or p.stem == "outside-only characters":
        p.side = "outside"              # no Windows program can make these names
    if p.way in PHASE_OF_WAY:
        p.phase = PHASE_OF_WAY[p.way]
    if p.way == "folder moved in":
        p.tree = "-"
    return p


def generate(seed, count):
    """count placements, each dimension drawn on its own, so that they combine."""
    rng = random.Random(seed)
    stems, endings, ways = cycle(rng, STEMS, count), cycle(rng, ENDINGS, count), cycle(rng, WAYS, count)
    placements = []
    for i in range(count):
        p = Placement(i + 1)
        p.stem, p.ending, p.way = stems[i], endings[i], ways[i]
        p.twin = p.way in TWIN_WAYS and rng.random() < 0.15
        p.side = rng.choice(["outside", "wine"])
        p.phase = rng.choice(list(ACTIONS))
        p.depth = rng.choice(DEPTHS)
        p.path = "long %d" % rng.choice(LONG_PATHS) if rng.random() < 0.15 else "plain"
        p.tree = rng.choice(["before the watch", "just now"])
        placements.append(finish(p, rng))
    return placements


def isolate(seed):
    """One placement for every value of every dimension, by each hand that can make it, all other
    dimensions plain: which values miss on their own."""
    rng = random.Random(seed)
    values = [{"stem": v} for v in STEMS] + [{"ending": v} for v in ENDINGS] + [{"way": v} for v in WAYS] \
        + [{"depth": v, "tree": t} for v in sorted(set(DEPTHS)) for t in ("before the watch", "just now")] \
        + [{"path": "long %d" % v} for v in LONG_PATHS] + [{"twin": True}]
    placements = []
    for overrides in values:
        for side in ("outside", "wine"):
            p = Placement(len(placements) + 1)
            p.stem, p.ending, p.way, p.twin, p.side = "plain", "plain", "write", False, side
            p.phase, p.depth, p.path, p.tree = list(ACTIONS)[len(placements) % 2], 1, "plain", "before the watch"
            for key, value in overrides.items():
                setattr(p, key, value)
            finish(p, rng)
            if p.side == side:
                placements.append(p)
    return placements


# ---- Paths: components below the program folder, seen from Windows and from Linux ----------------

class Area:
    def __init__(self, build, name):
        self.name = name
        self.win = "C:\\torvane-e2e\\bench_" + name
        self.unix = os.path.join(build, "wineprefix", "drive_c", "torvane-e2e", "bench_" + name)

    def w(self, parts):
        return "\\".join([self.win] + list(parts))

    def u(self, parts):
        return os.path.join(self.unix, *parts)


def chain(area, p):
    """The folders from the watched folder down to the placement's file, long enough for its path."""
    folders = [p.tag] + ["d%d" % d for d in range(2, p.depth + 1)]
    if p.path == "plain":
        return ["watched"] + folders
    target = int(p.path.split()[1])
    length = len(area.w(["watched"] + folders + [p.name]))
    i = 1
    while length < target:
        if i == len(folders):
            folders.append("d%d" % (i + 1))
            length += 1 + len(folders[-1])
        grow = min(target - length, 240 - len(folders[i]))
        folders[i] += "x" * grow
        length += grow
        i += 1
    return ["watched"] + folders


class Target:
    """One file the driver should catch, and what the journal and the report said of it so far."""

    def __init__(self, area, parts, owner, control=False):
        self.parts, self.owner, self.control = list(parts), owner, control
        self.win, self.unix = area.w(parts), area.u(parts)
        name = parts[-1]
        fuzzy = "".join(re.escape(c) if " " <= c <= "~" else r"(?:[\x80-\xff]{1,4}|\?{1,2}|[!-~])" for c in name)
        path = r"(?:\\\\\?\\)?(?i:%s)\\%s" % (re.escape(area.w(parts[:-1])), fuzzy)
        self.path_re = re.compile(path + "$")
        self.outcome_re = re.compile(path + "(?: to .*)?$")
        self.detected = self.reported = self.scanned = 0
        self.base = (0, 0, 0)

    def mark(self):
        self.base = (self.detected, self.reported, self.scanned)

    def caught(self):
        return self.detected > self.base[0] and self.reported > self.base[1] and not os.path.lexists(self.unix)

    def scanned_since(self):
        return self.scanned > self.base[2]

    def seen(self):
        return "DETECT %s, report %s, %s" % ("yes" if self.detected > self.base[0] else "no",
                                              "yes" if self.reported > self.base[1] else "no",
                                              "still there" if os.path.lexists(self.unix) else "gone")


# ---- The driver's word: the journal and the report, read as they grow ----------------------------

TAG_RE = re.compile(r"\\watched\\(?:(p\d{4})\\|sentinel\\(s\d{4})\.)", re.I)
AGAIN_RE = re.compile(r"again in (\d+) s")


class Watcher:
    def __init__(self, area):
        self.area = area
        self.offsets = {"journal.txt": 0, "Torvane.REP": 0}
        self.rest = {"journal.txt": b"", "Torvane.REP": b""}
        self.by_tag = {}
        self.lines = []

    def add(self, tag, target):
        self.by_tag.setdefault(tag.lower(), []).append(target)

    def new_lines(self, name):
        try:
            with open(os.path.join(self.area.unix, name), "rb") as f:
                f.seek(self.offsets[name])
                data = self.rest[name] + f.read()
                self.offsets[name] = f.tell()
        except FileNotFoundError:
            return []
        *lines, self.rest[name] = data.split(b"\n")
        return [line.rstrip(b"\r").decode("latin-1") for line in lines]

    def poll(self):
        now = time.time()
        for line in self.new_lines("journal.txt"):
            self.lines.append(line)
            self.journal_line(line, now)
        for line in self.new_lines("Torvane.REP"):
            for word in ("Renamed: ", "Deleted: "):
                at = line.find(word)
                if at >= 0:
                    self.count(line[at + len(word):], "reported", lambda t: t.outcome_re)

    def journal_line(self, line, now):
        kind, _, rest = line.partition(" ")
        if kind == "DETECT":
            self.count(rest, "detected", lambda t: t.path_re)
        elif kind == "SCAN":
            self.count(rest, "scanned", lambda t: t.path_re)
        match = TAG_RE.search(line)
        if match and kind in ("RETRY", "SKIP", "WALK", "ACTION", "ARCHIVE", "QUEUE", "WATCH"):
            for target in self.by_tag.get((match.group(1) or match.group(2)).lower(), []):
                owner = target.owner
                owner.activity = now
                again = AGAIN_RE.search(line)
                if again:
                    owner.wait_until = max(owner.wait_until, now + int(again.group(1)))
                if not target.control and kind in ("SKIP", "RETRY", "WALK") and not owner.note:
                    owner.note = "the journal: " + line[:160]

    def count(self, path, field, regex):
        match = TAG_RE.search(path)
        if not match:
            return
        # The control's plain name first: a placement's name with wildcards must not claim its lines.
        targets = sorted(self.by_tag.get((match.group(1) or match.group(2)).lower(), []), key=lambda t: not t.control)
        for target in targets:
            if regex(target).match(path):
                setattr(target, field, getattr(target, field) + 1)
                return
        # A long path the driver cut to fit its line: it goes to the first file it may name that has
        # no such line yet. Whether the file is gone from its name still tells the outcome.
        cut = path.split(" to ")[0].lower()
        cut = cut[4:] if cut.startswith("\\\\?\\") else cut
        if len(cut) < 200:
            return
        index = ("detected", "reported", "scanned").index(field)
        for target in targets:
            if target.win.lower().startswith(cut) and getattr(target, field) == target.base[index]:
                setattr(target, field, getattr(target, field) + 1)
                return


# ---- The hands: this script outside Wine, and the placer under Wine ------------------------------

class Outside:
    name = "outside"

    def __init__(self, area):
        self.area = area

    def write(self, parts, data):
        with open(self.area.u(parts), "wb") as f:
            f.write(data)

    def rewrite(self, parts, data):
        path = self.area.u(parts)
        before = os.stat(path)
        with open(path, "r+b") as f:
            f.truncate(0)
            f.write(data)
        os.utime(path, ns=(before.st_atime_ns, before.st_mtime_ns))

    def rename(self, source, target):
        os.rename(self.area.u(source), self.area.u(target))

    def copy(self, source, target):
        shutil.copy2(self.area.u(source), self.area.u(target))

    def link(self, source, target):
        os.link(self.area.u(source), self.area.u(target))

    def mkdir(self, parts):
        os.makedirs(self.area.u(parts), exist_ok=True)


class Wine:
    name = "wine"

    def __init__(self, build):
        placer = os.path.join(build, "tests", "bench", "campaign_placer.exe")
        command = ["xvfb-run", "-a", "-s", "-screen 0 800x600x24", os.path.join(build, "wine-exec"), placer]
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.area = None

    def ask(self, *fields):
        self.process.stdin.write(("\t".join(fields) + "\n").encode("utf-8"))
        self.process.stdin.flush()
        answer = self.process.stdout.readline().decode("utf-8", "replace").strip()
        if not answer.startswith("ok"):
            raise OSError("placer: %s" % (answer or "ended"))
        return answer[3:]

    def write(self, parts, data):
        self.ask("write", self.area.w(parts), data.hex())

    def rewrite(self, parts, data):
        self.ask("rewrite", self.area.w(parts), data.hex())

    def rename(self, source, target):
        self.ask("rename", self.area.w(source), self.area.w(target))

    def copy(self, source, target):
        self.ask("copy", self.area.w(source), self.area.w(target))

    def link(self, source, target):
        self.ask("link", self.area.w(source), self.area.w(target))

    def mkdir(self, parts):
        self.ask("mkdir", self.area.w(parts))

    def close(self):
        try:
            self.process.stdin.write(b"quit\n")
            self.process.stdin.close()
        except OSError:
            pass
        try:
            self.process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.process.kill()     # our own child, by its id
            self.process.wait()


# ---- One phase: Torvane started with one action, the placements in batches -------------------------

class Campaign:
    def __init__(self, args, wine, sample):
        self.args, self.wine, self.sample = args, wine, sample
        self.sentinels = 0
        self.stalled = False     # a sentinel was not caught: the driver no longer handles files

    def clean(self, p, k):
        """Bytes of a clean file as long as the test file, different for every file."""
        text = ("clean %s %s " % (p.tag, k)).encode() * 20
        return text[:len(self.sample)]

    def hand(self, p):
        return self.outside if p.side == "outside" else self.wine

    def setup_phase(self, phase, placements):
        area = self.area = Area(self.args.build, "campaign-" + phase)
        shutil.rmtree(area.unix, ignore_errors=True)
        folder = self.wine.ask("prepare", "campaign-" + phase, str(ACTIONS[phase]),
                               "[+%s]" % area.w(["watched", "excluded"]))
        if folder != area.win:
            raise OSError("placer prepared %s, not %s" % (folder, area.win))
        self.wine.area, self.outside = area, Outside(area)
        self.watcher = Watcher(area)
        for parts in (["staging"], ["watched", "sentinel"], ["watched", "excluded"]):
            self.outside.mkdir(parts)
        for p in placements:
            self.add_files(p)
            self.outside.mkdir(["staging", p.tag])
            if p.way == "out of an excluded folder":
                self.outside.mkdir(["watched", "excluded", p.tag])
            if p.tree == "before the watch":
                self.outside.mkdir(p.files[0].parts[:-1])

    def add_files(self, p):
        folders = chain(self.area, p)
        names = [p.name] + ([p.twin_name] if p.twin else []) + ["ctl%04d.com" % p.number]
        p.files = [Target(self.area, folders + [n], p, control=n == names[-1]) for n in names]
        for t in p.files:
            self.watcher.add(p.tag, t)

    def start(self):
        self.wine.ask("start")
        watched = self.area.w(["watched"]).lower()
        if not self.wait(lambda: any(line.lower().startswith("watch " + watched) for line in self.watcher.lines), 60):
            raise OSError("the driver journalled no WATCH line for %s" % watched)

    def wait(self, condition, seconds):
        end = time.time() + seconds
        while True:
            self.watcher.poll()
            if condition():
                return True
            if time.time() > end:
                return False
            time.sleep(0.05)

    def sentinel(self):
        self.sentinels += 1
        owner = Placement(0)
        owner.tag = "s%04d" % self.sentinels
        target = Target(self.area, ["watched", "sentinel", owner.tag + ".com"], owner)
        self.watcher.add(owner.tag, target)
        target.mark()
        self.outside.write(target.parts, self.sample)
        return target

    # The steps of each way: before (files that must be there first) and arrive (the placement).
    def before(self, p, t):
        hand, k = self.hand(p), t.parts[-1]
        if p.tree == "just now":
            hand.mkdir(t.parts[:-1])
        if p.way == "truncate and rewrite":
            hand.write(t.parts, self.clean(p, k))
        elif p.way in ("written again after deleted", "renamed back"):
            hand.write(t.parts, self.sample)
        elif p.way == "out of an excluded folder":
            hand.write(["watched", "excluded", p.tag, k], self.sample)

    def arrive(self, p, t):
        hand, k = self.hand(p), "m" if t is p.files[0] else "c" if t.control else "t"
        source = ["staging", p.tag, "src-%s.bin" % k]
        if p.tree == "just now" and p.way not in PREPARED_WAYS:
            hand.mkdir(t.parts[:-1])
        if p.way in ("write", "written again after deleted"):
            hand.write(t.parts, self.sample)
        elif p.way == "rename in":
            part = t.parts[:-1] + ["dl-%s-%s.part" % (p.tag, k)]
            hand.write(part, self.sample)
            hand.rename(part, t.parts)
        elif p.way in ("copy", "move in", "hard link in"):
            hand.write(source, self.sample)
            {"copy": hand.copy, "move in": hand.rename, "hard link in": hand.link}[p.way](source, t.parts)
        elif p.way == "truncate and rewrite":
            hand.rewrite(t.parts, self.sample)
        elif p.way == "renamed back":
            hand.rename(t.renamed, t.parts)
        elif p.way == "out of an excluded folder":
            hand.rename(["watched", "excluded", p.tag, t.parts[-1]], t.parts)
        elif p.way == "folder moved in":
            staged = ["staging"] + t.parts[1:]
            hand.mkdir(staged[:-1])
            hand.write(staged, self.sample)
            if t.control:
                hand.rename(["staging", p.tag], ["watched", p.tag])

    def renamed_name(self, t):
        """Where the driver renamed a file to: the one new file in its folder of the same kind."""
        folder = os.path.dirname(t.unix)
        names = [n for n in os.listdir(folder) if n != t.parts[-1] and n.startswith("ctl") == t.control
                 and not n.endswith(".part")]
        return t.parts[:-1] + names if len(names) == 1 else None

    def stage(self, batch, step, done):
        """Takes step for every file of the batch (each placement's files, then its control), then a
        sentinel; once the sentinel is caught, waits while a file is not done and the driver may
        still be at it: until grace seconds after the sentinel and after the last journal line that
        named it, longer while it said it would try again (at most 75 s). 1 when the sentinel came."""
        for p in batch:
            for t in p.files:
                t.mark()
        for p in batch:
            for t in p.files:
                try:
                    step(p, t)
                except (OSError, ValueError) as error:
                    p.note = "not placed: %s: %s" % (t.parts[-1], error)
                    p.unplaced = True
                    break
        sentinel = self.sentinel()
        if not self.wait(sentinel.caught, 120):
            self.stalled = True
            return False
        came = time.time()
        grace = self.args.grace

        def settled():
            open_ = [p for p in batch if not p.unplaced and not all(done(t) for t in p.files)]
            now = time.time()
            return not open_ or now > came + 75 or all(
                now > max(came, p.activity, p.wait_until) + grace for p in open_)
        self.wait(settled, 80)
        return True

    def batch(self, batch):
        for p in batch:
            p.unplaced, p.first_missed = False, []
        prepared = [p for p in batch if p.way in PREPARED_WAYS]
        if prepared:
            condition = {"truncate and rewrite": Target.scanned_since, "out of an excluded folder": lambda t: True}
            if not self.stage(prepared, self.before, lambda t: condition.get(t.owner.way, Target.caught)(t)):
                for p in batch:
                    p.unplaced, p.note = True, "not placed: the driver caught no sentinel after the first copies"
                return
            for p in prepared:
                self.check_before(p)
        came = self.stage([p for p in batch if not p.unplaced], self.arrive, Target.caught)
        for p in batch:
            if p.unplaced and not p.first_missed:
                continue        # reported as not placed
            missed = p.first_missed or [t for t in p.files if not t.caught()]
            p.missed = [t for t in missed if not t.control]
            p.control_missed = p.files[-1] in missed
            if not came and not p.unplaced and missed:
                p.note = (p.note + "; " if p.note else "") + "the driver caught no later sentinel within 120 s"

    def check_before(self, p):
        """The first copy of a file written again or renamed back must have been caught (deleted or
        renamed) before: where it was not, the placement is missed already, and not placed further."""
        if p.way not in ("written again after deleted", "renamed back"):
            return
        p.first_missed = [t for t in p.files if not t.caught()]
        if p.first_missed:
            p.unplaced = True
            p.note = "first copy not caught: %s%s" % (
                "; ".join("%s (%s)" % (t.parts[-1], t.seen()) for t in p.first_missed), "; " + p.note if p.note else "")
            return
        if p.way == "renamed back":
            for t in p.files:
                t.renamed = self.renamed_name(t)
                if t.renamed is None:
                    p.unplaced = True
                    p.note = "not placed: no renamed file beside %s" % t.parts[-1]
                    return

    def phase(self, phase, placements):
        self.setup_phase(phase, placements)
        self.start()
        size = self.args.batch
        for i in range(0, len(placements), size):
            batch = placements[i:i + size]
            if self.stalled:
                for p in batch:
                    p.unplaced, p.note = True, "not placed: the driver caught no sentinel before"
                continue
            self.batch(batch)
            missed = sum(1 for p in batch if p.missed or p.control_missed)
            print("campaign: %s phase, batch %d of %d: %d placements, %d missed"
                  % (phase, i // size + 1, (len(placements) + size - 1) // size, len(batch), missed), flush=True)
        self.wine.ask("stop")


# ---- What was missed ---------------------------------------------------------------------------------

def report(placements, seed, seconds):
    missed = [p for p in placements if p.missed or p.control_missed]
    unplaced = [p for p in placements if p.unplaced and p.note.startswith("not placed")]
    for p in missed:
        what = "placement and its control" if p.missed and p.control_missed else \
            "control only" if not p.missed else "placement (control caught)"
        seen = "" if p.first_missed else "; ".join(
            "%s: %s" % (t.parts[-1], t.seen()) for t in p.missed + ([p.files[-1]] if p.control_missed else []))
        print("MISSED %s\n    %s; %s" % (p.describe(), what, "; ".join(x for x in (seen, p.note) if x)))
    for p in unplaced:
        if p not in missed:
            print("NOT PLACED %s\n    %s" % (p.describe(), p.note))
    print()
    print("misses by dimension (placements missed / placed with that value):")
    dimensions = {}
    for p in placements:
        for key, value in p.dimensions():
            row = dimensions.setdefault(key, {}).setdefault(value, [0, 0, 0])
            row[0] += 1
            row[1] += 1 if p.missed else 0
            row[2] += 1 if p.control_missed else 0
    for key, values in dimensions.items():
        cells = ["%s %d/%d%s" % (v, n[1], n[0], " (controls %d)" % n[2] if n[2] else "")
                 for v, n in sorted(values.items())]
        print("  %-8s %s" % (key + ":", ", ".join(cells)))
    controls = sum(1 for p in placements if p.control_missed)
    print("campaign seed=%d: %d placements (each beside a control), %d missed, %d controls missed, %d not placed; %d s"
          % (seed, len(placements), sum(1 for p in placements if p.missed), controls, len(unplaced), seconds))
    return 1 if missed or unplaced else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="the x86_64 build folder")
    parser.add_argument("--seed", type=int, default=None, help="the generator's seed (default: from the clock)")
    parser.add_argument("--count", type=int, default=120, help="placements (at least 100 make a campaign)")
    parser.add_argument("--batch", type=int, default=12, help="placements placed before one sentinel")
    parser.add_argument("--grace", type=float, default=5.0, help="seconds of the driver's silence before a miss")
    parser.add_argument("--isolate", action="store_true",
                        help="instead: every value of every dimension alone, beside plain values of the others")
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    os.environ.setdefault("TORVANE_BUILD", args.build)   # where the placer finds Torvane.exe and the driver
    seed = args.seed if args.seed is not None else int(time.time()) % 100000
    placements = isolate(seed) if args.isolate else generate(seed, args.count)
    print("campaign: seed %d, %d placements%s (repeat with --seed %d)"
          % (seed, len(placements), ", each dimension alone" if args.isolate else "", seed), flush=True)
    if len(placements) < 100:
        print("campaign: fewer than 100 placements: not a whole campaign", flush=True)
    started = time.time()
    wine = Wine(args.build)
    failed = 0
    try:
        campaign = Campaign(args, wine, bytes.fromhex(wine.ask("sample")))
        for phase in ACTIONS:
            campaign.phase(phase, [p for p in placements if p.phase == phase])
    except OSError as error:
        print("campaign: %s" % error, file=sys.stderr)
        failed = 2
    finally:
        wine.close()
    for p in placements:
        if not p.files:
            p.unplaced, p.note = True, "not placed: the campaign stopped before"
    print("campaign: the driver's journals and reports are in %s-*" % Area(args.build, "campaign").unix)
    return max(report(placements, seed, time.time() - started), failed)


if __name__ == "__main__":
    sys.exit(main())
