#!/usr/bin/python3
"""Reports the Authenticode signature of Windows programs and installers: whether each file
is signed, by whom, with which digest, description and time-stamp, and whether the
signature verifies (osslsigncode verify: the digest of the file as it is now against the
signed one, the signature over it, and the signer's chain to a trusted certificate).

    check-signatures.py [--signer CERT] [--ca FILE]... [--tsa-ca FILE]... [--timestamped] FILE...

--signer      every file must be signed by this certificate (a PEM file): an unsigned file,
              or one signed by any other certificate, fails
--ca          trusted besides this machine's roots (/etc/ssl/certs), e.g. the certificates
              of the publisher's .pfx; a self-signed certificate verifies only so
--tsa-ca      time-stamp services trusted besides this machine's roots
--timestamped every signature must carry a time-stamp

A signature that does not verify always fails; without --signer an unsigned file is only
reported. Exits 1 naming what failed.
(Debian's python3-pefile lives in Debian's own Python, hence /usr/bin/python3.)
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

import pefile

SYSTEM_ROOTS = "/etc/ssl/certs/ca-certificates.crt"


def bundle(directory, name, files):
    """This machine's roots and FILES in one PEM file, as osslsigncode takes one."""
    path = os.path.join(directory, name)
    with open(path, "w") as out:
        roots = [SYSTEM_ROOTS] if os.path.exists(SYSTEM_ROOTS) else []
        for source in roots + files:
            with open(source) as pem:
                out.write(pem.read() + "\n")
    return path


