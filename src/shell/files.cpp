#include "shell/files.h"

#include <cerrno>
#include <sys/stat.h>

#include "shell/runtime.h"

namespace shell {
namespace {

std::string discard_path;  // working file to remove if writing it fails

[[noreturn]] void WriteFailed(std::FILE* f, int code) {
  std::fclose(f);
  if (!discard_path.empty()) std::remove(discard_path.c_str());
  discard_path.clear();
  RuntimeError(code);
}

}  // namespace

void DiscardOnFailure(const std::string& path) { discard_path = path; }
void ForgetDiscardOnFailure() { discard_path.clear(); }

std::string FileNameForOpen(const std::string& name) {
  return name.size() > kMaxFileName ? name.substr(0, kMaxFileName) : name;
}

std::FILE* TryOpen(const std::string& name, const char* mode) {
  const std::string path = FileNameForOpen(name);
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return nullptr;
  }
  return std::fopen(path.c_str(), mode);
}

std::FILE* OpenOrDie(const std::string& name, const char* mode) {
  errno = 0;
  std::FILE* f = TryOpen(name, mode);
  if (f == nullptr) RuntimeError(errno != 0 ? errno : 2);
  return f;
}

void ReadOrDie(std::FILE* f, void* buf, std::size_t n) {
  if (n == 0) return;
  if (std::fread(buf, 1, n, f) != n) {
    const int code = std::ferror(f) && errno != 0 ? errno : kShortRead;
    std::fclose(f);
    RuntimeError(code);
  }
}

void WriteOrDie(std::FILE* f, const void* buf, std::size_t n) {
  if (n == 0) return;
  if (std::fwrite(buf, 1, n, f) != n) WriteFailed(f, kShortWrite);
}

void WriteOrDie(std::FILE* f, const std::string& text) {
  WriteOrDie(f, text.data(), text.size());
}

void SeekOrDie(std::FILE* f, std::int64_t offset) {
  if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0) {
    const int code = errno != 0 ? errno : kShortRead;
    std::fclose(f);
    RuntimeError(code);
  }
}

std::int64_t FileSizeOrDie(std::FILE* f) {
  struct stat st;
  if (::fstat(fileno(f), &st) != 0) {
    const int code = errno != 0 ? errno : kShortRead;
    std::fclose(f);
    RuntimeError(code);
  }
  return static_cast<std::int64_t>(st.st_size);
}

void CloseOrDie(std::FILE* f) {
  if (std::fclose(f) != 0) {
    if (!discard_path.empty()) std::remove(discard_path.c_str());
    discard_path.clear();
    RuntimeError(kShortWrite);
  }
}

}  // namespace shell
