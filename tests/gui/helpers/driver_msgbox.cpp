// driver_msgbox.cpp: shows one message box for the driver's own test and ends with its answer.
// Command line: <icon letter H/Q/E/A/N> <buttons O/Y (OK, Yes/No)> <title>|<text>, where "\n" in the
// text stands for a line break.
#include <windows.h>

#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  static char title[512], text[1024];
  const char* p = commandLine;
  if (strlen(p) < 5 || p[1] != ' ' || p[3] != ' ') return 200;
  UINT flags = 0;
  switch (p[0]) {
    case 'H': flags |= MB_ICONHAND; break;
    case 'Q': flags |= MB_ICONQUESTION; break;
    case 'E': flags |= MB_ICONEXCLAMATION; break;
    case 'A': flags |= MB_ICONASTERISK; break;
    default: break;
  }
  flags |= p[2] == 'Y' ? MB_YESNO : MB_OK;
  p += 4;
  const char* bar = strchr(p, '|');
  if (!bar || bar - p >= (int)sizeof title) return 201;
  memcpy(title, p, bar - p);
  size_t at = 0;
  for (const char* s = bar + 1; *s && at + 1 < sizeof text; ++s) {
    if (s[0] == '\\' && s[1] == 'n') {
      text[at++] = '\n';
      ++s;
    } else {
      text[at++] = *s;
    }
  }
  return MessageBoxA(nullptr, text, title, flags);
}
