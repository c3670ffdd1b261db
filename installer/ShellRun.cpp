// ShellRun.cpp: shellrun.exe, which setup carries in its temporary folder to open the Display
// control panel for the signed-in user. Setup runs with administrator rights; a program it started
// itself would run with them too, as the administrator (on Windows Vista and later with UAC, or
// under "Run as"), and set that account's screen saver. ShellRun hands the command to the desktop
// shell instead (Explorer's own IShellDispatch2::ShellExecute, reached through the desktop's
// shell view), which starts it as the user who is signed in, without the rights. It never starts
// the program itself: without a desktop shell to take the command, it fails.
//
// Usage: shellrun /probe            ends with 0 when a desktop shell can take a command
//        shellrun PROGRAM [ARGUMENTS]  hands PROGRAM (a full path) with ARGUMENTS to it
// Exit codes: 0 handed over, 1 no desktop shell, 2 bad command line.
#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <cstring>

static void release(IUnknown* object) {
  if (object) object->Release();
}

// The desktop shell's dispatch object, or null when no desktop shell runs.
static IShellDispatch2* desktopShell(void) {
  IShellWindows* windows = nullptr;
  IDispatch* desktop = nullptr;
  IServiceProvider* provider = nullptr;
  IShellBrowser* browser = nullptr;
  IShellView* view = nullptr;
  IDispatch* background = nullptr;
  IShellFolderViewDual* folderView = nullptr;
  IDispatch* application = nullptr;
  IShellDispatch2* shell = nullptr;
  VARIANT location, root;
  VariantInit(&location);
  VariantInit(&root);
  location.vt = VT_I4;
  location.lVal = CSIDL_DESKTOP;
  long window = 0;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                 (void**)&windows)) &&
      windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop) == S_OK && desktop &&
      SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, (void**)&provider)) &&
      SUCCEEDED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, (void**)&browser)) &&
      SUCCEEDED(browser->QueryActiveShellView(&view)) && view &&
      SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, (void**)&background)) && background &&
      SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, (void**)&folderView)) &&
      SUCCEEDED(folderView->get_Application(&application)) && application)
    application->QueryInterface(IID_IShellDispatch2, (void**)&shell);
  release(application);
  release(folderView);
  release(background);
  release(view);
  release(browser);
  release(provider);
  release(desktop);
  release(windows);
  return shell;
}

static BSTR wideString(const char* text) {
  int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 0) return nullptr;
  BSTR wide = SysAllocStringLen(nullptr, (UINT)length - 1);
  if (wide) MultiByteToWideChar(CP_ACP, 0, text, -1, wide, length);
  return wide;
}

// The command line after the program's own name, and the first argument split off it.
static const char* skipArgument(const char* text, char* argument, size_t size) {
  while (*text == ' ' || *text == '\t') ++text;
  bool quoted = *text == '"';
  if (quoted) ++text;
  size_t length = 0;
  while (*text && (quoted ? *text != '"' : (*text != ' ' && *text != '\t'))) {
    if (argument && length + 1 < size) argument[length++] = *text;
    ++text;
  }
  if (argument && size) argument[length] = 0;
  if (quoted && *text == '"') ++text;
  while (*text == ' ' || *text == '\t') ++text;
  return text;
}

// A full path: a drive and a backslash, or a share ("\\server\...").
static bool isFullPath(const char* path) {
  return (path[0] && path[1] == ':' && path[2] == '\\') || (path[0] == '\\' && path[1] == '\\');
}

static int handOver(const char* program, const char* arguments) {
  IShellDispatch2* shell = desktopShell();
  if (!shell) return 1;
  if (!program) {
    shell->Release();
    return 0;
  }
  VARIANT args, folder, verb, show;
  VariantInit(&args);
  VariantInit(&folder);
  VariantInit(&verb);
  VariantInit(&show);
  args.vt = VT_BSTR;
  args.bstrVal = wideString(arguments);
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  BSTR file = wideString(program);
  HRESULT result = file && args.bstrVal ? shell->ShellExecute(file, args, folder, verb, show) : E_OUTOFMEMORY;
  SysFreeString(file);
  VariantClear(&args);
  shell->Release();
  return SUCCEEDED(result) ? 0 : 1;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
  char program[MAX_PATH];
  const char* arguments = skipArgument(GetCommandLineA(), nullptr, 0);
  arguments = skipArgument(arguments, program, sizeof program);
  bool probe = strcmp(program, "/probe") == 0;
  if (!probe && !isFullPath(program)) return 2;
  if (FAILED(CoInitialize(nullptr))) return 1;
  int code = handOver(probe ? nullptr : program, arguments);
  CoUninitialize();
  return code;
}
