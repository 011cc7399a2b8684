#include "reader/LayoutTables.h"

#include "reader/KbdTables.h"

namespace tastora {

std::optional<LayoutTables> ReadLayoutTables(LayoutMemory& memory, Location at, uint64_t anchor,
                                             const ReferenceResolver& resolver) {
  std::array<uint8_t, kbd::kLigature + 8> raw;
  if (!memory.Read(at, raw)) return std::nullopt;
  const ByteReader fields(raw);
  auto reference = [&](uint32_t offset) { return resolver.Resolve(*fields.U32(offset), anchor); };

  LayoutTables t;
  t.pCharModifiers = reference(kbd::kCharModifiers);
  t.pVkToWcharTable = reference(kbd::kVkToWcharTable);
  t.pDeadKey = reference(kbd::kDeadKey);
  t.pKeyNames = reference(kbd::kKeyNames);
  t.pKeyNamesExt = reference(kbd::kKeyNamesExt);
  t.pKeyNamesDead = reference(kbd::kKeyNamesDead);
  t.pusVSCtoVK = reference(kbd::kVscToVk);
  t.bMaxVSCtoVK = *fields.U8(kbd::kMaxVscToVk);
  t.pVSCtoVK_E0 = reference(kbd::kVscToVkE0);
  t.pVSCtoVK_E1 = reference(kbd::kVscToVkE1);
  t.fLocaleFlags = *fields.U32(kbd::kLocaleFlags);
  t.nLgMax = *fields.U8(kbd::kLgMax);
  t.cbLgEntry = *fields.U8(kbd::kLgEntrySize);
  for (size_t i = 0; i < t.ligatureSource.size(); ++i) t.ligatureSource[i] = raw[kbd::kLigature + i];
  // Resolved like every other reference: taking it from the file image even
  // when the library is loaded reads the wrong bytes whenever the library's
  // file offsets differ from its section addresses, as in most system files.
  t.pLigature = reference(kbd::kLigature);
  return t;
}

}  // namespace tastora
