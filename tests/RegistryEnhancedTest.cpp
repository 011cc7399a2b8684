// The registry accessor's path and value rules, on a registry that records
// what it is asked.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryBackend.h"
#include "system/RegistryEnhanced.h"

namespace tastora {
namespace {

// Records what the accessor opens and asks for; answers from `values`.
class RecordingRegistry final : public RegistryBackend {
 public:
  struct Opened {
    RootKey root;
    std::string path;
    bool create;
  };
  std::unique_ptr<RegistryKey> Open(RootKey root, const std::string& path, bool create) override {
    opened.push_back({root, path, create});
    return std::make_unique<Key>(*this, path);
  }
  std::vector<Opened> opened;
  std::vector<std::string> asked;
  std::map<std::string, RegistryData> values;  // "key|value"
  std::map<std::string, RegistryData> written;

 private:
  class Key final : public RegistryKey {
   public:
    Key(RecordingRegistry& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
    std::optional<RegistryData> QueryValue(const std::string& name) override {
      owner_.asked.push_back(name);
      auto found = owner_.values.find(path_ + "|" + name);
      if (found == owner_.values.end()) return std::nullopt;
      return found->second;
    }
    bool SetValue(const std::string& name, const RegistryData& data) override {
      owner_.written[path_ + "|" + name] = data;
      return true;
    }
    std::vector<std::string> ValueNames() override { return {"names of " + path_}; }
    std::vector<std::string> SubkeyNames() override { return {"subkeys of " + path_}; }

   private:
    RecordingRegistry& owner_;
    std::string path_;
  };
};

TEST(RegistryEnhanced, PathRulesNameTheKeyAndValue) {
  struct Case {
    std::string key;
    std::string valuePath;
    std::string openedKey;
    std::string valueName;
  };
  const Case cases[] = {
      {"\\Keyboard Layout\\Preload", "1", "Keyboard Layout\\Preload", "1"},
      {"\\Keyboard Layout\\Preload\\", "1", "Keyboard Layout\\Preload", "1"},
      {"Keyboard Layout", "Preload\\1", "Keyboard Layout\\Preload", "1"},
      {"\\A", "\\B\\\\C\\", "A\\B", "C"},
      {"\\A", "", "A", ""},
      {"\\A", "\\", "A", ""},
      {"\\", "x", "", "x"},
      {"A", "B\\C\\D", "A\\B\\C", "D"},
  };
  for (const Case& c : cases) {
    RecordingRegistry registry;
    TRegistryEnhanced accessor(registry, RootKey::hkLocalMachine);
    accessor.SetKey(c.key);
    accessor.ReadValue(c.valuePath);
    ASSERT_EQ(registry.opened.size(), 1u) << c.key;
    EXPECT_EQ(registry.opened[0].root, RootKey::hkLocalMachine);
    EXPECT_EQ(registry.opened[0].path, c.openedKey) << c.key << " / " << c.valuePath;
    EXPECT_FALSE(registry.opened[0].create);
    ASSERT_EQ(registry.asked.size(), 1u);
    EXPECT_EQ(registry.asked[0], c.valueName) << c.key << " / " << c.valuePath;
  }
}

TEST(RegistryEnhanced, AnEmptyKeyDoesNothing) {
  RecordingRegistry registry;
  TRegistryEnhanced accessor(registry);
  EXPECT_EQ(accessor.Root(), RootKey::hkCurrentUser);
  EXPECT_EQ(accessor.ReadText("x"), "");
  EXPECT_FALSE(accessor.WriteValue("x", std::string("y")));
  EXPECT_TRUE(accessor.GetValueNames().empty());
  EXPECT_TRUE(accessor.GetKeyNames("sub").empty());
  EXPECT_TRUE(registry.opened.empty());
}

TEST(RegistryEnhanced, ListsNamesOfTheKeyOrItsSubPath) {
  RecordingRegistry registry;
  TRegistryEnhanced accessor(registry);
  accessor.SetKey("\\Keyboard Layout\\");
  EXPECT_EQ(accessor.GetValueNames(), std::vector<std::string>{"names of Keyboard Layout"});
  EXPECT_EQ(accessor.GetKeyNames("Preload\\"), std::vector<std::string>{"subkeys of Keyboard Layout\\Preload"});
}

TEST(RegistryEnhanced, ReadsTextAndIntegersOnly) {
  using namespace std::string_view_literals;
  // Plain bytes in the table: an array of vectors built from lists trips
  // GCC 12's maybe-uninitialized check at -O3.
  struct Case {
    uint32_t type;
    std::string_view bytes;
    const char* text;
  };
  const Case cases[] = {
      {kRegSz, "kbdus.dll\0"sv, "kbdus.dll"},
      {kRegSz, "a\0b\0"sv, "a"},
      {kRegSz, "nozero"sv, "nozero"},
      {kRegExpandSz, "%x%\0"sv, "%x%"},
      {kRegDword, "\x12\0\0\0"sv, "18"},
      {kRegDword, "\xFF\xFF\xFF\xFF"sv, "-1"},
      {kRegDword, "\x01\0\0"sv, ""},
      {kRegBinary, "US\0"sv, ""},
      {kRegMultiSz, "a\0\0"sv, ""},
  };
  for (const Case& c : cases) {
    RecordingRegistry registry;
    registry.values["K|v"] = RegistryData{c.type, std::vector<uint8_t>(c.bytes.begin(), c.bytes.end())};
    TRegistryEnhanced accessor(registry);
    accessor.SetKey("K");
    EXPECT_EQ(accessor.ReadText("v"), c.text);
  }
  RecordingRegistry registry;
  TRegistryEnhanced accessor(registry);
  accessor.SetKey("K");
  EXPECT_TRUE(std::holds_alternative<std::monostate>(accessor.ReadValue("missing")));
}

TEST(RegistryEnhanced, WritesEachVariantWithItsRegistryType) {
  struct Case {
    RegistryVariant value;
    bool written;
    RegistryData data;
  };
  const Case cases[] = {
      {std::string("KBD0.dll"), true, {kRegSz, {'K', 'B', 'D', '0', '.', 'd', 'l', 'l', 0}}},
      {int32_t(-2), true, {kRegDword, {0xFE, 0xFF, 0xFF, 0xFF}}},
      {true, true, {kRegDword, {1, 0, 0, 0}}},
      {RegistryCurrency{10000}, true, {kRegBinary, {0x10, 0x27, 0, 0, 0, 0, 0, 0}}},
      {RegistryDate{1.0}, true, {kRegBinary, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}}},
      {uint8_t(7), false, {}},
      {std::monostate{}, false, {}},
  };
  for (const Case& c : cases) {
    RecordingRegistry registry;
    TRegistryEnhanced accessor(registry, RootKey::hkLocalMachine);
    accessor.SetKey("\\System\\New");
    EXPECT_EQ(accessor.WriteValue("Sub\\Layout File", c.value), c.written);
    if (!c.written) {
      EXPECT_TRUE(registry.opened.empty());
      continue;
    }
    ASSERT_EQ(registry.opened.size(), 1u);
    EXPECT_TRUE(registry.opened[0].create);
    const RegistryData& data = registry.written["System\\New\\Sub|Layout File"];
    EXPECT_EQ(data.type, c.data.type);
    EXPECT_EQ(data.bytes, c.data.bytes);
  }
}

}  // namespace
}  // namespace tastora
