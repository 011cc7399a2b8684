#include "writer/LayoutTables.h"

#include <algorithm>

#include "format/KbdTables.h"
#include "model/KeyboardLayout.h"
#include "model/ProcessState.h"
#include "writer/TableParts.h"

namespace tastora {
namespace {

using namespace kbd;

constexpr std::array<uint8_t, 8> kVkToBit{0x10, 0x01, 0x11, 0x02, 0x12, 0x04, 0x00, 0x00};
constexpr size_t kShiftCtrl = 3;
constexpr uint8_t kMaxModBits = 7;
constexpr std::array<uint8_t, 8> kE1Table{0x1D, 0x00, 0x13, 0x00, 0x00, 0x00, 0x00, 0x00};
// Widths 3, 4, 5 (and the wider ones), 2, then 1: the table of single
// characters, where the keypad digits are, comes last.
constexpr std::array<int, kMaxTableWidth> kDescriptorOrder{3, 4, 5, 6, 7, 8, 2, 1};
// Tables up to this width are written even when empty; wider ones only
// when a layout has rows that need them.
constexpr int kAlwaysWrittenWidth = 5;
constexpr uint32_t kKeyNameAlignment64 = 16;
// The two bytes after ModNumber[].
constexpr uint32_t kModifiersTail = 2;

uint32_t LocaleFlags(const KeyboardLayout& layout, const WindowsVersion& version) {
  uint32_t flags = version.major >= 5 && version.build >= 2195 ? kLocaleVersion1 : 0;
  if (layout.altgr_used == 1) flags |= kLocaleAltGr;
  if (layout.ShiftLockOrig == 1) flags |= kLocaleShiftLock;
  if (layout.LRMRLM == 1) flags |= kLocaleLrmRlm;
  return flags;
}

uint32_t AppendScanCodes(DataSection& out, const std::array<uint16_t, 128>& table) {
  const uint32_t at = out.AppendZeros(2 * table.size());
  for (size_t i = 0; i < table.size(); ++i) out.U16(at + uint32_t(2 * i), table[i]);
  return at;
}

// Entries up to and including the first terminating one.
uint32_t AppendScanVks(DataSection& out, const std::vector<ScanVk>& table) {
  const size_t end = size_t(std::find_if(table.begin(), table.end(), [](const ScanVk& e) { return e.scan == 0; }) -
                            table.begin());
  const size_t count = std::min(end + 1, table.size());
  const uint32_t at = out.AppendZeros(count * kScanVkEntrySize);
  for (size_t i = 0; i < count; ++i) {
    out.U8(at + uint32_t(i * kScanVkEntrySize) + kScanVkScan, table[i].scan);
    out.U16(at + uint32_t(i * kScanVkEntrySize) + kScanVkVk, table[i].vk);
  }
  return at;
}

// The used entries, then two zero entries.
uint32_t AppendDeadKeys(DataSection& out, const KeyboardLayout& layout) {
  const int count = std::clamp(layout.deadCount, 0, kMaxDeadKeys);
  const uint32_t at = out.AppendZeros(size_t(count + 2) * kDeadKeyEntrySize);
  for (int i = 0; i < count; ++i) {
    const DeadKeyEntry& d = layout.deadKeys[size_t(i)];
    const uint32_t entry = at + uint32_t(i) * kDeadKeyEntrySize;
    out.U16(entry + kDeadKeyBase, d.base);
    out.U16(entry + kDeadKeyAccent, d.accent);
    out.U16(entry + kDeadKeyComposed, d.result);
  }
  return at;
}

// The entries, then one zero entry.
uint32_t AppendLigatures(DataSection& out, const LigatureTable& table) {
  const uint32_t size = table.entrySize;
  const uint32_t at = out.AppendZeros((table.entries.size() + 1) * size);
  for (size_t i = 0; i < table.entries.size(); ++i) {
    const LigatureEntry& e = table.entries[i];
    const uint32_t entry = at + uint32_t(i) * size;
    out.U16(entry + kLigatureVk, e.vk);
    out.U16(entry + kLigatureModification, e.modification);
    for (size_t c = 0; c < e.chars.size(); ++c) out.U16(entry + kLigatureChars + uint32_t(2 * c), e.chars[c]);
  }
  return at;
}

// Modifier mask m reaches the column of model slot m.
uint32_t AppendModifiers(DataSection& out, const kbd::TableForm& form, const ColumnPlan& plan, bool shiftCtrlPatch) {
  const uint32_t vkToBit = out.Append(kVkToBit);
  const uint32_t at = out.AppendZeros(form.modNumber + plan.columnOfSlot.size() + kModifiersTail);
  out.PutReference(at + kModVkToBit, vkToBit);
  out.U16(at + form.modMaxModBits, kMaxModBits);
  for (size_t m = 0; m < plan.columnOfSlot.size(); ++m)
    out.U8(at + form.modNumber + uint32_t(m), plan.columnOfSlot[m]);
  // Shift+Ctrl then types what Ctrl types, unless the layout has
  // characters of its own for it.
  if (shiftCtrlPatch && plan.columnOfSlot[kShiftCtrl] == kNoColumn)
    out.U8(at + form.modNumber + uint32_t(kShiftCtrl), plan.columnOfSlot[size_t(kColumnCtrl)]);
  return at;
}

// The entries with their terminating entry, then the texts; each text
// starts at a multiple of 8.
uint32_t AppendKeyNames(DataSection& out, const kbd::TableForm& form, const KeyNameTable& names, ImageKind kind) {
  if (IsPe32Plus(kind)) out.AlignTo(kKeyNameAlignment64);
  const int count = std::clamp(names.count, 0, kMaxKeyNames);
  auto textSize = [](const std::u16string& name) {
    return DataSection::RoundUp(2 * uint32_t(name.size()) + 1, DataSection::kItemAlignment);
  };
  const uint32_t entrySize = form.keyNameEntrySize;
  size_t size = size_t(count + 1) * entrySize;
  for (int i = 0; i < count; ++i) size += textSize(names.entries[size_t(i)].name);
  const uint32_t at = out.AppendZeros(size);
  uint32_t text = at + uint32_t(count + 1) * entrySize;
  for (int i = 0; i < count; ++i) {
    const KeyNameEntry& entry = names.entries[size_t(i)];
    const uint32_t field = at + uint32_t(i) * entrySize;
    out.U16(field + kKeyNameScan, entry.scan);
    out.PutReference(field + form.keyNameText, text);
    for (size_t c = 0; c < entry.name.size(); ++c) out.U16(text + uint32_t(2 * c), entry.name[c]);
    text += textSize(entry.name);
  }
  return at;
}

// The references with a null one after them, then the texts (accent
// character, name, 0), each at a multiple of 8.
uint32_t AppendDeadKeyNames(DataSection& out, const kbd::TableForm& form, const KeyNameTable& names) {
  const uint32_t kDeadKeyNameSize = form.referenceSize;
  const int count = std::clamp(names.count, 0, kMaxKeyNames);
  auto textSize = [](const std::u16string& name) {
    return DataSection::RoundUp(2 * (uint32_t(name.size()) + 2), DataSection::kItemAlignment);
  };
  size_t size = size_t(count + 1) * kDeadKeyNameSize;
  for (int i = 0; i < count; ++i) size += textSize(names.entries[size_t(i)].name);
  const uint32_t at = out.AppendZeros(size);
  uint32_t text = at + uint32_t(count + 1) * kDeadKeyNameSize;
  for (int i = 0; i < count; ++i) {
    const KeyNameEntry& entry = names.entries[size_t(i)];
    out.PutReference(at + uint32_t(i) * kDeadKeyNameSize, text);
    out.U16(text, entry.scan);
    for (size_t c = 0; c < entry.name.size(); ++c) out.U16(text + uint32_t(2 * (c + 1)), entry.name[c]);
    text += textSize(entry.name);
  }
  return at;
}

// Each table is its rows and one zero row; the rows' RVAs by width.
std::array<uint32_t, kMaxTableWidth> AppendCharacterTables(DataSection& out, const CharacterTables& tables) {
  std::array<uint32_t, kMaxTableWidth> at{};
  for (int width = 1; width <= kMaxTableWidth; ++width) {
    const std::vector<CharacterRow>& rows = tables[size_t(width - 1)];
    if (width > kAlwaysWrittenWidth && rows.empty()) continue;
    const uint32_t rowSize = RowSize(width);
    const uint32_t start = out.AppendZeros((rows.size() + 1) * rowSize);
    for (size_t r = 0; r < rows.size(); ++r) {
      const uint32_t row = start + uint32_t(r) * rowSize;
      out.U8(row + kRowVk, rows[r].vk);
      out.U8(row + kRowAttributes, rows[r].attributes);
      for (int k = 0; k < width; ++k) out.U16(row + kRowChars + uint32_t(2 * k), rows[r].chars[size_t(k)]);
    }
    at[size_t(width - 1)] = start;
  }
  return at;
}

uint32_t AppendDescriptors(DataSection& out, const kbd::TableForm& form,
                           const std::array<uint32_t, kMaxTableWidth>& rows) {
  uint32_t first = 0;
  for (const int width : kDescriptorOrder) {
    if (rows[size_t(width - 1)] == 0) continue;
    const uint32_t at = out.AppendZeros(form.charTableEntrySize);
    out.PutReference(at + kCharTableRows, rows[size_t(width - 1)]);
    out.U8(at + form.charTableModifications, uint8_t(width));
    out.U8(at + form.charTableRowSize, uint8_t(RowSize(width)));
    if (first == 0) first = at;
  }
  out.AppendZeros(form.charTableEntrySize);
  return first;
}

}  // namespace

SerialisedTables SerialiseLayoutTables(const KeyboardLayout& layout, const ProcessState& state, ImageKind kind,
                                       uint32_t imageBase) {
  // Only the key records change on the way; the rest is read from the layout.
  WorkingKeys keys{layout.keys};
  ApplySpecialKeys(keys, state.specialKeys);
  const ColumnPlan plan = PlanColumns(keys, layout);
  const CharacterTables rows = BuildCharacterRows(keys, plan);
  const LigatureTable ligatures = BuildLigatureTable(keys, layout, plan);
  ApplyKeypadVks(keys);
  const std::array<uint16_t, 128> scanCodes = BuildScanCodeTable(keys, layout);
  const std::vector<ScanVk> e0 = BuildE0Table(keys, layout, state.patch);

  const kbd::TableForm& form = kind == ImageKind::X86Native ? kbd::kNarrowReferences : kbd::kWideReferences;
  SerialisedTables result{DataSection(imageBase), 0};
  DataSection& out = result.section;
  const uint32_t scanCodesAt = AppendScanCodes(out, scanCodes);
  const uint32_t e0At = AppendScanVks(out, e0);
  const uint32_t e1At = out.Append(kE1Table);
  const uint32_t deadKeysAt = AppendDeadKeys(out, layout);
  const uint32_t ligaturesAt = ligatures.entries.empty() ? 0 : AppendLigatures(out, ligatures);
  const uint32_t modifiersAt = AppendModifiers(out, form, plan, state.patch.ShiftCtrlPatch);
  const uint32_t keyNamesAt = AppendKeyNames(out, form, state.keyNames, kind);
  const uint32_t keyNamesExtAt = AppendKeyNames(out, form, state.extendedKeyNames, kind);
  // Without dead-key names the field stays null, as libraries were written before.
  const uint32_t keyNamesDeadAt = state.deadKeyNames.count > 0 ? AppendDeadKeyNames(out, form, state.deadKeyNames) : 0;
  const uint32_t descriptorsAt = AppendDescriptors(out, form, AppendCharacterTables(out, rows));

  // KBDTABLES is written with dwType and dwSubType, so that nothing else is
  // placed over those two fields.
  const uint32_t t = out.AppendZeros(form.TablesSize() + kTypeAndSubTypeSize);
  out.PutReference(t + form.charModifiers, modifiersAt);
  out.PutReference(t + form.vkToWcharTable, descriptorsAt);
  out.PutReference(t + form.deadKey, deadKeysAt);
  out.PutReference(t + form.keyNames, keyNamesAt);
  out.PutReference(t + form.keyNamesExt, keyNamesExtAt);
  out.PutReference(t + form.keyNamesDead, keyNamesDeadAt);
  out.PutReference(t + form.vscToVk, scanCodesAt);
  out.U8(t + form.maxVscToVk, kMaxScanCode);
  out.PutReference(t + form.vscToVkE0, e0At);
  out.PutReference(t + form.vscToVkE1, e1At);
  out.U32(t + form.localeFlags, LocaleFlags(layout, state.windowsVersion));
  out.U8(t + form.lgMax, ligatures.maxLength);
  out.U8(t + form.lgEntrySize, ligatures.entrySize);
  out.PutReference(t + form.ligature, ligaturesAt);
  // dwType and dwSubType stay 0.
  result.tablesRva = t;
  return result;
}

}  // namespace tastora
