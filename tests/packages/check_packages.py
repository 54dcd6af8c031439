#!/usr/bin/env python3
"""Checks the packages in dist/ as a user gets them.

    check_packages.py linux <dist> <work>
    check_packages.py windows-installer <dist> <work>   (inside wine-session.sh)
    check_packages.py windows-portable <dist> <work>    (inside wine-session.sh)
    check_packages.py windows-moved <dist> <work>       (inside wine-session.sh)
    check_packages.py imports <dist> <work>

Every check prints PASS or FAIL; the exit status is 1 when any failed. The
Windows checks expect WINEPREFIX to be a fresh prefix of their own and a
display, as scripts/wine-session.sh provides.
"""

import glob
import hashlib
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tarfile
import time
import urllib.request
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SITE = os.path.join(ROOT, "sample-site")
SET_INI = os.path.join(ROOT, "scripts", "set-ini-values.py")
PRODUCT = "Orvi HTTP Server"
WINDOWS_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
    "ole32.dll", "oleaut32.dll", "shell32.dll", "user32.dll", "winmm.dll", "ws2_32.dll",
    "shlwapi.dll",
    # Random numbers for TLS (BCryptGenRandom), part of Windows since Vista.
    "bcrypt.dll",
}

failures = []


def check(name, ok, detail=""):
    if ok:
        print(f"PASS {name}", flush=True)
    else:
        failures.append(name)
        print(f"FAIL {name}: {detail}", flush=True)
    return ok


def package(dist, pattern):
    found = sorted(glob.glob(os.path.join(dist, pattern)))
    if len(found) != 1:
        sys.exit(f"check_packages: expected one {pattern} in {dist}, found {found}")
    return found[0]


def version_of(path):
    return re.match(r"OrviHTTP-(\d+\.\d+\.\d+)-", os.path.basename(path)).group(1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def get(port, path="/", seconds=2):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}{path}", timeout=seconds) as answer:
        return answer.status, answer.headers.get("Server", ""), answer.read()


