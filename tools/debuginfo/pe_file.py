"""Reading the headers of a PE image file (PE32 and PE32+): what the debug-information
generator and the .text check need."""
import struct

CODE_FLAG = 0x20


class Section:
    def __init__(self, name, virtual_address, virtual_size, raw_offset, raw_size, flags):
        self.name = name
        self.virtual_address = virtual_address
        self.virtual_size = virtual_size
        self.raw_offset = raw_offset
        self.raw_size = raw_size
        self.flags = flags


class PeFile:
    def __init__(self, data):
        if data[:2] != b"MZ":
            raise ValueError("not an MZ image")
        nt = struct.unpack_from("<I", data, 60)[0]
        if data[nt:nt + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        section_count, = struct.unpack_from("<H", data, nt + 6)
        optional_size, = struct.unpack_from("<H", data, nt + 20)
        optional = nt + 24
        magic, = struct.unpack_from("<H", data, optional)
        self.is64 = magic == 0x20B
        self.size_of_code, = struct.unpack_from("<I", data, optional + 4)
        self.entry_point, self.base_of_code = struct.unpack_from("<II", data, optional + 16)
        if self.is64:
            self.image_base, = struct.unpack_from("<Q", data, optional + 24)
        else:
            self.image_base, = struct.unpack_from("<I", data, optional + 28)
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            at = table + 40 * i
            name = data[at:at + 8].rstrip(b"\0").decode("latin-1")
            vsize, va, raw_size, raw_offset = struct.unpack_from("<IIII", data, at + 8)
            flags, = struct.unpack_from("<I", data, at + 36)
            self.sections.append(Section(name, va, vsize, raw_offset, raw_size, flags))
        self.data = data

    def code_range(self):
        """Start and end RVA of the code, found the way the debug-information reader finds it."""
        first = self.sections[0]
        if not first.flags & CODE_FLAG:
            return self.base_of_code, self.base_of_code + self.size_of_code
        end = first.virtual_address + first.virtual_size
        if len(self.sections) > 1 and self.sections[1].flags & CODE_FLAG:
            second = self.sections[1]
            end = second.virtual_address + second.virtual_size
        return first.virtual_address, end

    def section_bytes(self, name):
        for section in self.sections:
            if section.name == name:
                return self.data[section.raw_offset:section.raw_offset + min(section.raw_size, section.virtual_size)]
        raise KeyError(name)


def read_pe(path):
    with open(path, "rb") as f:
        return PeFile(f.read())
