#pragma once
// The program's reading of one line of excludeapp.txt, apart from the file and the system's
// code page, so that it also builds natively for fuzzing.

#include "list_lines.h"

#include <string>
#include <vector>

// Decodes count bytes into at most capacity wide characters; answers how many it wrote, 0 on
// failure (MultiByteToWideChar's contract).
using DecodeBytes = int (*)(const char* bytes, int count, wchar_t* wide, int capacity);

// Decodes the line and appends it without the ASCII white space at its ends, unless nothing
// is left.
void AppendListEntry(vimlet::ByteRange line, DecodeBytes decode, std::vector<std::wstring>& list);
