#include "tests/LayoutCheck.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <set>

#include "format/EntryCode.h"
#include "model/Bytes.h"

namespace tastora::testing {
namespace {

std::string FormatList(const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, again);
  va_end(again);
  std::string text(size_t(std::max(size, 0)) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.pop_back();
  return text;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatList(format, args);
  va_end(args);
  return text;
}

// Caps that keep a broken image from walking forever.
constexpr int kMaxTables = 16;
constexpr int kMaxRows = 4096;
constexpr int kMaxEntries = 10000;
constexpr int kMaxNameLength = 256;

class Walker {
 public:
  // `width`: the size of a reference field, 8 or 4.
  Walker(const ReadMemoryFn& read, uint64_t tables, unsigned width) : read_(read), tables_(tables), w_(width) {}

  TablesWalk Run() {
    // The fields in units of a reference: seven references, bMaxVSCtoVK, two
    // references, the flags with nLgMax and cbLgEntry, then pLigature at the
    // next reference boundary, dwType and dwSubType.
    const uint64_t lig = (10 * w_ + 6 + w_ - 1) / w_ * w_;
    const auto t = Read(tables_, lig + w_ + 8, "KBDTABLES");
    if (!t) return std::move(walk_);
    const ByteReader k(*t);
    auto ref = [&](uint64_t unit) { return RefAt(k, unit * w_); };
    for (uint64_t unit : {0, 1, 2, 3, 4, 5, 6, 8, 9}) Field(tables_ + unit * w_, ref(unit));
    Field(tables_ + lig, RefAt(k, lig));
    Line("flags %08x type %08x subtype %08x", *k.U32(10 * w_), *k.U32(lig + w_), *k.U32(lig + w_ + 4));
    Modifiers(ref(0));
    CharacterTables(ref(1));
    DeadKeys(ref(2));
    Line("key names %s", Ref(ref(3)).c_str());
    KeyNames(ref(3));
    Line("ext key names %s", Ref(ref(4)).c_str());
    KeyNames(ref(4));
    DeadKeyNames(ref(5));
    ScanCodes(ref(6), *k.U8(7 * w_));
    Line("e0 %s", Ref(ref(8)).c_str());
    ScanVks(ref(8));
    Line("e1 %s", Ref(ref(9)).c_str());
    ScanVks(ref(9));
    Ligatures(RefAt(k, lig), *k.U8(10 * w_ + 4), *k.U8(10 * w_ + 5));
    return std::move(walk_);
  }

 private:
  std::optional<std::vector<uint8_t>> Read(uint64_t address, size_t size, const char* what) {
    std::vector<uint8_t> out(size);
    if (address != 0 && read_(address, out)) return out;
    walk_.problems.push_back(Format("tables: %s runs out of the image", what));
    return std::nullopt;
  }
  void Line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    va_list args;
    va_start(args, format);
    walk_.dump += FormatList(format, args);
    va_end(args);
    walk_.dump += '\n';
  }
  uint64_t RefAt(const ByteReader& r, uint64_t offset) const { return w_ == 8 ? *r.U64(offset) : *r.U32(offset); }
  void Field(uint64_t at, uint64_t value) {
    if (value != 0) walk_.referenceFields.push_back(at);
  }
  std::string Ref(uint64_t value) const {
    if (value == 0) return "@null";
    return value >= tables_ ? Format("@+%llx", static_cast<unsigned long long>(value - tables_))
                            : Format("@-%llx", static_cast<unsigned long long>(tables_ - value));
  }

  void Modifiers(uint64_t at) {
    Line("modifiers %s", Ref(at).c_str());
    const auto m = Read(at, w_ + 10, "MODIFIERS");
    if (!m) return;
    const ByteReader r(*m);
    const uint64_t list = RefAt(r, 0);
    Field(at, list);
    const unsigned maxBits = *r.U16(w_);
    std::string numbers;
    for (unsigned i = 0; i <= std::min(maxBits, 7u); ++i) numbers += Format(" %02x", *r.U8(w_ + 2 + i));
    Line(" vk-to-bit %s max %u numbers%s", Ref(list).c_str(), maxBits, numbers.c_str());
    for (int i = 0; i < 16; ++i) {
      const auto pair = Read(list + 2 * uint64_t(i), 2, "VK_TO_BIT");
      if (!pair || (*pair)[0] == 0) break;
      Line(" %02x %02x", (*pair)[0], (*pair)[1]);
    }
  }

