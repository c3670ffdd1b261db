// Registry.cpp: the product's registry key and the installation folder recorded under it.
// The editor writes the folder from its own location; the screensaver reads it.
#include <cstdio>
#include <cstring>

#include "app.h"
#include "appPlatform.h"

bool appInitInstallPath(const char* productName, bool write) {
  if (!productName) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (std::strlen(productName) >= 108) {
    APP_TRACE("Key name too long");
    return false;
  }
  char keyName[128];
  std::snprintf(keyName, sizeof keyName, "SOFTWARE\\Drovelkant\\%s", productName);
  AppKey key = appPlatformOpenKey(keyName);
  if (!key) {
    APP_TRACE("Failed to create key");
    return false;
  }
  char folder[APP_PATH_LENGTH] = "";
  if (write) {
    char module[APP_PATH_LENGTH];
    if (appPlatformModulePath(module)) appInstallFolderFromModule(module, folder);
    if (!appPlatformWriteValue(key, "InstallPath", folder)) APP_TRACE("Failed to write registry value");
  } else {
    if (!appPlatformReadValue(key, "InstallPath", folder)) folder[0] = 0;
    // The reading side always ends a non-empty folder in a backslash.
    size_t length = std::strlen(folder);
    if (length > APP_PATH_LENGTH - 2) {
      folder[0] = 0;  // a folder that leaves no room for a file name is no folder
    } else if (length > 0 && folder[length - 1] != '\\') {
      folder[length] = '\\';
      folder[length + 1] = 0;
    }
  }
  appPlatformCloseKey(key);
  appSetInstallFolder(folder);
  return true;
}
