// Writes the fuzz targets' seed corpus (small valid inputs of each kind, a few KB at most) and
// the crash inputs of faults mended before the targets existed, under the folder given:
// corpus/<target>/ and crashes/<target>/.
//
// Usage: plovik-fuzz-seeds <tests/fuzz folder>
#include <arpa/inet.h>
#include <plist/plist.h>
#include <stb/stb_image_write.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "afcpacket.h"
#include "plistitems.h"
#include "samplephotos.h"
#include "samplevideo.h"
#include "thumbs/pngtextchunk.h"
#include "thumbs/rgbaimage.h"
#include "thumbs/thumbnailcachekey.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;
namespace devemu = plovik::devemu;

fs::path root;

void write(const std::string& kind, const std::string& target, const std::string& name,
           const Bytes& bytes) {
    const fs::path folder = root / kind / target;
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

void seed(const std::string& target, const std::string& name, const Bytes& bytes) {
    write("corpus", target, name, bytes);
}

void crash(const std::string& target, const std::string& name, const Bytes& bytes) {
    write("crashes", target, name, bytes);
}

Bytes bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void appendBigEndian(Bytes& out, uint64_t value, size_t count) {
    for (size_t i = count; i-- > 0;)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Pixels that change from one to the next.
Bytes gradient(int width, int height, int channels) {
    Bytes pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                pixels.push_back(static_cast<uint8_t>(x * 9 + y * 5 + c * 60));
    return pixels;
}

void appendWritten(void* context, void* data, int size) {
    auto* out = static_cast<Bytes*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

Bytes pngFile(int width, int height) {
    Bytes file;
    stbi_write_png_to_func(appendWritten, &file, width, height, 4,
                           gradient(width, height, 4).data(), width * 4);
    return file;
}

Bytes jpegFile(int width, int height) {
    Bytes file;
    stbi_write_jpg_to_func(appendWritten, &file, width, height, 3,
                           gradient(width, height, 3).data(), 80);
    return file;
}

Bytes bmpFile(int width, int height) {
    Bytes file;
    stbi_write_bmp_to_func(appendWritten, &file, width, height, 3,
                           gradient(width, height, 3).data());
    return file;
}

void appendChunk(Bytes& png, const char* type, const Bytes& data) {
    appendBigEndian(png, data.size(), 4);
    Bytes typeAndData(type, type + 4);
    typeAndData.insert(typeAndData.end(), data.begin(), data.end());
    png.insert(png.end(), typeAndData.begin(), typeAndData.end());
    appendBigEndian(png, crc32(0, typeAndData.data(), static_cast<uInt>(typeAndData.size())), 4);
}

// An Apple-optimised PNG: a CgBI chunk first, BGRA rows in raw deflate data as Xcode writes it.
Bytes cgbiFile(int width, int height) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    appendChunk(png, "CgBI", {0x50, 0x00, 0x20, 0x06});
    Bytes header;
    appendBigEndian(header, static_cast<uint32_t>(width), 4);
    appendBigEndian(header, static_cast<uint32_t>(height), 4);
    header.insert(header.end(), {8, 6, 0, 0, 0});
    appendChunk(png, "IHDR", header);
    Bytes rows;
    const Bytes pixels = gradient(width, height, 4);
    for (int y = 0; y < height; ++y) {
        rows.push_back(0);
        const auto start = pixels.begin() + y * width * 4;
        rows.insert(rows.end(), start, start + width * 4);
    }
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    Bytes deflated(deflateBound(&stream, rows.size()));
    stream.next_in = rows.data();
    stream.avail_in = static_cast<uInt>(rows.size());
    stream.next_out = deflated.data();
    stream.avail_out = static_cast<uInt>(deflated.size());
    deflate(&stream, Z_FINISH);
    deflated.resize(stream.total_out);
    deflateEnd(&stream);
    appendChunk(png, "IDAT", deflated);
    appendChunk(png, "IEND", {});
    return png;
}

// Where the segment with this marker starts (its 0xFF), 0 when there is none before the scan.
size_t segmentAt(const Bytes& jpeg, uint8_t marker) {
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        if (jpeg[at + 1] == marker)
            return at;
        if (jpeg[at + 1] == 0xDA)
            return 0;
        at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]);
    }
    return 0;
}

Bytes xmlPlist(plist_t node) {
    return bytesOf(devemu::toXml(node));
}