  void CharacterTables(uint64_t at) {
    Line("char tables %s", Ref(at).c_str());
    for (int t = 0; t < kMaxTables; ++t) {
      const uint64_t entry = at + 2 * w_ * uint64_t(t);
      const auto d = Read(entry, 2 * w_, "VK_TO_WCHAR_TABLE");
      if (!d) return;
      const ByteReader r(*d);
      const uint64_t rows = RefAt(r, 0);
      if (rows == 0) return;
      Field(entry, rows);
      const unsigned width = *r.U8(w_);
      const unsigned size = *r.U8(w_ + 1);
      Line("table %s modifications %u size %u", Ref(rows).c_str(), width, size);
      if (size < 2 + 2 * width) {
        walk_.problems.push_back("tables: a row size does not hold its characters");
        return;
      }
      for (int i = 0; i < kMaxRows; ++i) {
        const auto row = Read(rows + uint64_t(i) * size, size, "VK_TO_WCHARS");
        if (!row || (*row)[0] == 0) break;
        const ByteReader rr(*row);
        std::string chars;
        for (unsigned c = 0; c < width; ++c) chars += Format(" %04x", *rr.U16(2 + 2 * c));
        Line(" %02x %02x%s", (*row)[0], (*row)[1], chars.c_str());
      }
    }
  }

  void DeadKeys(uint64_t at) {
    Line("dead keys %s", Ref(at).c_str());
    for (int i = 0; at != 0 && i < kMaxEntries; ++i) {
      const auto e = Read(at + 8 * uint64_t(i), 8, "DEADKEY");
      if (!e) return;
      const ByteReader r(*e);
      if (*r.U32(0) == 0) return;
      Line(" %08x %04x %04x", *r.U32(0), *r.U16(4), *r.U16(6));
    }
  }

  std::string Text(uint64_t at) {
    std::string text;
    for (int i = 0; i < kMaxNameLength; ++i) {
      const auto c = Read(at + 2 * uint64_t(i), 2, "a key name");
      if (!c) break;
      const uint16_t unit = uint16_t((*c)[0] | ((*c)[1] << 8));
      if (unit == 0) break;
      text += Format(" %04x", unit);
    }
    return text;
  }

  // Entries up to the one whose scan code and name are both 0.
  void KeyNames(uint64_t at) {
    for (int i = 0; at != 0 && i < kMaxEntries; ++i) {
      const uint64_t entry = at + 2 * w_ * uint64_t(i);
      const auto e = Read(entry, 2 * w_, "VSC_LPWSTR");
      if (!e) return;
      const ByteReader r(*e);
      const uint16_t scan = *r.U16(0);
      const uint64_t name = RefAt(r, w_);
      if (scan == 0 && name == 0) return;
      Field(entry + w_, name);
      Line(" %04x %s%s", scan, Ref(name).c_str(), name != 0 ? Text(name).c_str() : "");
    }
  }

  void DeadKeyNames(uint64_t at) {
    Line("dead key names %s", Ref(at).c_str());
    for (int i = 0; at != 0 && i < kMaxEntries; ++i) {
      const uint64_t entry = at + w_ * uint64_t(i);
      const auto e = Read(entry, w_, "dead key names");
      if (!e) return;
      const uint64_t name = RefAt(ByteReader(*e), 0);
      if (name == 0) return;
      Field(entry, name);
      Line(" %s%s", Ref(name).c_str(), Text(name).c_str());
    }
  }

  void ScanCodes(uint64_t at, unsigned count) {
    Line("scan codes %s max %u", Ref(at).c_str(), count);
    const auto table = Read(at, 2 * size_t(count), "the scan-code table");
    if (!table) return;
    const ByteReader r(*table);
    for (unsigned line = 0; line < count; line += 16) {
      std::string values;
      for (unsigned i = line; i < std::min(count, line + 16); ++i) values += Format(" %04x", *r.U16(2 * i));
      Line("%s", values.c_str());
    }
  }

