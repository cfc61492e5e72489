"""Reads resources back out of a PE file: the application manifest and the
version information, as Windows would find them."""
import struct

RT_VERSION, RT_MANIFEST = 16, 24


def _sections(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    directories = pe + 24 + (96 if magic == 0x10B else 112)
    rsrc_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = pe + 24 + optional_size
    sections = []
    for i in range(count):
        name, vsize, rva, rsize, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
        sections.append((rva, max(vsize, rsize), raw))
    return rsrc_rva, sections


def _offset(sections, rva):
    for start, size, raw in sections:
        if start <= rva < start + size:
            return raw + rva - start
    raise ValueError("address 0x%x is in no section" % rva)


def resources(path):
    """{(type, name, language): bytes} for every resource of the file."""
    data = open(path, "rb").read()
    rsrc_rva, sections = _sections(data)
    if not rsrc_rva:
        return {}
    base = _offset(sections, rsrc_rva)

    def entries(offset):
        named, ids = struct.unpack_from("<HH", data, base + offset + 12)
        for i in range(named + ids):
            ident, target = struct.unpack_from("<II", data, base + offset + 16 + 8 * i)
            yield ident, target

    found = {}
    for rtype, t in entries(0):
        for name, n in entries(t & 0x7FFFFFFF):
            for lang, leaf in entries(n & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                start = _offset(sections, rva)
                found[(rtype, name, lang)] = data[start:start + size]
    return found


def manifest(path):
    texts = [v for (t, _, _), v in resources(path).items() if t == RT_MANIFEST]
    return texts[0].decode("utf-8") if len(texts) == 1 else None


def version_strings(path):
    """The StringFileInfo values and the fixed file version of the version
    resource: ({key: value}, (major, minor, patch, build))."""
    blobs = [v for (t, _, _), v in resources(path).items() if t == RT_VERSION]
    if len(blobs) != 1:
        return None
    blob = blobs[0]
    strings = {}

    def walk(offset, end):
        while offset < end:
            length, value_length, is_text = struct.unpack_from("<HHH", blob, offset)
            if length == 0:
                break
            key_end = offset + 6
            while blob[key_end:key_end + 2] != b"\0\0":
                key_end += 2
            key = blob[offset + 6:key_end].decode("utf-16-le")
            value = (key_end + 2 + 3) & ~3
            children = value + (value_length * 2 if is_text else value_length)
            children = (children + 3) & ~3
            if is_text and value_length:
                strings[key] = blob[value:value + value_length * 2].decode("utf-16-le").rstrip("\0")
            walk(children, offset + length)
            offset = (offset + length + 3) & ~3

    walk(0, len(blob))
    fixed = blob.find(struct.pack("<I", 0xFEEF04BD))
    ms, ls = struct.unpack_from("<II", blob, fixed + 8)
    return strings, (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
