// EditorMainWin32.cpp: the editor's entry point and start-up, the message loop, the main window
// procedure, the layout of the client area, painting, the title, closing and shutdown.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "EditorHistory.h"
#include "EditorWin32.h"
#include "app.h"
#include "resource.h"

EditorWindows ew;

static const char CLASS_NAME[] = "Quirla";
static const char VIDEO_MODE_TEXT[] =
    "This application is for use in higher quality video modes, such as 16-bit (65536 colours) or 24-bit "
    "(16.7 million colours).\n\nUnless you change to a better video mode, this application will look very poor.";

static bool onWindows9x(void) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

bool editorSystemSaverPath(char* path, int size) {
  char windows[MAX_PATH];
  UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  if (length == 0 || length >= sizeof windows) return false;
  int written = std::snprintf(path, (size_t)size, "%s%s\\Quirla.scr", windows, onWindows9x() ? "\\system" : "");
  return written > 0 && written < size;
}

// Copies the installation's screensaver over the system's copy when that is missing or older.
static void refreshSystemSaver(void) {
  char target[MAX_PATH], source[MAX_PATH];
  if (!editorSystemSaverPath(target, sizeof target)) return;
  int written = std::snprintf(source, sizeof source, "%sApp\\Quirla.scr", appInstallPath());
  if (written <= 0 || written >= (int)sizeof source || !appFileExists(source)) return;
  if (!appFileExists(target) || appFileTime(target) < appFileTime(source)) CopyFileA(source, target, FALSE);
}

void editorBlit(HDC dc, const VxmBitmap* bitmap, int x, int y, int srcX, int srcY, int width, int height) {
  if (!dc || !bitmap || !bitmap->bits) return;
  ew.header.biWidth = bitmap->width;
  ew.header.biHeight = bitmap->height;
  ew.header.biBitCount = (WORD)bitmap->depth;
  // The source y of SetDIBitsToDevice counts from the bitmap's bottom row.
  SetDIBitsToDevice(dc, x, y, (DWORD)width, (DWORD)height, srcX, bitmap->height - srcY - height, 0,
                    (UINT)bitmap->height, bitmap->bits, reinterpret_cast<BITMAPINFO*>(&ew.header), DIB_RGB_COLORS);
}

void editorInvalidateWorkspace(bool erase) {
  const EditorRect& w = editor.workspaceRect;
  RECT r = {w.left, w.top, w.right, w.bottom};
  InvalidateRect(ew.main, &r, erase ? TRUE : FALSE);
}

void editorInvalidateToolArea(HWND tool, const RECT* area, bool erase) {
  InvalidateRect(tool, area, erase ? TRUE : FALSE);
}

void editorUpdateTitle(void) {
  char title[EDITOR_PATH_LENGTH + 64];
  editorTitleText(editor.model, editor.modelEdited, title, sizeof title);
  SetWindowTextA(ew.main, title);
}

static void shutdown(void) {
  vxmRenderShutdown();
  editorHistoryFree(editor.history, &editor);  // before the model, whose pictures it may share
  editor.history = nullptr;
  vxmSelectionFree(editor.selection);
  editor.selection = nullptr;
  vxmModelFree(editor.model);
  vxmModelFree(editor.lightModel);
  editor.model = editor.lightModel = nullptr;
  vxmBitmapFree(editor.workspaceBitmap);
  vxmBitmapFree(editor.lightBitmap);
  editor.workspaceBitmap = editor.lightBitmap = nullptr;
  if (ew.statusFont) DeleteObject(ew.statusFont);
  ew.statusFont = nullptr;
  if (ew.classRegistered) UnregisterClassA(CLASS_NAME, ew.instance);
  ew.classRegistered = false;
}

static int fail(const char* text) {
  appFatalError(text);
  shutdown();
  return 0;
}

void editorSizeCanvas(void) {
  const int32_t side = editor.workspaceRect.width;
  const int32_t canvas = editorCanvasSide(side, editor.zoom);
  if (!vxmBitmapSetSize(editor.workspaceBitmap, canvas, canvas, editor.workspaceBitmap->depth)) {
    // No room for the zoomed canvas: back to the fitted view.
    editor.zoom = 1.0;
    editor.panX = editor.panY = 0;
    vxmBitmapSetSize(editor.workspaceBitmap, side, side, editor.workspaceBitmap->depth);
  }
  if (side > 0) editor.zoom = (double)editor.workspaceBitmap->width / side;
  editorTexturePixels(&editor);
  editorViewScaleFor(editor.workspaceBitmap->width, editor.modelRadius, &editor.viewScale);
  vxmRenderSetViewMatrix(&editor.viewScale);
  editorShowStatus(editor.statusText);
}

