#!/usr/bin/env python3
"""Checks the Windows resources and headers of a built vantrel-discovery.exe.

Usage: check_pe.py EXE [--version 1.0.0.3]

Prints one line per fault and exits 1 if there is any, else prints a summary and exits 0.
Needs pefile (Debian: python3-pefile).
"""

import argparse
import struct
import sys
import xml.etree.ElementTree as ElementTree

try:
    import pefile
except ImportError:
    pefile = None

LANG_EN_US = 0x0409
RT_ICON = 3
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24
MACHINE_AMD64 = 0x8664
MAGIC_PE32_PLUS = 0x20B
SUBSYSTEM_WINDOWS_GUI = 2

ICON_NAME = "IDI_ICON1"
ICON_SIZES = (16, 32, 48, 64, 128, 256)
PNG_ICON_SIZE = 256
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"

STRING_TABLE = "040904b0"
STRING_VALUES = {
    "CompanyName": "Vantrel",
    "FileDescription": "Vantrel Discovery Tool",
}
FREE_TEXT_STRINGS = ("Comments", "LegalCopyright")

NS = {
    "asm": "urn:schemas-microsoft-com:asm.v1",
    "v3": "urn:schemas-microsoft-com:asm.v3",
    "ws": "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
    "compat": "urn:schemas-microsoft-com:compatibility.v1",
}
COMMON_CONTROLS = ("asm:dependency/asm:dependentAssembly"
                   "/asm:assemblyIdentity[@name='Microsoft.Windows.Common-Controls']")
EXECUTION_LEVEL = "v3:trustInfo/v3:security/v3:requestedPrivileges/v3:requestedExecutionLevel"
# (what, element path from <assembly>, attribute or None for the element's text, expected value; None: the
# program's version)
MANIFEST_FIELDS = (
    ("identity version", "asm:assemblyIdentity", "version", None),
    ("identity architecture", "asm:assemblyIdentity", "processorArchitecture", "amd64"),
    ("identity name", "asm:assemblyIdentity", "name", "Vantrel Discovery Tool"),
    ("identity type", "asm:assemblyIdentity", "type", "win32"),
    ("description", "asm:description", None, "Vantrel Discovery Tool"),
    ("common controls type", COMMON_CONTROLS, "type", "win32"),
    ("common controls version", COMMON_CONTROLS, "version", "6.0.0.0"),
    ("common controls architecture", COMMON_CONTROLS, "processorArchitecture", "amd64"),
    ("common controls key", COMMON_CONTROLS, "publicKeyToken", "6595b64144ccf1df"),
    ("common controls language", COMMON_CONTROLS, "language", "*"),
    ("dpiAware", "v3:application/v3:windowsSettings/ws:dpiAware", None, "true"),
    ("execution level", EXECUTION_LEVEL, "level", "asInvoker"),
    ("uiAccess", EXECUTION_LEVEL, "uiAccess", "false"),
)
SUPPORTED_OS_PATH = "compat:compatibility/compat:application/compat:supportedOS"
SUPPORTED_OS = (  # Windows 10, 8.1, Vista, 7, 8: the order we declare them in
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
)


def entry_key(entry):
    """A resource directory entry's name as a string, or its numeric id."""
    return str(entry.name) if entry.name is not None else entry.id


def subentries(entry):
    directory = getattr(entry, "directory", None)
    return directory.entries if directory is not None else []


def resource_leaves(pe):
    """Every resource as (type, name, language, data), type and name being int ids or strings,
    and the faults met reading them."""
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return [], ["no resource directory"]
    leaves, faults = [], []
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name_entry in subentries(type_entry):
            for lang_entry in subentries(name_entry):
                key = (entry_key(type_entry), entry_key(name_entry), entry_key(lang_entry))
                try:
                    data = pe.get_data(lang_entry.data.struct.OffsetToData, lang_entry.data.struct.Size)
                except (AttributeError, pefile.PEFormatError) as error:
                    faults.append(f"resource {key}: unreadable: {error}")
                    continue
                leaves.append(key + (data,))
    return leaves, faults


def where(leaf):
    """name/language of a resource, as in the fault lines."""
    language = f"{leaf[2]:04x}" if isinstance(leaf[2], int) else leaf[2]
    return f"{leaf[1]}/{language}"


def of_type(leaves, rtype):
    return [leaf for leaf in leaves if leaf[0] == rtype]


def check_headers(pe):
    faults = []
    if pe.FILE_HEADER.Machine != MACHINE_AMD64:
        faults.append(f"machine is 0x{pe.FILE_HEADER.Machine:04x}, expected AMD64 (0x8664)")
    if pe.OPTIONAL_HEADER.Magic != MAGIC_PE32_PLUS:
        faults.append(f"optional header magic is 0x{pe.OPTIONAL_HEADER.Magic:x}, expected PE32+ (0x20b)")
    if pe.OPTIONAL_HEADER.Subsystem != SUBSYSTEM_WINDOWS_GUI:
        faults.append(f"subsystem is {pe.OPTIONAL_HEADER.Subsystem}, expected Windows GUI (2)")
    return faults