Bytes binaryPlist(plist_t node) {
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(node, &bytes, &length);
    Bytes out(bytes, bytes + length);
    free(bytes);
    return out;
}

Bytes framed(const Bytes& body) {
    Bytes out;
    appendBigEndian(out, body.size(), 4);
    return out + body;
}

devemu::Plist dictionary(std::initializer_list<std::pair<const char*, const char*>> strings) {
    devemu::Plist node(plist_new_dict());
    for (const auto& [key, value] : strings)
        plist_dict_set_item(node.get(), key, plist_new_string(value));
    return node;
}

// A reply with varied values: strings, numbers, a boolean, data, a date and nested arrays.
devemu::Plist variedReply() {
    devemu::Plist node = dictionary({{"Status", "Complete"}, {"DeviceName", "Anna’s iPhone"}});
    plist_dict_set_item(node.get(), "Size", plist_new_uint(123456789012));
    plist_dict_set_item(node.get(), "Ratio", plist_new_real(2.0));
    plist_dict_set_item(node.get(), "Locked", plist_new_bool(0));
    plist_dict_set_item(node.get(), "Blob", plist_new_data("\x01\x02\x03", 3));
    plist_dict_set_item(node.get(), "When", plist_new_date(700000000, 0));
    plist_t outer = plist_new_array();
    plist_t inner = plist_new_array();
    plist_array_append_item(inner, plist_new_string("deep"));
    plist_array_append_item(inner, plist_new_uint(static_cast<uint64_t>(-5)));
    plist_array_append_item(outer, inner);
    plist_array_append_item(outer, plist_new_string("com.example.app"));
    plist_dict_set_item(node.get(), "Apps", outer);
    return node;
}

Bytes afcReply(uint64_t packet, uint64_t operation, const std::string& body) {
    return bytesOf(devemu::encodeAfcReply(packet, {operation, body}));
}

Bytes afcStatus(uint64_t packet, uint64_t code) {
    return bytesOf(devemu::encodeAfcReply(packet, devemu::AfcReply::status(code)));
}

Bytes afcNumber(uint64_t packet, uint64_t operation, uint64_t value) {
    return bytesOf(devemu::encodeAfcReply(packet, devemu::AfcReply::number(operation, value)));
}

const std::string kInfo = std::string(
    "st_size\0"
    "1234\0"
    "st_blocks\0"
    "8\0"
    "st_nlink\0"
    "1\0"
    "st_ifmt\0"
    "S_IFREG\0"
    "st_mtime\0"
    "1700000000000000000\0"
    "st_birthtime\0"
    "1700000000000000000\0",
    107);

