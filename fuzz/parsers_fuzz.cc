// Feeds arbitrary text to the readers of outside files, chosen by the first
// byte: "x" the exclusion list, "m" the mdevice table, anything else the
// fabric and fabric.state parsers.  The exclusion list stays well formed
// and inside its buffer; the mdevice reader writes past no field; a fabric
// parse either fails naming a line within the text, or gives a fabric
// whose indexes agree with its devices and whose devices all answer within
// their buffers; a parsed state file written out and read back gives the
// same areas.

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

void CheckDevice(const scsi::Fabric& fabric, const scsi::Device& d) {
  Require(fabric.At(d.bus, d.target) == &d);
  Require(d.vendor.size() <= 8 && d.product.size() <= 16 &&
          d.revision.size() <= 4);
  scsi::Reply reply = scsi::StandardInquiry(d, d.stamp);
  Require(reply.length == 36 || reply.length == 56);
  for (int page : {scsi::kSerialPage, scsi::kVendorSerialPage}) {
    Require(scsi::SerialPage(d, page, &reply) &&
            reply.length < reply.bytes.size());
  }
  if (d.kind == scsi::DeviceKind::kAdapter) {
    Require(fabric.FindAdapter(d.machine, d.port) == &d &&
            fabric.HasController(d.machine, d.port.bus, d.port.controller) &&
            !scsi::DescribeArea(d.stamp).empty());
  }
}

void FuzzFabric(std::string_view text) {
  const long lines = 1 + std::count(text.begin(), text.end(), '\n');
  scsi::Fabric fabric;
  scsi::ParseError error;
  if (!scsi::ParseFabric(text, &fabric, &error)) {
    Require(error.line >= 1 && error.line <= lines && !error.message.empty());
  } else {
    for (const scsi::Device& d : fabric.devices()) CheckDevice(fabric, d);
  }
  scsi::AreaMap areas, again;
  if (!scsi::ParseState(text, &areas, &error)) {
    Require(error.line >= 1 && error.line <= lines);
    return;
  }
  Require(scsi::ParseState(scsi::FormatState(areas), &again, &error) &&
          again == areas);
}

void FuzzFile(char which, std::string text) {
  FILE* in = fmemopen(text.data(), text.size(), "r");
  if (in == nullptr) return;
  int major = 0;
  if (which == 'm') read_scsi_major(in, &major);
  if (which == 'x') build_xlist(in);
  fclose(in);
  if (which != 'x') return;
  if (xlist == nullptr) return Require(xlist_count == 0 && xlist_size == 0);
  size_t length = strlen(xlist);
  Require(xlist[0] == kXlistSeparator && xlist[length - 1] == kXlistSeparator);
  Require(length + 1 <= xlist_size && xlist_count > 0);
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
