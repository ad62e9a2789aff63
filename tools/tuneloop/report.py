#!/usr/bin/env python3
"""One self-contained HTML page about a tuning run: the losses per epoch, the piece-square tables
before and after as board heat maps, the largest changes, and the logs' summaries. Standard library
only; the charts are inline SVG."""

import argparse
import html
import json
import math
import os
import re
import subprocess
import sys
import tempfile

PIECES = "PNBRQK"
PIECE_NAMES = {"P": "pawn", "N": "knight", "B": "bishop", "R": "rook", "Q": "queen", "K": "king"}


def read_listings(tuner, before_path, after_path):
    """Two tuneparams listings as {name: value} each, in listing order. The tuner reads them with
    the listing's own reader (quorvane-tune --compare), so the format is parsed in one place."""
    try:
        run = subprocess.run([tuner, "--compare", before_path, after_path], capture_output=True,
                             text=True, check=False)
    except OSError as e:
        sys.exit(f"report: cannot run {tuner}: {e.strerror}")
    if run.returncode != 0:
        sys.exit(f"report: {run.stderr.strip() or tuner + ' --compare failed'}")
    before, after = {}, {}
    for line in run.stdout.splitlines():
        name, old, new = line.split("\t")
        before[name], after[name] = int(old), int(new)
    return before, after


def read_losses(path):
    """Rows of the tuner's --log table: (epoch, train, valid or None)."""
    rows = []
    if not path:
        return rows
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.split()
            if len(fields) < 3 or fields[0] == "epoch":
                continue
            valid = None if fields[2] == "-" else float(fields[2])
            rows.append((int(fields[0]), float(fields[1]), valid))
    return rows


def read_lines(path, keep):
    if not path:
        return []
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return [line.rstrip("\n") for line in f if keep(line)]
    except OSError:
        return []


def generation_row(number, folder):
    """One generation's table row: its data and fit from tune.log, its games from match.json."""
    def found(pattern, text, default="—"):
        m = re.search(pattern, text)
        return m.group(1) if m else default

    fit = "\n".join(read_lines(os.path.join(folder, "tune.log"), lambda l: l.startswith("quorvane-tune:")))
    try:
        with open(os.path.join(folder, "match.json"), encoding="utf-8") as f:
            match = json.load(f)
    except (OSError, ValueError):
        match = {}
    names = " vs ".join(str(e) for e in match.get("engines", []))
    games = "—"
    if "games" in match:
        games = (f"{match['games']}: {match.get('wins')}-{match.get('draws')}-{match.get('losses')},"
                 f" pentanomial {match.get('pentanomial')}")
    elo = "—"
    if isinstance(match.get("elo"), (int, float)):
        elo = f"{match['elo']:+.1f} &plusmn; {match.get('error') or 0:.1f}"
    sprt = match.get("sprt") or {}
    decision = sprt.get("decision") or "none"
    if isinstance(match.get("llr"), (int, float)) and sprt:
        decision += f" (LLR {match['llr']:.2f})"
    cells = [str(number), found(r"(\d+) positions,", fit), found(r"K = ([0-9.e+-]+)", fit),
             found(r"start loss: .*valid ([0-9.]+)", fit) + " &rarr; "
             + found(r"final loss .*valid ([0-9.]+)", fit),
             found(r"(\d+) parameters changed", fit), html.escape(names), html.escape(games), elo,
             html.escape(decision)]
    return "<tr>" + "".join(f"<td>{c}</td>" for c in cells) + "</tr>"


def tables(values, piece):
    """The middlegame and endgame tables of one piece, 64 entries each (index 0 = a8)."""
    mg = [values.get(f"pstMg_{piece}_{i}", 0) for i in range(64)]
    if piece == "P":
        eg = [values.get(f"pawnEg_{i}", 0) for i in range(64)]
    elif piece == "K":
        eg = [values.get(f"kingEg_{i}", 0) for i in range(64)]
    else:  # the endgame value is the middlegame one plus its delta
        eg = [mg[i] + values.get(f"pstEgDelta_{piece}_{i}", 0) for i in range(64)]
    return mg, eg


def colour(value, scale):
    """Blue for negative, white for 0, red for positive, full at |value| = scale."""
    t = max(-1.0, min(1.0, value / scale)) if scale else 0.0
    if t >= 0:
        return f"rgb(255,{round(255 * (1 - t))},{round(255 * (1 - t))})"
    return f"rgb({round(255 * (1 + t))},{round(255 * (1 + t))},255)"