void afcRepliesSeeds() {
    const std::string listing(
        "."
        "\0"
        ".."
        "\0"
        "IMG_0001.JPG"
        "\0"
        "100APPLE"
        "\0",
        27);
    seed("afc_replies", "listing",
         Bytes{0, 0} + afcReply(1, devemu::kAfcData, listing) +
             afcReply(2, devemu::kAfcData, listing));
    seed("afc_replies", "listing-in-pieces",
         Bytes{11, 0} + afcReply(1, devemu::kAfcData, listing) + afcStatus(2, 8));
    seed("afc_replies", "info", Bytes{1, 3} + afcReply(1, devemu::kAfcData, kInfo));
    Bytes stream = {2, 0};
    for (uint64_t packet = 1; packet <= 5; ++packet)
        stream = stream + afcReply(packet, devemu::kAfcData, kInfo);
    seed("afc_replies", "info-stream", stream);
    Bytes unordered = {2, 0};
    for (const uint64_t packet : {2, 1, 3, 4, 5, 6, 7, 8})
        unordered = unordered + (packet == 4 ? afcStatus(packet, 8)
                                             : afcReply(packet, devemu::kAfcData, kInfo));
    seed("afc_replies", "info-stream-unordered", unordered);
    Bytes contents = Bytes{8, 0};
    for (uint64_t packet = 1; packet <= 3; ++packet)
        contents = contents + afcNumber(packet, devemu::kAfcFileOpenResult, 4 + packet);
    for (uint64_t packet = 4; packet <= 9; ++packet)
        contents = contents + afcReply(packet, devemu::kAfcData,
                                       std::string(packet % 2 == 0 ? 10 : 0, 'x'));
    for (uint64_t packet = 10; packet <= 12; ++packet)
        contents = contents + afcStatus(packet, 0);
    seed("afc_replies", "contents-stream", contents);
    // Each file's information and open go out at once; a file's seek, reads and close once its
    // handle is back.
    Bytes parts = Bytes{10, 0};
    for (uint64_t packet = 1; packet <= 6; ++packet)
        parts =
            parts + (packet % 2 == 1 ? afcReply(packet, devemu::kAfcData, kInfo)
                                     : afcNumber(packet, devemu::kAfcFileOpenResult, 4 + packet));
    parts = parts + afcReply(7, devemu::kAfcData, std::string(100, 'x')) + afcStatus(8, 0) +
            afcStatus(9, 0) + afcReply(10, devemu::kAfcData, "") + afcStatus(11, 0) +
            afcStatus(12, 0) + afcReply(13, devemu::kAfcData, std::string(1000, 'y')) +
            afcReply(14, devemu::kAfcData, "") + afcStatus(15, 0);
    seed("afc_replies", "parts-stream", parts);
    Bytes written = Bytes{9, 0} + afcStatus(1, 8) + afcNumber(2, devemu::kAfcFileOpenResult, 5) +
                    afcStatus(3, 8) + afcNumber(4, devemu::kAfcFileOpenResult, 6);
    for (uint64_t packet = 5; packet <= 11; ++packet)
        written = written + afcStatus(packet, 0);
    seed("afc_replies", "write-stream", written);
    for (const auto& [name, operation, chunk] :
         {std::tuple{"read-small", uint8_t{3}, 64}, std::tuple{"read-large", uint8_t{4}, 1000}}) {
        Bytes read = Bytes{operation, 0} + afcNumber(1, devemu::kAfcFileOpenResult, 5);
        for (uint64_t packet = 2; packet <= 7; ++packet)
            read = read +
                   afcReply(packet, devemu::kAfcData, std::string(packet == 7 ? 10 : chunk, 'x'));
        read = read + afcNumber(8, devemu::kAfcFileTellResult, 138) + afcStatus(9, 0);
        seed("afc_replies", name, read);
    }
    Bytes writes = Bytes{5, 0} + afcNumber(1, devemu::kAfcFileOpenResult, 6);
    for (uint64_t packet = 2; packet <= 6; ++packet)
        writes = writes + afcStatus(packet, packet == 4 ? 7 : 0);
    seed("afc_replies", "write", writes);
    seed("afc_replies", "paths",
         Bytes{6, 0} + afcStatus(1, 0) + afcStatus(2, 0) + afcStatus(3, 0) + afcStatus(4, 8));
    seed("afc_replies", "seek-tell",
         Bytes{7, 0} + afcNumber(1, devemu::kAfcFileOpenResult, 5) + afcStatus(2, 0) +
             afcNumber(3, devemu::kAfcFileTellResult, 5u << 30) + afcStatus(4, 0));
}

Bytes afcRequest(uint64_t packet, uint64_t operation, const std::string& arguments,
                 const std::string& payload = {}) {
    Bytes out = bytesOf("CFA6LPAA");
    const uint64_t thisLength = 40 + arguments.size();
    for (const uint64_t value : {thisLength + payload.size(), thisLength, packet, operation})
        for (size_t i = 0; i < 8; ++i)
            out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return out + bytesOf(arguments) + bytesOf(payload);
}

std::string littleEndian(uint64_t value) {
    std::string out;
    for (size_t i = 0; i < 8; ++i)
        out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}

void afcRequestSeeds() {
    seed("afc_requests", "list-info",
         afcRequest(1, devemu::kAfcReadDirectory, std::string("/DCIM\0", 6)) +
             afcRequest(2, devemu::kAfcGetFileInfo, std::string("/DCIM/a.jpg\0", 12)));
    seed("afc_requests", "open-read-write",
         afcRequest(1, devemu::kAfcFileOpen, littleEndian(3) + std::string("/a\0", 3)) +
             afcRequest(2, devemu::kAfcFileRead, littleEndian(5) + littleEndian(4096)) +
             afcRequest(3, devemu::kAfcFileWrite, littleEndian(5), std::string(50, 'y')) +
             afcRequest(4, devemu::kAfcFileClose, littleEndian(5)));
    seed("afc_requests", "rename-time",
         afcRequest(1, devemu::kAfcRenamePath, std::string("/a\0/b\0", 6)) +
             afcRequest(2, devemu::kAfcSetFileTime,
                        littleEndian(1700000000) + std::string("/b\0", 3)));
}