  void ScanVks(uint64_t at) {
    for (int i = 0; at != 0 && i < kMaxEntries; ++i) {
      const auto e = Read(at + 4 * uint64_t(i), 4, "VSC_VK");
      if (!e || (*e)[0] == 0) return;
      Line(" %02x %04x", (*e)[0], unsigned((*e)[2] | ((*e)[3] << 8)));
    }
  }

  void Ligatures(uint64_t at, unsigned maxLength, unsigned entrySize) {
    Line("ligatures %s max %u size %u", Ref(at).c_str(), maxLength, entrySize);
    if (at == 0) return;
    if (entrySize != 4 + 2 * maxLength) {
      walk_.problems.push_back("tables: the ligature entry size does not fit the longest ligature");
      return;
    }
    for (int i = 0; i < kMaxEntries; ++i) {
      const auto e = Read(at + uint64_t(i) * entrySize, entrySize, "LIGATURE");
      if (!e) return;
      const ByteReader r(*e);
      if (*r.U16(0) == 0) return;
      std::string chars;
      for (unsigned c = 0; c < maxLength; ++c) chars += Format(" %04x", *r.U16(4 + 2 * c));
      Line(" %04x %04x%s", *r.U16(0), *r.U16(2), chars.c_str());
    }
  }

  const ReadMemoryFn& read_;
  uint64_t tables_;
  unsigned w_;
  TablesWalk walk_;
};

// ---------------------------------------------------------------------------
// The image.

constexpr uint16_t kMachineX86 = 0x014C;
constexpr uint16_t kMachineX64 = 0x8664;
constexpr uint16_t kMachineArm64 = 0xAA64;
// What Windows on ARM64 needs of an image it maps at a random address.
constexpr uint16_t kArm64DllCharacteristics = 0x0020 | 0x0040 | 0x0100;  // high-entropy VA, dynamic base, NX
constexpr uint16_t kRelocsStripped = 0x0001;
constexpr uint16_t kRelocAbsolute = 0;
constexpr uint16_t kRelocHighLow = 3;
constexpr uint16_t kRelocDir64 = 10;
constexpr uint32_t kSectionExecute = 0x20000000;

constexpr std::array<const char*, 16> kDirectoryNames{
    "export", "import", "resource", "exception", "security", "base relocation", "debug", "architecture",
    "global pointer", "TLS", "load configuration", "bound import", "import address table", "delay import",
    "CLR runtime", "reserved"};

bool PowerOfTwo(uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }
uint64_t RoundUp(uint64_t v, uint64_t a) { return a == 0 ? v : (v + a - 1) / a * a; }

struct Section {
  std::string name;
  uint32_t virtualSize, rva, rawSize, rawOffset, characteristics;
};

struct Directory {
  uint32_t rva = 0, size = 0;
};

struct Image {
  bool pe32Plus = false;
  uint16_t machine = 0;
  uint64_t imageBase = 0;
  uint32_t entryPoint = 0, sectionAlignment = 0, fileAlignment = 0, sizeOfImage = 0, sizeOfHeaders = 0;
  uint32_t sectionTable = 0;
  std::array<Directory, 16> directories{};
  std::vector<Section> sections;

  const Section* Holding(uint64_t rva, uint64_t size) const {
    for (const Section& s : sections)
      if (rva >= s.rva && rva + size <= uint64_t{s.rva} + s.virtualSize) return &s;
    return nullptr;
  }
};

class Checker {
 public:
  Checker(std::span<const uint8_t> file, unsigned referenceWidth) : file_(file), width_(referenceWidth) {}

  std::vector<std::string> Run() {
    if (!Headers()) return problems_;
    Sections();
    DirectoriesAndSize();
    const auto memory = Map(image_.imageBase);
    if (!memory) return problems_;
    const auto tables = Exports(*memory);
    if (!tables) return problems_;
    const TablesWalk walk = Walk(*memory, image_.imageBase, *tables);
    for (const std::string& p : walk.problems) Fail(p);
    for (uint64_t field : walk.referenceFields) References(*memory, field);
    std::set<uint32_t> fields;
    for (uint64_t field : walk.referenceFields) fields.insert(uint32_t(field - image_.imageBase));
    if (entryOperand_) fields.insert(*entryOperand_);
    Relocations(fields);
    Moved(walk.dump);
    return problems_;
  }

