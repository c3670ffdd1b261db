// saver_extras.cpp: fake installations, generated data files, the saver's registry keys, screen
// colours and process usage for the screensaver's GUI suites.
// GetProcessMemoryInfo from kernel32 (K32GetProcessMemoryInfo), so no extra library is needed.
#define PSAPI_VERSION 2
#include "saver_extras.h"

#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <map>

static bool writeBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size();
  return CloseHandle(file) && ok;
}

bool saverMakeInstall(const char* name, SaverInstall* install) {
  if (!name || !install) return false;
  char root[MAX_PATH];
  if (!drvScratchDir(name, root, sizeof root)) return false;
  install->root = std::string(root) + "\\";
  for (const char* folder : {"App", "Models", "Lights", "Textures", "Help"})
    if (!drvMakeFolders((install->root + folder).c_str())) return false;
  char built[MAX_PATH];
  if (!drvBinaryPath("Quirla.scr", built, sizeof built)) return false;
  install->scr = install->root + "App\\Quirla.scr";
  if (!CopyFileA(built, install->scr.c_str(), FALSE)) return false;
  drvRegDeleteTree(HKEY_LOCAL_MACHINE, SAVER_KEY);
  // The saver appends the backslash itself; store the folder without it, as setup might.
  return drvRegSetString(HKEY_LOCAL_MACHINE, SAVER_PRODUCT_KEY, "InstallPath", root);
}

void saverForgetInstall(const SaverInstall* install) {
  drvRegDeleteTree(HKEY_LOCAL_MACHINE, SAVER_KEY);
  if (!install) return;
  char stored[MAX_PATH] = "";
  if (drvRegGetString(HKEY_LOCAL_MACHINE, SAVER_PRODUCT_KEY, "InstallPath", stored, sizeof stored) &&
      install->root.compare(0, strlen(stored), stored) == 0)
    drvRegDeleteValue(HKEY_LOCAL_MACHINE, SAVER_PRODUCT_KEY, "InstallPath");
}

bool saverWriteCube(const std::string& path, const uint32_t colours[6]) {
  static const int quads[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
  std::string text =
      "VOXIM Model Format test cube\r\nVersion: 2.10\r\nNumber of vertices: 8\r\nNumber of facets: 24\r\n"
      "Number of textures: 0\r\nNumber of texture triangles: 0\r\nVertex normals: No\r\nHighlight: No\r\n"
      "Highlight Value: 90\r\nTexture List:\r\nVertex list:\r\n";
  char line[128];
  for (int i = 0; i < 8; ++i) {
    snprintf(line, sizeof line, "%f %f %f\r\n", (i & 1) ? 1.0 : -1.0, (i & 2) ? 1.0 : -1.0, (i & 4) ? 1.0 : -1.0);
    text += line;
  }
  text += "Tri list (v0 v1 v2 R G B):\r\n";
  for (int f = 0; f < 6; ++f) {
    const int* q = quads[f];
    const int corners[4][3] = {{q[0], q[1], q[2]}, {q[0], q[2], q[3]}, {q[0], q[2], q[1]}, {q[0], q[3], q[2]}};
    for (const auto& c : corners) {
      snprintf(line, sizeof line, "%d %d %d %u %u %u\r\n", c[0], c[1], c[2], (colours[f] >> 16) & 0xFF,
               (colours[f] >> 8) & 0xFF, colours[f] & 0xFF);
      text += line;
    }
  }
  text += "Textured Tri List (TRI-INDEX TEX-INDEX u0 v0 u1 v1 u2 v2):\r\n";
  return writeBytes(path, text);
}

bool saverWriteCube(const std::string& path, uint32_t colour) {
  const uint32_t all[6] = {colour, colour, colour, colour, colour, colour};
  return saverWriteCube(path, all);
}

bool saverWriteLights(const std::string& path, uint32_t ambient, uint32_t directional, float x, float y, float z) {
  char text[512];
  snprintf(text, sizeof text,
           "VOXIM Light Format test\r\nVersion: 2.10\r\nAmbient Light:\r\nRed %u\r\nGreen %u\r\nBlue %u\r\n"
           "Directional Light:\r\nRed %u\r\nGreen %u\r\nBlue %u\r\nDirection %f %f %f\r\n",
           (ambient >> 16) & 0xFF, (ambient >> 8) & 0xFF, ambient & 0xFF, (directional >> 16) & 0xFF,
           (directional >> 8) & 0xFF, directional & 0xFF, x, y, z);
  return writeBytes(path, text);
}

static void put32(std::string* s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s->push_back((char)((v >> (8 * i)) & 0xFF));
}
static void put16(std::string* s, uint16_t v) {
  s->push_back((char)(v & 0xFF));
  s->push_back((char)(v >> 8));
}

bool saverWriteBitmap(const std::string& path, int width, int height, uint32_t (*colourAt)(int x, int y)) {
  int stride = (width * 3 + 3) & ~3;
  std::string bytes = "BM";
  put32(&bytes, 54 + stride * height);
  put32(&bytes, 0);
  put32(&bytes, 54);
  put32(&bytes, 40);
  put32(&bytes, (uint32_t)width);
  put32(&bytes, (uint32_t)height);
  put16(&bytes, 1);
  put16(&bytes, 24);
  for (int i = 0; i < 6; ++i) put32(&bytes, 0);
  for (int row = 0; row < height; ++row) {  // bottom row first
    int y = height - 1 - row;
    for (int x = 0; x < width; ++x) {
      uint32_t c = colourAt(x, y);
      bytes.push_back((char)(c & 0xFF));
      bytes.push_back((char)((c >> 8) & 0xFF));
      bytes.push_back((char)((c >> 16) & 0xFF));
    }
    bytes.append((size_t)(stride - width * 3), '\0');
  }
  return writeBytes(path, bytes);
}

static uint32_t solidColour;
static uint32_t solid(int, int) { return solidColour; }

bool saverWriteSolidBitmap(const std::string& path, int width, int height, uint32_t colour) {
  solidColour = colour;
  return saverWriteBitmap(path, width, height, solid);
}

uint32_t saverAmbientLit(uint32_t colour, uint32_t ambient) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t v = ((colour >> shift) & 0xFF) * ((ambient >> shift) & 0xFF) / 256;
    out |= (v > 255 ? 255 : v) << shift;
  }
  return out;
}

