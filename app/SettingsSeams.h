#pragma once
// What the settings storage calls out to, replaceable by its tests: the shell's folder lookup
// and the writing of one line of the exclusion list.

#include "Settings.h"

#include <stdio.h>

namespace settings_seams {

// SHGetSpecialFolderPathW's form.
using FolderLookup = BOOL (*)(HWND owner, LPWSTR path, int folder, BOOL create);
extern FolderLookup g_lookUpFolder;

// fputs, or in a test one that fails as a full disk does.
using PutLine = int (*)(const char* line, FILE* file);
extern PutLine g_putLine;

} // namespace settings_seams