 private:
  void Fail(std::string message) { problems_.push_back(std::move(message)); }

  bool Headers() {
    const ByteReader f(file_);
    if (f.U16(0) != uint16_t{0x5A4D}) return Fail("DOS header: no MZ signature"), false;
    const auto lfanew = f.U32(0x3C);
    if (!lfanew || f.U32(*lfanew) != uint32_t{0x4550}) return Fail("DOS header: e_lfanew does not lead to a PE signature"), false;
    const uint64_t coff = *lfanew + 4;
    const uint64_t opt = coff + 20;
    image_.machine = f.U16(coff).value_or(0);
    const uint16_t sectionCount = f.U16(coff + 2).value_or(0);
    const uint16_t optionalSize = f.U16(coff + 16).value_or(0);
    const uint16_t characteristics = f.U16(coff + 18).value_or(0);
    const uint16_t magic = f.U16(opt).value_or(0);
    if (image_.machine != kMachineX86 && image_.machine != kMachineX64 && image_.machine != kMachineArm64)
      return Fail("COFF header: the machine is neither x86, x64 nor ARM64"), false;
    image_.pe32Plus = image_.machine != kMachineX86;
    if (magic != (image_.pe32Plus ? 0x020B : 0x010B)) return Fail("optional header: the magic does not fit the machine"), false;
    if (optionalSize != (image_.pe32Plus ? 0xF0 : 0xE0)) return Fail("COFF header: the optional header size does not fit the magic"), false;
    if ((characteristics & 0x2002) != 0x2002) Fail("COFF header: not marked as an executable DLL");
    if (characteristics & kRelocsStripped) Fail("COFF header: marked as having no relocations");
    if (!f.Contains(opt, optionalSize)) return Fail("optional header: runs past the end of the file"), false;
    image_.entryPoint = *f.U32(opt + 16);
    image_.imageBase = image_.pe32Plus ? *f.U64(opt + 24) : *f.U32(opt + 28);
    image_.sectionAlignment = *f.U32(opt + 32);
    image_.fileAlignment = *f.U32(opt + 36);
    image_.sizeOfImage = *f.U32(opt + 56);
    image_.sizeOfHeaders = *f.U32(opt + 60);
    const uint16_t dllCharacteristics = *f.U16(opt + 70);
    if (image_.machine == kMachineArm64 && (dllCharacteristics & kArm64DllCharacteristics) != kArm64DllCharacteristics)
      Fail("optional header: an ARM64 image not marked as movable anywhere and NX compatible");
    const uint32_t directoriesAt = image_.pe32Plus ? 112 : 96;
    const uint32_t directoryCount = *f.U32(opt + directoriesAt - 4);
    if (image_.entryPoint != 0) Fail("optional header: the entry point is not 0");
    if (image_.imageBase % 0x10000 != 0) Fail("optional header: the image base is not a multiple of 64 KB");
    if (!PowerOfTwo(image_.sectionAlignment) || image_.sectionAlignment < 0x1000)
      return Fail("optional header: the section alignment is not a power of two of at least 4 KB"), false;
    if (!PowerOfTwo(image_.fileAlignment) || image_.fileAlignment < 0x200 || image_.fileAlignment > 0x10000)
      return Fail("optional header: the file alignment is not a power of two from 512 to 64 KB"), false;
    if (image_.fileAlignment > image_.sectionAlignment) Fail("optional header: the file alignment is above the section alignment");
    if (directoryCount != 16) return Fail("optional header: there are not 16 data directories"), false;
    for (uint32_t i = 0; i < 16; ++i)
      image_.directories[i] = {*f.U32(opt + directoriesAt + 8 * i), *f.U32(opt + directoriesAt + 8 * i + 4)};
    image_.sectionTable = uint32_t(opt + optionalSize);
    if (sectionCount == 0 || !f.Contains(image_.sectionTable, 40u * sectionCount))
      return Fail("section table: empty or past the end of the file"), false;
    for (uint32_t i = 0; i < sectionCount; ++i) {
      const uint64_t s = image_.sectionTable + 40u * i;
      const auto name = *f.Slice(s, 8);
      image_.sections.push_back({std::string(name.begin(), std::find(name.begin(), name.end(), 0)), *f.U32(s + 8),
                                 *f.U32(s + 12), *f.U32(s + 16), *f.U32(s + 20), *f.U32(s + 36)});
    }
    if (image_.sizeOfHeaders % image_.fileAlignment != 0)
      Fail("optional header: the size of headers is not a multiple of the file alignment");
    if (image_.sizeOfHeaders < image_.sectionTable + 40u * sectionCount)
      Fail("optional header: the size of headers does not cover the section table");
    return true;
  }

