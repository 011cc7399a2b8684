// guidriver: starts TastoraGUI.exe, drives its windows through window
// messages the way a user's clicks would reach them, and says what it saw.
//
//   guidriver SCENARIO GUI.EXE [key=value ...]
//
// One line per finding on the standard output, for the host test to read:
//   check NAME ok|FAIL DETAIL    a check made on a window
//   startup-ms N                 start to the main window visible and painted
//   box CAPTION | TEXT           a message box the program showed (answered)
//   shot FILE                    a window written as a 24-bit BMP
//   exit N                       the program's exit status
//   scenario NAME passed|failed  the last line
// The exit status is 0 only when every check passed. Every wait has a
// timeout; a program left running at the end is ended.
//
// Scenarios and their keys:
//   window    rows= [fontsize=] [shots=]  the main window, its list and tabs; Close
//   edit      row= file= [via=dblclick|enter] [shots=]  Edit: "Load layout", the file, the result
//   duplicate row= file= answer=yes|no [via=] [shots=]  Edit of a file whose keys share a VK
//   new       rows= name= [lang=] [shots=]  New Keyboard: a layout made, the list grows
//   restore   row=                        Restore, confirmed
//   remove    row=                        Remove, confirmed; not offered for row 0 (a system layout);
//                                         the row after it must hold a layout the program made too
//   second                                a second start activates the first and ends
//   cmdline   status= args= [answer=] [window=1]  the unattended command-line forms
//   vista     [dontshow=1] [shots=]       the notice at start, then the main window
// shots= is a folder (a Windows path) the screenshots go to, by window;
// a picture already there is kept.

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

// The program's windows and controls, as it builds them.
constexpr wchar_t kMainClass[] = L"VYR32 program!";
constexpr wchar_t kMainCaption[] = L"Tastora 64 bit";
constexpr wchar_t kNewKbdCaption[] = L"New Keyboard";
constexpr wchar_t kErrorCaption[] = L"Error in layout";
constexpr wchar_t kVistaCaption[] = L"Important notice for Vista users";
constexpr wchar_t kLoadCaption[] = L"Load layout";
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int idTabs = 100, idDrawGrid1 = 101, idEdituj = 102, idNew = 103, idRestore = 104, idRemove = 105, idVista = 111,
              idFontSize = 112, idClose = 130, idLanguage = 201, idName = 202, idCreate = 203,
              idDontShowAgain = 400;
// The open-file dialog's file name box: an edit, or a combo box around one.
constexpr int kFileNameEdit = 0x480, kFileNameCombo = 0x47c;

constexpr DWORD kWindowTimeout = 30000;  // the first start of a prefix is slow
constexpr DWORD kExitTimeout = 20000;

bool g_failed = false;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

void Line(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

bool Check(const std::string& name, bool ok, const std::string& detail = "") {
  Line("check " + name + (ok ? " ok" : " FAIL") + (detail.empty() ? "" : " " + detail));
  if (!ok) g_failed = true;
  return ok;
}

// --- The program under test -------------------------------------------------

struct Program {
  PROCESS_INFORMATION info{};
  DWORD startTick = 0;

  bool Start(const std::wstring& exe, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startTick = GetTickCount();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
      return Check("start", false, "CreateProcess failed with " + std::to_string(GetLastError()));
    return true;
  }
  bool Running() const { return info.hProcess && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }
  // The exit status, or -1 when it did not end in time.
  long WaitExit(DWORD timeout = kExitTimeout) const {
    if (WaitForSingleObject(info.hProcess, timeout) != WAIT_OBJECT_0) return -1;
    DWORD status = 0;
    GetExitCodeProcess(info.hProcess, &status);
    return static_cast<long>(status);
  }
  ~Program() {
    if (!info.hProcess) return;
    if (Running()) {
      Check("ended", false, "the program was still running and was terminated");
      TerminateProcess(info.hProcess, 99);
      WaitForSingleObject(info.hProcess, 5000);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
};

std::wstring Text(HWND window) {
  wchar_t buffer[4096] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000,
                           &copied))
    return {};
  return buffer;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

// The visible top-level windows of a process (every process: pid 0).
std::vector<HWND> TopWindows(DWORD pid) {
  struct Walk {
    DWORD pid;
    std::vector<HWND> found;
  } walk{pid, {}};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* w = reinterpret_cast<Walk*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if ((w->pid == 0 || owner == w->pid) && IsWindowVisible(window)) w->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&walk));
  return walk.found;
}

