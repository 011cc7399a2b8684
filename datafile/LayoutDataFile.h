#pragma once
// Layout data files (".vyr2000"): the markup form and, through conversion to
// markup, the two older binary forms.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "datafile/XmlReader.h"
#include "model/KeyboardLayout.h"

namespace tastora {

class CodePages;
class Dialogs;
class FileSystem;
struct KeyNameTable;
struct ProcessState;

struct DataFilePorts {
  FileSystem& files;
  Dialogs& dialogs;
  CodePages& codePages;
};

inline constexpr char kMarkupMagic[] = "<VYR_DAT_FILE";

// Recognises the form of the file and loads it into `layout`. Problems are
// shown as messages, each followed by the file's name on a line of its own;
// a load that does not complete leaves `layout` as it was. Returns whether
// the layout was replaced. ImportError (a number that does not convert, a
// value beyond the layout's capacities, a document that ends before its root
// element is closed) travels to the caller.
bool ImportLayoutFile(const std::string& fileName, KeyboardLayout& layout, ProcessState& state,
                      const DataFilePorts& ports);

bool LoadLayoutFile(const std::string& fileName, KeyboardLayout& layout, ProcessState& state,
                    const DataFilePorts& ports);
bool LoadLayoutLines(const std::vector<std::string>& lines, KeyboardLayout& layout, ProcessState& state,
                     const DataFilePorts& ports);

// Follows the markup reader's element stream and fills a working layout of
// its own, handed over only when the whole document has been read.
class TLoader {
 public:
  enum class State : uint8_t {
    BeforeRoot, ExpectCreated, InRoot, InCreated, InSettings, InSpecKeys, InSpecKey, InKeys, InKey,
    InDiacritics, InLigatures, InLigature, InUnresolved, InKeyNames, InKeyName, InKeyNamesExt,
    InKeyNameExt, InKeyNamesDead, InKeyNameDead, Done,
  };

  TLoader(ProcessState& processState, const DataFilePorts& ports);

  bool LoadFromFile(const std::string& fileName, KeyboardLayout& layout);
  bool LoadFromStrings(const std::vector<std::string>& lines, KeyboardLayout& layout);

  void TagOpen(const TXMLTag& tag);
  void TagClose(const TXMLTag& tag);

 private:
  template <typename ParseFn>
  bool Load(KeyboardLayout& layout, ParseFn&& parse);
  void Created(const TXMLTag& tag);
  void Settings(const TXMLTag& tag);
  void KeyFlags(const TXMLTag& tag, KeyRecord& key) const;
  // An element directly inside the root: which section is read next.
  void RootChild(const TXMLTag& tag);
  // A special key's VALUE element: one character per state.
  void SpecialKeyValues(const TXMLTag& tag);
  // A key's VALUE (characters) or DEADKEY (dead-key marks) element, by slot.
  void KeySlots(const TXMLTag& tag, KeyRecord& key, bool dead) const;
  // One dead-key entry; a ligature's place, then its characters one by one;
  // one unresolved scan code.
  void Diacritic(const TXMLTag& tag);
  void StartLigature(const TXMLTag& tag);
  void LigatureChar(const TXMLTag& tag);
  void UnresolvedDef(const TXMLTag& tag);
  // `key` is the attribute that holds the entry's scan code or accent.
  void StartName(const TXMLTag& tag, KeyNameTable& table, const char* key);
  // The name table whose NAME elements are being read, if any.
  KeyNameTable* NameTableOf(State s) const;

  State state = State::BeforeRoot;
  bool rootLeftOpen = false;  // the text ended inside the root element
  std::unique_ptr<KeyboardLayout> work;
  int32_t currentIndex = 0;
  int32_t ligatureKey = 0;
  int32_t ligatureColumn = 0;
  std::string layoutName;
  std::string version;
  TXMLReader reader;

  ProcessState& process_;
  DataFilePorts ports_;
};

}  // namespace tastora