  void Sections() {
    uint64_t expected = RoundUp(image_.sizeOfHeaders, image_.sectionAlignment);
    for (const Section& s : image_.sections) {
      const char* n = s.name.c_str();
      if (s.virtualSize == 0) Fail(Format("section %s: the virtual size is 0", n));
      if (s.rva % image_.sectionAlignment != 0) Fail(Format("section %s: the address is not aligned to the section alignment", n));
      if (s.rva != expected) Fail(Format("section %s: does not start where the one before it ends", n));
      if (s.rawOffset % image_.fileAlignment != 0) Fail(Format("section %s: the raw data offset is not aligned to the file alignment", n));
      if (s.rawSize % image_.fileAlignment != 0) Fail(Format("section %s: the raw data size is not a multiple of the file alignment", n));
      if (uint64_t{s.rawOffset} + s.rawSize > file_.size()) Fail(Format("section %s: the raw data runs past the end of the file", n));
      if (s.rawSize != 0 && s.rawOffset < image_.sizeOfHeaders) Fail(Format("section %s: the raw data lies inside the headers", n));
      expected = RoundUp(uint64_t{s.rva} + std::max(s.virtualSize, 1u), image_.sectionAlignment);
    }
    if (image_.sizeOfImage % image_.sectionAlignment != 0)
      Fail("optional header: the size of image is not a multiple of the section alignment");
    if (image_.sizeOfImage != expected) Fail("optional header: the size of image is not the end of the last section");
  }

  void DirectoriesAndSize() {
    for (uint32_t i = 0; i < 16; ++i) {
      const Directory& d = image_.directories[i];
      const bool wanted = i == 0 || i == 2 || i == 5;
      if (!wanted && (d.rva != 0 || d.size != 0)) Fail(Format("data directory %s is not empty", kDirectoryNames[i]));
      if (wanted && (d.size == 0 || !image_.Holding(d.rva, d.size)))
        Fail(Format("data directory %s does not lie inside one section", kDirectoryNames[i]));
    }
  }

  // Sections copied to their addresses as the loader does, relocated to `base`.
  std::optional<std::vector<uint8_t>> Map(uint64_t base) {
    std::vector<uint8_t> memory(image_.sizeOfImage);
    std::copy_n(file_.begin(), std::min<size_t>({image_.sizeOfHeaders, file_.size(), memory.size()}), memory.begin());
    for (const Section& s : image_.sections) {
      const uint64_t size = std::min<uint64_t>(s.rawSize, RoundUp(s.virtualSize, image_.sectionAlignment));
      if (uint64_t{s.rawOffset} + size > file_.size() || uint64_t{s.rva} + size > memory.size()) {
        Fail("image: a section does not fit the file or the image");
        return std::nullopt;
      }
      std::copy_n(file_.begin() + s.rawOffset, size, memory.begin() + s.rva);
    }
    if (base != image_.imageBase && !Relocate(memory, base - image_.imageBase)) return std::nullopt;
    return memory;
  }

  bool Relocate(std::vector<uint8_t>& memory, uint64_t delta) {
    ByteWriter w(0);
    w.Bytes(0, memory);
    const ByteReader r(memory);
    for (const auto& [rva, type] : relocations_) {
      if (type == kRelocHighLow && r.U32(rva)) w.U32(rva, uint32_t(*r.U32(rva) + delta));
      if (type == kRelocDir64 && r.U64(rva)) w.U64(rva, *r.U64(rva) + delta);
    }
    memory = w.Take();
    return true;
  }

