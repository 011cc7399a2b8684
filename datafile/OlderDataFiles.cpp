#include "datafile/OlderDataFiles.h"

#include <algorithm>
#include <optional>

#include "datafile/LineWriter.h"
#include "datafile/MessagesAboutFile.h"
#include "datafile/XmlTag.h"
#include "model/Bytes.h"
#include "model/CompanionTables.h"
#include "model/KeyTable.h"
#include "model/KeyboardLayout.h"

namespace tastora {
namespace {

inline constexpr int kFileKeyCount = 104;       // key positions 1..104 = key numbers 1..104
inline constexpr int kFileUnresolvedCount = 50;  // unresolved entries the record holds
inline constexpr size_t kDeadKeyEntrySize = 6;
inline constexpr size_t kUnresolvedEntrySize = 3;
inline constexpr size_t kListGap = 4;  // unread bytes between the two key-name lists

// Where the fields of one form lie, as offsets from the start of the file.
struct FormLayout {
  const char* magic;
  size_t magicLength;
  size_t versionMajor;
  size_t versionMinor;
  size_t keys;
  size_t keyRecordSize;
  bool hasCapsAware2;
  size_t deadCount;
  size_t deadKeys;
  size_t altgrUsed;
  size_t lcid;
  size_t unresolved;
  size_t unresolvedCount;
  size_t fontScript;
  size_t platform;
  size_t keyNameCount;
  size_t extendedKeyNameCount;
  size_t keyNameLists;
};

constexpr FormLayout kVyr32{.magic = "VYR32",
                            .magicLength = 6,
                            .versionMajor = 11004,
                            .versionMinor = 11005,
                            .keys = 105,
                            .keyRecordSize = 34,
                            .hasCapsAware2 = false,
                            .deadCount = 3641,
                            .deadKeys = 3645,
                            .altgrUsed = 10845,
                            .lcid = 10846,
                            .unresolved = 10848,
                            .unresolvedCount = 10998,
                            .fontScript = 11002,
                            .platform = 11003,
                            .keyNameCount = 11006,
                            .extendedKeyNameCount = 11010,
                            .keyNameLists = 11014};

constexpr FormLayout kVyr2000{.magic = "VYR2000",
                              .magicLength = 8,
                              .versionMajor = 8,
                              .versionMinor = 9,
                              .keys = 109,
                              .keyRecordSize = 35,
                              .hasCapsAware2 = true,
                              .deadCount = 3749,
                              .deadKeys = 3753,
                              .altgrUsed = 10953,
                              .lcid = 10954,
                              .unresolved = 10956,
                              .unresolvedCount = 11106,
                              .fontScript = 11110,
                              .platform = 11111,
                              .keyNameCount = 11112,
                              .extendedKeyNameCount = 11116,
                              .keyNameLists = 11120};

// Key record fields, from the start of the record.
inline constexpr size_t kKeyChars = 0;
inline constexpr size_t kKeyDead = 16;
inline constexpr size_t kKeyCapsAware = 24;
inline constexpr size_t kKeyKana = 25;
inline constexpr size_t kKeyVk = 27;
inline constexpr size_t kKeyMapped = 29;
inline constexpr size_t kKeyAssignedChar = 33;
inline constexpr size_t kKeyCapsAware2 = 34;
inline constexpr int kKeyColumns = 8;

// Every fixed field lies inside the buffer; past the end of a short file a
// field reads the zeros the buffer was cleared to.
class FixedRecord {
 public:
  explicit FixedRecord(std::span<const uint8_t> buffer) : reader_(buffer) {}
  uint8_t U8(size_t offset) const { return reader_.U8(offset).value_or(0); }
  uint16_t U16(size_t offset) const { return reader_.U16(offset).value_or(0); }
  int32_t I32(size_t offset) const { return reader_.I32(offset).value_or(0); }