def check_png_image(size, image):
    if not image.startswith(PNG_SIGNATURE):
        return [f"icon {size}x{size}: not stored as PNG"]
    if len(image) < 26:
        return [f"icon {size}x{size}: PNG truncated"]
    width, height, depth, colour_type = struct.unpack_from(">IIBB", image, 16)
    if (width, height, depth, colour_type) != (size, size, 8, 6):
        return [f"icon {size}x{size}: PNG is {width}x{height}, depth {depth}, colour type {colour_type};"
                " expected 8-bit RGBA (colour type 6)"]
    return []


def check_dib_image(size, image):
    if image.startswith(PNG_SIGNATURE):
        return [f"icon {size}x{size}: stored as PNG, expected a 32-bpp DIB"]
    if len(image) < 40:
        return [f"icon {size}x{size}: {len(image)} bytes, too short for a BITMAPINFOHEADER"]
    header_size, width, height, planes, bpp, compression = struct.unpack_from("<IiiHHI", image, 0)
    faults = []
    if (header_size, width, height) != (40, size, 2 * size):
        faults.append(f"icon {size}x{size}: DIB header {header_size} bytes, {width}x{height};"
                      f" expected 40 bytes, {size}x{2 * size} (image + mask)")
    if (planes, bpp, compression) != (1, 32, 0):
        faults.append(f"icon {size}x{size}: {planes} plane(s), {bpp} bpp, compression {compression};"
                      " expected 1 plane, 32 bpp, uncompressed")
    mask_row = (size + 31) // 32 * 4
    expected_length = 40 + size * size * 4 + mask_row * size
    if not faults and len(image) != expected_length:
        faults.append(f"icon {size}x{size}: {len(image)} bytes,"
                      f" expected {expected_length} (32-bpp image + 1-bit mask)")
    return faults


def group_entries(group_data):
    """GRPICONDIRENTRY tuples (width, height, colours, reserved, planes, bpp, bytes, id) of a group icon."""
    if len(group_data) < 6:
        return None
    _, _, count = struct.unpack_from("<HHH", group_data, 0)
    if len(group_data) < 6 + 14 * count:
        return None
    return [struct.unpack_from("<BBBBHHIH", group_data, 6 + 14 * i) for i in range(count)]


def check_icon_images(entries, icons):
    faults = []
    for width, _, _, _, _, _, byte_count, image_id in entries:
        size = width or 256
        image = icons.get(image_id)
        if image is None:
            faults.append(f"icon {size}x{size}: image {image_id} missing in language 0409")
            continue
        if len(image) != byte_count:
            faults.append(f"icon {size}x{size}: group says {byte_count} bytes, image has {len(image)}")
        check = check_png_image if size == PNG_ICON_SIZE else check_dib_image
        faults += check(size, image)
    return faults


def check_icon(leaves):
    groups = [leaf for leaf in of_type(leaves, RT_GROUP_ICON) if leaf[1] == ICON_NAME]
    if [leaf[2] for leaf in groups] != [LANG_EN_US]:
        found = sorted(where(leaf) for leaf in of_type(leaves, RT_GROUP_ICON))
        return [f"icon group: expected one named {ICON_NAME} in language 0409, found {found or 'none'}"]
    entries = group_entries(groups[0][3])
    if entries is None:
        return ["icon group: directory is truncated"]
    sizes = sorted(entry[0] or 256 for entry in entries)
    faults = []
    if sizes != sorted(ICON_SIZES):
        faults.append(f"icon group: sizes {sizes}, expected {list(ICON_SIZES)}")
    icons = {leaf[1]: leaf[3] for leaf in of_type(leaves, RT_ICON) if leaf[2] == LANG_EN_US}
    return faults + check_icon_images(entries, icons)


# pefile keeps only the first string table of a version block, so walk the tree here.
# Each node: wLength, wValueLength, wType, UTF-16 key, padding, value, padding, children.
def align4(offset):
    return (offset + 3) & ~3


def version_node(data, offset):
    """(key, value, children) of the version node at offset, or None if it is malformed."""
    if offset + 6 > len(data):
        return None
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    key_end = data.find(b"\0\0", offset + 6)
    while key_end != -1 and (key_end - offset) % 2:
        key_end = data.find(b"\0\0", key_end + 1)
    if length < 6 or end > len(data) or key_end == -1 or key_end > end:
        return None
    value_start = align4(key_end + 2)
    value_end = min(end, value_start + (value_length * 2 if value_type == 1 else value_length))
    children, child = [], align4(value_end)
    while child < end:
        node = version_node(data, child)
        if node is None:
            return None
        children.append(node)
        child = align4(child + struct.unpack_from("<H", data, child)[0])
    return data[offset + 6:key_end].decode("utf-16-le", "replace"), data[value_start:value_end], children


def version_text(most, least):
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"


FIXED_FIELDS = ("FileFlagsMask", "FileFlags", "FileOS", "FileType", "FileSubtype")


