// libFuzzer target for the streaming XML parser that reads .xlsx and .ods
// parts: arbitrary bytes, fed in chunks of varying size, must end in a clean
// verdict, never a crash, a hang or an out-of-bounds read.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/sheets/xml_stream.h"

namespace {

class Collector : public tabrovin::sheets::XmlHandler {
  public:
    void start(const tabrovin::sheets::XmlName& name,
               const tabrovin::sheets::XmlAttributes& attrs) override {
        depth += 1;
        bytes += name.local.size() + name.ns.size() + attrs.size();
        for (const auto& a : attrs) bytes += a.value.size();
        bytes += tabrovin::sheets::attribute(attrs, "r").size();
        if (depth > 100000) stopped = true;
    }
    void end(const tabrovin::sheets::XmlName& name) override {
        depth -= 1;
        bytes += name.local.size();
    }
    void text(std::string_view t) override { bytes += t.size(); }
    long depth = 0;
    size_t bytes = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte sets the chunk size, so token boundaries fall everywhere.
    size_t chunk = 1 + data[0] % 64;
    std::string_view xml(reinterpret_cast<const char*>(data + 1), size - 1);
    Collector handler;
    tabrovin::sheets::XmlStream stream(handler);
    bool ok = true;
    for (size_t at = 0; ok && at < xml.size(); at += chunk) ok = stream.feed(xml.substr(at, chunk));
    if (ok) (void)stream.finish();
    return 0;
}