def wait_for_answer(port, process, seconds):
    """The start page once the server answers; None when it never did."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        if process is not None and process.poll() is not None:
            return None
        try:
            return get(port)
        except OSError:
            time.sleep(0.3)
    return None


def site_file(name):
    with open(os.path.join(SITE, name), "rb") as f:
        return f.read()


def check_serves(what, port, process, version, seconds):
    answer = wait_for_answer(port, process, seconds)
    if not check(f"{what} answers on port {port}", answer is not None, "no answer"):
        return False
    status, server, body = answer
    check(f"{what} serves the sample site's start page", status == 200 and body == site_file(
        "index.html"), f"status {status}, {len(body)} bytes")
    check(f"{what} names itself with the package's version", server == f"{PRODUCT} {version}",
          f"Server header {server!r}")
    status, _, body = get(port, "/style.css")
    check(f"{what} serves /style.css", status == 200 and body == site_file("style.css"),
          f"status {status}")
    return True


def set_ini(path, *values):
    subprocess.run([sys.executable, SET_INI, path, *values], check=True)


def ini_value(path, key):
    with open(path, "rb") as f:
        for line in f.read().split(b"\r\n"):
            name, _, value = line.partition(b" = ")
            if name == key.encode():
                return value.decode("latin-1")
    return None


# --- Linux ------------------------------------------------------------------


def check_linux(dist, work):
    archive = package(dist, "OrviHTTP-*-linux-*.tar.gz")
    version = version_of(archive)
    home = os.path.join(work, "clean home")
    os.makedirs(home)
    with tarfile.open(archive) as tar:
        tar.extractall(home)
    folder = os.path.join(home, "orvi-http-server")
    plugin = os.path.join(folder, "Plugins", PRODUCT)
    expected = ["Trellan", "orvihttp-dir", "orvihttp-users", "orvi-http-server.service",
                os.path.join("Plugins", PRODUCT, "OrviHTTP.so"),
                os.path.join("Plugins", PRODUCT, "OrviHTTP.html")]
    missing = [name for name in expected if not os.path.isfile(os.path.join(folder, name))]
    check("the archive unpacks to orvi-http-server/ with the host, plugin, tools and unit",
          not missing, f"missing {missing}")
    stray = [n for n in os.listdir(folder) if n not in ("Trellan", "orvihttp-dir", "orvihttp-users",
                                                       "Plugins", "orvi-http-server.service")]
    check("the archive holds no settings or data files", not stray, f"also {stray}")
    unstripped = subprocess.run(["file", os.path.join(folder, "Trellan")], capture_output=True,
                                text=True).stdout
    check("the binaries are stripped", "not stripped" not in unstripped, unstripped.strip())

    tool = subprocess.run([os.path.join(folder, "orvihttp-dir"), "--version"],
                          capture_output=True, text=True)
    check("orvihttp-dir --version shows the package's version",
          tool.stdout == f"orvihttp-dir ({PRODUCT}) {version}\n", repr(tool.stdout))

    # The unit, read as systemd would for a user whose home is `home`.
    with open(os.path.join(folder, "orvi-http-server.service")) as f:
        unit = dict(re.findall(r"^(\w+)=(.*)$", f.read(), re.M))
    exec_start = unit.get("ExecStart", "").replace("%h", home)
    directory = unit.get("WorkingDirectory", "").replace("%h", home)
    check("the unit's ExecStart is the unpacked host",
          os.path.realpath(exec_start) == os.path.realpath(os.path.join(folder, "Trellan")),
          exec_start)
    check("the unit stops the host with SIGTERM", unit.get("KillSignal") == "SIGTERM",
          unit.get("KillSignal"))
    check("the unit is a user unit enabled for the user's session",
          unit.get("WantedBy") == "default.target", unit.get("WantedBy"))

    subprocess.run([os.path.join(folder, "orvihttp-dir"), "--latin1-names",
                    os.path.join(plugin, "OrviHTTP.dir"), "import", "/", SITE],
                   check=True, stdout=subprocess.DEVNULL)
    port = free_port()
    set_ini(os.path.join(plugin, "OrviHTTP.ini"), "FirstTime=No", "Active=Yes", f"Port={port}",
            "PHPEnable=No")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(work, "config"))
    log = open(os.path.join(work, "linux-host.log"), "wb")
    host = subprocess.Popen([exec_start], cwd=directory, env=env, stdout=log,
                            stderr=subprocess.STDOUT)
    try:
        check_serves("the unpacked Linux host", port, host, version, 20)
    finally:
        host.send_signal(signal.SIGTERM)
        try:
            code = host.wait(15)
        except subprocess.TimeoutExpired:
            host.kill()
            code = "still running after 15 s"
        log.close()
    check("SIGTERM stops the host with exit status 0", code == 0, f"status {code}")
    check("the host went through its exit: Trellan.ini written, Temp removed",
          os.path.isfile(os.path.join(folder, "Trellan.ini")) and
          not os.path.exists(os.path.join(folder, "Temp")), str(os.listdir(folder)))
    check("the port is free again", port_free(port), f"port {port}")


def port_free(port):
    # Connections the server closed linger in TIME_WAIT on its port; like the
    # server itself on its next start, reuse the address, so only a socket
    # still listening makes the port busy.
    with socket.socket() as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


# --- Windows under Wine -----------------------------------------------------


def wine(*args, check_status=False, timeout=120):
    result = subprocess.run(["wine", *args], stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=timeout)
    if check_status and result.returncode != 0:
        raise RuntimeError(f"wine {' '.join(args)} failed: {result.stderr[-2000:]!r}")
    return result


def unix_path(windows_path):
    return subprocess.run(["winepath", "-u", windows_path], capture_output=True, text=True,
                          check=True).stdout.strip()


def windows_path(path):
    return subprocess.run(["winepath", "-w", path], capture_output=True, text=True,
                          check=True).stdout.strip()


def environment_folder(name):
    out = wine("cmd", "/c", "echo", f"%{name}%", check_status=True).stdout
    return unix_path(out.decode().strip())


def registry(key):
    """The values of a registry key as {name: data}; None when it is missing."""
    result = wine("reg", "query", key)
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.decode("latin-1").splitlines():
        parts = re.split(r"\s{2,}|\t", line.strip(), maxsplit=2)
        if len(parts) == 3 and parts[1].startswith("REG_"):
            values[parts[0]] = parts[2]
    return values


class WineHost:
    """The installed or unpacked Trellan.exe, run under Wine until stop()."""

    def __init__(self, folder, log):
        self.folder = folder
        self.log = open(log, "ab")
        self.process = subprocess.Popen(["wine", os.path.join(folder, "Trellan.exe")],
                                        stdin=subprocess.DEVNULL, stdout=self.log,
                                        stderr=subprocess.STDOUT)

    def stop(self):
        # What the tray menu's Exit does, through the tool that ships with it.
        wine(os.path.join(self.folder, "trellan-quit.exe"), timeout=60)
        try:
            code = self.process.wait(30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            code = None
        self.log.close()
        return code


def prepare_server(folder, port):
    """Publishes the sample site and sets the port, as a user would."""
    plugin = os.path.join(folder, "Plugins", PRODUCT)
    wine(os.path.join(folder, "orvihttp-dir.exe"), windows_path(os.path.join(plugin, "OrviHTTP.dir")),
         "import", "/", windows_path(SITE), check_status=True)
    set_ini(os.path.join(plugin, "OrviHTTP.ini"), "FirstTime=No", "Active=Yes", f"Port={port}")


def wait_until(condition, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(0.5)
    return condition()


PROGRAM_FILES = ["Trellan.exe", "orvihttp-dir.exe", "orvihttp-users.exe", "trellan-quit.exe",
                 os.path.join("Plugins", PRODUCT, "OrviHTTP.dll"),
                 os.path.join("Plugins", PRODUCT, "OrviHTTP.html")]
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\OrviHTTPServer"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"


def check_windows_installer(dist, work):
    setup = package(dist, "OrviHTTP-*-setup.exe")
    version = version_of(setup)
    wine(setup, "/S", check_status=True, timeout=300)
    folder = os.path.join(environment_folder("LOCALAPPDATA"), "Programs", PRODUCT)
    plugin = os.path.join(folder, "Plugins", PRODUCT)
    missing = [n for n in PROGRAM_FILES + ["Uninstall.exe"]
               if not os.path.isfile(os.path.join(folder, n))]
    check("the silent install puts the program into %LOCALAPPDATA%\\Programs\\Orvi HTTP Server",
          not missing, f"missing {missing} in {folder}")
    menu = os.path.join(environment_folder("APPDATA"), "Microsoft", "Windows", "Start Menu",
                        "Programs", PRODUCT)
    shortcut = os.path.join(menu, f"{PRODUCT}.lnk")
    target = open(shortcut, "rb").read() if os.path.isfile(shortcut) else b""
    check("the Start menu has a shortcut to Trellan.exe",
          b"Trellan.exe" in target or "Trellan.exe".encode("utf-16-le") in target,
          f"{shortcut} missing or not pointing at Trellan.exe")
    entry = registry(UNINSTALL_KEY) or {}
    check("the installed-programs list has an entry with the version and uninstaller",
          entry.get("DisplayName") == PRODUCT and entry.get("DisplayVersion") == version and
          "Uninstall.exe" in entry.get("UninstallString", ""), str(entry))
    check("start with Windows is off unless chosen",
          PRODUCT not in (registry(RUN_KEY) or {}), str(registry(RUN_KEY)))

    port = free_port()
    prepare_server(folder, port)
    host = WineHost(folder, os.path.join(work, "installed-host.log"))
    check_serves("the installed Trellan.exe", port, host.process, version, 90)
    check("trellan-quit ends the installed host", host.stop() == 0, "it did not exit")

    # The user changes a setting and the program files get damaged; the
    # upgrade must repair the program and keep the settings, directory and logs.
    ini = os.path.join(plugin, "OrviHTTP.ini")
    new_port = free_port()
    set_ini(ini, f"Port={new_port}", 'Note="kept by the upgrade"')
    with open(os.path.join(plugin, "OrviHTTP.html"), "wb") as f:
        f.write(b"damaged")
    before = {name: open(os.path.join(plugin, name), "rb").read()
              for name in ("OrviHTTP.dir", "OrviHTTP.log", "OrviHTTP.binlog")}
    # A running host is asked to exit by the installer itself.
    host = WineHost(folder, os.path.join(work, "installed-host.log"))
    wait_for_answer(new_port, host.process, 90)
    wine(setup, "/S", "/AUTOSTART", check_status=True, timeout=300)
    check("the upgrade asked the running host to exit",
          wait_until(lambda: host.process.poll() is not None, 30), "the host still runs")
    host.stop()
    check("the upgrade replaced the program files",
          open(os.path.join(plugin, "OrviHTTP.html"), "rb").read() != b"damaged", "")
    check("the upgrade keeps the changed OrviHTTP.ini",
          ini_value(ini, "Note") == '"kept by the upgrade"' and
          ini_value(ini, "Port") == str(new_port), f"Port {ini_value(ini, 'Port')}")
    after = {name: open(os.path.join(plugin, name), "rb").read()
             for name in before if os.path.isfile(os.path.join(plugin, name))}
    # The host running meanwhile only appends to its logs.
    check("the upgrade keeps OrviHTTP.dir and the logs",
          after.keys() == before.keys() and after["OrviHTTP.dir"] == before["OrviHTTP.dir"] and
          all(after[n].startswith(before[n]) for n in ("OrviHTTP.log", "OrviHTTP.binlog")),
          f"found {sorted(after)}")
    run = registry(RUN_KEY) or {}
    check("/AUTOSTART starts the server with Windows (the user's Run key)",
          "Trellan.exe" in run.get(PRODUCT, ""), str(run))

    host = WineHost(folder, os.path.join(work, "installed-host.log"))
    check_serves("the upgraded host with the kept settings", new_port, host.process, version, 90)

    # Uninstall while the host runs, as QuietUninstallString does.
    wine(os.path.join(folder, "Uninstall.exe"), "/S", check_status=True, timeout=120)
    gone = wait_until(lambda: not any(os.path.exists(os.path.join(folder, n))
                                      for n in PROGRAM_FILES + ["Uninstall.exe"]), 60)
    check("the silent uninstall removes the program files", gone,
          str([n for n in PROGRAM_FILES if os.path.exists(os.path.join(folder, n))]))
    check("the uninstaller asked the running host to exit",
          wait_until(lambda: host.process.poll() is not None, 10), "the host still runs")
    host.process.wait(10) if host.process.poll() is None else None
    host.log.close()
    check("the uninstaller removes the shortcut, the program entry and the Run value",
          not os.path.exists(menu) and registry(UNINSTALL_KEY) is None and
          PRODUCT not in (registry(RUN_KEY) or {}), f"menu folder exists: {os.path.exists(menu)}")
    check("a silent uninstall keeps the user's settings and directory",
          os.path.isfile(ini) and os.path.isfile(os.path.join(plugin, "OrviHTTP.dir")),
          str(os.listdir(folder) if os.path.isdir(folder) else "folder gone"))


def prefix_listing(prefix):
    """Every file of the prefix with a digest of its content."""
    listing = {}
    for folder, _, names in os.walk(prefix):
        for name in names:
            path = os.path.join(folder, name)
            if os.path.islink(path) or not os.path.isfile(path):
                continue
            with open(path, "rb") as f:
                listing[os.path.relpath(path, prefix)] = hashlib.sha1(f.read()).hexdigest()
    return listing


def registry_file(path):
    """A .reg file of the prefix as {key: set of value lines}, without timestamps."""
    keys = {}
    current = None
    with open(path, encoding="latin-1") as f:
        for line in f:
            line = line.rstrip("\n")
            match = re.match(r"^\[(.*)\](?: \d+)?$", line)
            if match:
                current = match.group(1)
                keys.setdefault(current, set())
            elif current is not None and line and not line.startswith("#time="):
                keys[current].add(line)
    return keys


def wine_own_key(key):
    """Keys Wine itself rewrites whenever its server starts a desktop: its own
    settings, and the display, monitor and network devices it enumerates
    afresh (with a new driver date) at every start."""
    key = key.lower()
    return key.startswith((
        "software\\\\wine",
        "software\\\\microsoft\\\\windows nt\\\\currentversion\\\\networkcards",
        "system\\\\currentcontrolset\\\\control\\\\class\\\\{4d36e968-",  # display
        "system\\\\currentcontrolset\\\\control\\\\class\\\\{4d36e96e-",  # monitor
    ))


def stop_wineserver():
    subprocess.run(["wineserver", "-k"], capture_output=True)
    subprocess.run(["wineserver", "-w"], capture_output=True)


def check_windows_portable(dist, work):
    archive = package(dist, "OrviHTTP-*-portable.zip")
    version = version_of(archive)
    prefix = os.environ["WINEPREFIX"]
    # Wine itself touches these on every start (its registry's own state and
    # fonts caches); they are compared by content below.
    stop_wineserver()
    before = prefix_listing(prefix)
    registry_before = {n: registry_file(os.path.join(prefix, n)) for n in ("system.reg", "user.reg")}

    portable = os.path.join(work, "fresh folder")
    os.makedirs(portable)
    with zipfile.ZipFile(archive) as z:
        z.extractall(portable)
    folder = os.path.join(portable, PRODUCT)
    missing = [n for n in PROGRAM_FILES if not os.path.isfile(os.path.join(folder, n))]
    check("the zip unpacks to one \"Orvi HTTP Server\" folder with the program", not missing,
          f"missing {missing}")
    port = free_port()
    prepare_server(folder, port)
    inside_before = set(os.listdir(folder))
    host = WineHost(folder, os.path.join(work, "portable-host.log"))
    check_serves("the portable Trellan.exe", port, host.process, version, 90)
    check("trellan-quit ends the portable host", host.stop() == 0, "it did not exit")
    stop_wineserver()
    after = prefix_listing(prefix)

    changed = sorted(n for n in set(before) | set(after) if before.get(n) != after.get(n))
    with open(os.path.join(work, "prefix-before.txt"), "w") as f:
        f.writelines(f"{h}  {n}\n" for n, h in sorted(before.items()))
    with open(os.path.join(work, "prefix-after.txt"), "w") as f:
        f.writelines(f"{h}  {n}\n" for n, h in sorted(after.items()))
    print("  files of the Wine prefix that differ after the portable run:")
    for name in changed:
        state = "added" if name not in before else "removed" if name not in after else "changed"
        print(f"    {state:8} {name}")
    check("outside its folder the portable run changes only the registry files",
          set(changed) <= {"system.reg", "user.reg", "userdef.reg"}, str(changed))
    differences = []  # (file, key, value lines added)
    for name, old in registry_before.items():
        new = registry_file(os.path.join(prefix, name))
        for key in sorted(set(old) | set(new)):
            if old.get(key) != new.get(key):
                differences.append((name, key, sorted(new.get(key, set()) - old.get(key, set()))))
    print("  registry keys that differ after the portable run:")
    for name, key, added in differences:
        print(f"    {name}: [{key}] {added}")
    ours = [d for d in differences if d[0] == "system.reg" and
            d[1].lower().startswith("software\\\\quintarvo")]
    paths = [d for d in ours if any(line.startswith('"Path"=') for line in d[2])]
    check("the registry write is the two programs' Path values under HKLM\\Software\\Quintarvo",
          len(paths) == 2 and all(len(d[2]) == 1 for d in paths) and
          all(not d[2] for d in ours if d not in paths), str(ours))
    foreign = [d for d in differences if d not in ours and not wine_own_key(d[1])]
    check("no other registry key changes", not foreign, str(foreign))
    check("the host's files stay inside its folder",
          {"Trellan.ini"} <= set(os.listdir(folder)) - inside_before, str(os.listdir(folder)))


# --- Folders recorded by a copy that is gone -------------------------------

HOST_KEY = r"HKLM\SOFTWARE\Quintarvo\Trellan"
PLUGIN_KEY = r"HKLM\SOFTWARE\Quintarvo\Orvi HTTP Server"


def recorded_paths():
    """The two recorded folders, in lower case (Windows ignores case in names)."""
    return tuple((registry(key) or {}).get("Path", "").lower() or None
                 for key in (HOST_KEY, PLUGIN_KEY))


def lower_windows_paths(*paths):
    return tuple(windows_path(path).lower() for path in paths)


def record_paths(host_folder):
    for key, folder in ((HOST_KEY, host_folder),
                        (PLUGIN_KEY, host_folder + "\\Plugins\\" + PRODUCT)):
        wine("reg", "add", key, "/v", "Path", "/t", "REG_SZ", "/d", folder, "/f", check_status=True)


def error_boxes():
    """Top-level windows captioned "Error" on the display (a message box), or
    None when the display's windows cannot be listed."""
    listing = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True)
    if listing.returncode != 0:
        return None
    return [line.strip() for line in listing.stdout.splitlines() if '"Error"' in line]


