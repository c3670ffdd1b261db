// Registry.cpp: the product's registry key and the installation folder recorded under it.
// The editor writes the folder from its own location; the screensaver reads it.
#include <cstdio>
#include <cstring>

#include "app.h"
#include "appPlatform.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include "appHost.h"
#endif

bool appInitInstallPath(const char* productName, bool write) {
  if (!productName) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (std::strlen(productName) >= 108) {
    APP_TRACE("Key name too long");
    return false;
  }
  char key[128];
  std::snprintf(key, sizeof key, "SOFTWARE\\Drovelkant\\%s", productName);
  char folder[APP_PATH_LENGTH] = "";

#if defined(_WIN32)
  HKEY handle;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_WRITE | KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS &&
      RegCreateKeyA(HKEY_LOCAL_MACHINE, key, &handle) != ERROR_SUCCESS) {
    APP_TRACE("Failed to create key");
    return false;
  }
  if (write) {
    char module[APP_PATH_LENGTH] = "";
    DWORD length = GetModuleFileNameA(nullptr, module, APP_PATH_LENGTH - 1);
    if (length > 0 && length < APP_PATH_LENGTH - 1) appInstallFolderFromModule(module, folder);
    if (RegSetValueExA(handle, "InstallPath", 0, REG_SZ, (const BYTE*)folder, (DWORD)std::strlen(folder) + 1) !=
        ERROR_SUCCESS)
      APP_TRACE("Failed to write registry value");
  } else {
    DWORD type = 0, size = APP_PATH_LENGTH;
    if (RegQueryValueExA(handle, "InstallPath", nullptr, &type, (BYTE*)folder, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
      folder[0] = 0;
    folder[APP_PATH_LENGTH - 1] = 0;
  }
  RegCloseKey(handle);
#else
  (void)key;
  if (appHostRegistryFails()) {
    APP_TRACE("Failed to create key");
    return false;
  }
  if (write) {
    appInstallFolderFromModule(appHostModulePath(), folder);
    appHostSetRegistryInstallPath(folder);
  } else {
    const char* stored = appHostRegistryInstallPath();
    appCopyText(folder, stored ? stored : "", APP_PATH_LENGTH);
  }
#endif

  if (!write) {
    // The reading side always ends a non-empty folder in a backslash.
    size_t length = std::strlen(folder);
    if (length > APP_PATH_LENGTH - 2) {
      folder[0] = 0;  // a folder that leaves no room for a file name is no folder
    } else if (length > 0 && folder[length - 1] != '\\') {
      folder[length] = '\\';
      folder[length + 1] = 0;
    }
  }
  appSetInstallFolder(folder);
  return true;
}