def certificate(path):
    """(subject, issuer, serial) of a PEM certificate, as osslsigncode prints them."""
    run = subprocess.run(
        ["openssl", "x509", "-in", path, "-noout", "-subject", "-issuer", "-serial",
         "-nameopt", "compat"], capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit(f"{path}: no PEM certificate")
    text = run.stdout
    fields = dict(line.split("=", 1) for line in text.splitlines())
    return fields["subject"], fields["issuer"], fields["serial"].lstrip("0").upper()


def signer_of(text):
    """The primary signature's signer: the first Subject, Issuer and Serial printed."""
    found = {}
    for key in ("Subject", "Issuer", "Serial"):
        match = re.search(rf"^\s*{key}\s*: ?(.*)$", text, re.M)
        found[key] = match.group(1).strip() if match else ""
    return found["Subject"], found["Issuer"], found["Serial"].lstrip("0").upper()


def digests(text):
    """Every digest osslsigncode read from the signature ("Current") with the one it
    calculated from the file, by name: a program's message digest, an installer's
    DigitalSignature and MsiDigitalSignatureEx. (An installer's "message digest" is only
    calculated: its DigitalSignature is the one signed.)"""
    pairs = {}
    for when, name, value in re.findall(
            r"^(Current|Calculated) (message digest|DigitalSignature|MsiDigitalSignatureEx)"
            r"\s*: ([0-9A-F]+)", text, re.M):
        pairs.setdefault(name, {})[when] = value
    return {name: pair for name, pair in pairs.items() if "Current" in pair}


def carries_signature(path):
    """Whether the file has room for a signature filled, read from its own structure rather
    than from osslsigncode: a program's certificate table, an installer's DigitalSignature
    stream."""
    with open(path, "rb") as f:
        magic = f.read(8)
    if magic.startswith(b"MZ"):
        pe = pefile.PE(path, fast_load=True)
        table = pe.OPTIONAL_HEADER.DATA_DIRECTORY[
            pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
        pe.close()
        return table.VirtualAddress != 0 and table.Size != 0
    if magic == bytes.fromhex("d0cf11e0a1b11ae1"):
        streams = subprocess.run(["msiinfo", "streams", path], capture_output=True, text=True,
                                 check=True).stdout.split()
        return "DigitalSignature" in streams
    sys.exit(f"{path}: neither a Windows program nor an installer")


def check(path, trust, tsa_trust, signer, timestamped):
    """Prints one line for PATH; returns what is wrong with it, or nothing."""
    name = os.path.basename(path)
    run = subprocess.run(
        ["osslsigncode", "verify", "-CAfile", trust, "-TSA-CAfile", tsa_trust, "-in", path],
        capture_output=True, text=True)
    text = run.stdout + run.stderr
    unread = re.search(r"^(No signature found|MSI file has no signature)$", text, re.M)
    if carries_signature(path) and unread:
        print(f"{name}: signed, the signature unreadable: DOES NOT VERIFY ({unread.group(1)})")
        return ["signature unreadable"]
    if unread:
        if signer:
            print(f"{name}: UNSIGNED, though a certificate was given")
            return ["unsigned"]
        print(f"{name}: unsigned")
        return []
    problems = []
    subject, issuer, serial = signer_of(text)
    algorithm = re.search(r"^Message digest algorithm\s*: (\S+)", text, re.M)
    description = re.search(r"^\s*Text description: (.*)$", text, re.M)
    # osslsigncode 2.9 prints "Timestamp time:", Debian 12's 2.5 "The signature is timestamped:";
    # both name the time-stamp's issuer next.
    stamp = re.search(r"^\s*(?:Timestamp time|The signature is timestamped): (.*)$", text, re.M)
    stamped_by = re.compile(r"^\s*Issuer\s*: (.*)$", re.M).search(text, stamp.end()) if stamp else None
    pairs = digests(text)
    # The file's own digest against the signed one, by this script as well as by osslsigncode.
    if not pairs:
        problems.append("osslsigncode printed no digest to compare")
    for kind, pair in pairs.items():
        if pair.get("Current") != pair.get("Calculated"):
            problems.append(f"the file's {kind} {pair.get('Calculated', 'none')[:16]}... is not "
                            f"the signed {pair.get('Current', 'none')[:16]}... (changed since signing)")
    if run.returncode != 0 or not re.search(r"^Signature verification: ok$", text, re.M):
        # The chain's error, as osslsigncode (2.9) or OpenSSL's error queue (2.5 too) says it.
        errors = sorted(set(re.findall(r"(?:^\s*Error|Verify error): (.*)$", text, re.M)))
        problems.append("osslsigncode verify: failed" + (f" ({'; '.join(errors)})" if errors else ""))
    # osslsigncode names the signer only once the digests match.
    if signer and subject and (subject, issuer, serial) != signer:
        problems.append(f"signed by {subject} (serial {serial}, issuer {issuer}), not by the given "
                        f"certificate {signer[0]} (serial {signer[2]}, issuer {signer[1]})")
    if timestamped and not stamp:
        problems.append("not time-stamped")
    # osslsigncode passes a signature whose time-stamp fails, judging it by the time now.
    if stamp and not re.search(r"^Timestamp Server Signature verification: ok$", text, re.M):
        problems.append("its time-stamp does not verify")
    verdict = "DOES NOT VERIFY: " + "; ".join(problems) if problems else "verifies"
    if not subject:
        print(f"{name}: signed, the signer unread: {verdict}")
        return problems
    details = [algorithm.group(1) if algorithm else "no digest algorithm",
               f'"{description.group(1)}"' if description else "no description",
               f"time-stamped {stamp.group(1)} by {stamped_by.group(1) if stamped_by else '?'}"
               if stamp else "not time-stamped"]
    if subject == issuer:
        details.append("self-signed")
    print(f"{name}: signed by {subject} (serial {serial}), {', '.join(details)}: {verdict}")
    return problems


def main():
    parser = argparse.ArgumentParser(usage=__doc__.split("\n\n")[1].strip())
    parser.add_argument("--signer")
    parser.add_argument("--ca", action="append", default=[])
    parser.add_argument("--tsa-ca", action="append", default=[])
    parser.add_argument("--timestamped", action="store_true")
    parser.add_argument("files", nargs="+")
    options = parser.parse_args()
    for tool, package in (("osslsigncode", "osslsigncode"), ("msiinfo", "msitools")):
        if not shutil.which(tool):
            sys.exit(f"no {tool}: tools/deps.sh {package} installs it")
    signer = certificate(options.signer) if options.signer else None
    failed = False
    with tempfile.TemporaryDirectory() as directory:
        trust = bundle(directory, "trust.pem", options.ca)
        tsa_trust = bundle(directory, "tsa-trust.pem", options.tsa_ca)
        for path in options.files:
            if check(path, trust, tsa_trust, signer, options.timestamped):
                failed = True
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
