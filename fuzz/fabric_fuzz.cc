// Feeds arbitrary text to the fabric and state parsers.  A parse either
// fails naming a line within the text, or gives a fabric whose indexes agree
// with its devices and whose devices all answer within their buffers; a
// parsed state file written out and read back gives the same areas.

#include <stddef.h>
#include <stdint.h>

#include <string_view>

#include "platform/scsi/fabric_parser.h"
#include "platform/scsi/inquiry_data.h"
#include "platform/scsi/state.h"

namespace {

void Require(bool ok) {
  if (!ok) __builtin_trap();
}

int LineCount(std::string_view text) {
  int lines = 1;
  for (char c : text) lines += c == '\n';
  return lines;
}

void CheckDevice(const scsi::Fabric& fabric, const scsi::Device& d) {
  Require(fabric.At(d.bus, d.target) == &d);
  Require(d.vendor.size() <= 8 && d.product.size() <= 16 &&
          d.revision.size() <= 4);
  scsi::Reply reply = scsi::StandardInquiry(d, d.stamp);
  Require(reply.length == 36 || reply.length == 56);
  for (int page : {scsi::kSerialPage, scsi::kVendorSerialPage}) {
    Require(scsi::SerialPage(d, page, &reply));
    Require(reply.length < reply.bytes.size());
  }
  if (d.kind == scsi::DeviceKind::kAdapter) {
    Require(fabric.FindAdapter(d.machine, d.port) == &d);
    Require(fabric.HasController(d.machine, d.port.bus, d.port.controller));
    Require(!scsi::DescribeArea(d.stamp).empty());
  }
}

void FuzzFabric(std::string_view text) {
  scsi::Fabric fabric;
  scsi::ParseError error;
  if (!scsi::ParseFabric(text, &fabric, &error)) {
    Require(error.line >= 1 && error.line <= LineCount(text));
    Require(!error.message.empty());
    return;
  }
  for (const scsi::Device& d : fabric.devices()) CheckDevice(fabric, d);
}

void FuzzState(std::string_view text) {
  scsi::AreaMap areas;
  scsi::ParseError error;
  if (!scsi::ParseState(text, &areas, &error)) {
    Require(error.line >= 1 && error.line <= LineCount(text));
    return;
  }
  scsi::AreaMap again;
  Require(scsi::ParseState(scsi::FormatState(areas), &again, &error));
  Require(again == areas);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  FuzzFabric(text);
  FuzzState(text);
  return 0;
}