Bytes muxRequest(uint32_t tag, const Bytes& body) {
    const uint32_t header[4] = {static_cast<uint32_t>(16 + body.size()), 1, 8, tag};
    Bytes out(reinterpret_cast<const uint8_t*>(header),
              reinterpret_cast<const uint8_t*>(header) + 16);
    return out + body;
}

void framingSeeds() {
    const devemu::Plist listen = dictionary({{"MessageType", "Listen"}, {"ProgName", "plovik"}});
    devemu::Plist connect = dictionary({{"MessageType", "Connect"}});
    plist_dict_set_item(connect.get(), "DeviceID", plist_new_uint(1));
    plist_dict_set_item(connect.get(), "PortNumber", plist_new_uint(htons(62078)));
    seed("mux_requests", "listen-connect",
         muxRequest(1, xmlPlist(listen.get())) + muxRequest(2, xmlPlist(connect.get())));
    const devemu::Plist record =
        dictionary({{"MessageType", "ReadPairRecord"}, {"PairRecordID", "0000-1"}});
    seed("mux_requests", "pair-record-binary", muxRequest(3, binaryPlist(record.get())));

    const devemu::Plist query = dictionary({{"Request", "QueryType"}, {"Label", "plovik"}});
    const devemu::Plist value = dictionary({{"Request", "GetValue"}, {"Key", "DeviceName"}});
    const devemu::Plist service =
        dictionary({{"Request", "StartService"}, {"Service", "com.apple.afc"}});
    seed("lockdown_messages", "query-get-value",
         framed(xmlPlist(query.get())) + framed(xmlPlist(value.get())));
    seed("lockdown_messages", "start-service-binary", framed(binaryPlist(service.get())));

    const devemu::Plist reply = variedReply();
    seed("service_messages", "xml-replies",
         Bytes{0} + framed(xmlPlist(reply.get())) + framed(xmlPlist(value.get())));
    seed("service_messages", "binary-reply-in-pieces", Bytes{3} + framed(binaryPlist(reply.get())));
    seed("plist_conversion", "reply.xml", xmlPlist(reply.get()));
    seed("plist_conversion", "reply.bplist", binaryPlist(reply.get()));
    devemu::Plist nested(plist_new_array());
    plist_t level = nested.get();
    for (int depth = 0; depth < 70; ++depth) {  // deeper than a reply may nest
        plist_t next = plist_new_array();
        plist_array_append_item(level, plist_new_string("x"));
        plist_array_append_item(level, next);
        level = next;
    }
    seed("plist_conversion", "nested-70.bplist", binaryPlist(nested.get()));
    seed("plist_conversion", "nested-70.xml", xmlPlist(nested.get()));
}

void textSeeds() {
    seed("afc_info_texts", "file", bytesOf(kInfo));
    seed(
        "afc_info_texts", "odd",
        Bytes{'s', 't', '_', 's', 'i', 'z', 'e', 0,   '9',  '9',  '9', '9',  '9',  '9',  '9', '9',
              '9', '9', '9', '9', '9', '9', '9', '9', '9',  '9',  '9', '9',  0,    'p',  'a', 't',
              'h', 0,   '/', 'e', 'l', 's', 'e', 0,   0xC3, 0x28, 0,   0xED, 0xA0, 0x80, 0,   'k'});
    const std::string formats[] = {
        std::string("\x20"
                    "Copied %d of %u files (%s)%%\0wide ‘text’\0narrow\0",
                    47) +
            std::string("\0\x01\x02\x03", 4),
        std::string("\x80"
                    "%-8.3x|%#X|%08d|%I64d|%I64u|%ld|%hs|%S|%c|%C|%q\0\xCE\xA9\0ok\0",
                    52) +
            std::string("\x01\x02\x02\x04\x05\x00\x00\x03", 8),
        std::string("\x04"
                    "%5.2s%.9999d%99999s%",
                    21),
    };
    int index = 0;
    for (const std::string& format : formats)
        seed("text_formatter", "format-" + std::to_string(index++), bytesOf(format));
    seed("utf8", "mixed", bytesOf("plain ‘quoted’ Ωμέγα 日本 🙂"));
    seed("utf8", "ill-formed", Bytes{'a',  0xC0, 0xAF, 'b',  0xED, 0xA0, 0x80, 'c',  0xF4, 0x90,
                                     0x80, 0x80, 'd',  0xE2, 0x82, 'e',  0xFF, 0xF0, 0x9F, 0x99});
}