def board_svg(cells, scale, title):
    size = 30
    parts = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{8 * size + 16}" height="{8 * size + 34}"'
             f' font-family="sans-serif">',
             f'<text x="{4 * size + 16}" y="12" font-size="12" text-anchor="middle">'
             f'{html.escape(title)}</text>']
    for i, v in enumerate(cells):
        row, col = divmod(i, 8)  # row 0 is the 8th rank
        x, y = 16 + col * size, 18 + row * size
        parts.append(f'<rect x="{x}" y="{y}" width="{size}" height="{size}" fill="{colour(v, scale)}"'
                     f' stroke="#999" stroke-width="0.5"><title>{"abcdefgh"[col]}{8 - row}: {v}</title></rect>')
        parts.append(f'<text x="{x + size / 2}" y="{y + size / 2 + 4}" font-size="10"'
                     f' text-anchor="middle">{v}</text>')
    for r in range(8):
        parts.append(f'<text x="6" y="{18 + r * size + size / 2 + 4}" font-size="10"'
                     f' text-anchor="middle">{8 - r}</text>')
    for c in range(8):
        parts.append(f'<text x="{16 + c * size + size / 2}" y="{18 + 8 * size + 12}" font-size="10"'
                     f' text-anchor="middle">{"abcdefgh"[c]}</text>')
    parts.append("</svg>")
    return "".join(parts)


def loss_svg(rows):
    if not rows:
        return "<p>No losses were logged.</p>"
    width, height, left, right, top, bottom = 640, 320, 70, 20, 20, 40
    epochs = [r[0] for r in rows]
    ys = [r[1] for r in rows] + [r[2] for r in rows if r[2] is not None]
    lo, hi = min(ys), max(ys)
    if hi - lo < 1e-12:
        lo, hi = lo - 1e-6, hi + 1e-6
    pad = (hi - lo) * 0.05
    lo, hi = lo - pad, hi + pad
    first, last = min(epochs), max(epochs)
    span = max(1, last - first)

    def px(epoch):
        return left + (epoch - first) / span * (width - left - right)

    def py(loss):
        return top + (hi - loss) / (hi - lo) * (height - top - bottom)

    parts = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}"'
             f' font-family="sans-serif" font-size="11">',
             f'<rect x="{left}" y="{top}" width="{width - left - right}" height="{height - top - bottom}"'
             f' fill="none" stroke="#888"/>']
    for k in range(6):
        loss = lo + (hi - lo) * k / 5
        y = py(loss)
        parts.append(f'<line x1="{left}" x2="{width - right}" y1="{y:.1f}" y2="{y:.1f}" stroke="#eee"/>')
        parts.append(f'<text x="{left - 4}" y="{y + 4:.1f}" text-anchor="end">{loss:.5f}</text>')
    step = max(1, math.ceil(span / 10))
    for epoch in range(first, last + 1, step):
        x = px(epoch)
        parts.append(f'<text x="{x:.1f}" y="{height - bottom + 14}" text-anchor="middle">{epoch}</text>')
    parts.append(f'<text x="{(left + width - right) / 2}" y="{height - 6}" text-anchor="middle">epoch'
                 f' (0 = the starting values)</text>')
    series = [("train", "#c0392b", "", [(r[0], r[1]) for r in rows]),
              ("validation", "#2471a3", ' stroke-dasharray="6 3"',
               [(r[0], r[2]) for r in rows if r[2] is not None])]
    for n, (name, stroke, dash, points) in enumerate(series):
        if not points:
            continue
        path = " ".join(f"{px(e):.1f},{py(v):.1f}" for e, v in points)
        parts.append(f'<polyline points="{path}" fill="none" stroke="{stroke}" stroke-width="2"{dash}/>')
        for e, v in points:
            parts.append(f'<circle cx="{px(e):.1f}" cy="{py(v):.1f}" r="2" fill="{stroke}">'
                         f'<title>epoch {e}: {name} {v:.7f}</title></circle>')
        lx = width - right - 150
        ly = top + 16 + 16 * n
        parts.append(f'<line x1="{lx}" x2="{lx + 24}" y1="{ly - 4}" y2="{ly - 4}" stroke="{stroke}"'
                     f' stroke-width="2"{dash}/><text x="{lx + 30}" y="{ly}">{name}</text>')
    parts.append("</svg>")
    return "".join(parts)


