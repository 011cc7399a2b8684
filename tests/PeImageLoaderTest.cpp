// The offline PE loader against libraries built by a real toolchain and
// against small images laid out here, including broken ones.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "model/Bytes.h"
#include "platform/offline/PeImageLoader.h"

namespace tastora {
namespace {

constexpr uint64_t kLowBase = 0x10000000;

std::vector<uint8_t> ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string CompiledLayout(const std::string& name) { return std::string(TASTORA_TEST_LAYOUTS_DIR) + "/" + name; }

// One section at RVA 0x1000 holding the descriptor code at its start, words to
// relocate at 0x100, and the export directory at 0x800.
struct TinyImage {
  uint16_t machine = 0x014C;
  uint64_t imageBase = kLowBase;
  std::vector<uint8_t> code{0xB8, 0x78, 0x56, 0x34, 0x12, 0xC3};
  std::vector<uint16_t> relocations;  // type << 12 | offset in the page at RVA 0x1000
  uint64_t relocated = 0;             // the value placed at RVA 0x1100
};

std::vector<uint8_t> Build(const TinyImage& t) {
  const bool plus = t.machine != 0x014C;
  ByteWriter w(0x1200);
  w.U16(0, 0x5A4D);
  w.U32(0x3C, 0x40);
  w.U32(0x40, 0x4550);
  w.U16(0x44, t.machine);
  w.U16(0x46, 1);
  w.U16(0x54, plus ? 0xF0 : 0xE0);
  const size_t opt = 0x58, dirs = opt + (plus ? 112 : 96);
  w.U16(opt, plus ? 0x20B : 0x10B);
  plus ? w.U64(opt + 24, t.imageBase) : w.U32(opt + 28, uint32_t(t.imageBase));
  w.U32(opt + 32, 0x1000);
  w.U32(opt + 36, 0x200);
  w.U32(opt + 56, 0x2000);
  w.U32(opt + 60, 0x200);
  w.U32(dirs - 4, 16);
  w.U32(dirs, 0x1800);
  w.U32(dirs + 4, 0x100);
  w.U32(dirs + 40, 0x1C00);
  w.U32(dirs + 44, uint32_t(8 + 2 * t.relocations.size()));
  const size_t section = opt + (plus ? 0xF0 : 0xE0);
  w.U32(section + 8, 0x1000);
  w.U32(section + 12, 0x1000);
  w.U32(section + 16, 0x1000);
  w.U32(section + 20, 0x200);
  auto at = [](uint32_t rva) { return size_t{rva} - 0x1000 + 0x200; };
  w.Bytes(at(0x1000), t.code);
  w.U64(at(0x1100), t.relocated);
  const uint32_t exports = 0x1800;
  w.U32(at(exports + 20), 1);
  w.U32(at(exports + 24), 1);
  w.U32(at(exports + 28), 0x1840);
  w.U32(at(exports + 32), 0x1844);
  w.U32(at(exports + 36), 0x1848);
  w.U32(at(0x1840), 0x1000);
  w.U32(at(0x1844), 0x1850);
  const std::string name = "KbdLayerDescriptor";
  w.Bytes(at(0x1850), std::span(reinterpret_cast<const uint8_t*>(name.data()), name.size() + 1));
  w.U32(at(0x1C00), 0x1000);
  w.U32(at(0x1C04), uint32_t(8 + 2 * t.relocations.size()));
  for (size_t i = 0; i < t.relocations.size(); ++i) w.U16(at(0x1C08) + 2 * i, t.relocations[i]);
  w.Reserve(0x1200);
  return w.Take();
}

TEST(PeImageLoader, EvaluatesTheDescriptorCodeFormsAndNothingElse) {
  struct Case {
    const char* what;
    uint16_t machine;
    std::vector<uint8_t> code;
    std::optional<uint64_t> result;  // relative to the image base when above it
  };
  const auto arm = [](std::initializer_list<uint32_t> words) {
    ByteWriter w;
    for (uint32_t word : words) w.U32(w.size(), word);
    return w.Take();
  };
  const Case cases[] = {
      {"mov eax; ret", 0x014C, {0xB8, 0x78, 0x56, 0x34, 0x12, 0xC3}, 0x12345678},
      {"mov eax; cdq; ret", 0x014C, {0xB8, 0x78, 0x56, 0x34, 0x12, 0x99, 0xC3}, 0x12345678},
      {"mov eax without ret", 0x014C, {0xB8, 0x78, 0x56, 0x34, 0x12, 0x90}, std::nullopt},
      {"lea in 32-bit code", 0x014C, {0x48, 0x8D, 0x05, 0xF9, 0x0F, 0x00, 0x00, 0xC3}, std::nullopt},
      {"lea rax, [rip+]", 0x8664, {0x48, 0x8D, 0x05, 0xF9, 0x0F, 0x00, 0x00, 0xC3}, kLowBase + 0x2000},
      {"lea backwards", 0x8664, {0x48, 0x8D, 0x05, 0xF9, 0xFF, 0xFF, 0xFF, 0xC3}, kLowBase + 0x1000},
      {"mov eax in 64-bit code", 0x8664, {0xB8, 0x00, 0x20, 0x00, 0x10, 0xC3}, kLowBase + 0x2000},
      {"plain ret", 0x8664, {0xC3}, std::nullopt},
      {"adrp; add; ret", 0xAA64, arm({0xB0000000, 0x91004000, 0xD65F03C0}), kLowBase + 0x2010},
      {"adrp back a page", 0xAA64, arm({0xF0FFFFE0, 0x91004000, 0xD65F03C0}), kLowBase + 0x0010},
      {"add lsl 12", 0xAA64, arm({0x90000000, 0x91400400, 0xD65F03C0}), kLowBase + 0x2000},
      {"adrp into x1", 0xAA64, arm({0xB0000001, 0x91004000, 0xD65F03C0}), std::nullopt},
      {"no ret", 0xAA64, arm({0xB0000000, 0x91004000, 0xD503201F}), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PeImageLoader loader;
    const auto library = loader.LoadFromBytes(Build({c.machine, kLowBase, c.code, {}, 0}));
    ASSERT_TRUE(library);
    const auto entry = loader.FindExport(*library, "KbdLayerDescriptor");
    ASSERT_EQ(entry, kLowBase + 0x1000);
    EXPECT_EQ(loader.CallDescriptor(*library, *entry), c.result);
    EXPECT_FALSE(loader.FindExport(*library, "KbdLayerDescriptorEx"));
    EXPECT_FALSE(loader.FindExport(*library, "KbdLayer"));
  }
}

TEST(PeImageLoader, RebasesImagesOutOfThirtyTwoBitReach) {
  struct Case {
    const char* what;
    uint16_t machine;
    uint64_t imageBase;
    std::vector<uint16_t> relocations;
    uint64_t value;
    std::optional<uint64_t> mapped;  // the relocated value, or a load failure
  };
  const Case cases[] = {
      {"fits: no relocation", 0x014C, 0x20000000, {0x3100}, 0x20001234, 0x20001234},
      {"highlow", 0x8664, 0x180000000, {0x3100, 0x0000}, 0x80001234, 0x10001234},
      {"dir64", 0x8664, 0x180000000, {0xA100}, 0x180001234, 0x10001234},
      {"unknown type", 0x8664, 0x180000000, {0x5100}, 0x180001234, std::nullopt},
      {"relocation past the image", 0x8664, 0x180000000, {0xAFFC}, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PeImageLoader loader;
    TinyImage t{c.machine, c.imageBase, {0xC3}, c.relocations, c.value};
    const auto library = loader.LoadFromBytes(Build(t));
    ASSERT_EQ(library.has_value(), c.mapped.has_value());
    if (!library) continue;
    std::array<uint8_t, 8> bytes{};
    const uint64_t base = c.imageBase < 0x100000000 - 0x2000 ? c.imageBase : kLowBase;
    ASSERT_TRUE(loader.ReadMemory(*library, base + 0x1100, bytes));
    EXPECT_EQ(ByteReader(bytes).U64(0), c.mapped);
  }
}

TEST(PeImageLoader, ReadsOnlyTheMappedImage) {
  PeImageLoader loader;
  const auto library = loader.LoadFromBytes(Build({}));
  ASSERT_TRUE(library);
  std::array<uint8_t, 4> out{};
  EXPECT_TRUE(loader.ReadMemory(*library, kLowBase + 0x1FFC, out));
  EXPECT_FALSE(loader.ReadMemory(*library, kLowBase + 0x1FFD, out));
  EXPECT_FALSE(loader.ReadMemory(*library, kLowBase - 1, out));
  EXPECT_FALSE(loader.ReadMemory(*library, UINT64_MAX - 1, out));
  EXPECT_FALSE(loader.ReadMemory(*library + 1, kLowBase, out));
  loader.Unload(*library);
  EXPECT_FALSE(loader.ReadMemory(*library, kLowBase, out));
}

TEST(PeImageLoader, RefusesBrokenHeaders) {
  const std::vector<uint8_t> good = Build({});
  struct Case {
    const char* what;
    size_t offset;  // into the file
    uint32_t value;
    int width;
  };
  const Case cases[] = {
      {"no MZ", 0, 0x5A4E, 2},           {"headers past the end", 0x3C, 0xFFFFFFF0, 4},
      {"no PE signature", 0x40, 0x4551, 4}, {"unknown machine", 0x44, 0x01C0, 2},
      {"no sections", 0x46, 0, 2},        {"too many sections", 0x46, 200, 2},
      {"PE32+ magic on x86", 0x58, 0x20B, 2}, {"base not 64 KB aligned", 0x58 + 28, 0x10001000, 4},
      {"odd section alignment", 0x58 + 32, 0x1800, 4}, {"huge image", 0x58 + 56, 0x7FFFFFFF, 4},
      {"headers larger than the image", 0x58 + 60, 0x3000, 4}, {"17 directories", 0x58 + 92, 17, 4},
      {"exports past the image", 0x58 + 96, 0x1F80, 4}, {"section past the image", 0x138 + 12, 0x1800, 4},
      {"section data past the file", 0x138 + 20, 0x1000, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bad = good;
    for (int i = 0; i < c.width; ++i) bad[c.offset + size_t(i)] = uint8_t(c.value >> (8 * i));
    EXPECT_FALSE(PeImageLoader().LoadFromBytes(bad));
  }
  for (size_t n = 0; n < good.size(); n += 97)
    EXPECT_FALSE(PeImageLoader().LoadFromBytes(std::span(good).first(n))) << n;
  EXPECT_TRUE(PeImageLoader().LoadFromBytes(good));
}

TEST(PeImageLoader, FindsExportsOnlyThroughTablesInsideTheExportDirectory) {
  // The directory is at RVA 0x1800 (file 0xA00), 0x100 bytes: its tables
  // are at 0x1840 (addresses), 0x1844 (names) and 0x1848 (ordinals).
  constexpr size_t kDirectory = 0xA00, kDirectorySize = 0x58 + 96 + 4;
  struct Case {
    const char* what;
    size_t offset;  // into the file
    uint32_t value;
    bool found;
  };
  const Case cases[] = {
      {"as built", kDirectory + 24, 1, true},
      {"names up to the directory's end", kDirectory + 24, (0x1900 - 0x1844) / 4, true},
      {"one name more than the directory holds", kDirectory + 24, (0x1900 - 0x1844) / 4 + 1, false},
      {"a billion names", kDirectory + 24, 0x40000000, false},
      {"no names", kDirectory + 24, 0, false},
      {"more addresses than the directory holds", kDirectory + 20, 0x100, false},
      {"addresses before the directory", kDirectory + 28, 0x1000, false},
      {"names after the directory", kDirectory + 32, 0x1C00, false},
      {"ordinals across the directory's end", kDirectory + 36, 0x18FF, false},
      {"a directory smaller than its own table", kDirectorySize, 0x20, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = Build({});
    for (int i = 0; i < 4; ++i) bytes[c.offset + size_t(i)] = uint8_t(c.value >> (8 * i));
    PeImageLoader loader;
    const auto library = loader.LoadFromBytes(bytes);
    ASSERT_TRUE(library);
    EXPECT_EQ(loader.FindExport(*library, "KbdLayerDescriptor").has_value(), c.found);
  }
}

TEST(PeImageLoader, LoadsCompiledLayoutLibraries) {
  for (const char* name : {"us-i686.dll", "us-x86_64.dll"}) {
    SCOPED_TRACE(name);
    if (!std::filesystem::exists(CompiledLayout(name))) GTEST_SKIP() << "no MinGW-built libraries";
    PeImageLoader loader;
    const auto library = loader.Load(CompiledLayout(name));
    ASSERT_TRUE(library);
    const auto tables = loader.CallDescriptor(*library, *loader.FindExport(*library, "KbdLayerDescriptor"));
    ASSERT_TRUE(tables);
    EXPECT_LT(*tables, uint64_t{1} << 32);
    // The first reference leads to the modifiers: wMaxModBits 3.
    std::array<uint8_t, 8> ref{}, maxModBits{};
    ASSERT_TRUE(loader.ReadMemory(*library, *tables, ref));
    ASSERT_TRUE(loader.ReadMemory(*library, *ByteReader(ref).U64(0) + 8, std::span(maxModBits).first(2)));
    EXPECT_EQ(maxModBits[0], 3);
    // Cut anywhere inside its mapped data, the library does not load.
    const std::vector<uint8_t> file = ReadHostFile(CompiledLayout(name));
    for (size_t n = 0; n < 0x4000; n += 61) EXPECT_FALSE(loader.LoadFromBytes(std::span(file).first(n))) << n;
  }
}

}  // namespace
}  // namespace tastora