 private:
  ByteReader reader_;
};

std::string Hex(uint32_t value, size_t digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (text.size() < digits) text.insert(0, digits - text.size(), '0');
  return text;
}

std::string Decimal(int64_t value) { return std::to_string(value); }

// A count the record declares, checked against what its array can hold.
std::optional<std::string> CountFault(int32_t count, int32_t capacity, const char* what, const char* holder) {
  if (count >= 0 && count <= capacity) return std::nullopt;
  std::string text = "This file declares " + Decimal(count) + " " + what + "; ";
  if (count < 0) return text + "a count cannot be negative.";
  return text + holder + " holds at most " + Decimal(capacity) + ".";
}

struct NameList {
  std::vector<KeyNameEntry> entries;  // the entries read whole
  bool complete = false;
  size_t end = 0;  // offset just past the last entry
};

// Reads `count` entries from `offset`. Entries must lie inside the bytes the
// file really holds; the zero padding after it is not a list.
NameList ReadNameList(const ByteReader& data, size_t offset, int32_t count) {
  NameList list;
  for (int32_t i = 0; i < count; ++i) {
    auto scan = data.U8(offset);
    auto length = data.U8(offset + 1);
    if (!scan || !length) return list;
    offset += 2;
    KeyNameEntry entry;
    entry.scan = *scan;
    for (int c = 0; c < *length; ++c) {
      auto ch = data.U16(offset);
      if (!ch) return list;
      entry.name.push_back(static_cast<char16_t>(*ch));
      offset += 2;
    }
    list.entries.push_back(std::move(entry));
  }
  list.complete = true;
  list.end = offset;
  return list;
}

std::string ListFault(const char* which, const NameList& list, int32_t count) {
  return std::string("The ") + which + " list of this file runs past the end of the file at entry " +
         Decimal(static_cast<int64_t>(list.entries.size()) + 1) + " of " + Decimal(count) + ".";
}

void StoreNames(KeyNameTable& table, const std::vector<KeyNameEntry>& entries) {
  table.count = static_cast<int>(entries.size());
  std::copy(entries.begin(), entries.end(), table.entries.begin());
}

void AddKeyLines(LineWriter& out, const FixedRecord& record, const FormLayout& form, int position) {
  const size_t base = form.keys + static_cast<size_t>(position - 1) * form.keyRecordSize;

  TXMLTag key("KEY");
  key.AddAttribute("scan", Hex(KeyRow(position).scan, 2));
  key.AddAttribute("vk", Hex(record.U16(base + kKeyVk), 4));
  out.AddLine(key.OpenTagText());
  out.Indent();

  TXMLTag value("VALUE");
  TXMLTag dead("DEADKEY");
  for (int s = 0; s < kKeyColumns; ++s) {
    const uint16_t ch = record.U16(base + kKeyChars + 2 * static_cast<size_t>(s));
    if (ch != 0) value.AddAttribute(Decimal(s), Hex(ch, 4));
  }
  for (int s = 0; s < kKeyColumns; ++s) {
    const uint8_t flag = record.U8(base + kKeyDead + static_cast<size_t>(s));
    if (flag != 0) dead.AddAttribute(Decimal(s), Decimal(flag));
  }

  TXMLTag flags("FLAGS");
  if (uint8_t v = record.U8(base + kKeyCapsAware)) flags.AddAttribute("CapsAware", Decimal(v));
  if (form.hasCapsAware2) {
    if (uint8_t v = record.U8(base + kKeyCapsAware2)) flags.AddAttribute("CapsAware2", Decimal(v));
  }
  if (uint16_t v = record.U16(base + kKeyKana)) flags.AddAttribute("Kana", Hex(v, 4));
  if (int32_t v = record.I32(base + kKeyMapped)) flags.AddAttribute("Mapped", Decimal(v));
  if (uint8_t v = record.U8(base + kKeyAssignedChar)) flags.AddAttribute("AssignedChar", Decimal(v));

  for (const TXMLTag* child : {&value, &dead, &flags}) {
    if (child->AttributeCount() > 0) out.AddLine(child->EmptyTagText());
  }
  out.Outdent();
  out.AddLine(key.CloseTagText());
}

void AddNameLines(LineWriter& out, const char* section, const std::vector<KeyNameEntry>& entries) {
  TXMLTag tag(section);
  out.AddLine(tag.OpenTagText());
  out.Indent();
  for (const KeyNameEntry& entry : entries) {
    TXMLTag name("NAME");
    name.AddAttribute("scan", Hex(entry.scan, 4));
    std::string line = name.OpenTagText() + " ";
    for (char16_t ch : entry.name) {
      TXMLTag c("C");
      c.AddAttribute("u", Hex(ch, 4));
      line += c.EmptyTagText();
    }
    line += " " + name.CloseTagText();
    out.AddLine(line);
  }
  out.Outdent();
  out.AddLine(tag.CloseTagText());
  out.AddLine("");
}

void AddCreatedAndSettingsLines(LineWriter& out, const FixedRecord& record, const FormLayout& form) {
  const uint8_t platform = record.U8(form.platform);
  TXMLTag created("CREATED");
  created.AddAttribute("OrgSystem", platform == 0 ? "Win95" : platform == 1 ? "WinNT" : "?");
  out.AddLine(created.EmptyTagText());
  out.AddLine("");

  TXMLTag settings("SETTINGS");
  settings.AddAttribute("Font_Script", Decimal(record.U8(form.fontScript)));
  settings.AddAttribute("ALTGR_USED", Decimal(record.U8(form.altgrUsed)));
  settings.AddAttribute("LCID", Hex(record.U16(form.lcid), 8));
  out.AddLine(settings.EmptyTagText());
  out.AddLine("");
}

void AddKeysLines(LineWriter& out, const FixedRecord& record, const FormLayout& form) {
  const TXMLTag keys("KEYS");
  out.AddLine(keys.OpenTagText());
  out.Indent();
  for (int p = 1; p <= kFileKeyCount; ++p) AddKeyLines(out, record, form, p);
  out.Outdent();
  out.AddLine(keys.CloseTagText());
  out.AddLine("");
}

// An element with one empty child element per entry, then a blank line.
template <typename EntryTag>
void AddListElement(LineWriter& out, const char* name, int32_t count, EntryTag entryTag) {
  const TXMLTag list(name);
  out.AddLine(list.OpenTagText());
  out.Indent();
  for (int32_t i = 0; i < count; ++i) out.AddLine(entryTag(i).EmptyTagText());
  out.Outdent();
  out.AddLine(list.CloseTagText());
  out.AddLine("");
}

void AddDiacriticLines(LineWriter& out, const FixedRecord& record, const FormLayout& form, int32_t deadCount) {
  AddListElement(out, "DIACRITICS", deadCount, [&](int32_t i) {
    const size_t at = form.deadKeys + static_cast<size_t>(i) * kDeadKeyEntrySize;
    TXMLTag entry("DIACRITIC");
    entry.AddAttribute("kvacica", Hex(record.U16(at), 4));
    entry.AddAttribute("nosac", Hex(record.U16(at + 2), 4));
    entry.AddAttribute("rezultat", Hex(record.U16(at + 4), 4));
    return entry;
  });
}

void AddUnresolvedLines(LineWriter& out, const FixedRecord& record, const FormLayout& form,
                        int32_t unresolvedCount) {
  AddListElement(out, "UNRESOLVED", unresolvedCount, [&](int32_t i) {
    const size_t at = form.unresolved + static_cast<size_t>(i) * kUnresolvedEntrySize;
    TXMLTag entry("DEF");
    entry.AddAttribute("vk", Hex(record.U8(at), 4));
    entry.AddAttribute("scan", Hex(record.U8(at + 1), 2));
    entry.AddAttribute("ansi", Hex(record.U8(at + 2), 2));
    return entry;
  });
}

std::vector<std::string> Convert(std::span<const uint8_t> fileBytes, const FormLayout& form, Dialogs& dialogs,
                                 ProcessState& state) {
  std::vector<uint8_t> buffer(kDataFileBufferSize, 0);
  const size_t dataLength = std::min(fileBytes.size(), buffer.size());
  std::copy_n(fileBytes.begin(), dataLength, buffer.begin());
  const FixedRecord record(buffer);

  const auto magicBytes = std::span<const uint8_t>(buffer).first(form.magicLength);
  const auto magicEnd = std::find(magicBytes.begin(), magicBytes.end(), uint8_t{0});
  if (std::string(magicBytes.begin(), magicEnd) != form.magic) {
    dialogs.ShowMessage("This is not vyr32 file!");
    return {};
  }

  const int32_t deadCount = record.I32(form.deadCount);
  const int32_t unresolvedCount = record.I32(form.unresolvedCount);
  const int32_t keyNameCount = record.I32(form.keyNameCount);
  const int32_t extendedKeyNameCount = record.I32(form.extendedKeyNameCount);
  // Refuse before anything is written, so the tables keep what they had.
  for (const auto& fault :
       {CountFault(deadCount, kMaxDeadKeys, "dead keys", "a layout"),
        CountFault(unresolvedCount, kFileUnresolvedCount, "unresolved scan codes", "a file of this kind"),
        CountFault(keyNameCount, kMaxKeyNames, "key names", "a layout"),
        CountFault(extendedKeyNameCount, kMaxKeyNames, "extended key names", "a layout")}) {
    if (fault) {
      dialogs.ShowMessage(*fault);
      return {};
    }
  }

  const ByteReader data(std::span<const uint8_t>(buffer).first(dataLength));
  const NameList keyNames = ReadNameList(data, form.keyNameLists, keyNameCount);
  if (!keyNames.complete) {
    dialogs.ShowMessage(ListFault("key-name", keyNames, keyNameCount));
    return {};
  }
  const NameList extendedNames = ReadNameList(data, keyNames.end + kListGap, extendedKeyNameCount);
  if (!extendedNames.complete) {
    dialogs.ShowMessage(ListFault("extended key-name", extendedNames, extendedKeyNameCount));
    return {};
  }
  StoreNames(state.keyNames, keyNames.entries);
  StoreNames(state.extendedKeyNames, extendedNames.entries);

  LineWriter out;
  TXMLTag root("VYR_DAT_FILE");
  root.AddAttribute("Version", Decimal(record.U8(form.versionMajor)) + "." + Decimal(record.U8(form.versionMinor)));
  out.AddLine(root.OpenTagText());
  out.Indent();
  out.AddLine("");

  AddCreatedAndSettingsLines(out, record, form);
  AddKeysLines(out, record, form);
  AddDiacriticLines(out, record, form, deadCount);

  // The binary forms carry no ligatures.
  out.AddLine(TXMLTag("LIGATURES").EmptyTagText());
  out.AddLine("");

  AddUnresolvedLines(out, record, form, unresolvedCount);
  AddNameLines(out, "KEY_NAMES", keyNames.entries);
  AddNameLines(out, "KEY_NAMES_EXT", extendedNames.entries);

  out.Outdent();
  out.AddLine(root.CloseTagText());
  return out.TakeLines();
}

std::vector<std::string> ConvertFile(const std::string& fileName, const FormLayout& form, FileSystem& files,
                                     Dialogs& dialogs, ProcessState& state) {
  MessagesAboutFile aboutFile(dialogs, fileName);
  auto bytes = files.ReadFile(fileName, kDataFileBufferSize, /*openForWriting=*/true);
  if (!bytes) {
    aboutFile.ShowMessage("Could not read file");
    return {};
  }
  return Convert(*bytes, form, aboutFile, state);
}

}  // namespace

std::vector<std::string> ConvertVyr32Bytes(std::span<const uint8_t> fileBytes, Dialogs& dialogs,
                                           ProcessState& state) {
  return Convert(fileBytes, kVyr32, dialogs, state);
}

std::vector<std::string> ConvertVyr2000Bytes(std::span<const uint8_t> fileBytes, Dialogs& dialogs,
                                             ProcessState& state) {
  return Convert(fileBytes, kVyr2000, dialogs, state);
}

std::vector<std::string> ConvertVyr32File(const std::string& fileName, FileSystem& files, Dialogs& dialogs,
                                          ProcessState& state) {
  return ConvertFile(fileName, kVyr32, files, dialogs, state);
}

std::vector<std::string> ConvertVyr2000File(const std::string& fileName, FileSystem& files, Dialogs& dialogs,
                                            ProcessState& state) {
  return ConvertFile(fileName, kVyr2000, files, dialogs, state);
}

}  // namespace tastora
