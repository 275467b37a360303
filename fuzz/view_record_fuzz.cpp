// libFuzzer harness for the records between the runtime and the window program: any bytes split
// into records without a crash (fed in two pieces, as a socket delivers them), and every record
// read encodes to a frame that reads back to the same record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "setup/session/view_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using setup_session::ViewRecord;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  setup_session::ViewRecordReader reader;
  const size_t split = size == 0 ? 0 : data[0] % (size + 1);
  for (std::string_view piece : {bytes.substr(0, split), bytes.substr(split)}) {
    reader.Append(piece);
    while (std::optional<ViewRecord> record = reader.Next()) {
      const std::string frame = setup_session::EncodeViewRecord(*record);
      std::optional<ViewRecord> again =
          setup_session::DecodeViewRecord(std::string_view(frame).substr(4));
      if (!again || again->type != record->type || again->numbers != record->numbers ||
          again->bytes != record->bytes || again->texts != record->texts) {
        std::abort();
      }
    }
  }
  return 0;
}
