#!/usr/bin/python3
"""Checks a built Windows program: its subsystem and machine, its manifest,
version information and icon, and that it imports only from DLLs every
Windows has (a 32-bit build: nothing newer than Windows XP of what we know
to look for).

    check-windows-exe.py EXE gui|console i386|amd64 [--version X.Y.Z]

The version defaults to the one in CMakeLists.txt. Prints one line per
failure and exits 1 when there is any; prints the imports with --list.
Needs pefile (Debian: python3-pefile), so run it with /usr/bin/python3.
"""

import argparse
import os
import re
import sys

try:
    import pefile
except ImportError:
    sys.exit("check-windows-exe: pefile is missing (apt-get install python3-pefile; run with /usr/bin/python3)")

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
SUBSYSTEMS = {"gui": 2, "console": 3}

RT_ICON = 3
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24

# DLLs of Windows itself. The C runtime is the system's msvcrt.dll; the C++
# runtime, libgcc and winpthreads are linked in (-static), so none of their
# DLLs may appear here.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "comdlg32.dll",
    "comctl32.dll", "uxtheme.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shlwapi.dll",
    "version.dll", "imm32.dll", "winmm.dll",
}

# Functions a 32-bit program may not import if it is to start on Windows XP
# (added in Vista or later, or only in the 64-bit XP). Those a program may
# want are looked up at run time instead (GetProcAddress).
NEWER_THAN_XP = {
    # kernel32
    "GetTickCount64", "GetErrorMode", "SetThreadErrorMode", "GetCurrentProcessorNumber",
    "InitializeSRWLock", "AcquireSRWLockExclusive", "AcquireSRWLockShared", "ReleaseSRWLockExclusive",
    "ReleaseSRWLockShared", "TryAcquireSRWLockExclusive", "TryAcquireSRWLockShared",
    "InitializeConditionVariable", "SleepConditionVariableCS", "SleepConditionVariableSRW",
    "WakeConditionVariable", "WakeAllConditionVariable", "InitOnceExecuteOnce", "InitOnceBeginInitialize",
    "InitOnceComplete", "InitializeCriticalSectionEx", "FlsAlloc", "FlsFree", "FlsGetValue", "FlsSetValue",
    "CreateEventExA", "CreateEventExW", "CreateMutexExA", "CreateMutexExW", "CreateSemaphoreExW",
    "GetSystemTimePreciseAsFileTime", "QueryFullProcessImageNameA", "QueryFullProcessImageNameW",
    "GetFinalPathNameByHandleA", "GetFinalPathNameByHandleW", "CreateSymbolicLinkA", "CreateSymbolicLinkW",
    "GetFileInformationByHandleEx", "SetFileInformationByHandle", "CancelIoEx", "CreateFile2",
    "CompareStringEx", "LCIDToLocaleName", "LocaleNameToLCID", "GetLocaleInfoEx", "GetUserDefaultLocaleName",
    "Wow64DisableWow64FsRedirection", "Wow64RevertWow64FsRedirection", "GetSystemWow64DirectoryA",
    "GetSystemWow64DirectoryW", "InterlockedCompareExchange64", "GetThreadId", "GetProcessIdOfThread",
    "SetFileCompletionNotificationModes", "GetQueuedCompletionStatusEx", "K32GetModuleFileNameExW",
    # advapi32
    "RegGetValueA", "RegGetValueW", "RegDeleteKeyExA", "RegDeleteKeyExW", "RegDeleteTreeA", "RegDeleteTreeW",
    "RegSetKeyValueA", "RegSetKeyValueW", "RegCopyTreeW",
    # user32
    "SetProcessDPIAware", "SetProcessDpiAwarenessContext", "SetThreadDpiAwarenessContext",
    "GetDpiForWindow", "GetDpiForSystem", "GetSystemMetricsForDpi", "SystemParametersInfoForDpi",
    "AdjustWindowRectExForDpi", "EnableNonClientDpiScaling", "ChangeWindowMessageFilter",
    "ChangeWindowMessageFilterEx", "IsProcessDPIAware", "GetAwarenessFromDpiAwarenessContext",
    # shell32, comctl32, uxtheme
    "SHGetKnownFolderPath", "TaskDialog", "TaskDialogIndirect", "LoadIconMetric", "LoadIconWithScaleDown",
    "BufferedPaintInit", "BufferedPaintUnInit", "BeginBufferedPaint", "EndBufferedPaint",
    # shcore (not a DLL of XP at all)
    "SetProcessDpiAwareness", "GetDpiForMonitor",
}


def project_version():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    with open(os.path.join(root, "CMakeLists.txt"), encoding="utf-8") as f:
        match = re.search(r"project\(\s*\w+\s+VERSION\s+([0-9.]+)", f.read())
    return match.group(1) if match else None


def resource_type(pe, type_id):
    """The resource directory entry of one type, or None."""
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return None
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id == type_id:
            return entry
    return None


