#include "platform/scsi/state.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/os/unique_fd.h"
#include "platform/scsi/words.h"

namespace scsi {
namespace {

bool SystemError(const std::string& context, std::string* message) {
  int saved = errno;
  *message = context + ": " + strerror(saved);
  errno = saved;
  return false;
}

// Holds an exclusive flock on a lock file for its lifetime.
class ExclusiveLock {
 public:
  bool Acquire(const std::string& path, std::string* message) {
    fd_.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd_.valid()) return SystemError(path, message);
    while (::flock(fd_.get(), LOCK_EX) != 0)
      if (errno != EINTR) return SystemError("flock(" + path + ")", message);
    return true;
  }

 private:
  platform::UniqueFd fd_;  // closing it releases the lock
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexArea(std::string_view hex, VendorArea* area) {
  if (hex.size() != 2 * area->size()) return false;
  for (size_t i = 0; i < area->size(); ++i) {
    int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    (*area)[i] = static_cast<uint8_t>(hi << 4 | lo);
  }
  return true;
}

bool ParsePortText(std::string_view text, Port* port) {
  if (text.size() != 5 || text[1] != '.' || text[3] != '.') return false;
  Port p{text[0] - '0', text[2] - '0', text[4] - '0'};
  if (p.bus < 0 || p.bus >= kMaxBus || p.controller < 0 ||
      p.controller >= kMaxController || p.scsi_bus < 0 ||
      p.scsi_bus >= kMaxScsiBus)
    return false;
  *port = p;
  return true;
}

bool ValidFabricKey(std::string_view machine, std::string_view port) {
  Port p;
  return !machine.empty() && ParsePortText(port, &p);
}

bool ParseStateLine(std::string_view raw, AreaMap* areas,
                    const AreaFileFormat& format, std::string* err) {
  std::vector<Word> words;
  if (!SplitWords(raw, &words, err)) return false;
  if (words.empty()) return true;
  VendorArea area;
  if (words.size() != 3 || !format.valid_key(words[0].text, words[1].text) ||
      !ParseHexArea(words[2].text, &area)) {
    *err = std::string("expected ") + format.syntax;
    return false;
  }
  std::string key = words[0].text + " " + words[1].text;
  if (!areas->emplace(key, area).second) {
    *err = "area of " + key + " given twice";
    return false;
  }
  return true;
}

}  // namespace

const AreaFileFormat kFabricStateFormat = {
    "# Vendor-specific areas of the cluster's host adapters:\n"
    "# <machine> <bus>.<controller>.<scsi-bus> <20 bytes in hexadecimal>\n",
    "<machine> <bus>.<controller>.<scsi-bus> <40 hex digits>", ValidFabricKey};

std::string AreaKey(std::string_view machine, const Port& port) {
  return std::string(machine) + " " + PortText(port);
}

bool ParseState(std::string_view text, AreaMap* areas, ParseError* error,
                const AreaFileFormat& format) {
  int number = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    ++number;
    std::string err;
    if (!ParseStateLine(text.substr(pos, end - pos), areas, format, &err)) {
      error->line = number;
      error->message = err;
      return false;
    }
    pos = end + 1;
  }
  return true;
}

std::string FormatState(const AreaMap& areas, const AreaFileFormat& format) {
  std::string text = format.header;
  for (const auto& [key, area] : areas) {
    text += key;
    text += ' ';
    for (uint8_t b : area) {
      char hex[3];
      snprintf(hex, sizeof hex, "%02x", b);
      text += hex;
    }
    text += '\n';
  }
  return text;
}

StateFile::StateFile(std::string path, const AreaFileFormat& format)
    : path_(std::move(path)), format_(&format) {}

bool StateFile::ReadLocked(AreaMap* areas, std::string* message) const {
  platform::UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid() && errno == ENOENT) return true;
  std::string text;
  if (!fd.valid() || !platform::ReadAll(fd.get(), &text))
    return SystemError(path_, message);
  ParseError error;
  if (!ParseState(text, areas, &error, *format_)) {
    *message = path_ + ":" + std::to_string(error.line) + ": " + error.message;
    errno = EIO;
    return false;
  }
  return true;
}

bool StateFile::Replace(const AreaMap& areas, std::string* message) const {
  // What allocates comes before the temporary exists or after it is gone:
  // storage running out must not leave it behind.
  const std::string text = FormatState(areas, *format_);
  std::string temp = path_ + ".XXXXXX";
  platform::UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (!fd.valid()) return SystemError(temp, message);
  bool ok = ::fchmod(fd.get(), 0644) == 0 &&
            platform::WriteAll(fd.get(), text) && ::fsync(fd.get()) == 0;
  if (ok) {
    int fd_number = fd.Release();
    ok = ::close(fd_number) == 0;
  }
  if (ok && ::rename(temp.c_str(), path_.c_str()) == 0) return true;
  int saved = errno;
  ::unlink(temp.c_str());
  errno = saved;
  return SystemError(temp, message);
}

bool StateFile::Read(AreaMap* areas, std::string* message) const {
  ExclusiveLock lock;
  return lock.Acquire(path_ + ".lock", message) && ReadLocked(areas, message);
}

bool StateFile::Write(const std::string& key, const VendorArea& area,
                      std::string* message) const {
  ExclusiveLock lock;
  AreaMap areas;
  if (!lock.Acquire(path_ + ".lock", message) || !ReadLocked(&areas, message))
    return false;
  areas[key] = area;
  return Replace(areas, message);
}

bool StateFile::WriteEmpty(std::string* message) const {
  ExclusiveLock lock;
  return lock.Acquire(path_ + ".lock", message) && Replace({}, message);
}

}  // namespace scsi
