"""The files bench/run writes beside its Markdown table: a CSV of every
measurement and an SVG bar chart of the ratios to the peer, one bar group per
net. Only the standard library; the chart is checked by parsing it back."""
import csv
import xml.etree.ElementTree as ElementTree
from xml.sax.saxutils import escape

CSV_COLUMNS = ("program", "row", "seconds_per_pass", "work_per_pass", "unit", "work_per_second",
               "fraction_of_ceiling")


def write_csv(path, best, ceiling):
    """One line per (program, row) best measurement. fraction_of_ceiling is the
    rate over the float-term ceiling, for the connection rows of the engine."""
    with open(path, "w", newline="") as f:
        out = csv.writer(f)
        out.writerow(CSV_COLUMNS)
        for (program, row), (seconds, work, unit) in sorted(best.items()):
            rate = work / seconds if seconds > 0 else 0.0
            fraction = ""
            if program == "koru32" and unit == "conn" and ceiling:
                fraction = f"{rate / ceiling:.4f}"
            out.writerow((program, row, f"{seconds:.9g}", f"{work:.9g}", unit, f"{rate:.6g}", fraction))


# Bar colours, one per operation, in the order of the legend.
COLOURS = ("#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b", "#e377c2", "#7f7f7f")


def chart_svg(title, groups, operations, targets=()):
    """groups: [(net label, {operation: ratio})]; operations: the bar order.
    targets: ratios drawn as dashed lines (1 is always drawn solid)."""
    bar, gap, left, top, height = 11, 18, 60, 40, 260
    width_group = bar * len(operations) + gap
    width = left + width_group * max(1, len(groups)) + 20
    legend_top = top + height + 56
    total_height = legend_top + 18 * ((len(operations) + 1) // 2) + 10
    ratios = [r for _, values in groups for r in values.values()] + list(targets) + [1.0]
    scale_max = max(2.0, max(ratios) * 1.1)

    def y_of(ratio):
        return top + height - height * min(ratio, scale_max) / scale_max

    parts = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{total_height}" '
             f'viewBox="0 0 {width} {total_height}" font-family="sans-serif" font-size="11">',
             f'<title>{escape(title)}</title>',
             f'<rect width="{width}" height="{total_height}" fill="white"/>',
             f'<text x="{left}" y="20" font-size="13">{escape(title)}</text>']
    tick = 0.5 if scale_max <= 4 else 1.0 if scale_max <= 8 else 2.0
    value = 0.0
    while value <= scale_max + 1e-9:
        y = y_of(value)
        parts.append(f'<line x1="{left}" x2="{width - 10}" y1="{y:.1f}" y2="{y:.1f}" stroke="#e0e0e0"/>')
        parts.append(f'<text x="{left - 6}" y="{y + 4:.1f}" text-anchor="end">{value:g}×</text>')
        value += tick
    for g, (label, values) in enumerate(groups):
        x0 = left + gap / 2 + g * width_group
        for o, operation in enumerate(operations):
            if operation not in values:
                continue
            ratio = values[operation]
            y = y_of(ratio)
            parts.append(f'<rect x="{x0 + o * bar:.1f}" y="{y:.1f}" width="{bar - 1}" '
                         f'height="{top + height - y:.1f}" fill="{COLOURS[o % len(COLOURS)]}">'
                         f'<title>{escape(label)}: {escape(operation)} {ratio:.2f}×</title></rect>')
        parts.append(f'<text x="{x0 + bar * len(operations) / 2:.1f}" y="{top + height + 16}" '
                     f'text-anchor="middle">{escape(label)}</text>')
    parts.append(f'<line x1="{left}" x2="{width - 10}" y1="{y_of(1.0):.1f}" y2="{y_of(1.0):.1f}" '
                 f'stroke="black"/>')
    for target in targets:
        parts.append(f'<line x1="{left}" x2="{width - 10}" y1="{y_of(target):.1f}" y2="{y_of(target):.1f}" '
                     f'stroke="black" stroke-dasharray="4 3"/>')
    parts.append(f'<text x="12" y="{top + height / 2}" transform="rotate(-90 12 {top + height / 2})" '
                 f'text-anchor="middle">ours / peer (throughput)</text>')
    for o, operation in enumerate(operations):
        x = left + (o % 2) * 300
        y = legend_top + 18 * (o // 2)
        parts.append(f'<rect x="{x}" y="{y - 9}" width="10" height="10" fill="{COLOURS[o % len(COLOURS)]}"/>')
        parts.append(f'<text x="{x + 14}" y="{y}">{escape(operation)}</text>')
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


def write_svg(path, title, groups, operations, targets=()):
    text = chart_svg(title, groups, operations, targets)
    # A chart that does not parse is a fault of this script: refuse to write it.
    root = ElementTree.fromstring(text)
    if root.tag != "{http://www.w3.org/2000/svg}svg":
        raise ValueError("the chart's root element is not an SVG element")
    with open(path, "w") as f:
        f.write(text)
