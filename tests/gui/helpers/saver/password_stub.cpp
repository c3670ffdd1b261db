// password_stub.cpp: a stand-in for Windows 95/98's PASSWORD.CPL. VerifyScreenSavePwd counts its
// calls in HKEY_CURRENT_USER "Software\QuirlaTest" "VerifyCalls" and answers with the DWORD
// "VerifyAnswer" there (0, refused, when it is missing).
#include <windows.h>

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
  HKEY key;
  if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\QuirlaTest", &key) != ERROR_SUCCESS) return FALSE;
  DWORD calls = 0, answer = 0, size = sizeof calls;
  RegQueryValueExA(key, "VerifyCalls", nullptr, nullptr, reinterpret_cast<BYTE*>(&calls), &size);
  ++calls;
  RegSetValueExA(key, "VerifyCalls", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&calls), sizeof calls);
  size = sizeof answer;
  RegQueryValueExA(key, "VerifyAnswer", nullptr, nullptr, reinterpret_cast<BYTE*>(&answer), &size);
  RegCloseKey(key);
  return answer != 0 && IsWindow(window);
}
