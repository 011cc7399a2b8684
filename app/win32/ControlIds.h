#pragma once
// The Windows program's window classes, captions and control identifiers.
// The windows are built from them, and the tests that drive the program
// through window messages find its windows and controls by them: every
// control is a direct child of its top-level window (GetDlgItem reaches
// it), tab pages only show and hide their controls.

namespace tastora::gui {

// The main window's class: a second start finds the first by it.
inline constexpr wchar_t kMainWindowClass[] = L"VYR32 program!";
inline constexpr wchar_t kApplicationTitle[] = L"Tastora";
inline constexpr wchar_t kMainCaption[] = L"Tastora 64 bit";
inline constexpr wchar_t kNewKbdCaption[] = L"New Keyboard";
inline constexpr wchar_t kError1Caption[] = L"Error in layout";
inline constexpr wchar_t kVistaCaption[] = L"Important notice for Vista users";
inline constexpr wchar_t kLoadLayoutCaption[] = L"Load layout";

enum ControlId : int {
  // TFGlavni
  idTabs = 100,
  idDrawGrid1 = 101,  // the catalogue list: LB_GETCOUNT, LB_SETCURSEL, LBN_DBLCLK
  idEdituj = 102,     // "&Edit"
  idNew = 103,        // "&New"
  idRestore = 104,    // "Restore"
  idRemove = 105,     // "Remove", enabled for a layout this program created
  idShowMess = 110,   // "Show reboot dialog"
  idVista = 111,      // "Show Vista warning"
  idFontSize = 112,   // the layout font's size (spin edit)
  idFontSizeArrows = 113,  // its up-down arrows
  idTitle = 120,      // the About title
  idLink = 121,       // the About link
  idClose = 130,      // "&Close"
  idHelp = 131,       // "Help"
  // TfNewKbd
  idTemplate = 200,  // cbTemplate
  idLanguage = 201,  // cbLanguage (owner-drawn, sorted by name)
  idName = 202,      // eName
  idCreate = 203,    // the default button
  idCancel = 204,
  idNewHelp = 205,
  // TfError1: the four key buttons (slots 0 and 1 of key 1, then of key 2)
  idKey1Slot0 = 300,
  idKey1Slot1 = 301,
  idKey2Slot0 = 302,
  idKey2Slot1 = 303,
  idKey1Index = 304,
  idKey2Index = 305,
  idVirtualKey = 306,
  // Yes and No are IDYES and IDNO.
  // TfrmVista
  idDontShowAgain = 400,  // CheckBox1
  // OK is IDOK.
};

}  // namespace tastora::gui
