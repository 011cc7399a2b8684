#include "platform/PlatformFactory.h"
#include "platform/win32/Win32FileWriter.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32CodePages.h"
#include "platform/win32/Win32LibraryLoader.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/WideText.h"

#if defined(__MINGW32__) && defined(__i386__)
// The 32-bit programs start on Windows XP, which has no GetTickCount64; the
// MinGW-w64 threads library linked into them imports it all the same. Its
// import slot is defined here instead, so the program asks kernel32 for the
// function at its first call and, where there is none, counts milliseconds
// from the performance counter (64 bits, no wrap).
namespace {

ULONGLONG WINAPI TickCountFromCounter() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 || !QueryPerformanceCounter(&counter))
    return GetTickCount();
  const ULONGLONG ticks = ULONGLONG(counter.QuadPart);
  const ULONGLONG perSecond = ULONGLONG(frequency.QuadPart);
  return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
}

ULONGLONG WINAPI FirstTickCount64();

}  // namespace

// The slot "call [__imp__GetTickCount64@0]" goes through.
extern "C" {
ULONGLONG(WINAPI* tastoraTickCount64Slot)() __asm__("__imp__GetTickCount64@0") = FirstTickCount64;
}

namespace {

ULONGLONG WINAPI FirstTickCount64() {
  using TickCountFn = ULONGLONG(WINAPI*)();
  TickCountFn resolved = TickCountFromCounter;
  if (HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll"))
    if (FARPROC found = GetProcAddress(kernel32, "GetTickCount64"))
      resolved = reinterpret_cast<TickCountFn>(reinterpret_cast<void*>(found));
  // Threads that get here together store the same value.
  __atomic_store_n(&tastoraTickCount64Slot, resolved, __ATOMIC_RELEASE);
  return resolved();
}

}  // namespace
#endif

namespace tastora {

std::unique_ptr<CodePages> MakeCodePages() { return std::make_unique<Win32CodePages>(); }
std::unique_ptr<FileSystem> MakeFileSystem() { return std::make_unique<Win32FileSystem>(); }
std::unique_ptr<LibraryLoader> MakeLibraryLoader() { return std::make_unique<Win32LibraryLoader>(); }
std::unique_ptr<FileWriter> MakeFileWriter() { return std::make_unique<Win32FileWriter>(); }

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  // argv came through the ANSI code page: a character outside it is lost
  // there. The UTF-16 command line has every one.
  int count = 0;
  if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return args;
  }
  if (argc <= 1 || !argv) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

bool PlatformTakesSlashHelp() { return true; }

bool StandardErrorIsTerminal() {
  // A console answers for its mode; a file or a pipe does not.
  DWORD mode = 0;
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  return handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

}  // namespace tastora
