// Arbitrary file bytes, read with arbitrary section and key names and output
// buffer sizes. The input is split as:
//   byte 0      length of the section name (mod 40); 39 stands for a null section
//   byte 1      length of the key name (mod 40); 39 stands for a null key
//   byte 2      output buffer size (0..255)
//   then the section name, the key name, the default, each of its length
//   (the default takes the section name's length again), and the rest is the file.
// Names and default are cut at a NUL byte, as a C string would be. The output
// buffer is a heap block of exactly the size given, so a write past it is an
// AddressSanitizer report.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/profile/profile_reader.h"

namespace {

struct Reader {
    const std::uint8_t* data;
    size_t size;
    size_t pos = 0;
    std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    std::string Take(size_t n) {
        n = n < size - pos ? n : size - pos;
        std::string text(reinterpret_cast<const char*>(data + pos), n);
        pos += n;
        return std::string(text.c_str());  // cut at the first NUL
    }
};

void Check(bool condition) {
    if (!condition) std::abort();
}

// Every line's spans lie inside the file's bytes or inside the cursor.
void WalkLines(const char* file, size_t size) {
    auto cursor = std::make_unique<ProfileCursor>();
    ProfileBeginLines(cursor.get(), file, size);
    const char* lineBuffer = cursor->wideLine;
    auto inside = [&](const char* p, size_t n) {
        if (n == 0) return true;
        const bool inFile = p >= file && p + n <= file + size;
        const bool inCursor = p >= lineBuffer && p + n <= lineBuffer + ProfileWideLineCapacity;
        return inFile || inCursor;
    };
    ProfileLine line;
    size_t lastNumber = 0;
    while (ProfileNextLine(cursor.get(), &line)) {
        Check(line.lineNumber > lastNumber);
        lastNumber = line.lineNumber;
        Check(inside(line.name, line.nameLen));
        Check(inside(line.value, line.valueLen));
        // Touch every byte, so that a span past its block is reported.
        volatile char sink = 0;
        for (size_t i = 0; i < line.nameLen; ++i) sink = sink ^ line.name[i];
        for (size_t i = 0; i < line.valueLen; ++i) sink = sink ^ line.value[i];
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    Reader in{data, size};
    const std::uint8_t sectionLength = in.Byte() % 40;
    const std::uint8_t keyLength = in.Byte() % 40;
    const unsigned outSize = in.Byte();
    const std::string section = in.Take(sectionLength == 39 ? 0 : sectionLength);
    const std::string key = in.Take(keyLength == 39 ? 0 : keyLength);
    const std::string defaultValue = in.Take(sectionLength);

    // The file in a block of its own exact size: reading one byte past it is a report.
    const size_t fileSize = size - in.pos;
    std::unique_ptr<char[]> file(new char[fileSize ? fileSize : 1]);
    std::memcpy(file.get(), data + in.pos, fileSize);

    const char* sectionName = sectionLength == 39 ? nullptr : section.c_str();
    const char* keyName = keyLength == 39 ? nullptr : key.c_str();

    std::unique_ptr<char[]> out(new char[outSize ? outSize : 1]);
    const unsigned written = ProfileReadString(file.get(), fileSize, sectionName, keyName,
                                               defaultValue.c_str(), out.get(), outSize);
    if (outSize == 0) {
        Check(written == 0);
    } else {
        Check(written < outSize);
        Check(std::strlen(out.get()) == written);
    }
    // No file at all: always the default, cut and with trailing blanks removed.
    ProfileReadString(nullptr, 0, sectionName, keyName, defaultValue.c_str(), out.get(), outSize);
    ProfileReadInt(file.get(), fileSize, sectionName, keyName, static_cast<int>(outSize) - 128);
    WalkLines(file.get(), fileSize);
    return 0;
}