def check_desktop(what, work, name):
    shot = os.path.join(work, name)
    taken = subprocess.run(["import", "-window", "root", shot], capture_output=True, text=True)
    check(f"{what}: screenshot {name} taken", taken.returncode == 0 and os.path.isfile(shot),
          taken.stderr.strip())
    boxes = error_boxes()
    check(f"{what}: no error box on the desktop", boxes == [],
          "the display's windows cannot be listed" if boxes is None else str(boxes))


def check_windows_moved(dist, work):
    """A copy deleted after it recorded its folders must not keep a new copy,
    installed or unpacked, from serving."""
    setup = package(dist, "OrviHTTP-*-setup.exe")
    version = version_of(setup)
    deleted = os.path.join(unix_path("C:\\"), "Deleted copy")
    os.makedirs(deleted)
    record_paths(windows_path(deleted))
    shutil.rmtree(deleted)

    # Installer: the user's settings are already there (kept by an earlier
    # uninstall), so the started server listens at once.
    folder = os.path.join(environment_folder("LOCALAPPDATA"), "Programs", PRODUCT)
    plugin = os.path.join(folder, "Plugins", PRODUCT)
    os.makedirs(plugin)
    port = free_port()
    set_ini(os.path.join(plugin, "OrviHTTP.ini"), "FirstTime=No", "Active=Yes", f"Port={port}")
    # The started host inherits the installer's output: a file, not a pipe
    # that would stay open as long as the host runs.
    with open(os.path.join(work, "installed-host.log"), "ab") as log:
        subprocess.run(["wine", setup, "/S", "/RUN"], stdin=subprocess.DEVNULL, stdout=log,
                       stderr=subprocess.STDOUT, timeout=300, check=True)
    check("after a silent install with /RUN the server answers although the recorded folders "
          "are gone", wait_for_answer(port, None, 90) is not None, f"no answer on port {port}")
    expected = lower_windows_paths(folder, plugin)
    check("the recorded folders now name the install folder",
          wait_until(lambda: recorded_paths() == expected, 10), str(recorded_paths()))
    check_desktop("the installed host", work, "installed-after-deleted-copy.png")
    wine(os.path.join(folder, "trellan-quit.exe"), timeout=60)
    wine(os.path.join(folder, "Uninstall.exe"), "/S", check_status=True, timeout=120)
    check("the uninstaller removes the recorded folders that name its copy",
          wait_until(lambda: recorded_paths() == (None, None), 60), str(recorded_paths()))

    # Portable: an earlier copy ran (and recorded its folders), was deleted,
    # and a new copy is unpacked elsewhere.
    archive = package(dist, "OrviHTTP-*-portable.zip")
    earlier = os.path.join(work, "earlier copy")
    with zipfile.ZipFile(archive) as z:
        z.extractall(earlier)
    prepare_server(os.path.join(earlier, PRODUCT), free_port())
    host = WineHost(os.path.join(earlier, PRODUCT), os.path.join(work, "moved-host.log"))
    earlier_folder = lower_windows_paths(os.path.join(earlier, PRODUCT))[0]
    recorded = wait_until(lambda: recorded_paths()[0] == earlier_folder, 60)
    host.stop()
    check("the earlier portable copy recorded its folder", recorded, str(recorded_paths()))
    shutil.rmtree(earlier)

    later = os.path.join(work, "later copy")
    with zipfile.ZipFile(archive) as z:
        z.extractall(later)
    later_folder = os.path.join(later, PRODUCT)
    port = free_port()
    prepare_server(later_folder, port)
    host = WineHost(later_folder, os.path.join(work, "moved-host.log"))
    check_serves("a portable copy unpacked after the earlier one was deleted", port, host.process,
                 version, 90)
    later_plugin = os.path.join(later_folder, "Plugins", PRODUCT)
    check("the recorded folders now name the new portable copy",
          recorded_paths() == lower_windows_paths(later_folder, later_plugin),
          str(recorded_paths()))
    check_desktop("the portable host", work, "portable-after-deleted-copy.png")
    check("trellan-quit ends the new portable host", host.stop() == 0, "it did not exit")