void editorShowStatus(const char* text) {
  char zoom[32], line[APP_PATH_LENGTH];
  editorZoomText(&editor, zoom, sizeof zoom);
  if (!zoom[0]) return appStatusText(text);
  std::snprintf(line, sizeof line, "%s\t\t%s", text ? text : "", zoom);  // the zoom at the right end
  appStatusText(line);
}

void editorLayout(int32_t width, int32_t height) {
  if (!editor.workspaceBitmap) {
    APP_TRACE("No workspace bitmap!");
    return;
  }
  const int32_t left = editor.workspaceRect.left;
  const int32_t side = editorWorkspaceSide(width, height, left, editor.toolWindowWidth, editor.dpi);
  const int32_t top = editorScalePixels(5, editor.dpi);
  editor.workspaceRect = {left, top, left + side, top + side, side, side};
  editorSizeCanvas();
  for (HWND tool : {ew.library, ew.colour, ew.lighting})
    SetWindowPos(tool, nullptr, width - editor.toolWindowWidth, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EditorRect status, progress;
  editorStatusRects(width, height, &status, &progress, editor.dpi);
  ew.statusRect = {status.left, status.top, status.right, status.bottom};
  appSetStatusRect(&ew.statusRect);
  if (ew.progress) MoveWindow(ew.progress, progress.left, progress.top, progress.width, progress.height, TRUE);
  InvalidateRect(ew.main, nullptr, TRUE);
  editor.clientWidth = width;
  editor.clientHeight = height;
}

static bool meets(const RECT* invalid, const RECT& area) {
  RECT common;
  return IntersectRect(&common, invalid, &area) != 0;
}

static void renderWorkspace(HDC dc) {
  VxmBitmap* bitmap = editor.workspaceBitmap;
  if (!bitmap || !bitmap->bits) return;
  editorRenderWorkspace(&editor);
  int32_t ox, oy;
  editorViewOrigin(&editor, &ox, &oy);
  editorBlit(dc, bitmap, editor.workspaceRect.left, editor.workspaceRect.top, ox, oy, editor.workspaceRect.width,
             editor.workspaceRect.height);
}

void editorPaint(void) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(ew.main, &paint);
  const EditorRect& w = editor.workspaceRect;
  RECT workspace = {w.left, w.top, w.right, w.bottom};
  if (meets(&paint.rcPaint, workspace)) renderWorkspace(dc);
  if (editor.editMode == EDIT_TEXTURE && ew.library) {
    RECT area = editorToolAreaInMain(ew.library, &ew.texturePreview);
    if (meets(&paint.rcPaint, area)) {
      HDC toolDc = GetDC(ew.library);
      editorPaintTexturePreview(toolDc);
      ReleaseDC(ew.library, toolDc);
    }
  } else if (editor.editMode == EDIT_LIGHTING && ew.lighting) {
    RECT area = editorToolAreaInMain(ew.lighting, &ew.lightPreview);
    if (meets(&paint.rcPaint, area)) {
      HDC toolDc = GetDC(ew.lighting);
      editorPaintLightPreview(toolDc);
      ReleaseDC(ew.lighting, toolDc);
    }
  }
  RECT status = {ew.statusRect.left, ew.statusRect.top, ew.statusRect.right, ew.statusRect.bottom};
  if (meets(&paint.rcPaint, status)) editorShowStatus(editor.statusText);
  EndPaint(ew.main, &paint);
}

bool editorSaveLightsAs(void) {
  char file[EDITOR_PATH_LENGTH] = "*.vlt";
  char folder[EDITOR_PATH_LENGTH];
  std::snprintf(folder, sizeof folder, "%sLights\\", appInstallPath());
  static const char TYPES[] = "Lights (*.vlt)\0*.vlt\0All Files (*.*)\0*.*\0";
  if (!appFileDialog(ew.main, false, "Save Lighting As", "vlt", TYPES, folder, file, nullptr, nullptr)) return false;
  if (!vxmLightSaveVLT(file)) {
    editorShowSaveFailure("Failed to save lights\n'%s'.", file);
    return false;
  }
  editor.lightsEdited = false;
  editorHistorySaved(editor.history, EDITOR_PART_LIGHTS);
  editorUpdateTitle();
  return true;
}

