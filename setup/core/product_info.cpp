#include "setup/core/product_info.h"

#include "setup/core/buffer_manager.h"

std::string TProductInfo::Encode() const {
  TBufferWriter out;
  out.WriteShortString(Version);
  out.WriteShortString(Publisher);
  out.WriteShortString(Url);
  return out.Take();
}

TProductInfo TProductInfo::Decode(const void* data, size_t size) {
  TProductInfo info;
  TBufferManager in(data, size);
  info.Version = in.ReadShortString();
  info.Publisher = in.ReadShortString();
  info.Url = in.ReadShortString();
  return info;
}
