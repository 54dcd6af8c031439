#!/usr/bin/env python3
"""Runs testssl (Debian's testssl.sh package) against the HTTPS port of a
running server and sums up what it found.

  testssl_scan.py PORT SERVER_PID HTTPS_PORT ARTEFACT_FOLDER

Called through bench/with-installed-server.sh, which sets
ORVI_SERVER_FOLDER: the certificate the server made there is handed to
testssl as an extra trusted CA, so the chain check asks whether the
served chain verifies against it instead of only reporting that a
self-signed certificate is in no public store. The full text report,
the flat JSON findings and a copy of the certificate go to the artefact
folder. Printed: every finding rated HIGH or CRITICAL, every
vulnerability check whose answer is not OK or INFO, and testssl's
warnings. Exit status 1 when a HIGH or CRITICAL finding or a
vulnerability is there (the chain-of-trust and revocation findings of
a self-signed certificate excepted, printed and named as such), 2 when
testssl gave no findings at all.
"""
import json
import os
import shutil
import subprocess
import sys

# The checks of testssl's vulnerability section ("-U"), by their JSON ids.
VULNERABILITY_IDS = {
    "heartbleed", "CCS", "ticketbleed", "ROBOT", "secure_renego",
    "secure_client_renego", "CRIME_TLS", "BREACH", "POODLE_SSL",
    "fallback_SCSV", "SWEET32", "FREAK", "DROWN", "DROWN_hint", "LOGJAM",
    "LOGJAM-common_primes", "BEAST", "BEAST_CBC_SSL3", "BEAST_CBC_TLS1",
    "LUCKY13", "RC4", "winshock", "GREASE",
}
HARMLESS = {"OK", "INFO"}
# What a self-signed certificate earns in any case: it is in no public
# store, and no authority publishes a revocation list or an OCSP answer
# for it (whoever stops trusting it removes it). Not faults of the server,
# which serves the certificate it was given; only excused when the
# certificate really is self-signed.
SELF_SIGNED_EXPECTED = {
    "cert_chain_of_trust": "in no public store",
    "cert_revocation": "no authority to revoke it",
}


def is_self_signed(certificate):
    names = subprocess.run(
        ["openssl", "x509", "-noout", "-subject", "-issuer", "-nameopt", "RFC2253",
         "-in", certificate], capture_output=True, text=True, check=True).stdout.splitlines()
    subject = names[0].partition("=")[2].strip()
    issuer = names[1].partition("=")[2].strip()
    if subject != issuer:
        return False
    # Same names could still be two keys: the certificate must verify
    # against itself alone.
    verified = subprocess.run(
        ["openssl", "verify", "-check_ss_sig", "-CAfile", certificate, certificate],
        capture_output=True, text=True, check=False)
    return verified.returncode == 0


def main():
    https_port = sys.argv[3]
    artefacts = sys.argv[4]
    folder = os.environ["ORVI_SERVER_FOLDER"]
    made = os.path.join(folder, "Plugins", "Orvi HTTP Server", "OrviHTTP.crt")
    if not os.path.isfile(made):
        print(f"no certificate was made at {made}")
        return 2
    os.makedirs(artefacts, exist_ok=True)
    # testssl splits the CA file's path at spaces, and the install folder
    # has them: it gets the copy kept with the report.
    trusted = os.path.join(artefacts, "OrviHTTP.crt")
    shutil.copy(made, trusted)
    text = os.path.join(artefacts, "testssl.txt")
    findings_file = os.path.join(artefacts, "testssl.json")
    for old in (text, findings_file):
        if os.path.exists(old):
            os.remove(old)
    command = [
        "testssl", "--quiet", "--color", "0", "--warnings", "batch",
        "--ip", "127.0.0.1", "--add-ca", trusted,
        "--connect-timeout", "10", "--openssl-timeout", "10",
        # protocols, cipher categories, each cipher per protocol, forward
        # secrecy, the server's picks and defaults (certificate, tickets),
        # HTTP headers, and every vulnerability check
        "-p", "-s", "-E", "-f", "-P", "-S", "-h", "-U",
        "--logfile", text, "--jsonfile", findings_file,
        f"localhost:{https_port}",
    ]
    print("running:", " ".join(command), flush=True)
    status = subprocess.run(command, stdout=subprocess.DEVNULL, check=False).returncode
    print(f"testssl exit status {status}; report in {text}, findings in {findings_file}")
    try:
        with open(findings_file, encoding="utf-8") as stream:
            findings = json.load(stream)
    except (OSError, ValueError) as error:
        print(f"no findings to read: {error}")
        return 2
    if not findings:
        print("testssl reported no findings")
        return 2

    def line(finding):
        cve = f" [{finding['cve']}]" if finding.get("cve") else ""
        return f"  {finding['severity']:8} {finding['id']}: {finding['finding']}{cve}"

    severe = [f for f in findings if f.get("severity") in ("HIGH", "CRITICAL")]
    vulnerable = [f for f in findings
                  if (f.get("id") in VULNERABILITY_IDS or f.get("cve"))
                  and f.get("severity") not in HARMLESS and f not in severe]
    warnings = [f for f in findings
                if f.get("severity") in ("WARN", "DEBUG") and f not in severe]
    self_signed = is_self_signed(trusted)
    checked = sorted({f["id"] for f in findings if f.get("id") in VULNERABILITY_IDS})
    counts = {}
    for finding in findings:
        counts[finding.get("severity")] = counts.get(finding.get("severity"), 0) + 1

    print(f"{len(findings)} findings by severity: "
          + ", ".join(f"{name} {count}" for name, count in sorted(counts.items())))
    print(f"vulnerability checks answered: {len(checked)} ({' '.join(checked)})")
    print("HIGH or CRITICAL:" if severe else "HIGH or CRITICAL: none")
    excused = []
    for finding in severe:
        reason = SELF_SIGNED_EXPECTED.get(finding["id"]) if self_signed else None
        if reason:
            excused.append(finding)
            print(line(finding) + f" (expected for a self-signed certificate: {reason})")
        else:
            print(line(finding))
    print("vulnerabilities:" if vulnerable else "vulnerabilities: none reported")
    for finding in vulnerable:
        print(line(finding))
    # Warnings are testssl's remarks on its own run or on what it did not
    # expect, not ratings; they are shown to be read, not counted.
    print("testssl's warnings:" if warnings else "testssl's warnings: none")
    for finding in warnings:
        print(line(finding))
    faults = [f for f in severe if f not in excused] + vulnerable
    print("result: " + ("FAIL" if faults else "no HIGH or CRITICAL finding besides those expected "
                        "for a self-signed certificate, no vulnerability"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