def check_fixed_version(value, version):
    if len(value) < 52 or struct.unpack_from("<I", value, 0)[0] != 0xFEEF04BD:
        return ["version: VS_FIXEDFILEINFO is missing or has a bad signature"]
    file_ms, file_ls, product_ms, product_ls, *fields = struct.unpack_from("<9I", value, 8)
    faults = [f"version: fixed {what} version {text}, expected {version}"
              for what, text in (("file", version_text(file_ms, file_ls)),
                                 ("product", version_text(product_ms, product_ls)))
              if text != version]
    faults += [f"version: {name} is 0x{field:x}, expected 0"
               for name, field in zip(FIXED_FIELDS, fields) if field != 0]
    return faults


def check_strings(blocks, version):
    keys = [key for key, _, _ in blocks]
    if keys != ["StringFileInfo"]:
        return [f"version: blocks {keys}, expected only ['StringFileInfo'] (no VarFileInfo)"]
    tables = blocks[0][2]
    if [key.lower() for key, _, _ in tables] != [STRING_TABLE]:
        found = [key for key, _, _ in tables]
        return [f"version: string tables {found}, expected exactly ['{STRING_TABLE}']"]
    strings = {key: value.decode("utf-16-le", "replace").split("\0")[0] for key, value, _ in tables[0][2]}
    expected = dict(STRING_VALUES, FileVersion=version, ProductVersion=version)
    faults = [f"version: {key} is {strings.get(key)!r}, expected {value!r}"
              for key, value in expected.items() if strings.get(key) != value]
    faults += [f"version: {key} is missing or empty" for key in FREE_TEXT_STRINGS if not strings.get(key)]
    return faults


def check_version(leaves, version):
    resources = of_type(leaves, RT_VERSION)
    if [leaf[1:3] for leaf in resources] != [(1, LANG_EN_US)]:
        found = [where(leaf) for leaf in resources]
        return [f"version: expected one version resource, id 1, language 0409; found {found or 'none'}"]
    root = version_node(resources[0][3], 0)
    if root is None or root[0] != "VS_VERSION_INFO":
        return ["version: resource is not a well-formed VS_VERSION_INFO"]
    return check_fixed_version(root[1], version) + check_strings(root[2], version)


def manifest_value(element, attribute):
    return element.get(attribute) if attribute else (element.text or "").strip()


def check_manifest_xml(data, version):
    try:
        data.decode("utf-8")
        root = ElementTree.fromstring(data)
    except (UnicodeDecodeError, ElementTree.ParseError) as error:
        return [f"manifest: not UTF-8 XML: {error}"]
    if root.tag != f"{{{NS['asm']}}}assembly":
        return [f"manifest: root element is {root.tag}, expected assembly in {NS['asm']}"]
    faults, missing = [], set()
    for what, path, attribute, expected in MANIFEST_FIELDS:
        element = root.find(path, NS)
        if element is None:
            if path not in missing:
                faults.append(f"manifest: no element {path}")
            missing.add(path)
            continue
        value = manifest_value(element, attribute)
        expected = version if expected is None else expected
        if value != expected:
            faults.append(f"manifest: {what} is {value!r}, expected {expected!r}")
    ids = [entry.get("Id") for entry in root.findall(SUPPORTED_OS_PATH, NS)]
    if ids != list(SUPPORTED_OS):
        faults.append(f"manifest: supportedOS ids {ids}, expected {list(SUPPORTED_OS)}")
    return faults


def check_manifest(leaves, version):
    manifests = of_type(leaves, RT_MANIFEST)
    if [leaf[1:3] for leaf in manifests] != [(1, LANG_EN_US)]:
        found = [where(leaf) for leaf in manifests]
        return [f"manifest: expected exactly one, id 1, language 0409; found {found or 'none'}"]
    return check_manifest_xml(manifests[0][3], version)


def check_exe(path, version):
    try:
        pe = pefile.PE(path)
    except (OSError, pefile.PEFormatError) as error:
        return [f"cannot read {path} as a PE file: {error}"]
    leaves, faults = resource_leaves(pe)
    return (check_headers(pe) + faults + check_icon(leaves) + check_version(leaves, version)
            + check_manifest(leaves, version))


def main():
    parser = argparse.ArgumentParser(description="Check the Windows resources of vantrel-discovery.exe.")
    parser.add_argument("exe")
    parser.add_argument("--version", default="1.0.0.3", help="expected file and product version")
    args = parser.parse_args()
    if pefile is None:
        print(f"check_pe: FAIL: {sys.executable} cannot import pefile (Debian: python3-pefile)")
        return 1
    faults = check_exe(args.exe, args.version)
    for fault in faults:
        print(f"check_pe: FAIL: {fault}")
    if faults:
        return 1
    print(f"check_pe: OK: {args.exe}: PE32+ AMD64 Windows GUI; {ICON_NAME} {'/'.join(map(str, ICON_SIZES))}"
          f" ({PNG_ICON_SIZE} PNG, others 32-bpp DIB + mask); version {args.version} in {STRING_TABLE};"
          f" one manifest ({len(SUPPORTED_OS)} supportedOS)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
