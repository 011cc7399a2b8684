#include "platform/win32/Win32SystemFiles.h"

#include <windows.h>

#include <cwchar>

#undef CopyFile
#undef DeleteFile

#include "platform/win32/WideText.h"

namespace tastora {
namespace {

using DisableFn = BOOL(WINAPI*)(PVOID*);
using RevertFn = BOOL(WINAPI*)(PVOID);
using DirectoryFn = UINT(WINAPI*)(LPWSTR, UINT);
using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
using IsWow64Fn2 = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);

// IMAGE_FILE_MACHINE_*, which older MinGW headers may lack.
constexpr USHORT kMachineX86 = 0x014C;
constexpr USHORT kMachineX64 = 0x8664;
constexpr USHORT kMachineArm64 = 0xAA64;
// PROCESSOR_ARCHITECTURE_*, likewise.
constexpr WORD kArchitectureAmd64 = 9;
constexpr WORD kArchitectureArm64 = 12;

// The pointer size of this build, not of the system: only a 64-bit build
// has to stand in for the redirection itself.
constexpr bool k64BitBuild = sizeof(void*) == 8;

void* Lookup(HMODULE module, const char* name) {
  // Through void*: the export's real type is restored where it is called.
  return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

// A directory from one of the Get*DirectoryW functions, in UTF-8 and without
// a trailing backslash; empty when it fails.
std::string Directory(DirectoryFn get) {
  std::wstring text(MAX_PATH, L'\0');
  UINT length = get(text.data(), UINT(text.size()));
  if (length >= text.size()) {
    // Too small: `length` is the size needed, terminating zero included.
    text.assign(length, L'\0');
    length = get(text.data(), UINT(text.size()));
    if (length >= text.size()) return "";
  }
  text.resize(length);
  if (!text.empty() && text.back() == L'\\') text.pop_back();
  return Narrow(text);
}

}  // namespace

Win32SystemFiles::Win32SystemFiles() {
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  disable_ = Lookup(kernel32, "Wow64DisableWow64FsRedirection");
  revert_ = Lookup(kernel32, "Wow64RevertWow64FsRedirection");
  if (k64BitBuild) {
    // Looked up, not imported, so that the program still starts where it is missing.
    if (void* wow64 = Lookup(kernel32, "GetSystemWow64DirectoryW"))
      wow64Directory_ = Directory(reinterpret_cast<DirectoryFn>(wow64));
    nativeFolder_ = !wow64Directory_.empty();
  } else if (void* isWow64 = Lookup(kernel32, "IsWow64Process")) {
    // Missing before Windows XP SP2, which had no 64-bit form for it to tell of.
    BOOL wow64 = FALSE;
    nativeFolder_ = reinterpret_cast<IsWow64Fn>(isWow64)(GetCurrentProcess(), &wow64) && wow64;
  }
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  if (info.wProcessorArchitecture == kArchitectureAmd64) nativeMachine_ = Processor::X64;
  if (info.wProcessorArchitecture == kArchitectureArm64) nativeMachine_ = Processor::Arm64;
  // An x64 program emulated on ARM64 is not under WOW64 and its system
  // information says x64; only this function tells the truth there.
  USHORT process = 0, native = 0;
  if (void* isWow64 = Lookup(kernel32, "IsWow64Process2");
      isWow64 && reinterpret_cast<IsWow64Fn2>(isWow64)(GetCurrentProcess(), &process, &native)) {
    if (native == kMachineArm64) nativeMachine_ = Processor::Arm64;
    if (native == kMachineX64) nativeMachine_ = Processor::X64;
    if (native == kMachineX86) nativeMachine_ = Processor::X86;
  }
}

std::string Win32SystemFiles::SystemDirectory() {
  if (k64BitBuild && nativeDepth_ == 0 && !wow64Directory_.empty()) return wow64Directory_;
  return Directory(&GetSystemDirectoryW);
}

bool Win32SystemFiles::DisableRedirection() {
  const bool available = disable_ && revert_ && (!k64BitBuild || !wow64Directory_.empty());
  if (!available) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return false;
  }
  if (k64BitBuild) {
    ++nativeDepth_;
    return true;
  }
  PVOID old = nullptr;
  if (!reinterpret_cast<DisableFn>(disable_)(&old)) return false;
  oldValues_.push_back(old);
  return true;
}

void Win32SystemFiles::RevertRedirection() {
  if (k64BitBuild) {
    if (nativeDepth_ > 0) --nativeDepth_;
    return;
  }
  if (oldValues_.empty()) return;
  const PVOID old = oldValues_.back();
  oldValues_.pop_back();
  reinterpret_cast<RevertFn>(revert_)(old);
}

bool Win32SystemFiles::FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32SystemFiles::PathExists(const std::string& path) {
  return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32SystemFiles::RemoveFile(const std::string& path) {
  const std::wstring wide = Widen(path);
  if (DeleteFileW(wide.c_str())) return true;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool Win32SystemFiles::RemoveFileAtRestart(const std::string& path) {
  std::wstring wide = Widen(path);
  // The 32-bit build with redirection on: system32 stands for the 32-bit view.
  if (!k64BitBuild && nativeFolder_ && oldValues_.empty()) {
    const std::wstring shown = Widen(Directory(&GetSystemDirectoryW)) + L"\\";
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    void* wow64 = Lookup(kernel32, "GetSystemWow64DirectoryW");
    const std::string real = wow64 ? Directory(reinterpret_cast<DirectoryFn>(wow64)) : std::string();
    if (!real.empty() && wide.size() > shown.size() && _wcsnicmp(wide.c_str(), shown.c_str(), shown.size()) == 0)
      wide = Widen(real) + L"\\" + wide.substr(shown.size());
  }
  return MoveFileExW(wide.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

bool Win32SystemFiles::CopyFile(const std::string& from, const std::string& to) {
  return CopyFileW(Widen(from).c_str(), Widen(to).c_str(), TRUE) != 0;
}

}  // namespace tastora
