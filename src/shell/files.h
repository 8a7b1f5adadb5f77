// Byte and text file operations that end the program with the run-time
// input/output error report when they fail. Every file command goes through
// these, so a failure always reads the same way on the console.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace shell {

// File names are used unchanged, cut to their first 255 characters.
constexpr std::size_t kMaxFileName = 255;
std::string FileNameForOpen(const std::string& name);

// Opens `name` with the fopen `mode`; on failure, nullptr (no report).
std::FILE* TryOpen(const std::string& name, const char* mode);
// Opens `name`; on failure, run-time error with the system's code (2 for a
// missing file). Directories are refused the same way (code 21).
std::FILE* OpenOrDie(const std::string& name, const char* mode);

// Reads exactly n bytes; fewer ends the program with code 100 (or the
// system's code on a device error).
void ReadOrDie(std::FILE* f, void* buf, std::size_t n);
// Writes exactly n bytes; fewer ends the program with code 101.
void WriteOrDie(std::FILE* f, const void* buf, std::size_t n);
void WriteOrDie(std::FILE* f, const std::string& text);
void SeekOrDie(std::FILE* f, std::int64_t offset);
std::int64_t FileSizeOrDie(std::FILE* f);
// Closes; a failed close (a delayed write error) ends with code 101.
void CloseOrDie(std::FILE* f);

// A file written under a working name: if a write or the close fails, the
// working file is removed before the run-time error, so no truncated file
// is left behind. One at a time; Forget once the file is complete.
void DiscardOnFailure(const std::string& path);
void ForgetDiscardOnFailure();

}  // namespace shell