def first_resource_data(pe, entry):
    """The bytes of the first resource (first name, first language) of a type."""
    level = entry
    while hasattr(level, "directory"):
        if not level.directory.entries:
            return None
        level = level.directory.entries[0]
    data = level.data.struct
    return pe.get_data(data.OffsetToData, data.Size)


def version_strings(pe):
    strings = {}
    for info in getattr(pe, "FileInfo", []) or []:
        for block in info if isinstance(info, list) else [info]:
            for table in getattr(block, "StringTable", []) or []:
                for key, value in table.entries.items():
                    strings[key.decode("utf-8", "replace")] = value.decode("utf-8", "replace")
    return strings


def check(path, kind, machine, version, listing):
    failures = []
    name = os.path.basename(path)

    def fail(text):
        failures.append(f"check-windows-exe: {path}: {text}")

    try:
        pe = pefile.PE(path)
    except (OSError, pefile.PEFormatError) as error:
        return [f"check-windows-exe: {path}: not read as a PE file ({error})"]

    if pe.FILE_HEADER.Machine != MACHINES[machine]:
        fail(f"machine 0x{pe.FILE_HEADER.Machine:04x}, expected {machine} (0x{MACHINES[machine]:04x})")
    if pe.OPTIONAL_HEADER.Subsystem != SUBSYSTEMS[kind]:
        fail(f"subsystem {pe.OPTIONAL_HEADER.Subsystem}, expected {SUBSYSTEMS[kind]} ({kind})")

    manifest_entry = resource_type(pe, RT_MANIFEST)
    if manifest_entry is None:
        fail("no application manifest (RT_MANIFEST)")
    else:
        ids = [e.id for e in manifest_entry.directory.entries]
        if 1 not in ids:
            fail(f"the manifest is not resource 1 (ids {ids})")
        manifest = (first_resource_data(pe, manifest_entry) or b"").decode("utf-8", "replace")
        wanted = ["requireAdministrator", "Microsoft.Windows.Common-Controls"] if kind == "gui" else ["asInvoker"]
        for word in wanted:
            if word not in manifest:
                fail(f"the manifest lacks {word}")
        if kind == "console" and "requireAdministrator" in manifest:
            fail("the console program's manifest asks for administrator rights")
        if "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a" not in manifest:
            fail("the manifest does not name Windows 10 as a supported system")

    if resource_type(pe, RT_VERSION) is None:
        fail("no version information (RT_VERSION)")
    else:
        fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
        fixed = fixed[0] if isinstance(fixed, list) and fixed else fixed
        if version:
            parts = [int(p) for p in version.split(".")] + [0, 0, 0, 0]
            expected = (parts[0] << 16 | parts[1], parts[2] << 16 | parts[3])
            if fixed is None or (fixed.FileVersionMS, fixed.FileVersionLS) != expected:
                fail(f"the fixed file version is not {version}")
            strings = version_strings(pe)
            for key in ("FileVersion", "ProductVersion"):
                if strings.get(key) != version:
                    fail(f"{key} is {strings.get(key)!r}, expected {version!r}")
            if strings.get("OriginalFilename", "").lower() != name.lower():
                fail(f"OriginalFilename is {strings.get('OriginalFilename')!r}, expected {name!r}")
            for key in ("CompanyName", "FileDescription", "ProductName", "InternalName", "LegalCopyright"):
                if not strings.get(key):
                    fail(f"the version information has no {key}")

    if resource_type(pe, RT_GROUP_ICON) is None or resource_type(pe, RT_ICON) is None:
        fail("no icon (RT_GROUP_ICON)")

    imports = {}
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode("ascii", "replace").lower()
        names = [imp.name.decode("ascii", "replace") if imp.name else f"#{imp.ordinal}" for imp in entry.imports]
        imports.setdefault(dll, []).extend(names)
    if hasattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT"):
        for entry in pe.DIRECTORY_ENTRY_DELAY_IMPORT:
            dll = entry.dll.decode("ascii", "replace").lower()
            fail(f"delay-loads {dll}")
    for dll, names in sorted(imports.items()):
        if listing:
            print(f"{name}: {dll}: {' '.join(sorted(names))}")
        if dll not in SYSTEM_DLLS:
            fail(f"imports from {dll}, which is not a DLL of Windows itself")
        if machine == "i386":
            for function in sorted(set(names) & NEWER_THAN_XP):
                fail(f"imports {dll}!{function}, which Windows XP does not have")
    return failures


def main():
    parser = argparse.ArgumentParser(description="Checks a built Windows program.")
    parser.add_argument("exe")
    parser.add_argument("kind", choices=sorted(SUBSYSTEMS))
    parser.add_argument("machine", choices=sorted(MACHINES))
    parser.add_argument("--version", default=None, help="the expected version (default: CMakeLists.txt's)")
    parser.add_argument("--list", action="store_true", help="print the imports")
    args = parser.parse_args()
    version = args.version or project_version()
    if not version:
        sys.exit("check-windows-exe: no project version found in CMakeLists.txt; give --version")
    failures = check(args.exe, args.kind, args.machine, version, args.list)
    for line in failures:
        print(line, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