void imageSeeds() {
    const SamplePicture picture = drawLandscape(64, 48, 1);
    const Bytes camera = cameraJpeg(storedForOrientation(picture, 6), 6, 32);
    for (const std::string target : {"jpeg_metadata", "thumbnail_reader", "make_thumbnail"})
        seed(target, "camera-preview.jpg", camera);
    // The TIFF data of the camera file's Exif segment.
    const size_t exif = segmentAt(camera, 0xE1);
    if (exif != 0) {
        const size_t length = static_cast<size_t>(camera[exif + 2] << 8 | camera[exif + 3]);
        seed("exif_tiff", "camera.tiff",
             Bytes(camera.begin() + static_cast<long>(exif + 10),
                   camera.begin() + static_cast<long>(exif + 2 + length)));
    }
    seed("exif_tiff", "ifd1-past-end",
         Bytes{'I', 'I',  42,   0, 8, 0, 0,    0,    0, 0,  14, 0, 0, 0,    2,
               0,   0x01, 0x02, 4, 0, 1, 0,    0,    0, 40, 0,  0, 0, 0x02, 0x02,
               4,   0,    1,    0, 0, 0, 0xFF, 0xFF, 0, 0,  0,  0, 0, 0});
    seed("exif_tiff", "motorola-orientation",
         Bytes{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0,
               3,   0,   0, 0,  1, 0, 8, 0, 0, 0, 0,    0,    0});
    for (const std::string target : {"thumbnail_reader", "make_thumbnail"}) {
        seed(target, "plain.jpg", jpegFile(40, 30));
        seed(target, "gradient.png", pngFile(24, 16));
        seed(target, "gradient.bmp", bmpFile(12, 9));
        seed(target, "apple.cgbi.png", cgbiFile(16, 12));
    }
    const Bytes heic = cameraHeic(drawLandscape(64, 48, 2), 6, 32);
    if (!heic.empty()) {
        seed("heif_boxes", "thumbnail-item.heic", heic);
        seed("thumbnail_reader", "thumbnail-item.heic", heic);
    }

    const Bytes tagged = *withTextChunk(pngFile(8, 8), "Plovik cache key", "key of the entry");
    seed("png_chunks", "cache-entry.png", tagged);
    seed("png_chunks", "cgbi.png", cgbiFile(4, 4));
    const CZelboString key(u"0123456789abcdef|/DCIM/100APPLE/IMG_0001.JPG|1700000000|4096");
    RgbaImage thumbnail{10, 8, gradient(10, 8, 4)};
    const Bytes entry = *withTextChunk(*encodePng(thumbnail), "Plovik cache key", key.toUtf8());
    const Bytes size = {0x40, 0x1F, 0, 0, 0x30, 0x17, 0, 0};
    seed("thumbnail_cache_entries", "entry", Bytes{8} + size + entry);
    seed("thumbnail_cache_entries", "other-key",
         Bytes{8} + size + *withTextChunk(*encodePng(thumbnail), "Plovik cache key", "another"));
}

