/* Stands in for Windows' input.dll in a Wine prefix: records each
   InstallLayoutOrTip call as "list|flags" in C:\inputstub.log and claims
   success without changing anything, as a Windows that does not know the
   layout's language might. */
#include <stdio.h>
#include <windows.h>

__declspec(dllexport) BOOL WINAPI InstallLayoutOrTip(LPCWSTR list, DWORD flags) {
  FILE *log = _wfopen(L"C:\\inputstub.log", L"ab");
  if (!log) return FALSE;
  fprintf(log, "%ls|%lu\n", list, (unsigned long)flags);
  fclose(log);
  return TRUE;
}
