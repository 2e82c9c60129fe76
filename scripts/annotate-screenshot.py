#!/usr/bin/env python3
"""Writes an English-labelled copy of a dialog screenshot for the English guide: a numbered
marker by each control and, below the dialog, the numbers with the controls' English names.

Usage: annotate-screenshot.py <dialog name> <screenshot> <output> <left,top,width,height>...
The rectangles are the dialog's controls in template order, relative to the screenshot.
"""
import subprocess
import sys

FONT = "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf"  # Debian's fonts-ipafont-gothic
MARKER = "#c62828"

# English names of the controls, by their place in the template, and where each marker goes:
# "right" of the control, "inside" its top-right corner, or on its top-left "corner". None
# leaves a control unlabelled.
LABELS = {
    "settings-dialog": [
        ("Suppressor keys: while one of these is held, a keystroke leaves the cursor alone", "right"),
        ("Left Shift", "right"), ("Left Ctrl", "right"), ("Left Alt", "right"),
        ("Right Shift", "right"), ("Right Ctrl", "right"), ("Right Alt", "right"),
        ("Space", "right"),
        ("Exclusion list: applications in which typing never hides the cursor", "right"),
        ("Executable paths of the excluded applications", "inside"),
        ("Add...: choose running applications or an executable file", "right"),
        ("Remove: takes the selected application off the list", "right"),
        ("Exit: saves the keys and ends Vimlet", "corner"),
        ("About: name and version", "corner"),
        ("Open Startup folder (to start Vimlet at log-on)", "corner"),
        ("Close: saves the keys and closes the dialog", "corner"),
    ],
    "add-application-dialog": [
        None,
        ("Running applications (select one or more)", "inside"),
        ("Add the selected applications", "corner"),
        ("Other application...: choose an executable file", "corner"),
        ("Cancel", "corner"),
    ],
}
RADIUS = 11
LINE = 26


def marker_centre(where, left, top, width, height):
    first_line = top + min(height, 34) // 2
    if where == "right":
        return left + width + RADIUS + 2, first_line
    if where == "inside":
        return left + width - RADIUS - 4, top + RADIUS + 4
    return left, top


def main(name, screenshot, output, *rectangles):
    labels = LABELS[name]
    if len(rectangles) != len(labels):
        sys.exit(f"{name}: {len(rectangles)} controls, {len(labels)} labels")
    width, height = map(int, subprocess.check_output(
        ["identify", "-format", "%w %h", screenshot]).split())
    numbered = [(rect, label) for rect, label in zip(rectangles, labels) if label]

    draw = []
    legend = []
    for number, (rect, (label, where)) in enumerate(numbered, start=1):
        x, y = marker_centre(where, *map(int, rect.split(",")))
        digits_left = x - (5 if number < 10 else 9)
        draw += ["-fill", MARKER, "-draw", f"circle {x},{y} {x + RADIUS},{y}",
                 "-fill", "white", "-draw", f"text {digits_left},{y + 6} '{number}'"]
        baseline = height + LINE * number
        legend += ["-fill", MARKER, "-draw", f"text 12,{baseline} '{number}'",
                   "-fill", "black", "-draw", f"text 44,{baseline} '{label}'"]
    canvas = f"{max(width + 2 * RADIUS + 4, 760)}x{height + LINE * len(numbered) + 14}"
    subprocess.check_call(
        ["convert", screenshot, "-background", "white", "-gravity", "northwest", "-extent", canvas,
         "+gravity", "-font", FONT, "-pointsize", "15", *draw, "-pointsize", "18", *legend,
         "-strip", output])
    print(f"wrote {output}")


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
