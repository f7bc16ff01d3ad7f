// Throughput of the worksheet XML parser against expat, libxml2's SAX2 push
// parser and libxml2's xmlTextReader, all resolving namespaces, on one
// generated sheet part of 300,000 rows fed in the chunks the zip reader hands
// out. SAX2 push is libxml2 at its fastest; xmlTextReader is the convenient
// pull API, which pays for building a node per event. Then, on an
// .xlsx (the first argument, or the import benchmark's 300,000-row book when
// it exists), measuring its first worksheet by the quick scan (which
// inflates on a second thread) and by the full parse, beside the floor:
// inflating the part, and that with one pass over its bytes.

#include <expat.h>
#include <libxml/parser.h>
#include <libxml/xmlreader.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/sheets/size_scan.h"
#include "platform/sheets/xml_stream.h"
#include "platform/sheets/zip_archive.h"

namespace {

constexpr int kRows = 300000;
constexpr size_t kChunk = 1 << 18;

// A sheet part as spreadsheet programs write it: shared strings, numbers,
// dates and an inline string in each row.
std::string sheetPart() {
    std::string xml =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
        R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
        "<sheetData>";
    for (int r = 1; r <= kRows; ++r) {
        std::string n = std::to_string(r);
        xml += "<row r=\"" + n + "\" spans=\"1:8\">";
        for (char col = 'A'; col <= 'H'; ++col) {
            std::string ref = std::string(1, col) + n;
            if (col == 'A' || col == 'C' || col == 'E')
                xml +=
                    "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(r * 3 + col) + "</v></c>";
            else if (col == 'H')
                xml +=
                    "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>备注 &amp; " + n + "</t></is></c>";
            else
                xml += "<c r=\"" + ref + "\" s=\"1\"><v>" + std::to_string(r * 0.25) + "</v></c>";
        }
        xml += "</row>";
    }
    return xml + "</sheetData></worksheet>";
}

struct Counts {
    size_t elements = 0, text = 0;
};

class Counter : public tabrovin::sheets::XmlHandler {
  public:
    Counts counts;
    void start(const tabrovin::sheets::XmlName&, const tabrovin::sheets::XmlAttributes&) override {
        ++counts.elements;
    }
    void end(const tabrovin::sheets::XmlName&) override {}
    void text(std::string_view t) override { counts.text += t.size(); }
};

Counts ownParser(const std::string& xml) {
    Counter c;
    tabrovin::sheets::XmlStream s(c);
    for (size_t at = 0; at < xml.size(); at += kChunk)
        s.feed(std::string_view(xml).substr(at, kChunk));
    if (!s.finish()) std::printf("own parser failed: %s\n", s.message().c_str());
    return c.counts;
}

Counts expat(const std::string& xml) {
    Counts c;
    XML_Parser p = XML_ParserCreateNS("UTF-8", '\x01');
    XML_SetUserData(p, &c);
    XML_SetElementHandler(
        p, [](void* u, const XML_Char*, const XML_Char**) { ++static_cast<Counts*>(u)->elements; },
        [](void*, const XML_Char*) {});
    XML_SetCharacterDataHandler(
        p, [](void* u, const XML_Char*, int n) { static_cast<Counts*>(u)->text += size_t(n); });
    bool ok = true;
    for (size_t at = 0; at < xml.size() && ok; at += kChunk) {
        size_t n = std::min(kChunk, xml.size() - at);
        ok = XML_Parse(p, xml.data() + at, int(n), 0) == XML_STATUS_OK;
    }
    if (!ok || XML_Parse(p, nullptr, 0, 1) != XML_STATUS_OK) std::printf("expat failed\n");
    XML_ParserFree(p);
    return c;
}

// libxml2's SAX2 callbacks on its push parser, fed the same chunks.
Counts sax2Push(const std::string& xml) {
    Counts c;
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = [](void* u, const xmlChar*, const xmlChar*, const xmlChar*, int,
                            const xmlChar**, int, int,
                            const xmlChar**) { ++static_cast<Counts*>(u)->elements; };
    sax.characters = [](void* u, const xmlChar*, int n) {
        static_cast<Counts*>(u)->text += size_t(n);
    };
    xmlParserCtxtPtr p = xmlCreatePushParserCtxt(&sax, &c, nullptr, 0, nullptr);
    bool ok = true;
    for (size_t at = 0; at < xml.size() && ok; at += kChunk) {
        size_t n = std::min(kChunk, xml.size() - at);
        ok = xmlParseChunk(p, xml.data() + at, int(n), 0) == 0;
    }
    if (!ok || xmlParseChunk(p, nullptr, 0, 1) != 0) std::printf("libxml2 SAX2 failed\n");
    xmlFreeParserCtxt(p);
    return c;
}

// xmlTextReader pulls from a callback, so it also sees the data in chunks.
Counts textReader(const std::string& xml) {
    struct Source {
        const std::string* xml;
        size_t at = 0;
    } src{&xml};
    auto read = [](void* ctx, char* buf, int len) {
        auto* s = static_cast<Source*>(ctx);
        size_t n = std::min({size_t(len), kChunk, s->xml->size() - s->at});
        std::copy_n(s->xml->data() + s->at, n, buf);
        s->at += n;
        return int(n);
    };
    Counts c;
    xmlTextReaderPtr r = xmlReaderForIO(read, nullptr, &src, nullptr, nullptr, 0);
    int ret;
    while ((ret = xmlTextReaderRead(r)) == 1) {
        int type = xmlTextReaderNodeType(r);
        if (type == XML_READER_TYPE_ELEMENT) {
            ++c.elements;
            xmlTextReaderConstNamespaceUri(r);
            xmlTextReaderConstLocalName(r);
            while (xmlTextReaderMoveToNextAttribute(r) == 1) {
                xmlTextReaderConstNamespaceUri(r);
                xmlTextReaderConstValue(r);
            }
        } else if (type == XML_READER_TYPE_TEXT) {
            const xmlChar* v = xmlTextReaderConstValue(r);
            c.text += v ? std::char_traits<char>::length(reinterpret_cast<const char*>(v)) : 0;
        }
    }
    if (ret != 0) std::printf("xmlTextReader failed\n");
    xmlFreeTextReader(r);
    return c;
}

// Best of three runs, in seconds.
double best(const std::function<Counts()>& run, Counts& counts) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto start = std::chrono::steady_clock::now();
        counts = run();
        std::chrono::duration<double> d = std::chrono::steady_clock::now() - start;
        best = std::min(best, d.count());
    }
    return best;
}

