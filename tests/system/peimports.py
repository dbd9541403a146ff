"""Names a Windows program imports, read from its PE file (standard library only), so that tests
can check which system functions a program needs before it is ever loaded."""
import struct


def _rva_to_offset(sections, rva):
    for virtual_address, virtual_size, raw_offset, raw_size in sections:
        if virtual_address <= rva < virtual_address + max(virtual_size, raw_size):
            return raw_offset + rva - virtual_address
    raise ValueError("address %#x is in no section" % rva)


def _c_string(data, offset):
    return data[offset:data.index(b"\0", offset)].decode("ascii")


def imports(path):
    """{dll name in lower case: [function names]} of a 32-bit PE file (ordinals as "#n")."""
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError(path + " is not a PE file")
    sections_count, = struct.unpack_from("<H", data, pe + 6)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x10B:
        raise ValueError(path + " is not a 32-bit program")
    import_rva, = struct.unpack_from("<I", data, optional + 96 + 8)
    sections = []
    for i in range(sections_count):
        entry = optional + optional_size + 40 * i
        virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<IIII", data, entry + 8)
        sections.append((virtual_address, virtual_size, raw_offset, raw_size))
    result = {}
    descriptor = _rva_to_offset(sections, import_rva)
    while True:
        lookup, _, _, name_rva, thunks = struct.unpack_from("<IIIII", data, descriptor)
        if name_rva == 0:
            break
        dll = _c_string(data, _rva_to_offset(sections, name_rva)).lower()
        names = result.setdefault(dll, [])
        entry = _rva_to_offset(sections, lookup or thunks)
        while True:
            value, = struct.unpack_from("<I", data, entry)
            if value == 0:
                break
            if value & 0x80000000:
                names.append("#%d" % (value & 0xFFFF))
            else:
                names.append(_c_string(data, _rva_to_offset(sections, value) + 2))
            entry += 4
        descriptor += 20
    return result
