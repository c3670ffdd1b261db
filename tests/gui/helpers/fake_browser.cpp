// fake_browser.cpp: stands in for the user's web browser. It writes the command line it was
// started with to browser.txt beside itself and ends.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  char* slash = std::strrchr(path, '\\');
  if (!slash) return 1;
  std::strcpy(slash + 1, "browser.txt");
  FILE* f = std::fopen(path, "wb");
  if (!f) return 1;
  std::fputs(GetCommandLineA(), f);
  std::fclose(f);
  return 0;
}
