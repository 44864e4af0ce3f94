// A file is known by its volume and its index on it, which no spelling of its name
// changes. A name not there yet is known by its directory and its own last part.
#include <cstdint>
#include <string>

#include "file_identity.h"
#include "platform.h"

namespace {

struct Identity {
  bool known = false;
  DWORD attributes = 0;
  DWORD volume = 0;
  uint64_t index = 0;
  std::string last;  // the name within the directory, for a file not there yet
};

// Access 0 reads nothing, so it needs no read right and never waits for a FIFO's
// writer; backup semantics opens a directory too.
Identity IdentityOfExisting(const std::string& name, DWORD& code) {
  Identity identity;
  SetLastError(0);
  HANDLE file = CreateFileA(
      name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  code = GetLastError();
  if (file == INVALID_HANDLE_VALUE) return identity;
  BY_HANDLE_FILE_INFORMATION info = {};
  identity.known = GetFileInformationByHandle(file, &info) != FALSE;
  identity.attributes = info.dwFileAttributes;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index =
      static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  CloseHandle(file);
  return identity;
}

// The directory keeps its closing separator, so that "/x" and "c:\x" give a root.
Identity IdentityOf(const std::string& name) {
  DWORD code = 0;
  Identity identity = IdentityOfExisting(name, code);
  if (identity.known || code != ERROR_FILE_NOT_FOUND) return identity;
  size_t cut = name.size();
  while (cut > 0 && !IsPathSeparator(name[cut - 1])) --cut;
  identity =
      IdentityOfExisting(cut == 0 ? std::string(".") : name.substr(0, cut), code);
  identity.last = name.substr(cut);
  return identity;
}

}  // namespace

bool NamesPlainFile(const char* name) {
  DWORD code = 0;
  Identity identity = IdentityOfExisting(name, code);
  return !identity.known ||
         !(identity.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

bool SameFile(const char* a, const char* b) {
  Identity first = IdentityOf(a), second = IdentityOf(b);
  if (!first.known || !second.known) return std::string(a) == b;
  return first.volume == second.volume && first.index == second.index &&
         first.last == second.last;
}