bool saverSetNumber(const char* name, DWORD value) { return drvRegSetDword(HKEY_LOCAL_MACHINE, SAVER_KEY, name, value); }

bool saverSetText(const char* name, const std::string& value) {
  return drvRegSetString(HKEY_LOCAL_MACHINE, SAVER_KEY, name, value.c_str());
}

DWORD saverGetNumber(const char* name, DWORD missing) {
  DWORD value = 0;
  return drvRegGetDword(HKEY_LOCAL_MACHINE, SAVER_KEY, name, &value) ? value : missing;
}

std::string saverGetText(const char* name) {
  char value[600];
  return drvRegGetString(HKEY_LOCAL_MACHINE, SAVER_KEY, name, value, sizeof value) ? std::string(value)
                                                                                    : std::string("<missing>");
}

bool saverStart(DrvProcess* proc, const std::string& commandLine) {
  if (!proc) return false;
  *proc = DrvProcess{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return false;
  CloseHandle(info.hThread);
  proc->process = info.hProcess;
  proc->id = info.dwProcessId;
  return true;
}

HWND saverWaitFullScreen(DWORD processId, DWORD timeoutMs) {
  return drvWaitWindow("WindowsScreenSaverClass", "Screen Saver", processId, timeoutMs);
}

bool SaverShot::take(const RECT& rect) {
  drvFreePicture(&picture);
  return drvCaptureScreen(&rect, &picture);
}

bool SaverShot::takeScreen() {
  RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return take(screen);
}

bool SaverShot::boxOfOthers(uint32_t background, RECT* box) const {
  bool any = false;
  RECT b = {picture.width, picture.height, -1, -1};
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      if (at(x, y) == background) continue;
      any = true;
      if (x < b.left) b.left = x;
      if (x > b.right) b.right = x;
      if (y < b.top) b.top = y;
      if (y > b.bottom) b.bottom = y;
    }
  }
  if (any && box) *box = b;
  return any;
}

long SaverShot::count(uint32_t colour) const {
  long n = 0;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) n += at(x, y) == colour;
  return n;
}

uint32_t SaverShot::commonest() const {
  std::map<uint32_t, long> counts;
  for (int y = 0; y < picture.height; y += 2)
    for (int x = 0; x < picture.width; x += 2) counts[at(x, y)]++;
  uint32_t best = 0xFFFFFFFF;
  long most = -1;
  for (const auto& entry : counts)
    if (entry.second > most) {
      most = entry.second;
      best = entry.first;
    }
  return best;
}

bool saverProcessUsage(HANDLE process, SIZE_T* privateBytes, DWORD* gdiObjects) {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
    return false;
  // Wine reports the committed private memory as PagefileUsage only (as NT did before
  // PrivateUsage existed); on Windows the two are the same figure.
  if (privateBytes) *privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
  if (gdiObjects) *gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
  return true;
}

void saverPause(DWORD milliseconds) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(10);
  }
}

HWND saverWaitWindow(const char* className, const char* title, DWORD processId, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    if (HWND window = drvFindWindow(className, title, processId)) return window;
    saverPause(20);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

bool saverWaitExit(DrvProcess* proc, DWORD timeoutMs, DWORD* exitCode) {
  if (!proc || !proc->process) return false;
  DWORD start = GetTickCount();
  while (WaitForSingleObject(proc->process, 0) != WAIT_OBJECT_0) {
    if (GetTickCount() - start >= timeoutMs) return false;
    saverPause(20);
  }
  return drvWaitExit(proc, 0, exitCode);
}

bool saverWaitBox(DWORD processId, const char* title, DWORD timeoutMs, DrvMessageBox* box) {
  HWND window = saverWaitWindow("#32770", title, processId, timeoutMs);
  return window && drvReadMessageBox(window, box);
}
