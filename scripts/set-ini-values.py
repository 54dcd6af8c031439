#!/usr/bin/env python3
"""Sets keys in a settings file of the Dovetab v2 format, keeping every other
line where it is.

    set-ini-values.py <file> Key=Value [Key=Value ...]

Values are written as given: Yes/No, a number, or a double-quoted string.
"""
import sys

HEADER = b"# Dovetab v2\r\n\r\n"


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    path = sys.argv[1]
    updates = []
    for item in sys.argv[2:]:
        key, sep, value = item.partition("=")
        if not sep or not key or any(c in key for c in " \t"):
            sys.exit(f"set-ini-values: not a Key=Value pair: {item}")
        updates.append((key.encode(), value.encode("latin-1")))
    try:
        with open(path, "rb") as f:
            text = f.read()
    except FileNotFoundError:
        text = b""
    lines = []
    if text.startswith(HEADER):
        body = text[len(HEADER):]
        # Only lines ended by CR LF count; a trailing fragment is dropped, as
        # the server itself would ignore it.
        lines = body.split(b"\r\n")[:-1]
    pending = dict(updates)
    result = []
    for line in lines:
        name = line.split(b" ", 1)[0].split(b"\t", 1)[0]
        if name in pending:
            result.append(name + b" = " + pending.pop(name))
        else:
            result.append(line)
    for key, value in updates:
        if key in pending:
            result.append(key + b" = " + pending.pop(key))
    with open(path, "wb") as f:
        f.write(HEADER + b"".join(line + b"\r\n" for line in result))


if __name__ == "__main__":
    main()