// A window of that class and caption (either left out: any).
bool Matches(HWND window, const wchar_t* className, const wchar_t* caption) {
  return (!className || ClassOf(window) == className) && (!caption || Text(window) == caption);
}

HWND FindTop(DWORD pid, const wchar_t* className, const wchar_t* caption) {
  for (HWND window : TopWindows(pid))
    if (Matches(window, className, caption)) return window;
  return nullptr;
}

// The text of a message box: its static texts together.
std::wstring BoxText(HWND box) {
  std::wstring text;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) != L"Static") continue;
    const std::wstring part = Text(child);
    if (part.empty()) continue;
    if (!text.empty()) text += L" ";
    text += part;
  }
  return text;
}

// Waits for a window the program shows; a message box other than the one
// waited for is reported and ends the wait, as does the program's end.
HWND WaitWindow(const Program& program, const wchar_t* className, const wchar_t* caption, const std::string& what,
                DWORD timeout = kWindowTimeout) {
  const DWORD start = GetTickCount();
  const DWORD pid = program.info.dwProcessId;
  while (GetTickCount() - start < timeout) {
    for (HWND window : TopWindows(pid)) {
      if (Matches(window, className, caption)) return window;
      if (ClassOf(window) == kDialogClass && Text(window) != kLoadCaption) {
        Check(what, false, "an unexpected message box: " + Utf8(Text(window)) + " | " + Utf8(BoxText(window)));
        return nullptr;
      }
    }
    if (!program.Running()) {
      Check(what, false, "the program ended first");
      return nullptr;
    }
    Sleep(20);
  }
  Check(what, false, "not shown within " + std::to_string(timeout) + " ms");
  return nullptr;
}

bool WaitGone(HWND window, const std::string& what, DWORD timeout = kWindowTimeout) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeout) {
    if (!IsWindow(window) || !IsWindowVisible(window)) return true;
    Sleep(20);
  }
  return Check(what, false, "still open after " + std::to_string(timeout) + " ms");
}

// A click as the button sees it; posted, since the handler may run a modal loop.
void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

// Waits for a message box, says what it showed and presses `button` on it.
std::wstring AnswerBox(const Program& program, const wchar_t* caption, int button, const std::string& what) {
  HWND box = WaitWindow(program, kDialogClass, caption, what);
  if (!box) return {};
  // Its text is in place once the box is visible; the button may come last.
  HWND press = nullptr;
  for (int i = 0; i < 100 && !(press = GetDlgItem(box, button)); ++i) Sleep(20);
  const std::wstring text = BoxText(box);
  Line("box " + Utf8(Text(box)) + " | " + Utf8(text));
  if (!Check(what, press != nullptr, "no button " + std::to_string(button))) return text;
  Click(press);
  WaitGone(box, what + "-closed");
  return text;
}

// Waits until the window and its children have no painting left to do
// and its thread answers.
bool Settled(HWND window) {
  if (!IsWindowVisible(window) || GetUpdateRect(window, nullptr, FALSE)) return false;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) return false;
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

void Settle(HWND window) {
  for (int i = 0; i < 250 && !Settled(window); ++i) Sleep(20);
}

// --- Screenshots ------------------------------------------------------------

// The window as the screen shows it, written as a bottom-up 24-bit BMP.
bool Screenshot(HWND window, const std::wstring& file) {
  SetForegroundWindow(window);
  BringWindowToTop(window);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  Sleep(150);
  Settle(window);
  Sleep(250);
  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return Check("shot", false, "an empty window rectangle");
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  SelectObject(memory, old);
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD size = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof header + sizeof info.bmiHeader;
  header.bfSize = header.bfOffBits + size;
  bool written = false;
  if (FILE* out = _wfopen(file.c_str(), L"wb")) {
    written = std::fwrite(&header, sizeof header, 1, out) == 1 &&
              std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
              std::fwrite(bits, 1, size, out) == size;
    written = std::fclose(out) == 0 && written;
  }
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!Check("shot", copied && written, Utf8(file))) return false;
  Line("shot " + Utf8(file));
  return true;
}

// --- Scenarios --------------------------------------------------------------

using Options = std::map<std::wstring, std::wstring>;

std::wstring Option(const Options& options, const wchar_t* key, const wchar_t* fallback = L"") {
  const auto it = options.find(key);
  return it == options.end() ? fallback : it->second;
}

