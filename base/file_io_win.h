#pragma once

// Whole-file reads and crash-safe whole-file writes. The data files are small, so each is read and
// written in one piece. The 8-bit overloads open the file by its name in the ANSI code page, as the
// icon-list and picture files are.

#include "base/system_error_win.h"

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace corvalo {

bool FileExists(const std::wstring& path);
bool FileExists(const std::string& ansiPath);

// Throws "Cannot open file "%s". %s" when the file cannot be opened or read.
std::vector<uint8_t> ReadWholeFile(const std::wstring& path);
std::vector<uint8_t> ReadWholeFile(const std::string& ansiPath);

// Writes the bytes to a temporary file beside the target, flushes it to disk and only then moves it
// over the target, so the target is always either the old file or the complete new one.
// Throws "Cannot create file "%s". %s" (the target's path) when any step fails; the old file is
// then untouched and the temporary file removed.
void ReplaceFileContents(const std::wstring& path, std::span<const uint8_t> bytes);
void ReplaceFileContents(const std::string& ansiPath, std::span<const uint8_t> bytes);

// The one path of a file, whatever form of it was given: short 8.3 names in their long form, a
// SUBST drive or a link as the folder it stands for ("C:\PROGRA~1\x.exe" and
// "C:\Program Files\x.exe" give the same). The path as given when the file can't be opened.
std::wstring FinalPathOf(const std::wstring& path);

// Keeps the bytes as a backup at `backupPath` (a name ending in ".bak"), but never in place of a
// backup that holds other bytes: those are the user's only copy of something else. Then the bytes
// go to the first of "<name>.1.bak", "<name>.2.bak" ... that is free or holds these very bytes.
// Returns the path that holds them. Throws as ReplaceFileContents.
std::wstring KeepBackup(const std::wstring& backupPath, std::span<const uint8_t> bytes);
std::string KeepBackup(const std::string& ansiBackupPath, std::span<const uint8_t> bytes);

// The points between the steps of ReplaceFileContents. A test build of the program stops itself
// at one of them to play a crash there; `temporary` is the open temporary file, or null once it
// is closed.
enum class ReplaceStep { TemporaryCreated, Written, Flushed, Closed, Moved };
using ReplaceStepHook = void (*)(ReplaceStep step, HANDLE temporary,
                                 std::span<const uint8_t> bytes);
// Null (the default) calls nothing.
void SetReplaceStepHook(ReplaceStepHook hook);

}  // namespace corvalo
