#include "platform/scsi/fabric_parser.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>

#include <vector>

#include "platform/scsi/errno_names.h"
#include "platform/scsi/words.h"

namespace scsi {
namespace {

struct Line {
  int number = 0;
  std::string keyword;
  std::vector<std::string> args;  // positional words after the keyword
  std::vector<Word> options;
};

std::string Quote(std::string_view s) { return "\"" + std::string(s) + "\""; }

// A small decimal number in [low, high]; no sign, no blanks.
bool ParseNumber(std::string_view text, int low, int high, int* value) {
  if (text.empty() || text.size() > 3) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < low || v > high) return false;
  *value = v;
  return true;
}

bool Number(const Line& line, size_t arg, std::string_view what, int high,
            int* value, std::string* err) {
  if (ParseNumber(line.args[arg], 0, high, value)) return true;
  *err = line.keyword + ": " + std::string(what) + " " + Quote(line.args[arg]) +
         " is not a number from 0 to " + std::to_string(high);
  return false;
}

// Machine names become directory names beside the fabric's own files.
bool ValidMachineName(std::string_view name) {
  if (name.empty() || name.size() > 256 || name == "." || name == "..")
    return false;
  if (name == "fabric" || name.substr(0, 12) == "fabric.state") return false;
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool Text(const Line& line, size_t arg, std::string_view what, size_t max,
          std::string* out, std::string* err) {
  if (line.args[arg].size() > max) {
    *err = line.keyword + ": " + std::string(what) + " " +
           Quote(line.args[arg]) + " is longer than " + std::to_string(max) +
           " characters";
    return false;
  }
  *out = line.args[arg];
  return true;
}

// The identity a device reports, from the vendor word on: vendor, product
// and revision, no longer than INQUIRY data holds them.
bool Identity(const Line& line, size_t vendor, Device* d, std::string* err) {
  return Text(line, vendor, "vendor", 8, &d->vendor, err) &&
         Text(line, vendor + 1, "product", 16, &d->product, err) &&
         Text(line, vendor + 2, "revision", 4, &d->revision, err);
}

bool ParseStamp(std::string_view value, Device* device, std::string* err) {
  size_t colon = value.find(':');
  Port owner;
  if (colon == std::string_view::npos || value.substr(0, 1) != "c" ||
      !ParseAdapterText(value.substr(1, colon - 1), &owner)) {
    *err = "stamp: expected c<adapter>:<nodename>, such as c10:nodeA, not " +
           Quote(value);
    return false;
  }
  std::string_view name = value.substr(colon + 1);
  if (name.size() > static_cast<size_t>(kMaxNodeNameInArea)) {
    *err = "stamp: node name " + Quote(name) + " is longer than 17 bytes";
    return false;
  }
  device->has_stamp = true;
  device->stamp = MakeArea(owner, name);
  return true;
}

bool ParseInitiator(std::string_view value, Device* device, std::string* err) {
  int fields[4];
  const int highs[4] = {kMaxBus - 1, kMaxController - 1, kMaxScsiBus - 1,
                        kMaxTarget - 1};
  std::string_view rest = value;
  for (int i = 0; i < 4; ++i) {
    size_t dot = i < 3 ? rest.find('.') : rest.size();
    if (dot == std::string_view::npos ||
        !ParseNumber(rest.substr(0, dot), 0, highs[i], &fields[i])) {
      *err = "initiator: expected <bus>.<controller>.<scsi-bus>.<id> within "
             "7.7.3.15, not " + Quote(value);
      return false;
    }
    rest = i < 3 ? rest.substr(dot + 1) : rest.substr(dot);
  }
  device->has_initiator = true;
  device->initiator_port = Port{fields[0], fields[1], fields[2]};
  device->initiator_target = fields[3];
  return true;
}

bool ParseOpen(std::string_view value, Device* device, std::string* err) {
  int e = ErrnoFromName(value);
  if (e == 0) {
    *err = "open: unknown errno name " + Quote(value) + " (such as EIO)";
    return false;
  }
  device->faults.open_errno = e;
  return true;
}

bool ParseSerial(std::string_view value, Device* device, std::string* err) {
  if (value.size() > kMaxSerialLength) {
    *err = "serial: longer than " + std::to_string(kMaxSerialLength) +
           " characters";
    return false;
  }
  device->serial = std::string(value);
  return true;
}

bool Fail(std::string_view name, std::string_view value, bool* flag,
          std::string* err) {
  if (value != "fail") {
    *err = std::string(name) + ": the only value is \"fail\", not " +
           Quote(value);
    return false;
  }
  *flag = true;
  return true;
}

constexpr unsigned kAdapterOnly = 1, kNotAdapter = 2, kAny = 3;

struct OptionRule {
  std::string_view name;
  unsigned applies;
  bool fault;  // shown with the device by "simcluster show"
  bool (*parse)(std::string_view name, std::string_view value, Device*,
                std::string*);
};

#define FAULT_FLAG(field)                                                  \
  [](std::string_view n, std::string_view v, Device* d, std::string* e) { \
    return Fail(n, v, &d->faults.field, e);                               \
  }

constexpr OptionRule kOptions[] = {
    {"open", kAny, true,
     [](std::string_view, std::string_view v, Device* d, std::string* e) {
       return ParseOpen(v, d, e);
     }},
    {"inquiry", kAny, true, FAULT_FLAG(inquiry)},
    {"passthru", kAny, true, FAULT_FLAG(passthru)},
    {"procinquiry", kAny, true, FAULT_FLAG(procinquiry)},
    {"setinquiry", kAny, true, FAULT_FLAG(setinquiry)},
    {"evpd", kAny, true, FAULT_FLAG(evpd)},
    {"initiator", kAdapterOnly, true,
     [](std::string_view, std::string_view v, Device* d, std::string* e) {
       return ParseInitiator(v, d, e);
     }},
    {"stamp", kAdapterOnly, false,
     [](std::string_view, std::string_view v, Device* d, std::string* e) {
       return ParseStamp(v, d, e);
     }},
    {"serial", kNotAdapter, false,
     [](std::string_view, std::string_view v, Device* d, std::string* e) {
       return ParseSerial(v, d, e);
     }},
};

#undef FAULT_FLAG

bool ApplyOptions(const Line& line, Device* device, std::string* err) {
  std::vector<std::string> seen;
  unsigned kind = device->kind == DeviceKind::kAdapter ? kAdapterOnly
                                                       : kNotAdapter;
  for (const Word& w : line.options) {
    const OptionRule* rule = nullptr;
    for (const OptionRule& r : kOptions)
      if (r.name == w.name) rule = &r;
    if (rule == nullptr) {
      *err = "unknown option " + Quote(w.name);
      return false;
    }
    if ((rule->applies & kind) == 0) {
      *err = "option " + Quote(w.name) + " does not apply to " + line.keyword;
      return false;
    }
    for (const std::string& s : seen)
      if (s == w.name) {
        *err = "option " + Quote(w.name) + " given twice";
        return false;
      }
    seen.push_back(w.name);
    if (!rule->parse(w.name, w.value, device, err)) return false;
    if (rule->fault) device->fault_words.push_back(w.text);
  }
  return true;
}

class Parser {
 public:
  explicit Parser(Fabric* fabric) : fabric_(fabric) {}
  bool ParseLine(const Line& line, std::string* err);

 private:
  bool ParseBus(const Line& line, std::string* err);
  bool ParseAdapter(const Line& line, std::string* err);
  bool ParseDisk(const Line& line, std::string* err);
  bool ParseDevice(const Line& line, std::string* err);
  bool Arguments(const Line& line, size_t count, std::string_view usage,
                 std::string* err);
  bool Place(const Line& line, Device device, std::string* err);

  Fabric* fabric_;
  int bus_ = -1;  // the bus that the lines now describe
};

bool Parser::Arguments(const Line& line, size_t count, std::string_view usage,
                       std::string* err) {
  if (line.keyword != "bus" && bus_ < 0) {
    *err = line.keyword + ": comes before any bus line";
    return false;
  }
  if (line.args.size() == count) return true;
  *err = line.keyword + ": expected " + std::string(usage);
  return false;
}

bool Parser::ParseLine(const Line& line, std::string* err) {
  if (line.keyword == "bus") return ParseBus(line, err);
  if (line.keyword == "adapter") return ParseAdapter(line, err);
  if (line.keyword == "disk") return ParseDisk(line, err);
  if (line.keyword == "device") return ParseDevice(line, err);
  *err = "unknown line " + Quote(line.keyword) +
         " (expected bus, adapter, disk or device)";
  return false;
}

bool Parser::ParseBus(const Line& line, std::string* err) {
  if (!Arguments(line, 1, "bus <name>", err)) return false;
  if (!line.options.empty()) {
    *err = "bus: takes no options";
    return false;
  }
  int existing = fabric_->FindBus(line.args[0]);
  if (existing >= 0) {
    *err = "bus " + Quote(line.args[0]) + " already opened at line " +
           std::to_string(fabric_->buses()[existing].line);
    return false;
  }
  bus_ = fabric_->AddBus(line.args[0], line.number);
  return true;
}

bool Parser::ParseAdapter(const Line& line, std::string* err) {
  if (!Arguments(line, 5, "adapter <machine> <bus> <controller> "
                 "<scsi-bus> <id> [options]", err))
    return false;
  Device d;
  d.kind = DeviceKind::kAdapter;
  d.type = 3;
  d.machine = line.args[0];
  if (!ValidMachineName(d.machine)) {
    *err = "adapter: machine name " + Quote(d.machine) +
           " may hold only letters, digits, '.', '_' and '-'";
    return false;
  }
  if (!Number(line, 1, "bus", kMaxBus - 1, &d.port.bus, err) ||
      !Number(line, 2, "controller", kMaxController - 1, &d.port.controller,
              err) ||
      !Number(line, 3, "SCSI bus", kMaxScsiBus - 1, &d.port.scsi_bus, err) ||
      !Number(line, 4, "id", kMaxTarget - 1, &d.target, err))
    return false;
  if (const Device* other = fabric_->FindAdapter(d.machine, d.port)) {
    *err = "adapter: " + d.machine + " " + PortText(d.port) +
           " is already attached at line " + std::to_string(other->line);
    return false;
  }
  return Place(line, std::move(d), err);
}

bool Parser::ParseDisk(const Line& line, std::string* err) {
  if (!Arguments(line, 4, "disk <id> <vendor> <product> <revision> "
                 "[serial=<text>] [options]", err))
    return false;
  Device d;
  d.kind = DeviceKind::kDisk;
  d.type = 0;
  if (!Number(line, 0, "id", kMaxTarget - 1, &d.target, err) ||
      !Identity(line, 1, &d, err))
    return false;
  return Place(line, std::move(d), err);
}

bool Parser::ParseDevice(const Line& line, std::string* err) {
  if (!Arguments(line, 5, "device <id> <type> <vendor> <product> "
                 "<revision> [options]", err))
    return false;
  Device d;
  d.kind = DeviceKind::kOther;
  if (!Number(line, 0, "id", kMaxTarget - 1, &d.target, err) ||
      !Number(line, 1, "type", 31, &d.type, err) ||
      !Identity(line, 2, &d, err))
    return false;
  return Place(line, std::move(d), err);
}

bool Parser::Place(const Line& line, Device device, std::string* err) {
  device.line = line.number;
  device.bus = bus_;
  if (!ApplyOptions(line, &device, err)) return false;
  if (const Device* other = fabric_->At(bus_, device.target)) {
    *err = line.keyword + ": target " + std::to_string(device.target) +
           " of bus " + Quote(fabric_->buses()[bus_].name) +
           " is already taken at line " + std::to_string(other->line);
    return false;
  }
  fabric_->AddDevice(std::move(device));
  return true;
}

bool ToLine(std::vector<Word> words, int number, Line* line,
            std::string* err) {
  line->number = number;
  if (words[0].is_option) {
    *err = "a line begins with bus, adapter, disk or device, not " +
           Quote(words[0].text);
    return false;
  }
  line->keyword = std::move(words[0].text);
  for (size_t i = 1; i < words.size(); ++i) {
    if (words[i].is_option)
      line->options.push_back(std::move(words[i]));
    else
      line->args.push_back(std::move(words[i].text));
  }
  return true;
}

}  // namespace

bool ParseFabric(std::string_view text, Fabric* fabric, ParseError* error) {
  // A device takes a line; a large fabric would otherwise be moved about
  // a dozen times while it is read.
  size_t lines = 1;
  for (char c : text) lines += c == '\n';
  fabric->Reserve(lines);
  Parser parser(fabric);
  std::vector<Word> words;
  int number = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(pos, end - pos);
    pos = end + 1;
    ++number;
    Line line;
    std::string err;
    bool ok = SplitWords(raw, &words, &err);
    if (ok && words.empty()) continue;
    ok = ok && ToLine(std::move(words), number, &line, &err) &&
         parser.ParseLine(line, &err);
    if (!ok) {
      error->line = number;
      error->message = std::move(err);
      return false;
    }
  }
  return true;
}

LoadStatus LoadFabricFile(const std::string& path, Fabric* fabric,
                          std::string* message, platform::UniqueFd* file) {
  platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid() && errno == ENOENT) return LoadStatus::kMissing;
  std::string text;
  if (!fd.valid() || !platform::ReadAll(fd.get(), &text)) {
    *message = path + ": " + strerror(errno);
    return LoadStatus::kBad;
  }
  ParseError error;
  if (!ParseFabric(text, fabric, &error)) {
    *message = path + ":" + std::to_string(error.line) + ": " + error.message;
    return LoadStatus::kBad;
  }
  if (file != nullptr) *file = std::move(fd);
  return LoadStatus::kLoaded;
}

}  // namespace scsi
