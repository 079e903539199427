#!/usr/bin/env python3
"""Prints the benchmark figures of a results.json as a Markdown table and, with --readme, replaces the
table between the bench markers of README.md with it."""
import argparse
import json
import pathlib
import sys

START = "<!-- bench:start -->"
END = "<!-- bench:end -->"


def number(value):
    if isinstance(value, (int, float)):
        return f"{value:.3g}" if abs(value) < 1000 else f"{value:,.0f}"
    return str(value)


def table(figures):
    lines = ["| figure | value | baseline | baseline value | ratio | target |",
             "|---|---|---|---|---|---|"]
    for f in figures:
        lines.append("| {} | {} {} | {} | {} | {} | {} |".format(
            f.get("name", ""), number(f.get("value")), f.get("unit", ""), f.get("baseline", ""),
            number(f.get("baseline_value")), number(f.get("ratio")), f.get("target", "")))
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("results")
    parser.add_argument("--readme")
    args = parser.parse_args()
    figures = json.loads(pathlib.Path(args.results).read_text())
    text = table(figures)
    print(text)
    if args.readme:
        readme = pathlib.Path(args.readme)
        content = readme.read_text()
        if START in content and END in content:
            head, rest = content.split(START, 1)
            _, tail = rest.split(END, 1)
            readme.write_text(head + START + "\n" + text + "\n" + END + tail)
    return 0


if __name__ == "__main__":
    sys.exit(main())