int Number(const Options& options, const wchar_t* key, int fallback = -1) {
  const std::wstring text = Option(options, key);
  return text.empty() ? fallback : static_cast<int>(std::wcstol(text.c_str(), nullptr, 0));
}

struct Context {
  std::wstring exe;
  Options options;
  // A screenshot of `window` as NAME.bmp when screenshots were asked for;
  // the first of a name is kept.
  void Shot(HWND window, const wchar_t* name) const {
    const std::wstring folder = Option(options, L"shots");
    const std::wstring file = folder + L"\\" + name + L".bmp";
    if (!folder.empty() && GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) Screenshot(window, file);
  }
};

// Starts the program without arguments and waits for its main window,
// measuring the time to its first painted appearance.
HWND StartMain(Program& program, const Context& context, bool measure = true) {
  if (!program.Start(context.exe, L"")) return nullptr;
  HWND main = nullptr;
  const DWORD start = program.startTick;
  while (GetTickCount() - start < kWindowTimeout && program.Running()) {
    main = FindTop(program.info.dwProcessId, kMainClass, nullptr);
    if (main && Settled(main)) break;
    main = nullptr;
    Sleep(5);
  }
  if (!Check("main-window", main != nullptr, "class VYR32 program! shown and painted")) return nullptr;
  if (measure) Line("startup-ms " + std::to_string(GetTickCount() - start));
  Check("main-caption", Text(main) == kMainCaption, "\"" + Utf8(Text(main)) + "\"");
  for (int id : {idTabs, idDrawGrid1, idEdituj, idNew, idRestore, idClose})
    Check("control-" + std::to_string(id), GetDlgItem(main, id) != nullptr, "a direct child of the main window");
  return main;
}

int ListCount(HWND main) { return static_cast<int>(SendMessageW(GetDlgItem(main, idDrawGrid1), LB_GETCOUNT, 0, 0)); }

bool SelectRow(HWND main, int row) {
  HWND list = GetDlgItem(main, idDrawGrid1);
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  // What a click on the row also tells the window.
  SendMessageW(main, WM_COMMAND, MAKEWPARAM(idDrawGrid1, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  return Check("select-row", SendMessageW(list, LB_GETCURSEL, 0, 0) == row, std::to_string(row));
}

// Closes the main window as its title-bar button does (or with Close) and
// expects the program to end with status 0.
void CloseMain(Program& program, HWND main, bool closeButton) {
  if (closeButton)
    Click(GetDlgItem(main, idClose));
  else
    PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  const long status = program.WaitExit();
  Line("exit " + std::to_string(status));
  Check("closed", status == 0, "exit status " + std::to_string(status));
}

// Chooses `file` in the open-file dialog.
bool ChooseFile(const Program& program, const Context& context, const std::wstring& file) {
  HWND dialog = WaitWindow(program, kDialogClass, kLoadCaption, "load-layout");
  if (!dialog) return false;
  Settle(dialog);
  HWND name = GetDlgItem(dialog, kFileNameEdit);
  if (!name) {
    name = GetDlgItem(dialog, kFileNameCombo);
    // A combo box (extended or not) types into its edit.
    for (HWND inner = name; inner;) {
      HWND edit = FindWindowExW(inner, nullptr, L"Edit", nullptr);
      if (edit) {
        name = edit;
        break;
      }
      inner = FindWindowExW(inner, nullptr, L"ComboBox", nullptr);
    }
  }
  if (!Check("file-name-box", name != nullptr, "edt1 or cmb13")) return false;
  std::wstring typed = file;
  if (!Option(context.options, L"shots").empty()) {
    // For the picture: the file's folder opened, the bare name typed.
    const size_t slash = file.rfind(L'\\');
    if (slash != std::wstring::npos) {
      SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.substr(0, slash + 1).c_str()));
      SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
      Sleep(300);
      Settle(dialog);
      typed = file.substr(slash + 1);
      SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    }
    context.Shot(dialog, L"load-layout");
  }
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
  Click(GetDlgItem(dialog, IDOK));
  return WaitGone(dialog, "load-layout-closed");
}

