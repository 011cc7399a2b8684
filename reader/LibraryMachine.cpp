#include "reader/LibraryMachine.h"

#include <cstdio>

#include "format/PeFormat.h"
#include "model/Bytes.h"

namespace tastora {
namespace {

constexpr uint64_t kMachineOffset = pe::kSignatureSize + pe::kFileMachine;

struct Machine {
  uint16_t id;
  const char* name;
  bool readable;
};

constexpr Machine kMachines[] = {
    {pe::kMachineX86, "x86", true},      {pe::kMachineX64, "x64", true},  {pe::kMachineArm64, "ARM64", true},
    {0x0200, "Itanium (IA64)", false}, {0x01C0, "ARM", false}, {0x01C2, "ARM Thumb", false},
    {0x01C4, "ARM Thumb-2 (ARMNT)", false}, {0xA641, "ARM64EC", false}, {0x0166, "MIPS", false},
    {0x0184, "Alpha", false},   {0x01F0, "PowerPC", false},
};

const Machine* Find(uint16_t id) {
  for (const Machine& m : kMachines)
    if (m.id == id) return &m;
  return nullptr;
}

}  // namespace

std::optional<uint16_t> LibraryMachine(std::span<const uint8_t> file) {
  const ByteReader image(file);
  const auto newHeader = image.U32(pe::kDosNewHeader);
  if (!newHeader || image.U16(0) != pe::kDosMagic || image.U32(*newHeader) != pe::kSignature) return std::nullopt;
  return image.U16(uint64_t{*newHeader} + kMachineOffset);
}

bool IsReadableMachine(uint16_t machine) {
  const Machine* m = Find(machine);
  return m && m->readable;
}

std::string UnreadableMachineMessage(uint16_t machine) {
  char id[8];
  std::snprintf(id, sizeof id, "0x%04X", machine);
  const Machine* m = Find(machine);
  const std::string what = m ? std::string("the ") + m->name + " processor (machine " + id + ")"
                             : std::string("an unknown processor (machine ") + id + ")";
  return "This layout library is built for " + what +
         ".\rOnly layout libraries for x86, x64 and ARM64 processors can be read.";
}

}  // namespace tastora