  static ReadMemoryFn Reader(const std::vector<uint8_t>& memory, uint64_t base) {
    return [&memory, base](uint64_t address, std::span<uint8_t> out) {
      if (address < base) return false;
      const auto bytes = ByteReader(memory).Slice(address - base, out.size());
      if (!bytes) return false;
      std::copy(bytes->begin(), bytes->end(), out.begin());
      return true;
    };
  }

  // The export directory, the one function in it and the KBDTABLES address
  // it returns.
  std::optional<uint64_t> Exports(const std::vector<uint8_t>& memory) {
    const ByteReader m(memory);
    const uint32_t dir = image_.directories[0].rva;
    if (m.U32(dir + 20) != uint32_t{1} || m.U32(dir + 24) != uint32_t{1})
      return Fail("export directory: not exactly one function and one name"), std::nullopt;
    const auto nameRva = m.U32(m.U32(dir + 32).value_or(0));
    const std::string expected = "KbdLayerDescriptor";
    const auto name = m.Slice(nameRva.value_or(0), expected.size() + 1);
    if (!name || !std::equal(expected.begin(), expected.end(), name->begin()) || name->back() != 0)
      Fail("export directory: the name is not KbdLayerDescriptor");
    if (m.U16(m.U32(dir + 36).value_or(0)) != uint16_t{0}) Fail("export directory: the name's ordinal is not the function");
    const auto libraryName = m.U32(dir + 12);
    if (!libraryName || !image_.Holding(*libraryName, 1)) Fail("export directory: the library name is not in the image");
    const uint32_t entry = m.U32(m.U32(dir + 28).value_or(0)).value_or(0);
    const size_t codeSize = image_.machine == kMachineArm64 ? tastora::entry::kArm64Size : image_.pe32Plus ? 8 : 7;
    const Section* code = image_.Holding(entry, codeSize);
    if (!code) return Fail("export directory: the function does not lie inside a section"), std::nullopt;
    if ((code->characteristics & kSectionExecute) == 0) Fail("export directory: the function's section is not executable");
    const auto bytes = *m.Slice(entry, codeSize);
    uint64_t tables = 0;
    if (!image_.pe32Plus && bytes[0] == 0xB8 && bytes[5] == 0x99 && bytes[6] == 0xC3) {
      tables = *m.U32(entry + 1);
      entryOperand_ = entry + 1;
    } else if (image_.machine == kMachineX64 && bytes[0] == 0x48 && bytes[1] == 0x8D && bytes[2] == 0x05 &&
               bytes[7] == 0xC3) {
      tables = image_.imageBase + entry + 7 + uint64_t(int64_t(*m.I32(entry + 3)));
    } else if (image_.machine == kMachineArm64) {
      const auto arm64 = tastora::entry::ReturnedAddress(m, entry, image_.imageBase + entry, kMachineArm64);
      if (!arm64) return Fail("entry code: not a form that returns the address of KBDTABLES"), std::nullopt;
      tables = *arm64;
    } else {
      return Fail("entry code: not a form that returns the address of KBDTABLES"), std::nullopt;
    }
    const Section* data = image_.Holding(entry, 1);
    if (tables < image_.imageBase || !data || data != image_.Holding(tables - image_.imageBase, 0x68))
      return Fail("entry code: KBDTABLES does not lie inside the function's section"), std::nullopt;
    return tables;
  }

  TablesWalk Walk(const std::vector<uint8_t>& memory, uint64_t base, uint64_t tables) {
    return WalkLayoutTables(Reader(memory, base), tables, width_);
  }

  void References(const std::vector<uint8_t>& memory, uint64_t field) {
    const ByteReader r(memory);
    const uint64_t value = width_ == 8 ? *r.U64(field - image_.imageBase) : *r.U32(field - image_.imageBase);
    const uint32_t rva = uint32_t(field - image_.imageBase);
    if (!image_.pe32Plus && (value >> 32) != 0) Fail(Format("tables: the reference at RVA 0x%X has a high half", rva));
    if (value < image_.imageBase || !image_.Holding(value - image_.imageBase, 1))
      Fail(Format("tables: the reference at RVA 0x%X points outside the image's sections", rva));
  }

