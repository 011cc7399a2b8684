#include "datafile/LayoutDataFile.h"

#include <cstring>
#include <string_view>

#include "datafile/ImportErrors.h"
#include "datafile/MessagesAboutFile.h"
#include "datafile/NumberText.h"
#include "datafile/OlderDataFiles.h"
#include "model/FontScripts.h"
#include "model/ProcessState.h"
#include "platform/Platform.h"

namespace tastora {
namespace {

constexpr size_t kMagicLength = sizeof kMarkupMagic - 1;

// Mapped is decimal in files of versions 2.61 to 2.69 and hexadecimal in all
// others; the versions compare as plain byte strings.
bool MappedIsDecimal(const std::string& version) { return version >= "2.61" && version <= "2.69"; }

[[noreturn]] void Refuse(const std::string& what) { throw CapacityError(what); }

void CheckRange(int32_t value, int32_t low, int32_t high, const char* element, const char* what) {
  if (value < low || value > high)
    Refuse(std::string("The layout data file's ") + element + " element names " + what + " " +
           std::to_string(value) + "; it must lie between " + std::to_string(low) + " and " + std::to_string(high) +
           ".");
}

// The companion tables and process values a load writes in place; put back
// when a file is refused for holding more than a layout can.
struct ProcessSnapshot {
  explicit ProcessSnapshot(const ProcessState& s)
      : keyNames(s.keyNames), extendedKeyNames(s.extendedKeyNames), deadKeyNames(s.deadKeyNames),
        specialKeys(s.specialKeys), fileIsNT(s.fileIsNT), fontScript(s.fontScript) {}
  void Restore(ProcessState& s) const {
    s.keyNames = keyNames;
    s.extendedKeyNames = extendedKeyNames;
    s.deadKeyNames = deadKeyNames;
    s.specialKeys = specialKeys;
    s.fileIsNT = fileIsNT;
    s.fontScript = fontScript;
  }
  KeyNameTable keyNames;
  KeyNameTable extendedKeyNames;
  KeyNameTable deadKeyNames;
  SpecialKeyTable specialKeys;
  bool fileIsNT;
  int fontScript;
};

}  // namespace

TLoader::TLoader(ProcessState& processState, const DataFilePorts& ports)
    : work(std::make_unique<KeyboardLayout>()), process_(processState), ports_(ports) {
  reader.OnTagOpen = [this](const TXMLTag& tag) { TagOpen(tag); };
  reader.OnTagClose = [this](const TXMLTag& tag) { TagClose(tag); };
  reader.OnUnclosed = [this](const TXMLTag& tag) { rootLeftOpen = rootLeftOpen || tag.Name == "VYR_DAT_FILE"; };
}

template <typename ParseFn>
bool TLoader::Load(KeyboardLayout& layout, ParseFn&& parse) {
  const ProcessSnapshot before(process_);
  state = State::BeforeRoot;
  rootLeftOpen = false;
  process_.fileIsNT = process_.IsNtPlatform();
  Clear(*work, process_);
  try {
    parse();
    // Whatever it held so far, a file cut short is not the layout its author made.
    if (rootLeftOpen) throw IncompleteFileError();
  } catch (const CapacityError&) {
    before.Restore(process_);
    throw;
  } catch (const IncompleteFileError&) {
    before.Restore(process_);
    throw;
  }
  if (state != State::Done) return false;

  layout = *work;
  if (process_.IsNtPlatform())
    WidenLayout(layout, process_.fileIsNT, process_.fontScript, ports_.codePages);
  else
    NarrowLayout(layout, process_.fileIsNT, process_, ports_.codePages);
  return true;
}

bool TLoader::LoadFromFile(const std::string& fileName, KeyboardLayout& layout) {
  return Load(layout, [&] { reader.LoadFromFile(fileName, ports_.files); });
}

bool TLoader::LoadFromStrings(const std::vector<std::string>& lines, KeyboardLayout& layout) {
  return Load(layout, [&] { reader.LoadFromStrings(lines); });
}

void TLoader::Created(const TXMLTag& tag) {
  const std::string orgSystem = tag.GetAttribute("OrgSystem");
  process_.fileIsNT = orgSystem == "WINNT";
  std::string message = "Layout: " + layoutName + "\r\rFile created with VYR32 ver " + version + "\r\rplatform " +
                        orgSystem;
  if (process_.fileIsNT != process_.IsNtPlatform())
    message += "\r\rPossible loss of data because of crossplatform conversion.";
  if (!process_.unattended) ports_.dialogs.ShowMessage(message);
}

void TLoader::Settings(const TXMLTag& tag) {
  process_.fontScript = DecimalValue(tag.GetAttribute("font_script"));
  work->altgr_used = HexByte(tag.GetAttribute("altgr_used"));
  work->ShiftLockOrig = HexByte(tag.GetAttributeDef("ShiftLockOrig", "0"));
  work->LRMRLM = HexByte(tag.GetAttributeDef("LRMRLM", "0"));
  work->lcid = static_cast<uint16_t>(HexValue(tag.GetAttribute("lcid")));
}

void TLoader::KeyFlags(const TXMLTag& tag, KeyRecord& key) const {
  key.CapsAware = HexByte(tag.GetAttributeDef("CapsAware", "0"));
  key.CapsAware2 = HexByte(tag.GetAttributeDef("CapsAware2", "0"));
  key.ShiftLock = HexByte(tag.GetAttributeDef("ShiftLock", "0"));
  key.Kana = static_cast<uint16_t>(HexValue(tag.GetAttributeDef("Kana", "0")));
  const std::string mapped = tag.GetAttributeDef("Mapped", "0");
  key.Mapped = MappedIsDecimal(version) ? DecimalValue(mapped) : HexValue(mapped);
  key.AssignedChar = HexByte(tag.GetAttributeDef("AssignedChar", "0"));
}

void TLoader::StartName(const TXMLTag& tag, KeyNameTable& table, const char* key) {
  if (table.count >= kMaxKeyNames)
    Refuse("The layout data file names more than " + std::to_string(kMaxKeyNames) +
           " keys in one NAME list; a layout holds at most " + std::to_string(kMaxKeyNames) + ".");
  KeyNameEntry& entry = table.entries[static_cast<size_t>(table.count)];
  entry.scan = static_cast<uint16_t>(HexValue(tag.GetAttribute(key)));
  entry.name.clear();
}

KeyNameTable* TLoader::NameTableOf(State s) const {
  switch (s) {
    case State::InKeyName: return &process_.keyNames;
    case State::InKeyNameExt: return &process_.extendedKeyNames;
    case State::InKeyNameDead: return &process_.deadKeyNames;
    default: return nullptr;
  }
}

void TLoader::RootChild(const TXMLTag& tag) {
  const std::string& name = tag.Name;
  if (name == "CREATED") {
    Created(tag);
    state = State::InCreated;
  } else if (name == "SETTINGS") {
    Settings(tag);
    state = State::InSettings;
  } else if (name == "SPECKEYS") {
    state = State::InSpecKeys;
  } else if (name == "KEYS") {
    state = State::InKeys;
  } else if (name == "LIGATURES") {
    state = State::InLigatures;
  } else if (name == "DIACRITICS") {
    state = State::InDiacritics;
  } else if (name == "UNRESOLVED") {
    state = State::InUnresolved;
  } else if (name == "KEY_NAMES") {
    process_.keyNames.count = 0;
    state = State::InKeyNames;
  } else if (name == "KEY_NAMES_EXT") {
    process_.extendedKeyNames.count = 0;
    state = State::InKeyNamesExt;
  } else if (name == "KEY_NAMES_DEAD") {
    process_.deadKeyNames.count = 0;
    state = State::InKeyNamesDead;
  }
}

void TLoader::SpecialKeyValues(const TXMLTag& tag) {
  for (int i = 0; i < tag.AttributeCount(); ++i) {
    const int32_t specState = DecimalValue(tag.AttributeName(i));
    CheckRange(specState, 1, kSpecialKeyStates, "VALUE", "special key state");
    process_.specialKeys.At(currentIndex, specState) = static_cast<uint16_t>(HexValue(tag.AttributeValue(i)));
  }
}

void TLoader::KeySlots(const TXMLTag& tag, KeyRecord& key, bool dead) const {
  for (int i = 0; i < tag.AttributeCount(); ++i) {
    const int32_t slot = DecimalValue(tag.AttributeName(i));
    CheckRange(slot, 0, kSlotCount - 1, dead ? "DEADKEY" : "VALUE", "slot");
    if (dead)
      key.dead[static_cast<size_t>(slot)] = HexByte(tag.AttributeValue(i));
    else
      key.chars[static_cast<size_t>(slot)] = static_cast<uint16_t>(HexValue(tag.AttributeValue(i)));
  }
}

void TLoader::Diacritic(const TXMLTag& tag) {
  if (work->deadCount >= kMaxDeadKeys)
    Refuse("The layout data file holds more than " + std::to_string(kMaxDeadKeys) +
           " DIACRITIC elements; a layout holds at most " + std::to_string(kMaxDeadKeys) + " dead-key entries.");
  DeadKeyEntry& entry = work->deadKeys[static_cast<size_t>(work->deadCount++)];
  entry.accent = static_cast<uint16_t>(HexValue(tag.GetAttribute("kvacica")));
  entry.base = static_cast<uint16_t>(HexValue(tag.GetAttribute("nosac")));
  entry.result = static_cast<uint16_t>(HexValue(tag.GetAttribute("rezultat")));
}

void TLoader::StartLigature(const TXMLTag& tag) {
  ligatureKey = HexValue(tag.GetAttribute("vk"));
  ligatureColumn = HexValue(tag.GetAttribute("state"));
  CheckRange(ligatureKey, 0, kLigatureRows - 1, "LIGATURE", "row");
  CheckRange(ligatureColumn, 0, kLigatureColumns - 1, "LIGATURE", "column");
  state = State::InLigature;
}

void TLoader::LigatureChar(const TXMLTag& tag) {
  LigatureCell& cell = work->ligatures[static_cast<size_t>(ligatureKey)][static_cast<size_t>(ligatureColumn)];
  if (cell.length >= kMaxLigatureLength)
    Refuse("The layout data file's ligature of row " + std::to_string(ligatureKey) + ", column " +
           std::to_string(ligatureColumn) + " holds more than " + std::to_string(kMaxLigatureLength) +
           " characters.");
  cell.chars[static_cast<size_t>(cell.length)] = static_cast<uint16_t>(HexValue(tag.GetAttribute("u")));
  ++cell.length;
}

void TLoader::UnresolvedDef(const TXMLTag& tag) {
  if (work->unresolvedCount >= kMaxUnresolved)
    Refuse("The layout data file holds more than " + std::to_string(kMaxUnresolved) +
           " DEF elements; a layout holds at most " + std::to_string(kMaxUnresolved) + " unresolved scan codes.");
  UnresolvedKey& entry = work->unresolved[static_cast<size_t>(work->unresolvedCount++)];
  entry.vk = static_cast<uint16_t>(HexValue(tag.GetAttribute("vk")));
  entry.scan = HexByte(tag.GetAttribute("scan"));
  entry.extended = HexByte(tag.GetAttribute("ANSI"));
}

void TLoader::TagOpen(const TXMLTag& tag) {
  const std::string& name = tag.Name;
  switch (state) {
    case State::BeforeRoot:
      if (name == "VYR_DAT_FILE") {
        layoutName = tag.GetAttribute("LayoutName");
        version = tag.GetAttribute("version");
        // Files are written without the dead-key names when there are none,
        // and files from before them have none: either way a file without
        // the list means a layout without dead-key names.
        process_.deadKeyNames.Empty();
        state = State::ExpectCreated;
      }
      break;
    case State::ExpectCreated:
      if (name == "CREATED") {
        Created(tag);
        state = State::InCreated;
      }
      break;
    case State::InRoot:
      RootChild(tag);
      break;
    case State::InSpecKeys:
      if (name == "SPECKEY") {
        currentIndex = HexValue(tag.GetAttribute("index"));
        CheckRange(currentIndex, 1, kSpecialKeyCount, "SPECKEY", "special key");
        state = State::InSpecKey;
      }
      break;
    case State::InSpecKey:
      if (name == "VALUE") SpecialKeyValues(tag);
      break;
    case State::InKeys:
      if (name == "KEY") {
        currentIndex = FindAnyKeyByScan(HexValue(tag.GetAttribute("scan")));
        if (currentIndex != -1) {
          work->Key(currentIndex).vk = static_cast<uint16_t>(HexValue(tag.GetAttribute("vk")));
          state = State::InKey;
        }
      }
      break;
    case State::InKey: {
      KeyRecord& key = work->Key(currentIndex);
      if (name == "VALUE" || name == "DEADKEY") {
        KeySlots(tag, key, name == "DEADKEY");
      } else if (name == "FLAGS") {
        KeyFlags(tag, key);
      }
      break;
    }
    case State::InDiacritics:
      if (name == "DIACRITIC") Diacritic(tag);
      break;
    case State::InLigatures:
      if (name == "LIGATURE") StartLigature(tag);
      break;
    case State::InLigature:
      if (name == "S") LigatureChar(tag);
      break;
    case State::InUnresolved:
      if (name == "DEF") UnresolvedDef(tag);
      break;
    case State::InKeyNames:
      if (name == "NAME") {
        StartName(tag, process_.keyNames, "scan");
        state = State::InKeyName;
      }
      break;
    case State::InKeyNamesExt:
      if (name == "NAME") {
        StartName(tag, process_.extendedKeyNames, "scan");
        state = State::InKeyNameExt;
      }
      break;
    case State::InKeyNamesDead:
      if (name == "NAME") {
        StartName(tag, process_.deadKeyNames, "char");
        state = State::InKeyNameDead;
      }
      break;
    case State::InKeyName:
    case State::InKeyNameExt:
    case State::InKeyNameDead:
      if (name == "C") {
        KeyNameTable& table = *NameTableOf(state);
        table.entries[static_cast<size_t>(table.count)].name += static_cast<char16_t>(HexValue(tag.GetAttribute("u")));
      }
      break;
    case State::InCreated:
    case State::InSettings:
    case State::Done:
      break;
  }
}

void TLoader::TagClose(const TXMLTag& tag) {
  const std::string& name = tag.Name;
  struct Transition {
    State from;
    const char* element;
    State to;
  };
  static constexpr Transition kTransitions[] = {
      {State::InRoot, "VYR_DAT_FILE", State::Done},
      {State::InCreated, "CREATED", State::InRoot},
      {State::InSettings, "SETTINGS", State::InRoot},
      {State::InSpecKeys, "SPECKEYS", State::InRoot},
      {State::InSpecKey, "SPECKEY", State::InSpecKeys},
      {State::InKeys, "KEYS", State::InRoot},
      {State::InKey, "KEY", State::InKeys},
      {State::InDiacritics, "DIACRITICS", State::InRoot},
      {State::InLigatures, "LIGATURES", State::InRoot},
      {State::InLigature, "LIGATURE", State::InLigatures},
      {State::InUnresolved, "UNRESOLVED", State::InRoot},
      {State::InKeyNames, "KEY_NAMES", State::InRoot},
      {State::InKeyName, "NAME", State::InKeyNames},
      {State::InKeyNamesExt, "KEY_NAMES_EXT", State::InRoot},
      {State::InKeyNameExt, "NAME", State::InKeyNamesExt},
      {State::InKeyNamesDead, "KEY_NAMES_DEAD", State::InRoot},
      {State::InKeyNameDead, "NAME", State::InKeyNamesDead},
  };
  for (const Transition& t : kTransitions) {
    if (t.from != state || name != t.element) continue;
    // A NAME closed: its entry is complete.
    if (KeyNameTable* table = NameTableOf(state)) ++table->count;
    state = t.to;
    return;
  }
}

bool LoadLayoutFile(const std::string& fileName, KeyboardLayout& layout, ProcessState& state,
                    const DataFilePorts& ports) {
  TLoader loader(state, ports);
  return loader.LoadFromFile(fileName, layout);
}

bool LoadLayoutLines(const std::vector<std::string>& lines, KeyboardLayout& layout, ProcessState& state,
                     const DataFilePorts& ports) {
  TLoader loader(state, ports);
  return loader.LoadFromStrings(lines, layout);
}

bool ImportLayoutFile(const std::string& fileName, KeyboardLayout& layout, ProcessState& state,
                      const DataFilePorts& ports) {
  MessagesAboutFile aboutFile(ports.dialogs, fileName);
  const auto head = ports.files.ReadFile(fileName, kMagicLength, /*openForWriting=*/true);
  if (!head || head->size() < kMagicLength) {
    aboutFile.ShowMessage("Could not read file");
    return false;
  }
  if (std::memcmp(head->data(), kMarkupMagic, kMagicLength) == 0)
    return LoadLayoutFile(fileName, layout, state, ports);

  const auto whole = ports.files.ReadFile(fileName, kDataFileBufferSize, /*openForWriting=*/true);
  if (!whole) {
    aboutFile.ShowMessage("Could not read file");
    return false;
  }
  // The magic is the text of the first 8 bytes up to the first zero byte.
  std::string magic;
  for (size_t i = 0; i < 8 && i < whole->size() && (*whole)[i] != 0; ++i) magic += static_cast<char>((*whole)[i]);
  std::vector<std::string> lines;
  if (magic == "VYR32")
    lines = ConvertVyr32File(fileName, ports.files, ports.dialogs, state);
  else if (magic == "VYR2000")
    lines = ConvertVyr2000File(fileName, ports.files, ports.dialogs, state);
  else {
    aboutFile.ShowMessage("This is not vyr32 file!");
    return false;
  }
  return LoadLayoutLines(lines, layout, state, ports);
}

}  // namespace tastora