# --- Imports and version resources of the Windows binaries ------------------


def version_strings(data):
    """StringFileInfo values of a PE file's version resource, as {name: value}."""
    values = {}
    for key in ("ProductName", "ProductVersion", "FileVersion", "FileDescription"):
        pattern = (key.encode("utf-16-le") + b"\x00\x00" + b"(?:\x00\x00)?" +
                   b"((?:[^\x00].|\x00[^\x00])+?)\x00\x00")
        match = re.search(pattern, data, re.S)
        if match:
            raw = match.group(1)
            values[key] = raw[: len(raw) - len(raw) % 2].decode("utf-16-le", "replace")
    return values


def check_imports(dist, work):
    archive = package(dist, "OrviHTTP-*-portable.zip")
    version = version_of(archive)
    folder = os.path.join(work, "binaries")
    with zipfile.ZipFile(archive) as z:
        z.extractall(folder)
    binaries = sorted(glob.glob(os.path.join(folder, "**", "*.exe"), recursive=True) +
                      glob.glob(os.path.join(folder, "**", "*.dll"), recursive=True))
    binaries.append(package(dist, "OrviHTTP-*-setup.exe"))
    check("the zip holds Trellan.exe, OrviHTTP.dll and the three tools", len(binaries) == 6,
          str(binaries))
    for binary in binaries:
        name = os.path.basename(binary)
        dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", binary], capture_output=True,
                              text=True).stdout
        imports = sorted({m.lower() for m in re.findall(r"DLL Name: (\S+)", dump)})
        print(f"  {name} imports {', '.join(imports)}")
        check(f"{name} imports only DLLs that Windows ships",
              imports and set(imports) <= WINDOWS_DLLS, str(set(imports) - WINDOWS_DLLS))
        with open(binary, "rb") as f:
            info = version_strings(f.read())
        check(f"{name} carries product name and version {version} and a description",
              info.get("ProductName") == PRODUCT and info.get("ProductVersion") == version and
              info.get("FileDescription"), str(info))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    command, dist, work = sys.argv[1:]
    os.makedirs(work, exist_ok=True)
    checks = {"linux": check_linux, "windows-installer": check_windows_installer,
              "windows-portable": check_windows_portable, "windows-moved": check_windows_moved,
              "imports": check_imports}
    if command not in checks:
        sys.exit(__doc__)
    started = time.time()
    try:
        checks[command](os.path.abspath(dist), os.path.abspath(work))
    except Exception as error:  # a check that cannot go on is a failure too
        check(f"{command} ran to its end", False, repr(error))
    print(f"{command}: {len(failures)} failed in {time.time() - started:.0f}s", flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
