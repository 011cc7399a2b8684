#include "reader/LayoutTables.h"

namespace tastora {
namespace {

// Whether the block reads as the tables in `form`. The two forms cannot both
// pass: read as the wide form, a narrow block has a reference, or the byte
// bMaxVSCtoVK, where the upper halves of wide references must be 0 (or the
// upper half of a library loaded, or based, above 4 GB); read as the narrow form, a wide
// block has the upper half of a reference, 0, where bMaxVSCtoVK must say how
// long its scan-code table is, or where the character tables must be.
bool Plausible(const ByteReader& fields, const kbd::TableForm& form, uint64_t anchor, uint32_t imageBaseUpper) {
  if (form.referenceSize == 8) {
    for (const uint32_t field : form.TablesReferences()) {
      const uint32_t upper = *fields.U32(field + 4);
      if (upper != 0 && upper != uint32_t(anchor >> 32) && upper != imageBaseUpper) return false;
    }
  }
  if (form.referenceSize == 4) {
    if (*fields.U32(form.vkToWcharTable) == 0) return false;
    if (*fields.U32(form.vscToVk) != 0 && *fields.U8(form.maxVscToVk) == 0) return false;
  }
  return true;
}

}  // namespace

std::optional<LayoutTables> ReadLayoutTables(LayoutMemory& memory, Location at, uint64_t anchor,
                                             const ReferenceResolver& resolver) {
  for (const kbd::TableForm* form : {&kbd::kWideReferences, &kbd::kNarrowReferences}) {
    std::array<uint8_t, kbd::kLigature + 8> raw{};
    const std::span<uint8_t> block = std::span<uint8_t>(raw).first(form->TablesSize());
    if (!memory.Read(at, block)) continue;
    const ByteReader fields{std::span<const uint8_t>(block)};
    if (!Plausible(fields, *form, anchor, resolver.imageBaseUpper)) continue;
    auto reference = [&](uint32_t offset) { return resolver.Resolve(*fields.U32(offset), anchor); };

    LayoutTables t;
    t.form = form;
    t.pCharModifiers = reference(form->charModifiers);
    t.pVkToWcharTable = reference(form->vkToWcharTable);
    t.pDeadKey = reference(form->deadKey);
    t.pKeyNames = reference(form->keyNames);
    t.pKeyNamesExt = reference(form->keyNamesExt);
    t.pKeyNamesDead = reference(form->keyNamesDead);
    t.pusVSCtoVK = reference(form->vscToVk);
    t.bMaxVSCtoVK = *fields.U8(form->maxVscToVk);
    t.pVSCtoVK_E0 = reference(form->vscToVkE0);
    t.pVSCtoVK_E1 = reference(form->vscToVkE1);
    t.fLocaleFlags = *fields.U32(form->localeFlags);
    t.nLgMax = *fields.U8(form->lgMax);
    t.cbLgEntry = *fields.U8(form->lgEntrySize);
    for (size_t i = 0; i < form->referenceSize; ++i) t.ligatureSource[i] = raw[form->ligature + i];
    // Resolved like every other reference: taking it from the file image even
    // when the library is loaded reads the wrong bytes whenever the library's
    // file offsets differ from its section addresses, as in most system files.
    t.pLigature = reference(form->ligature);
    return t;
  }
  return std::nullopt;
}

}  // namespace tastora
