// Feeds arbitrary text to the readers of outside files, chosen by the first
// byte: "x" the exclusion list, "m" the mdevice table, anything else the
// fabric and fabric.state parsers.  The mdevice reader writes past no
// field (the sanitizers watch it); the other properties are said below.

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "cspec/mdevice.h"
#include "cspec/xlist.h"
#include "platform/scsi/fabric_parser.h"
#include "platform/scsi/inquiry_data.h"
#include "platform/scsi/state.h"

namespace {

void Require(bool ok) {
  if (!ok) __builtin_trap();
}

// A fabric parse fails naming a line within the text, or gives devices
// that its indexes find again and that answer within their buffers.
void FuzzFabric(std::string_view text) {
  const long lines = 1 + std::count(text.begin(), text.end(), '\n');
  scsi::Fabric fabric;
  scsi::ParseError error;
  if (!scsi::ParseFabric(text, &fabric, &error)) {
    Require(error.line >= 1 && error.line <= lines && !error.message.empty());
  } else {
    for (const scsi::Device& d : fabric.devices()) {
      scsi::Reply reply = scsi::StandardInquiry(d, d.stamp);
      Require(fabric.At(d.bus, d.target) == &d &&
              reply.length <= reply.bytes.size());
      Require(scsi::SerialPage(d, scsi::kVendorSerialPage, &reply) &&
              reply.length < reply.bytes.size());
      if (d.kind == scsi::DeviceKind::kAdapter)
        Require(fabric.FindAdapter(d.machine, d.port) == &d);
    }
  }
  // A state file read, written out and read back gives the same areas.
  scsi::AreaMap areas, again;
  if (!scsi::ParseState(text, &areas, &error)) return;
  Require(scsi::ParseState(scsi::FormatState(areas), &again, &error) &&
          again == areas);
}

// The exclusion list is absent or 01h-framed entries inside its buffer.
void FuzzFile(char which, std::string text) {
  FILE* in = fmemopen(text.data(), text.size(), "r");
  if (in == nullptr) return;
  int major = 0;
  if (which == 'm') read_scsi_major(in, &major);
  if (which == 'x') build_xlist(in);
  fclose(in);
  if (which != 'x' || xlist == nullptr) return;
  size_t length = strlen(xlist);
  Require(xlist[0] == kXlistSeparator && xlist[length - 1] == kXlistSeparator);
  Require(length < xlist_size && xlist_count > 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (size > 1 && (data[0] == 'x' || data[0] == 'm'))
    FuzzFile(static_cast<char>(data[0]), std::string(text.substr(1)));
  else
    FuzzFabric(text);
  return 0;
}