  void Relocations(const std::set<uint32_t>& fields) {
    const ByteReader f(file_);
    const Directory& d = image_.directories[5];
    const Section* s = image_.Holding(d.rva, d.size);
    if (!s) return;
    const uint64_t start = uint64_t{s->rawOffset} + (d.rva - s->rva);
    const uint16_t wanted = image_.pe32Plus ? kRelocDir64 : kRelocHighLow;
    std::map<uint32_t, int> seen;
    for (uint64_t block = 0, index = 0; block + 8 <= d.size; ++index) {
      if (block % 4 != 0) Fail(Format("base relocations: block %u does not start at a multiple of 4", unsigned(index)));
      const uint32_t page = f.U32(start + block).value_or(0);
      const uint32_t size = f.U32(start + block + 4).value_or(0);
      if (size < 8 || block + size > d.size || size % 2 != 0)
        return Fail(Format("base relocations: block %u has a size below 8, odd or past the directory", unsigned(index)));
      if (page % 0x1000 != 0) Fail(Format("base relocations: block %u's page is not a multiple of 4 KB", unsigned(index)));
      for (uint64_t e = 8; e < size; e += 2) {
        const uint16_t entry = *f.U16(start + block + e);
        const uint16_t type = entry >> 12;
        if (type == kRelocAbsolute) continue;
        if (type != wanted) {
          Fail(Format("base relocations: an entry of type %u", unsigned(type)));
          continue;
        }
        const uint32_t rva = page + (entry & 0xFFF);
        relocations_.emplace_back(rva, type);
        if (++seen[rva] == 2) Fail(Format("base relocations: the field at RVA 0x%X is relocated twice", rva));
        if (!fields.count(rva)) Fail(Format("base relocations: the field at RVA 0x%X is not a reference", rva));
      }
      block += size;
    }
    for (uint32_t rva : fields)
      if (!seen.count(rva)) Fail(Format("base relocations: the reference at RVA 0x%X has no relocation", rva));
  }

  // The image at another base: above 4 GB for x64 and ARM64, low for x86.
  void Moved(const std::string& dumpAtBase) {
    const uint64_t base = image_.pe32Plus ? 0x7FF612340000ull : 0x10000000ull;
    const auto memory = Map(base);
    if (!memory) return;
    const std::optional<uint64_t> tables = MovedTables(*memory, base);
    if (!tables || WalkLayoutTables(Reader(*memory, base), *tables, width_).dump != dumpAtBase)
      Fail(Format("relocations: the image moved to 0x%llX does not hold the same tables",
                  static_cast<unsigned long long>(base)));
  }

  std::optional<uint64_t> MovedTables(const std::vector<uint8_t>& memory, uint64_t base) const {
    const ByteReader m(memory);
    const uint32_t entry = m.U32(m.U32(image_.directories[0].rva + 28).value_or(0)).value_or(0);
    if (!image_.pe32Plus) return m.U32(entry + 1);
    if (image_.machine == kMachineArm64) return tastora::entry::ReturnedAddress(m, entry, base + entry, kMachineArm64);
    const auto disp = m.I32(entry + 3);
    if (!disp) return std::nullopt;
    return base + entry + 7 + uint64_t(int64_t(*disp));
  }

  std::span<const uint8_t> file_;
  unsigned width_;
  Image image_;
  std::optional<uint32_t> entryOperand_;
  std::vector<std::pair<uint32_t, uint16_t>> relocations_;
  std::vector<std::string> problems_;
};

}  // namespace

TablesWalk WalkLayoutTables(const ReadMemoryFn& read, uint64_t tables, unsigned referenceWidth) {
  return Walker(read, tables, referenceWidth).Run();
}

std::vector<std::string> CheckLayoutLibrary(std::span<const uint8_t> file, unsigned referenceWidth) {
  return Checker(file, referenceWidth).Run();
}

std::optional<TablesWalk> WalkLoadedLibrary(LibraryLoader& loader, LibraryHandle library, unsigned referenceWidth) {
  const auto entry = loader.FindExport(library, "KbdLayerDescriptor");
  const auto tables = entry ? loader.CallDescriptor(library, *entry) : std::nullopt;
  if (!tables) return std::nullopt;
  return WalkLayoutTables(
      [&](uint64_t address, std::span<uint8_t> out) { return loader.ReadMemory(library, address, out); }, *tables,
      referenceWidth);
}

}  // namespace tastora::testing