bool editorConfirmClose(void) {
  if (editor.lightsEdited) {
    int answer = MessageBoxA(ew.main, "LIGHTING has been edited.\n\nDo you wish to save your changes?", EDITOR_NAME,
                             MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    if (answer == IDCANCEL) return false;
    if (answer == IDYES && !editorSaveLightsAs()) return false;
  }
  if (editor.modelEdited && !editorSaveModel(true, false)) return false;
  return true;
}

// Windows asks before a log-off or shut-down: the same prompts as closing, with a reason shown
// on the shut-down screen while one is open (Vista on; earlier systems simply wait), and Cancel
// refuses the end of the session.
typedef BOOL(WINAPI* BlockReasonCreateFn)(HWND, LPCWSTR);
typedef BOOL(WINAPI* BlockReasonDestroyFn)(HWND);

static bool queryEndSession(HWND window) {
  if (!editor.lightsEdited && !editor.modelEdited) return true;
  HMODULE user = GetModuleHandleA("user32.dll");
  BlockReasonCreateFn create = (BlockReasonCreateFn)(void*)GetProcAddress(user, "ShutdownBlockReasonCreate");
  BlockReasonDestroyFn destroy = (BlockReasonDestroyFn)(void*)GetProcAddress(user, "ShutdownBlockReasonDestroy");
  const bool blocked = create && destroy && create(window, L"The model editor has unsaved changes.");
  const bool ending = editorConfirmClose();
  if (blocked) destroy(window);
  if (ending) ew.sessionEnding = true;
  return ending;
}

LRESULT CALLBACK editorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_SIZE:
      if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) editorLayout(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_SIZING: {
      RECT* r = reinterpret_cast<RECT*>(lParam);
      if (r->right - r->left < editor.minTrackWidth) r->right = r->left + editor.minTrackWidth;
      if (r->bottom - r->top < editor.minTrackHeight) r->bottom = r->top + editor.minTrackHeight;
      return TRUE;
    }
    case WM_PAINT:
      editorPaint();
      return 0;
    case WM_CLOSE:
      if (editorConfirmClose()) DestroyWindow(window);
      return 0;
    case WM_QUERYENDSESSION:
      return queryEndSession(window) ? TRUE : FALSE;
    case WM_ENDSESSION:
      // The prompts were answered when Windows asked; the session ends now without more.
      if (wParam && ew.sessionEnding) DestroyWindow(window);
      if (!wParam) ew.sessionEnding = false;
      return 0;
    case WM_CAPTURECHANGED:
      editorCaptureLost();
      return 0;
    case WM_KILLFOCUS:
      editorForgetKeys();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_COMMAND:
      editorCommand(window, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
      editorKey(message == WM_KEYDOWN, (UINT)wParam);
      return 0;
    case WM_MOUSEMOVE:
      editorMouseMove((int16_t)LOWORD(lParam), (int16_t)HIWORD(lParam), (uint32_t)wParam);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      editorButtonDown((int16_t)LOWORD(lParam), (int16_t)HIWORD(lParam), (uint32_t)wParam);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      editorButtonUp((int16_t)LOWORD(lParam), (int16_t)HIWORD(lParam), (uint32_t)wParam);
      return 0;
    case WM_MBUTTONDOWN:
      editorPanStart((int16_t)LOWORD(lParam), (int16_t)HIWORD(lParam));
      return 0;
    case WM_MBUTTONUP:
      editorPanEnd();
      return 0;
    case WM_MOUSEWHEEL: {
      POINT p = {(int16_t)LOWORD(lParam), (int16_t)HIWORD(lParam)};  // screen positions
      ScreenToClient(window, &p);
      editorWheel(p.x, p.y, (int16_t)HIWORD(wParam));
      return 0;
    }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

static void loadCursors(void) {
  ew.arrow = LoadCursor(nullptr, IDC_ARROW);
  ew.hourglass = LoadCursor(nullptr, IDC_WAIT);
  ew.paint = LoadCursor(ew.instance, MAKEINTRESOURCE(IDC_CUR_PAINT));
  ew.colourArea = LoadCursor(ew.instance, MAKEINTRESOURCE(IDC_CUR_COLOUR_AREA));
  ew.select = LoadCursor(ew.instance, MAKEINTRESOURCE(IDC_CUR_SELECT));
  ew.selectArea = LoadCursor(ew.instance, MAKEINTRESOURCE(IDC_CUR_SELECT_AREA));
  ew.rotate = LoadCursor(ew.instance, MAKEINTRESOURCE(IDC_CUR_ROTATE));
  ew.moveTexture = LoadCursor(ew.instance, MAKEINTRESOURCE(IDC_CUR_MOVE_TEXTURE));
  ew.scaleTexture = LoadCursor(ew.instance, MAKEINTRESOURCE(IDC_CUR_SCALE_TEXTURE));
}

// Start-up steps 18 and 19: the measured layout, the status line and progress bar, the windows shown.
static void measureLayout(int show) {
  RECT r;
  GetWindowRect(ew.colour, &r);
  editor.toolWindowWidth = r.right - r.left;
  editorMeasureAreas();
  RECT mainRect, lightRect;
  GetWindowRect(ew.main, &mainRect);
  GetWindowRect(ew.lighting, &lightRect);
  editor.minTrackWidth = editorScalePixels(450, editor.dpi);
  editor.minTrackHeight = lightRect.bottom - mainRect.top + editorScalePixels(24, editor.dpi);
  RECT client;
  GetClientRect(ew.main, &client);
  EditorRect status, progress;
  editorStatusRects(client.right, client.bottom, &status, &progress, editor.dpi);
  ew.statusRect = {status.left, status.top, status.right, status.bottom};
  appSetStatusRect(&ew.statusRect);
  if (ew.progress) MoveWindow(ew.progress, progress.left, progress.top, progress.width, progress.height, TRUE);
  RECT modeRect;
  GetWindowRect(ew.editMode, &modeRect);
  editor.workspaceRect.left = (modeRect.right - modeRect.left) + editorScalePixels(5, editor.dpi);
  editor.workspaceRect.top = editorScalePixels(5, editor.dpi);
  ShowWindow(ew.main, show);
  ShowWindow(ew.editMode, SW_SHOW);
  ShowWindow(ew.display, SW_SHOW);
  if (ew.progress) ShowWindow(ew.progress, SW_HIDE);
  // Showing a window does not always report its size: lay it out once here.
  GetClientRect(ew.main, &client);
  editorLayout(client.right, client.bottom);
}

static void loadCommandLineFiles(void) {
  char text[EDITOR_PATH_LENGTH + 64];
  if (editor.cmdModelPath[0]) {
    if (!editorOpenModel(editor.cmdModelPath)) editorShowModelFailure("Failed to open model\n'%s'.", editor.cmdModelPath);
  }
  if (editor.cmdLightPath[0]) {
    if (vxmLightLoadVLT(editor.cmdLightPath)) {
      uint32_t a = vxmLightGetAmbient(), d = vxmLightGetDirectional();
      editor.ambientColour[0] = (uint8_t)a, editor.ambientColour[1] = (uint8_t)(a >> 8), editor.ambientColour[2] = (uint8_t)(a >> 16);
      editor.directionalColour[0] = (uint8_t)d, editor.directionalColour[1] = (uint8_t)(d >> 8),
      editor.directionalColour[2] = (uint8_t)(d >> 16);
      vxmLightGetDirection(&editor.lightDirection);
      editorHistoryRestart(editor.history, &editor, EDITOR_PART_LIGHTS);
      editorHistoryRecord(editor.history, &editor);
    } else {
      std::snprintf(text, sizeof text, "Failed to load lights\n'%s'.", editor.cmdLightPath);
      appMessage(text);
    }
  }
}

static uint32_t colourOf(const uint8_t* c) { return (uint32_t)c[0] | ((uint32_t)c[1] << 8) | ((uint32_t)c[2] << 16); }

int editorMain(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int show) {
  // 1-3: fresh state, the command line's file, the blit header.
  std::memset(&ew, 0, sizeof ew);
  ew.instance = instance;
  editorResetState(&editor);
  editorParseCommandLine(commandLine, editor.cmdModelPath, editor.cmdLightPath);
  ew.header.biSize = sizeof(BITMAPINFOHEADER);
  ew.header.biWidth = 640;
  ew.header.biHeight = 480;
  ew.header.biPlanes = 1;
  ew.header.biBitCount = 8;
  // The display's resolution: the layout's pixel sizes are scaled by it (the program declares
  // itself DPI aware, so Windows does not stretch its window).
  HDC screenDc = GetDC(nullptr);
  editor.dpi = screenDc ? GetDeviceCaps(screenDc, LOGPIXELSY) : 96;
  if (screenDc) ReleaseDC(nullptr, screenDc);
  if (editor.dpi <= 0) editor.dpi = 96;
  // 4-6: name, installation folder, the system's screensaver.
  appSetName(EDITOR_NAME);
  if (!appInitInstallPath("Quirla", true)) return fail("Unable to access Registry.");
  refreshSystemSaver();
  // 7-10: the workspace bitmap, the renderer and the lights.
  editor.workspaceBitmap = vxmBitmapCreate(140, 140, 24);
  if (!editor.workspaceBitmap) return fail("Unable to create main bitmap");
  vxmRenderInit();
  vxmRenderSetViewMatrix(&editor.viewScale);
  vxmRenderSetState(0);
  vxmBitmapFill(editor.workspaceBitmap, editor.backgroundColour);
  vxmRenderSetTarget(editor.workspaceBitmap);
  vxmLightSetAmbient(colourOf(editor.ambientColour));
  vxmLightSetDirectional(colourOf(editor.directionalColour));
  vxmVecNormalise(&editor.lightDirection);
  vxmLightSetDirection(&editor.lightDirection);
  // Undo and Redo; without memory for them the editor goes on without.
  editor.history = editorHistoryCreate(&editor, editorHistoryDefaultLimits());
  if (!editor.history) APP_TRACE("Failed to create the edit history");
  // 11-12: the class and the main window.
  if (!previous) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = editorWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIcon(instance, MAKEINTRESOURCE(IDI_EDITOR));
    wc.hbrBackground = reinterpret_cast<HBRUSH>((INT_PTR)12);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MENU);
    wc.lpszClassName = CLASS_NAME;
    if (!RegisterClassA(&wc)) return fail("Failed to register application window class");
    ew.classRegistered = true;
  }
  ew.main = CreateWindowA(CLASS_NAME, EDITOR_NAME, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                          editorScalePixels(640, editor.dpi), editorScalePixels(440, editor.dpi),
                          nullptr, nullptr, instance, nullptr);
  if (!ew.main) return fail("Failed to create main application window");
  // 13-17: tool windows, tooltips, cursors, accelerators, font, progress bar, the services' windows.
  if (!editorCreateToolWindows()) {
    DestroyWindow(ew.main);
    shutdown();
    return 0;
  }
  InitCommonControls();
  editorCreateTooltips();
  loadCursors();
  ew.accelerators = LoadAccelerators(instance, MAKEINTRESOURCE(IDR_ACCELERATORS));
  ew.statusFont = CreateFontA(editorScalePixels(8, editor.dpi), 0, 0, 0, 400, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
  ew.progress = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 0, 10, 16, ew.main, nullptr, instance, nullptr);
  if (!ew.progress) APP_TRACE("Failed to create progress window");
  appSetOwnerWindow(ew.main);
  appSetProgressWindow(ew.progress);
  appSetStatusWindow(ew.main);
  appSetStatusFont(ew.statusFont);
  // 18-19.
  measureLayout(show);
  // 20-22: the light preview's bitmap and model.
  const int32_t previewWidth = ew.lightPreview.right - ew.lightPreview.left;
  const int32_t previewHeight = ew.lightPreview.bottom - ew.lightPreview.top;
  editor.lightBitmap = vxmBitmapCreate(previewWidth > 0 ? previewWidth : 1, previewHeight > 0 ? previewHeight : 1, 24);
  if (editor.lightBitmap) vxmBitmapFill(editor.lightBitmap, nullptr);
  editor.lightModel = editorMakeLightModel(&editor.lightModelRadius);
  if (!editor.lightModel) {
    // Shown while its owner still stands, as the tool windows' failures are.
    appFatalError("Failed to create light model");
    DestroyWindow(ew.main);
    shutdown();
    return 0;
  }
  editorLightViewScale(previewWidth, previewHeight, editor.lightModelRadius, &editor.lightViewScale);
  // 23-24: the spread scroll bar, and the Lighting mode.
  HWND spread = GetDlgItem(ew.lighting, IDC_SPREAD);
  SetScrollRange(spread, SB_CTL, 0, 100, FALSE);
  SetScrollPos(spread, SB_CTL, 0, TRUE);
  editorClickButton(ew.editMode, IDC_EDIT_LIGHTING);
  // 25-28: the command line's file, the tool windows, the title, the highlight, the placement.
  loadCommandLineFiles();
  editorShowModeWindow();
  editorInvalidateWorkspace(false);
  editorUpdateDisplayControls();
  editorUpdateLightingControls();
  editorUpdateLibraryControls();
  editorUpdateMenu();
  editorUpdateTitle();
  editorHighlightFromControls();
  editorTexturePixels(&editor);
  // 29: the video mode.
  HDC screen = GetDC(nullptr);
  int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  if (bits <= 8) MessageBoxA(GetDesktopWindow(), VIDEO_MODE_TEXT, "Video Mode", MB_OK | MB_ICONINFORMATION);
  // 30: the message loop.
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorA(ew.main, ew.accelerators, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  shutdown();
  return (int)msg.wParam;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  return editorMain(instance, previous, commandLine, show);
}
