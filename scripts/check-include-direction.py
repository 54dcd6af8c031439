#!/usr/bin/env python3
"""Fails when a source file includes a header of a module it may not use.

Every module may include its own headers and those of the modules listed for
it below, and only orvihttp/tls may include mbedTLS (<mbedtls/...>, <psa/...>); the list follows the direction the code is layered in. Quoted
includes are resolved from the source root (or, failing that, from the
including file's folder); a header outside every module, such as one of the
standard library in quotes, is not judged.

    scripts/check-include-direction.py [source root, default: this checkout]
"""

import os
import re
import sys

# Module folder -> the other modules it may include. desktop/ opens windows:
# only the host, the plugin's object and its settings window may use it, so
# the engine below them reports failures instead of showing them.
ALLOWED = {
    "foundation": [],
    "plugin_api": [],
    "desktop": ["foundation"],
    "host": ["desktop", "foundation", "plugin_api"],
    "orvihttp/config": ["foundation"],
    "orvihttp/logging": ["orvihttp/config", "foundation"],
    "orvihttp/content": ["orvihttp/logging", "orvihttp/config", "foundation"],
    # tls wraps mbedTLS; only the folders that serve or show TLS use it.
    "orvihttp/tls": ["orvihttp/config", "foundation"],
    # Accounts and folder rights; passwords are hashed by tls.
    "orvihttp/access": ["orvihttp/tls", "orvihttp/config", "foundation"],
    "orvihttp/http": ["orvihttp/access", "orvihttp/tls", "orvihttp/content", "orvihttp/logging",
                      "orvihttp/config",
                      "foundation"],
    "orvihttp/ui": ["orvihttp/http", "orvihttp/access", "orvihttp/tls", "orvihttp/content",
                    "orvihttp/logging",
                    "orvihttp/config", "desktop", "foundation", "plugin_api"],
    "orvihttp/plugin": ["orvihttp/ui", "orvihttp/http", "orvihttp/access", "orvihttp/tls",
                        "orvihttp/content",
                        "orvihttp/logging", "orvihttp/config", "desktop", "foundation",
                        "plugin_api"],
    # Each tool is a module of its own.
    "tools/*": ["orvihttp/access", "orvihttp/tls", "orvihttp/content", "orvihttp/logging",
                "orvihttp/config", "foundation",
                "plugin_api"],
}

SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
TLS_LIBRARY_INCLUDE = re.compile(r'^\s*#\s*include\s*[<"](mbedtls|psa)/')
TLS_MODULE = "orvihttp/tls"


def module_of(relative_path):
    """The module a path (relative to the root, "/"-separated) belongs to."""
    parts = relative_path.split("/")
    if parts[0] == "tools" and len(parts) > 2:
        return "tools/" + parts[1]
    if parts[0] == "orvihttp" and len(parts) > 2:
        return "orvihttp/" + parts[1]
    if parts[0] in ("foundation", "desktop", "plugin_api", "host") and len(parts) > 1:
        return parts[0]
    return None


def allowed_for(module):
    if module.startswith("tools/"):
        return ALLOWED["tools/*"]
    return ALLOWED.get(module)


def scanned_files(root):
    for top in ("foundation", "desktop", "plugin_api", "host", "orvihttp", "tools"):
        for folder, _, names in os.walk(os.path.join(root, top)):
            for name in sorted(names):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.join(folder, name)


def resolve(root, including_file, included):
    """The included header relative to the root, or None when not ours."""
    for base in (root, os.path.dirname(including_file)):
        candidate = os.path.normpath(os.path.join(base, included))
        if os.path.isfile(candidate):
            relative = os.path.relpath(candidate, root).replace(os.sep, "/")
            if not relative.startswith("../"):
                return relative
    return None


def violations(root):
    found = []
    for path in scanned_files(root):
        relative = os.path.relpath(path, root).replace(os.sep, "/")
        module = module_of(relative)
        if module is None:
            continue
        allowed = allowed_for(module)
        if allowed is None:
            found.append(f"{relative}: folder {module} has no place in the module order")
            continue
        with open(path, encoding="latin-1") as source:
            for number, line in enumerate(source, 1):
                if module != TLS_MODULE and TLS_LIBRARY_INCLUDE.match(line):
                    found.append(f"{relative}:{number}: only {TLS_MODULE} may include mbedTLS")
                    continue
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = resolve(root, path, match.group(1))
                target_module = module_of(target) if target else None
                if target_module is None or target_module == module:
                    continue
                if target_module not in allowed:
                    found.append(f"{relative}:{number}: {module} may not include "
                                 f"{match.group(1)} ({target_module})")
    return found


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), ".."))
    found = violations(root)
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) against the module order")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
