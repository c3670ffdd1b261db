// appPosix.h: the POSIX file primitives (appPosix.cpp) that the host stand-in and the Linux layer
// share, and the one rule each of them supplies itself.
#pragma once

#include "appPlatform.h"

// The system path for a product path, into `out` of APP_PATH_LENGTH * 2 characters: backslashes
// become slashes; the Linux layer also finds each part of the path whatever its case.
void appPosixNativePath(const char* path, char* out);

// appPlatformWalkMatches over a POSIX folder: names in alphabetical order, the pattern matched
// without regard to case.
int appPosixWalkMatches(const char* folder, const char* pattern, AppMatchVisitor visit, void* context);