// Inputs that crashed or exhausted the program before it was mended.
void crashInputs() {
    Bytes jpeg = jpegFile(64, 48);
    const size_t scan = segmentAt(jpeg, 0xDA);
    Bytes undefinedTable = jpeg;
    for (size_t c = 0; c < undefinedTable[scan + 4]; ++c)
        undefinedTable[scan + 6 + 2 * c] = 0x33;
    crash("make_thumbnail", "jpeg-undefined-huffman-table.jpg", undefinedTable);
    crash("thumbnail_reader", "jpeg-undefined-huffman-table.jpg", undefinedTable);
    Bytes huge = jpeg;
    const size_t frame = segmentAt(huge, 0xC0);
    const uint8_t size[] = {0x20, 0x00, 0x24, 0x40};
    std::copy(std::begin(size), std::end(size), huge.begin() + static_cast<long>(frame + 5));
    crash("make_thumbnail", "jpeg-9280x8192-in-a-few-kb.jpg", huge);
    crash("make_thumbnail", "tga-header-9000x9000.tga",
          Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x28, 0x23, 0x28, 0x23, 24, 0});
    crash("make_thumbnail", "psd-header-9000x9000.psd",
          Bytes{'8',  'B',  'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0x23, 0x28, 0, 0,
                0x23, 0x28, 0,   8,   0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    0,    0, 0});
    const Bytes photo = jpegFile(160, 120);
    crash("make_thumbnail", "jpeg-cut-short.jpg",
          Bytes(photo.begin(), photo.begin() + static_cast<long>(photo.size() * 7 / 10)));

    // An item-location box of zero-sized fields, 65535 extents per item; the same item again.
    const auto heifWithLocations = [](uint16_t items, bool sameItem) {
        Bytes location = {1, 0, 0, 0, 0x00, 0x00};
        appendBigEndian(location, items, 2);
        for (uint16_t id = 1; id <= items; ++id) {
            appendBigEndian(location, sameItem ? 7 : id, 2);
            appendBigEndian(location, 0, 4);
            appendBigEndian(location, 0xFFFF, 2);
        }
        Bytes handler = {0, 0, 0, 0, 0, 0, 0, 0, 'p', 'i', 'c', 't'};
        handler.resize(handler.size() + 13, 0);
        const auto box = [](const char* type, const Bytes& payload) {
            Bytes out;
            appendBigEndian(out, payload.size() + 8, 4);
            out.insert(out.end(), type, type + 4);
            return out + payload;
        };
        const Bytes meta = Bytes{0, 0, 0, 0} + box("hdlr", handler) +
                           box("pitm", {0, 0, 0, 0, 0, 1}) + box("iloc", location);
        return box("ftyp", {'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1'}) +
               box("meta", meta);
    };
    crash("heif_boxes", "iloc-65535-extents.heic", heifWithLocations(400, false));
    crash("heif_boxes", "iloc-repeated-item.heic", heifWithLocations(400, true));

    // A phone's HEIC whose image sizes are near INT32_MAX, the primary's and the thumbnail's.
    Bytes heic = cameraHeic(drawLandscape(64, 48, 2), 1, 32);
    uint32_t side = 0x7FFFFFFF;
    for (size_t at = 4; at + 16 <= heic.size(); ++at) {
        if (std::equal(heic.begin() + static_cast<long>(at),
                       heic.begin() + static_cast<long>(at + 4), "ispe")) {
            Bytes sides;
            appendBigEndian(sides, side, 4);
            appendBigEndian(sides, side - 1, 4);
            std::copy(sides.begin(), sides.end(), heic.begin() + static_cast<long>(at + 8));
            side -= 3;
        }
    }
    if (!heic.empty()) {
        crash("heif_boxes", "ispe-near-int32-max.heic", heic);
        crash("thumbnail_reader", "ispe-near-int32-max.heic", heic);
    }
}

// A tiny video as the writer lays it out, read back; empty when it cannot be written.
Bytes videoFile(const SampleVideoSpec& spec) {
    const fs::path file = fs::temp_directory_path() / "plovik-fuzz-seed-video";
    Bytes bytes;
    if (writeSampleVideo(file, spec)) {
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::remove(file);
    return bytes;
}

void videoSeeds() {
    SampleVideoSpec video;
    video.width = 48;
    video.height = 64;
    video.framesPerSecond = 5;
    video.frames = 5;
    video.rotation = 90;
    video.audio = true;
    const Bytes phone = videoFile(video);
    seed("video_thumbnail", "phone-index-at-end.mov", phone);
    seed("thumbnail_reader", "phone-index-at-end.mov", phone);
    video.rotation = 0;
    video.audio = false;
    video.indexAtStart = true;
    seed("video_thumbnail", "index-at-start.mov", videoFile(video));
    video.container = "mp4";
    video.cover = drawLandscape(16, 12, 3);
    seed("video_thumbnail", "cover.mp4", videoFile(video));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <tests/fuzz folder>\n", argv[0]);
        return 2;
    }
    root = argv[1];
    afcRepliesSeeds();
    afcRequestSeeds();
    framingSeeds();
    textSeeds();
    imageSeeds();
    videoSeeds();
    crashInputs();
    return 0;
}
