#pragma once
// One registry file in Wine's text format ("WINE REGISTRY Version 2"), read
// whole and held as a key tree beside the lines it was read from. Writing it
// back gives every line of a key the program did not change exactly as it
// was read; a changed key gets a new timestamp and its changed values in
// Wine's own form, in place; new keys go where Wine would put them.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tastora {

class WineRegistryFile {
 public:
  struct Value {
    std::u16string name;  // empty: the key's default value ("@")
    uint32_t type = 0;
    std::vector<uint8_t> data;  // string data as UTF-16LE with its terminating zero
  };

  struct Error {
    int line = 0;
    std::string reason;
  };

  // Items found by the hash of their case-folded names, kept beside a key's
  // values or subkeys once there are more than a plain search handles well.
  // Open addressing: an item of T{} is an empty slot.
  template <typename T>
  struct NameIndex {
    struct Slot {
      uint64_t hash = 0;
      T item{};
    };
    std::vector<Slot> slots;  // a power of two long, at most half full
    size_t used = 0;
  };

  struct Block;
  struct ValueSlot {
    Value value;
    const Block* block = nullptr;  // the block its lines are in; none for a new value
    size_t firstLine = 0;
    size_t lineCount = 0;
    bool changed = false;
    bool removed = false;  // its lines go; a value of that name set again comes back here
  };
  struct Key {
    std::u16string name;
    Key* parent = nullptr;
    std::vector<std::unique_ptr<Key>> subkeys;  // ordered by name, as Wine keeps them
    std::vector<ValueSlot> values;              // file order, new values last
    NameIndex<uint32_t> valueIndex;             // position in `values` + 1
    NameIndex<Key*> subkeyIndex;
    std::vector<ValueSlot> shadowed;            // earlier lines of a value named again later
    const Block* block = nullptr;               // the first block that names this key
    bool created = false;                       // made by the program
    bool removed = false;                       // out of the tree; its blocks are not written
  };
  // A key's header line and every line up to the next key; the first block
  // (no key) is the text before the first key.
  struct Block {
    Key* key = nullptr;
    std::span<const std::string_view> lines;  // each with its own line end
    size_t pathEnd = 0;              // in lines[0], just past the closing bracket
    size_t contentEnd = 1;           // lines before it hold something (a value's lines count whole)
    long timeLine = -1;              // the "#time=" line, when there is one
  };

  // Nothing, and `error` filled, when the text is not a well-formed file.
  static std::unique_ptr<WineRegistryFile> Parse(std::string_view text, Error& error);
  // A file with its header only.
  static std::string EmptyText(std::string_view relativeTo, bool win64);

  // `now` in Windows file-time ticks (100 ns since 1601), for changed keys.
  std::string Serialize(uint64_t now) const;

  // The "#arch=" option: "win32", "win64", or empty.
  const std::string& Architecture() const { return architecture_; }

  Key* Root() { return root_.get(); }
  // Path components; an empty list is the root.
  Key* Find(const std::vector<std::u16string>& path);
  Key* Create(const std::vector<std::u16string>& path);
  const Value* FindValue(const Key& key, std::u16string_view name) const;
  // False when the key already held exactly that value.
  bool SetValue(Key& key, Value value);
  // False when the key has no value of that name.
  bool RemoveValue(Key& key, std::u16string_view name);
  // Takes a key out of the tree with its values; false for the root and a
  // key with subkeys, which stay. Pointers to it stay valid.
  bool RemoveKey(Key& key);
  std::vector<std::u16string> ValueNames(const Key& key) const;
  std::vector<std::u16string> SubkeyNames(const Key& key) const;

  // Wine's line for one value, with its line end.
  static std::string DumpValue(const Value& value);

 private:
  WineRegistryFile();
  Key* Child(Key& parent, std::u16string_view name, bool create);
  Key* CreatePath(std::span<const std::u16string> path);
  static const ValueSlot* Lookup(const Key& key, std::u16string_view name);
  ValueSlot* FindSlot(Key& key, std::u16string_view name);
  static void Append(Key& key, ValueSlot slot);
  bool ParseLines(std::string_view text, Error& error);

  std::string text_;                     // as read
  std::vector<std::string_view> lines_;  // of text_, each with its line end; blocks are runs of them
  std::string architecture_;
  std::unique_ptr<Key> root_;
  std::vector<std::unique_ptr<Block>> blocks_;
  std::vector<std::unique_ptr<Key>> removedKeys_;  // their blocks still name them
};

}  // namespace tastora