void Window(const Context& context) {
  Program program;
  HWND main = StartMain(program, context);
  if (!main) return;
  const int rows = Number(context.options, L"rows");
  Check("rows", ListCount(main) == rows, std::to_string(ListCount(main)) + " rows, the catalogue " +
                                             std::to_string(rows));
  HWND tabs = GetDlgItem(main, idTabs);
  const wchar_t* pages[] = {L"main-keyboards", L"main-options", L"main-about"};
  for (int page = 0; page < 3; ++page) {
    SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
    Settle(main);
    // Each page shows its own controls only.
    Sleep(100);
    const bool listShown = IsWindowVisible(GetDlgItem(main, idDrawGrid1));
    Check(std::string("page-") + Utf8(pages[page]), listShown == (page == 0), listShown ? "list shown" : "list hidden");
    context.Shot(main, pages[page]);
  }
  SendMessageW(tabs, TCM_SETCURSEL, 0, 0);
  if (const int size = Number(context.options, L"fontsize"); size > 0)
    SendMessageW(GetDlgItem(main, idFontSize), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(std::to_wstring(size).c_str()));
  CloseMain(program, main, true);
}

// The windows an install shows, one after another, until it ends: the data
// file's own notice, the duplicate-key report (answered as told), and the
// final message, which is returned.
std::wstring FollowInstall(const Program& program, const Context& context, bool expectReport) {
  const bool yes = Option(context.options, L"answer") == L"yes";
  bool reported = false;
  for (int step = 0; step < 8; ++step) {
    HWND shown = nullptr;
    const DWORD start = GetTickCount();
    while (!shown && GetTickCount() - start < kWindowTimeout && program.Running()) {
      for (HWND window : TopWindows(program.info.dwProcessId))
        if (Text(window) == kErrorCaption || (ClassOf(window) == kDialogClass && Text(window) != kLoadCaption))
          shown = window;
      if (!shown) Sleep(20);
    }
    if (!Check("install-window", shown != nullptr, "a message or the report within the time")) return {};
    Settle(shown);
    if (Text(shown) == kErrorCaption) {
      reported = true;
      Check("report-expected", expectReport);
      for (int id : {300, 301, 302, 303, 304, 305, 306, IDYES, IDNO})
        Check("report-control-" + std::to_string(id), GetDlgItem(shown, id) != nullptr);
      const std::wstring vk = Text(GetDlgItem(shown, 306));
      Check("report-virtual-key", vk.rfind(L"Virtual Key: ", 0) == 0, Utf8(vk));
      context.Shot(shown, L"error-in-layout");
      Line(std::string("box ") + Utf8(kErrorCaption) + " | " + Utf8(vk) + " | answered " + (yes ? "yes" : "no"));
      Click(GetDlgItem(shown, yes ? IDYES : IDNO));
      WaitGone(shown, "error-in-layout-closed");
      continue;
    }
    const std::wstring text = BoxText(shown);
    Line("box " + Utf8(Text(shown)) + " | " + Utf8(text));
    Click(GetDlgItem(shown, IDOK));
    WaitGone(shown, "message-closed");
    // The data file's notice comes first; anything else ends the install.
    if (text.rfind(L"Layout: ", 0) == 0) continue;
    Check("report-shown", reported == expectReport, reported ? "shown" : "not shown");
    return text;
  }
  Check("install-ended", false, "too many windows");
  return {};
}

void Edit(const Context& context, bool duplicate) {
  Program program;
  HWND main = StartMain(program, context);
  if (!main || !SelectRow(main, Number(context.options, L"row"))) return;
  const std::wstring via = Option(context.options, L"via");
  if (via == L"dblclick")
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(idDrawGrid1, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(GetDlgItem(main, idDrawGrid1)));
  else if (via == L"enter")  // the list has the focus from the start
    PostMessageW(GetDlgItem(main, idDrawGrid1), WM_KEYDOWN, VK_RETURN, 0x001C0001);
  else
    Click(GetDlgItem(main, idEdituj));
  if (!ChooseFile(program, context, Option(context.options, L"file"))) return;
  const std::wstring result = FollowInstall(program, context, duplicate);
  const bool installed = !duplicate || Option(context.options, L"answer") == L"yes";
  // Without an install the program says it was cancelled.
  Check("result",
        installed ? result == L"Layout imported successfully." : result.find(L"cancelled") != std::wstring::npos,
        "\"" + Utf8(result) + "\"");
  CloseMain(program, main, false);
}

