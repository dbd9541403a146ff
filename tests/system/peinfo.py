"""What a Windows program's PE file holds, read with the standard library only: the functions it
imports (checked before the program is ever loaded) and its resources. 32-bit (PE32) and 64-bit
(PE32+) files alike."""
import struct

# Optional header magic: (data directories offset, import thunk format, ordinal flag)
_FORMATS = {
    0x10B: (96, "<I", 0x80000000),                 # PE32, i686
    0x20B: (112, "<Q", 0x8000000000000000),        # PE32+, x86_64
}


# System functions that came with Vista or later and that compilers' runtimes are known to pull in.
# Windows XP's loader refuses a program that imports any of them, before a line of it runs.
NOT_ON_XP = {
    "kernel32.dll": {
        "GetTickCount64", "InitializeConditionVariable", "SleepConditionVariableCS",
        "SleepConditionVariableSRW", "WakeConditionVariable", "WakeAllConditionVariable",
        "InitializeSRWLock", "AcquireSRWLockExclusive", "AcquireSRWLockShared",
        "ReleaseSRWLockExclusive", "ReleaseSRWLockShared", "TryAcquireSRWLockExclusive",
        "InitOnceExecuteOnce", "InitOnceBeginInitialize", "InitOnceComplete", "FlsAlloc",
        "FlsFree", "FlsGetValue", "FlsSetValue", "GetCurrentProcessorNumber",
        "GetSystemTimePreciseAsFileTime", "GetFileInformationByHandleEx",
        "SetFileInformationByHandle", "GetFinalPathNameByHandleW", "CreateSymbolicLinkW",
        "QueryFullProcessImageNameW", "QueryFullProcessImageNameA", "CreateEventExW",
        "CreateMutexExW", "CreateSemaphoreExW", "GetErrorMode", "GetLocaleInfoEx",
        "CompareStringEx", "LCMapStringEx", "GetUserDefaultLocaleName",
        "WerRegisterRuntimeExceptionModule", "SetThreadErrorMode", "GetThreadErrorMode",
    },
    "user32.dll": {"ChangeWindowMessageFilter", "SetProcessDPIAware", "IsProcessDPIAware"},
    "shell32.dll": {"SHGetKnownFolderPath", "SHCreateItemFromParsingName"},
}


def _rva_to_offset(sections, rva):
    for virtual_address, virtual_size, raw_offset, raw_size in sections:
        if virtual_address <= rva < virtual_address + max(virtual_size, raw_size):
            return raw_offset + rva - virtual_address
    raise ValueError("address %#x is in no section" % rva)


def _c_string(data, offset):
    return data[offset:data.index(b"\0", offset)].decode("ascii")


def machine_bits(path):
    """32 or 64: what the program file was built for."""
    with open(path, "rb") as f:
        data = f.read()
    optional, _ = _headers(data, path)
    return 32 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 64


def _headers(data, path):
    """(optional header offset, sections) of a PE image."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError(path + " is not a PE file")
    sections_count, = struct.unpack_from("<H", data, pe + 6)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] not in _FORMATS:
        raise ValueError(path + " is neither a 32-bit nor a 64-bit program")
    sections = []
    for i in range(sections_count):
        entry = optional + optional_size + 40 * i
        virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<IIII", data, entry + 8)
        sections.append((virtual_address, virtual_size, raw_offset, raw_size))
    return optional, sections


def _format(data, optional):
    return _FORMATS[struct.unpack_from("<H", data, optional)[0]]


def _data_directory(data, optional, index):
    directories = _format(data, optional)[0]
    return struct.unpack_from("<I", data, optional + directories + 8 * index)[0]


def imports(path):
    """{dll name in lower case: [function names]} of a PE file (ordinals as "#n")."""
    with open(path, "rb") as f:
        data = f.read()
    optional, sections = _headers(data, path)
    _, thunk_format, ordinal_flag = _format(data, optional)
    thunk_size = struct.calcsize(thunk_format)
    import_rva = _data_directory(data, optional, 1)
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
            value, = struct.unpack_from(thunk_format, data, entry)
            if value == 0:
                break
            if value & ordinal_flag:
                names.append("#%d" % (value & 0xFFFF))
            else:
                names.append(_c_string(data, _rva_to_offset(sections, value & 0x7FFFFFFF) + 2))
            entry += thunk_size
        descriptor += 20
    return result


def resources(path):
    """{(type id, resource id): bytes} of a PE file's numbered resources (first language)."""
    with open(path, "rb") as f:
        data = f.read()
    optional, sections = _headers(data, path)
    root = _rva_to_offset(sections, _data_directory(data, optional, 2))

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            if not name & 0x80000000:
                yield name, target

    result = {}
    for type_id, type_target in entries(root):
        for res_id, res_target in entries(root + (type_target & 0x7FFFFFFF)):
            languages = list(entries(root + (res_target & 0x7FFFFFFF)))
            if not languages:
                continue
            leaf = root + (languages[0][1] & 0x7FFFFFFF)
            data_rva, size = struct.unpack_from("<II", data, leaf)
            start = _rva_to_offset(sections, data_rva)
            result[(type_id, res_id)] = data[start:start + size]
    return result


def string_resource(res, string_id):
    """The text of string string_id from a resources() result, or None."""
    block = res.get((6, string_id // 16 + 1))
    if block is None:
        return None
    offset = 0
    for index in range(16):
        length, = struct.unpack_from("<H", block, offset)
        text = block[offset + 2:offset + 2 + 2 * length].decode("utf-16-le")
        if index == string_id % 16:
            return text
        offset += 2 + 2 * length
    return None
