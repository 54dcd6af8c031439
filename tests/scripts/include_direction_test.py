#!/usr/bin/env python3
"""Runs the include-direction checker on small made-up source trees.

    include_direction_test.py <path of check-include-direction.py>
"""

import os
import subprocess
import sys
import tempfile
import unittest

CHECKER = sys.argv[1] if len(sys.argv) > 1 else None


def run_checker(files):
    """Writes `files` (path -> text) into a fresh root and checks it."""
    with tempfile.TemporaryDirectory() as root:
        for path, text in files.items():
            full = os.path.join(root, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w") as out:
                out.write(text)
        done = subprocess.run([sys.executable, CHECKER, root], capture_output=True, text=True)
        return done.returncode, done.stdout


# A tree that follows the order: every module uses the one right below it.
LAYERED = {
    "foundation/clock.h": "#pragma once\n",
    "plugin_api/plugin_api.h": "#pragma once\n",
    "desktop/box.h": '#include "foundation/clock.h"\n',
    "orvihttp/config/keys.h": '#include "foundation/clock.h"\n',
    "orvihttp/logging/log.h": '#include "orvihttp/config/keys.h"\n',
    "orvihttp/content/page.h": '#include "orvihttp/logging/log.h"\n',
    "orvihttp/tls/session.cpp": '#include "orvihttp/config/keys.h"\n#include <mbedtls/ssl.h>\n',
    "orvihttp/http/send.cpp": '#include "orvihttp/content/page.h"\n#include <string>\n',
    "orvihttp/ui/window.cpp": '#include "orvihttp/http/send.cpp"\n#include "desktop/box.h"\n',
    "orvihttp/plugin/plugin.cpp":
        '#include "orvihttp/ui/window.cpp"\n#include "plugin_api/plugin_api.h"\n'
        '#include "desktop/box.h"\n',
    "host/main.cpp": '#include "foundation/clock.h"\n#include "plugin_api/plugin_api.h"\n'
                     '#include "desktop/box.h"\n',
    "tools/dir/main.cpp": '#include "orvihttp/content/page.h"\n#include "helper.h"\n',
    "tools/dir/helper.h": "#pragma once\n",
}


class IncludeDirection(unittest.TestCase):
    def test_layered_tree_passes(self):
        code, output = run_checker(LAYERED)
        self.assertEqual(code, 0, output)
        self.assertEqual(output, "")

    def test_includes_against_the_order_fail_with_file_and_line(self):
        cases = {
            "orvihttp/logging/log.cpp": ("\n#include \"orvihttp/http/send.cpp\"\n", ":2:"),
            "orvihttp/content/list.cpp": ('#include "orvihttp/plugin/plugin.cpp"\n', ":1:"),
            "orvihttp/http/x.cpp": ('#include "plugin_api/plugin_api.h"\n', ":1:"),
            "host/tray.cpp": ('#include "orvihttp/config/keys.h"\n', ":1:"),
            "foundation/x.cpp": ('#include "plugin_api/plugin_api.h"\n', ":1:"),
            "tools/dir/x.cpp": ('#include "orvihttp/http/send.cpp"\n', ":1:"),
            "tools/other/x.cpp": ('#include "tools/dir/helper.h"\n', ":1:"),
            # A relative include is judged by the file it reaches.
            "orvihttp/logging/y.cpp": ('#include "../http/send.cpp"\n', ":1:"),
            # Windows are for the front ends only.
            "orvihttp/http/box.cpp": ('#include "desktop/box.h"\n', ":1:"),
            "orvihttp/content/box.cpp": ('#include "desktop/box.h"\n', ":1:"),
            "orvihttp/logging/box.cpp": ('#include "desktop/box.h"\n', ":1:"),
            "orvihttp/config/box.h": ('#include "desktop/box.h"\n', ":1:"),
            "foundation/box.cpp": ('#include "desktop/box.h"\n', ":1:"),
            "tools/dir/box.cpp": ('#include "desktop/box.h"\n', ":1:"),
            "desktop/x.cpp": ('#include "orvihttp/http/send.cpp"\n', ":1:"),
            # mbedTLS stays behind the tls folder, and tls sits below http.
            "orvihttp/http/y.cpp": ("#include <mbedtls/ssl.h>\n", ":1:"),
            "orvihttp/ui/y.cpp": ("\n#include <psa/crypto.h>\n", ":2:"),
            "orvihttp/tls/y.cpp": ('#include "orvihttp/http/send.cpp"\n', ":1:"),
            "orvihttp/content/y.cpp": ('#include "orvihttp/tls/session.cpp"\n', ":1:"),
        }
        for path, (text, line) in cases.items():
            with self.subTest(path=path):
                code, output = run_checker({**LAYERED, path: text})
                self.assertEqual(code, 1, output)
                self.assertIn(path + line, output)

    def test_a_folder_outside_the_order_fails(self):
        code, output = run_checker({**LAYERED, "orvihttp/extra/a.cpp": "int a;\n"})
        self.assertEqual(code, 1)
        self.assertIn("orvihttp/extra", output)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
