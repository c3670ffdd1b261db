// mpr_stub.cpp: a stand-in for Windows 95/98's MPR.DLL. PwdChangePasswordA records its arguments
// under HKEY_CURRENT_USER "Software\QuirlaTest" as "PwdChange" = "<provider>|<owner>|<r1>|<r2>".
#include <windows.h>

#include <cstdio>

extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND owner, DWORD reserved1,
                                                                 DWORD reserved2) {
  char record[512];
  snprintf(record, sizeof record, "%s|%lu|%lu|%lu", provider ? provider : "(null)", (unsigned long)(UINT_PTR)owner,
           (unsigned long)reserved1, (unsigned long)reserved2);
  HKEY key;
  if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\QuirlaTest", &key) == ERROR_SUCCESS) {
    RegSetValueExA(key, "PwdChange", 0, REG_SZ, reinterpret_cast<const BYTE*>(record), (DWORD)strlen(record) + 1);
    RegCloseKey(key);
  }
  return 0;
}
