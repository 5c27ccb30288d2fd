// Feeds arbitrary bytes to the reader, through a handler that uses every reading
// operation, and to the stream parser. Anything but the reader's own orderly
// exceptions (a crash, a hang, a leak, a sanitizer report, an allocation failure)
// is a fault. Built as a libFuzzer target and, for replaying the corpus, into the
// tests.
#include <cstddef>
#include <cstdint>

#include "datafile/QORClassIdentity.h"
#include "datafile/QORClassParser.h"
#include "datafile/QORClassReader.h"
#include "platform/exception.h"
#include "platform/stream.h"

namespace {

// Chooses what to do with a field from its tag, so that each input takes one
// repeatable path through the reader.
void HandleAnything(void* user_data, int32_t tag, TVistaReader& reader) {
  auto* objects = static_cast<TObject*>(user_data);
  switch (static_cast<uint32_t>(tag) % 11) {
    case 0:
      reader.BeginFolding(tag);
      if (tag & 0x100) reader.SetCurrentObject(objects);
      break;
    case 1:
      reader.ReadByteField();
      break;
    case 2:
      reader.ReadIntegerField();
      break;
    case 3:
      reader.ReadDoubleField();
      break;
    case 4:
      reader.ReadStringField();
      break;
    case 5: {
      uint8_t buffer[18];
      reader.ReadBufferField(buffer, sizeof buffer);
      break;
    }
    case 6: {
      // A data point read by the handler itself.
      reader.BeginGroup(reader.ReadSize());
      uint8_t body[18];
      reader.ReadBuffer(body, sizeof body);
      reader.EndGroup();
      break;
    }
    case 7:
      reader.MarkBlock(reader.ReadSize());
      reader.ReadTag();
      reader.SkipToBlockEnd();
      break;
    case 8: {
      int32_t length;
      int32_t char_size;
      reader.ReadStringHeader(length, char_size);
      reader.Skip(length);
      break;
    }
    case 9:
      if (reader.Depth() > 3) reader.Stop();
      reader.SkipField();
      break;
    default:
      reader.SkipField();
      break;
  }
  (void)reader.CurrentObject();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RegisterIdentityPrototypes();
  platform::MemoryStream stream;
  stream.Write(data, static_cast<int64_t>(size));

  TObject object;
  TVistaReader reader;
  int folding_ends = 0;
  reader.SetOnFoldingEnd([&folding_ends](TVistaReader&, uint8_t, bool) { ++folding_ends; });
  stream.SetPosition(0);
  try {
    reader.Read(stream, &HandleAnything, &object);
  } catch (const Exception&) {
  }

  TVistaStreamParser parser(nullptr);
  stream.SetPosition(0);
  try {
    parser.Parse(stream);
  } catch (const Exception&) {
  }
  return 0;
}
