#!/usr/bin/python3
"""Checks the identity of Windows programs: the icon in every size Explorer asks for, the
version resource with the product's name, publisher and version, and exactly one
manifest (resource 1 of type 24) asking for per-monitor DPI awareness, the version 6
common controls and Windows 10/11.

    check-resources.py VERSION FILE.exe...

Prints what each file holds; exits 1 naming what is missing or wrong.
(Debian's python3-pefile lives in Debian's own Python, hence /usr/bin/python3.)
"""
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
STRINGS = {"ProductName": "Orvik Brevane", "CompanyName": "Orvik"}
WIN10_GUID = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
WS_2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
WS_2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"
COMPAT = "urn:schemas-microsoft-com:compatibility.v1"
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"


def resources(pe, type_id):
    """Every (name or id, language, bytes) of one resource type."""
    found = []
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return found
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != type_id:
            continue
        for entry in kind.directory.entries:
            key = entry.id if entry.name is None else str(entry.name)
            for language in entry.directory.entries:
                data = language.data.struct
                found.append((key, language.id, pe.get_data(data.OffsetToData, data.Size)))
    return found


def check_icon(pe):
    groups = resources(pe, pefile.RESOURCE_TYPE["RT_GROUP_ICON"])
    if not groups:
        return ["no icon"]
    # GRPICONDIR: reserved, type 1, count; then 14-byte entries, width 0 meaning 256.
    data = groups[0][2]
    _, kind, count = struct.unpack_from("<HHH", data)
    sizes = sorted((struct.unpack_from("<B", data, 6 + 14 * i)[0] or 256) for i in range(count))
    images = len(resources(pe, pefile.RESOURCE_TYPE["RT_ICON"]))
    problems = []
    if kind != 1 or sizes != ICON_SIZES:
        problems.append(f"icon sizes {sizes}, not {ICON_SIZES}")
    if images != count:
        problems.append(f"icon group names {count} images, {images} present")
    print(f"  icon: {' '.join(map(str, sizes))} px")
    return problems


def check_version(pe, version):
    if not resources(pe, pefile.RESOURCE_TYPE["RT_VERSION"]):
        return ["no version resource"]
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    expected = dict(STRINGS, FileVersion=version, ProductVersion=version)
    problems = [
        f'{key} is "{strings.get(key, "")}", not "{value}"'
        for key, value in expected.items()
        if strings.get(key) != value
    ]
    problems += [f"no {key}" for key in ("FileDescription", "LegalCopyright") if not strings.get(key)]
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = [int(n) for n in version.split(".")] + [0] * (4 - len(version.split(".")))
    got = [fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
           fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF]
    if got != numbers:
        problems.append(f"binary file version {got}, not {numbers}")
    print(f'  version: {strings.get("ProductName")} {strings.get("FileVersion")}, '
          f'"{strings.get("FileDescription")}", {strings.get("CompanyName")}, '
          f'{strings.get("LegalCopyright")}')
    return problems


def check_manifest(pe):
    manifests = resources(pe, pefile.RESOURCE_TYPE["RT_MANIFEST"])
    if len(manifests) != 1:
        return [f"{len(manifests)} manifests, not one"]
    key, _, data = manifests[0]
    problems = [] if key == 1 else [f"manifest is resource {key}, not 1"]
    try:
        root = ET.fromstring(data)
    except ET.ParseError as error:
        return problems + [f"manifest is no XML: {error}"]
    settings = f"{{{ASM_V3}}}application/{{{ASM_V3}}}windowsSettings"
    wanted = {
        "dpiAware true/pm": root.findtext(f"{settings}/{{{WS_2005}}}dpiAware"),
        "dpiAwareness PerMonitorV2": root.findtext(f"{settings}/{{{WS_2016}}}dpiAwareness"),
    }
    problems += [f"manifest lacks {name}" for name, text in wanted.items()
                 if (text or "").strip() != name.split(" ", 1)[1]]
    controls = [a.get("name") for a in root.iter(f"{{{ASM_V1}}}assemblyIdentity")]
    if "Microsoft.Windows.Common-Controls" not in controls:
        problems.append("manifest lacks the Common Controls 6 dependency")
    systems = [s.get("Id", "").lower() for s in root.iter(f"{{{COMPAT}}}supportedOS")]
    if WIN10_GUID not in systems:
        problems.append("manifest lacks supportedOS Windows 10/11")
    print(f"  manifest: resource {key}, {len(data)} bytes")
    return problems


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    version, files = sys.argv[1], sys.argv[2:]
    failed = False
    for path in files:
        print(path)
        pe = pefile.PE(path)
        for problem in check_icon(pe) + check_version(pe, version) + check_manifest(pe):
            print(f"{path}: {problem}", file=sys.stderr)
            failed = True
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