void New(const Context& context) {
  Program program;
  HWND main = StartMain(program, context);
  if (!main || !SelectRow(main, 0)) return;
  const int rows = Number(context.options, L"rows");
  Check("rows-before", ListCount(main) == rows, std::to_string(ListCount(main)));
  Click(GetDlgItem(main, idNew));
  HWND dialog = WaitWindow(program, nullptr, kNewKbdCaption, "new-keyboard");
  if (!dialog) return;
  Settle(dialog);
  for (int id : {200, idLanguage, idName, idCreate, 204, 205})
    Check("new-control-" + std::to_string(id), GetDlgItem(dialog, id) != nullptr);
  Check("new-name-preset", Text(GetDlgItem(dialog, idName)) == L"New Layout", Utf8(Text(GetDlgItem(dialog, idName))));
  // The language by its number, the item data of the list's rows (without
  // lang= the one preset from the selected row stays).
  HWND languages = GetDlgItem(dialog, idLanguage);
  if (const std::wstring lang = Option(context.options, L"lang"); !lang.empty()) {
    const long language = std::wcstol(lang.c_str(), nullptr, 16);
    const int count = static_cast<int>(SendMessageW(languages, CB_GETCOUNT, 0, 0));
    int item = -1;
    for (int i = 0; i < count && item < 0; ++i)
      if (SendMessageW(languages, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == language) item = i;
    if (!Check("language-item", item >= 0, "language " + Utf8(lang) + " among " + std::to_string(count) + " items")) {
      Click(GetDlgItem(dialog, 204));
      WaitGone(dialog, "new-keyboard-cancelled");
      CloseMain(program, main, false);
      return;
    }
    SendMessageW(languages, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
  }
  Check("language-selected", SendMessageW(languages, CB_GETCURSEL, 0, 0) >= 0);
  SendMessageW(GetDlgItem(dialog, idName), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(Option(context.options, L"name").c_str()));
  context.Shot(dialog, L"new-keyboard");
  Click(GetDlgItem(dialog, idCreate));
  if (!WaitGone(dialog, "new-keyboard-closed")) return;
  Settle(main);
  Check("rows-after", ListCount(main) == rows + 1, std::to_string(ListCount(main)));
  CloseMain(program, main, false);
}

void Restore(const Context& context) {
  Program program;
  HWND main = StartMain(program, context);
  if (!main || !SelectRow(main, Number(context.options, L"row"))) return;
  Click(GetDlgItem(main, idRestore));
  const std::wstring question = AnswerBox(program, L"Warning!", IDYES, "restore-question");
  Check("restore-question-text", question.find(L"restore the selected layout") != std::wstring::npos,
        Utf8(question));
  const std::wstring done = AnswerBox(program, nullptr, IDOK, "restored-message");
  Check("restored", done == L"The selected layout has been restored to the original state!", Utf8(done));
  CloseMain(program, main, false);
}

void Remove(const Context& context) {
  Program program;
  HWND main = StartMain(program, context);
  if (!main || !SelectRow(main, 0)) return;
  HWND remove = GetDlgItem(main, idRemove);
  Check("remove-off-for-a-system-layout", remove && !IsWindowEnabled(remove));
  const int rows = ListCount(main);
  if (!SelectRow(main, Number(context.options, L"row"))) return;
  Check("remove-on", IsWindowEnabled(remove));
  Click(remove);
  const std::wstring question = AnswerBox(program, nullptr, IDYES, "remove-question");
  Check("remove-question-text", question.find(L"Remove the layout") != std::wstring::npos, Utf8(question));
  const std::wstring done = AnswerBox(program, nullptr, IDOK, "removed-message");
  Check("removed", done.find(L"has been removed") != std::wstring::npos, Utf8(done));
  Settle(main);
  Check("rows-after", ListCount(main) == rows - 1, std::to_string(ListCount(main)));
  // The row that moved up stays selected, and Remove follows it: the test
  // puts a layout the program made there too.
  Check("remove-on-for-the-next-row", IsWindowEnabled(remove));
  CloseMain(program, main, false);
}

void Second(const Context& context) {
  Program first;
  HWND main = StartMain(first, context, false);
  if (!main) return;
  // Out of the way first: the second start must bring it back.
  PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  for (int i = 0; i < 100 && !IsIconic(main); ++i) Sleep(20);
  Check("first-minimized", IsIconic(main));
  Program second;
  if (!second.Start(context.exe, L"")) return;
  const long status = second.WaitExit();
  Line("exit " + std::to_string(status));
  Check("second-ended", status == 0, "exit status " + std::to_string(status));
  int mains = 0;
  for (HWND window : TopWindows(0))
    if (ClassOf(window) == kMainClass) ++mains;
  Check("one-main-window", mains == 1, std::to_string(mains) + " main windows");
  Check("first-still-running", first.Running() && IsWindow(main));
  for (int i = 0; i < 100 && (IsIconic(main) || GetForegroundWindow() != main); ++i) Sleep(20);
  Check("first-in-front", !IsIconic(main) && GetForegroundWindow() == main);
  CloseMain(first, main, false);
}

// The unattended forms: answers the duplicate-key report as told, and
// dismisses (and reports) any message box until the program ends.
void CommandLine(const Context& context) {
  Program window;
  HWND main = nullptr;
  if (Option(context.options, L"window") == L"1" && !(main = StartMain(window, context, false))) return;
  Program program;
  if (!program.Start(context.exe, Option(context.options, L"args"))) return;
  const bool yes = Option(context.options, L"answer") == L"yes";
  long status = -1;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 60000) {
    if (!program.Running()) {
      status = program.WaitExit(0);
      break;
    }
    for (HWND shown : TopWindows(program.info.dwProcessId)) {
      if (Text(shown) == kErrorCaption) {
        Line(std::string("box ") + Utf8(kErrorCaption) + " | answered " + (yes ? "yes" : "no"));
        Settle(shown);
        Click(GetDlgItem(shown, yes ? IDYES : IDNO));
        WaitGone(shown, "report-closed");
      } else if (ClassOf(shown) == kDialogClass) {
        Line("box " + Utf8(Text(shown)) + " | " + Utf8(BoxText(shown)));
        Click(GetDlgItem(shown, IDOK) ? GetDlgItem(shown, IDOK) : GetDlgItem(shown, IDNO));
        WaitGone(shown, "box-closed");
      }
    }
    Sleep(20);
  }
  Line("exit " + std::to_string(status));
  const int expected = Number(context.options, L"status", 0);
  Check("exit-status", status == expected, std::to_string(status) + ", expected " + std::to_string(expected));
  if (main) {
    Check("window-kept", window.Running() && IsWindow(main));
    CloseMain(window, main, false);
  }
}

void Vista(const Context& context) {
  Program program;
  if (!program.Start(context.exe, L"")) return;
  HWND notice = WaitWindow(program, nullptr, kVistaCaption, "vista-notice");
  if (!notice) return;
  Check("vista-controls", GetDlgItem(notice, idDontShowAgain) && GetDlgItem(notice, IDOK));
  context.Shot(notice, L"vista-notice");
  const bool dontShow = Option(context.options, L"dontshow") == L"1";
  if (dontShow) SendMessageW(GetDlgItem(notice, idDontShowAgain), BM_SETCHECK, BST_CHECKED, 0);
  Click(GetDlgItem(notice, IDOK));
  if (!WaitGone(notice, "vista-notice-closed")) return;
  HWND main = WaitWindow(program, kMainClass, kMainCaption, "main-window");
  if (!main) return;
  // "Show Vista warning" says whether it shows at the next start.
  const bool ticked = SendMessageW(GetDlgItem(main, idVista), BM_GETCHECK, 0, 0) == BST_CHECKED;
  Check("vista-box", ticked == !dontShow, ticked ? "ticked" : "not ticked");
  CloseMain(program, main, false);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: guidriver SCENARIO GUI.EXE [key=value ...]\n");
    return 2;
  }
  const std::wstring scenario = argv[1];
  Context context{argv[2], {}};
  for (int i = 3; i < argc; ++i) {
    const std::wstring pair = argv[i];
    const size_t equals = pair.find(L'=');
    if (equals != std::wstring::npos) context.options[pair.substr(0, equals)] = pair.substr(equals + 1);
  }
  const std::map<std::wstring, std::function<void(const Context&)>> scenarios = {
      {L"window", Window},
      {L"edit", [](const Context& c) { Edit(c, false); }},
      {L"duplicate", [](const Context& c) { Edit(c, true); }},
      {L"new", New},
      {L"restore", Restore},
      {L"remove", Remove},
      {L"second", Second},
      {L"cmdline", CommandLine},
      {L"vista", Vista},
  };
  const auto it = scenarios.find(scenario);
  if (it == scenarios.end()) {
    std::fprintf(stderr, "unknown scenario %s\n", Utf8(scenario).c_str());
    return 2;
  }
  it->second(context);
  Line("scenario " + Utf8(scenario) + (g_failed ? " failed" : " passed"));
  return g_failed ? 1 : 0;
}