def pre(lines):
    return "<pre>" + html.escape("\n".join(lines)) + "</pre>" if lines else ""


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--out", required=True)
    ap.add_argument("--before", required=True, help="listing of the starting values")
    ap.add_argument("--after", required=True, help="listing of the tuned values")
    ap.add_argument("--losses", help="the tuner's --log table (none for a listing given as it is)")
    ap.add_argument("--tuner", default="quorvane-tune",
                    help="the quorvane-tune that reads the listings (default: quorvane-tune on PATH)")
    ap.add_argument("--tune-log")
    ap.add_argument("--datagen-log")
    ap.add_argument("--match-log")
    ap.add_argument("--generation", action="append", default=[], metavar="FOLDER",
                    help="a generation's folder (tune.log, match.json), in order; repeatable")
    a = ap.parse_args()

    before, after = read_listings(a.tuner, a.before, a.after)
    rows = read_losses(a.losses)
    tune_lines = read_lines(a.tune_log, lambda l: l.startswith("quorvane-tune:"))
    datagen_lines = read_lines(a.datagen_log, lambda l: l.startswith("datagen:"))
    match_lines = read_lines(a.match_log, lambda l: not l.startswith("["))

    body = ["<h1>Tuning run</h1>"]
    if a.generation:
        body += ["<h2>Generations</h2>",
                 "<p>Each generation after the first fits data made by the last accepted engine, starting"
                 " from its values, and plays it; the loop stops at the first one its SPRT does not"
                 " accept. Losses are on each fit's validation games. The sections below are the first"
                 " generation's; each later one has a page in its folder.</p>",
                 "<table><tr><th>generation</th><th>positions</th><th>K</th><th>valid loss</th>"
                 "<th>changed</th><th>match</th><th>games: W-D-L</th><th>Elo</th><th>SPRT</th></tr>"]
        body += [generation_row(i, folder) for i, folder in enumerate(a.generation, 1)]
        body.append("</table>")
    if datagen_lines:
        body += ["<h2>Data</h2>", pre(datagen_lines)]
    body += ["<h2>Loss per epoch</h2>",
             "<p>Mean squared error between the target and the predicted result, on the training"
             " positions and on the held-out validation games.</p>", loss_svg(rows)]
    if rows:
        last = rows[-1]
        valid = "" if last[2] is None else f", validation {rows[0][2]:.7f} &rarr; {last[2]:.7f}"
        body.append(f"<p>Epoch {rows[0][0]} to {last[0]}: training {rows[0][1]:.7f} &rarr;"
                    f" {last[1]:.7f}{valid}.</p>")
    body += ["<h2>Fit</h2>", pre(tune_lines)]
    if match_lines:
        body += ["<h2>Match: tuned vs default</h2>", pre(match_lines)]

    body.append("<h2>Piece-square tables</h2><p>White's view, rank 8 at the top. Before and after"
                " share one colour scale per table; the change has its own. Hover a square for its"
                " value.</p>")
    for piece in PIECES:
        mg0, eg0 = tables(before, piece)
        mg1, eg1 = tables(after, piece)
        body.append(f"<h3>{PIECE_NAMES[piece]}</h3><div class=row>")
        for phase, old, new in (("middlegame", mg0, mg1), ("endgame", eg0, eg1)):
            scale = max(1, max(abs(v) for v in old + new))
            change = [n - o for o, n in zip(old, new)]
            body.append(board_svg(old, scale, f"{phase} before"))
            body.append(board_svg(new, scale, f"{phase} after"))
            body.append(board_svg(change, max(1, max(abs(v) for v in change)), f"{phase} change"))
        body.append("</div>")

    changes = sorted(((after[n] - v, n, v) for n, v in before.items() if n in after and after[n] != v),
                     key=lambda c: (-abs(c[0]), c[1]))
    body.append(f"<h2>Largest changes</h2><p>{len(changes)} of {len(before)} parameters changed.</p>")
    if changes:
        body.append("<table><tr><th>parameter</th><th>before</th><th>after</th><th>change</th></tr>")
        for delta, name, old in changes[:30]:
            body.append(f"<tr><td>{html.escape(name)}</td><td>{old}</td><td>{after[name]}</td>"
                        f"<td>{delta:+d}</td></tr>")
        body.append("</table>")

    page = ("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Tuning run</title><style>"
            "body{font-family:sans-serif;margin:2em;max-width:1400px}"
            ".row{display:flex;flex-wrap:wrap;gap:6px}pre{background:#f6f6f6;padding:8px}"
            "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:2px 8px;"
            "text-align:right}</style></head><body>" + "\n".join(body) + "</body></html>\n")
    write_whole(a.out, page)


def write_whole(path, text):
    """Writes text to a temporary file beside path and renames it over path: a full disk or an
    interrupt leaves no partial page (and an earlier page as it was)."""
    directory = os.path.dirname(os.path.abspath(path))
    temp = None
    try:
        fd, temp = tempfile.mkstemp(prefix=os.path.basename(path) + ".tmp-", dir=directory)
        with os.fdopen(fd, "w", encoding="utf-8") as f:
            f.write(text)
            f.flush()
            os.fsync(f.fileno())
        os.chmod(temp, 0o666 & ~current_umask())
        os.replace(temp, path)
    except OSError as e:
        if temp:
            try:
                os.unlink(temp)
            except OSError:
                pass
        sys.exit(f"report: cannot write {path}: {e.strerror}")


def current_umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


if __name__ == "__main__":
    main()