// Seconds `run` takes, best of three.
double bestSeconds(const std::function<void()>& run) {
    Counts unused;
    return best(
        [&] {
            run();
            return Counts{};
        },
        unused);
}

// Measuring the first worksheet of `file`, against inflating its part.
void measureFigures(const std::filesystem::path& file) {
    using namespace tabrovin;
    using namespace tabrovin::sheets;
    auto zip = ZipArchive::open(file);
    if (!zip.ok()) return (void)std::printf("cannot open %s\n", file.c_str());
    const std::string part = "xl/worksheets/sheet1.xml";
    size_t bytes = 0, tags = 0;
    auto inflate = [&](bool pass) {
        bytes = tags = 0;
        Status s = (*zip)->stream(part, [&](std::string_view chunk) {
            bytes += chunk.size();
            for (const char *p = chunk.data(), *e = p + chunk.size();
                 pass && (p = static_cast<const char*>(std::memchr(p, '<', size_t(e - p)))); ++p)
                ++tags;
            return true;
        });
        if (!s.ok()) std::printf("inflate failed: %s\n", s.error().description.c_str());
    };
    std::printf("\n%s, first worksheet:\n", file.filename().c_str());
    double s = bestSeconds([&] { inflate(false); });
    std::printf("%-28s %7.3f s  (%.1f MB)\n", "inflate", s, double(bytes) / (1 << 20));
    s = bestSeconds([&] { inflate(true); });
    std::printf("%-28s %7.3f s  (%zu tags)\n", "inflate + one pass ('<')", s, tags);
    for (auto how : {MeasureBy::Scan, MeasureBy::FullParse}) {
        Result<std::optional<SheetSize>> size = std::optional<SheetSize>();
        double s = bestSeconds([&] { size = measureXlsxSheet(file, 1, how); });
        const char* name =
            how == MeasureBy::Scan ? "measure by the quick scan" : "measure by the full parse";
        if (!size.ok())
            std::printf("%-28s failed: %s\n", name, size.error().description.c_str());
        else if (!size->has_value())
            std::printf("%-28s %7.3f s  (cannot tell)\n", name, s);
        else
            std::printf("%-28s %7.3f s  (%d rows, %d columns)\n", name, s, (*size)->rows,
                        (*size)->columns);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string xml = sheetPart();
    const double mb = double(xml.size()) / (1 << 20);
    std::printf("sheet part: %d rows, %.1f MB\n", kRows, mb);
    const std::pair<const char*, std::function<Counts()>> parsers[] = {
        {"own parser", [&] { return ownParser(xml); }},
        {"expat (namespaces)", [&] { return expat(xml); }},
        {"libxml2 SAX2 push", [&] { return sax2Push(xml); }},
        {"libxml2 xmlTextReader", [&] { return textReader(xml); }}};
    for (const auto& [name, run] : parsers) {
        Counts counts;
        double s = best(run, counts);
        std::printf("%-22s %7.3f s  %7.1f MB/s  (%zu elements, %zu text bytes)\n", name, s, mb / s,
                    counts.elements, counts.text);
    }
    // By default the workbook bench_road leaves behind.
    const std::filesystem::path book = argc > 1 ? std::filesystem::path(argv[1])
                                                : std::filesystem::temp_directory_path() /
                                                      "tabrovin-bench-road" / "300000x10.xlsx";
    if (std::filesystem::exists(book)) measureFigures(book);
    return 0;
}
