#pragma once
// The fuzz input as a list file read in chunks whose sizes the input chooses too, so that
// lines fall across chunk ends at every place.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

struct ChunkedSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t chunk;  // 1 to 1024 bytes

    // The first two bytes choose the chunk size; the rest is the file.
    ChunkedSource(const std::uint8_t* input, std::size_t length)
        : data(input + (length < 2 ? length : 2)), size(length < 2 ? 0 : length - 2),
          chunk(length < 2 ? 1 : 1 + ((input[0] << 8 | input[1]) % 1024))
    {
    }

    int Read(char* buffer, int capacity)
    {
        std::size_t count = chunk < size ? chunk : size;
        if (count > static_cast<std::size_t>(capacity)) count = capacity;
        std::memcpy(buffer, data, count);
        data += count;
        size -= count;
        return static_cast<int>(count);
    }

    std::string Rest() const { return std::string(reinterpret_cast<const char*>(data), size); }
};

// The lines of the file as fgets reads them into a 1000-byte buffer, each up to its first NUL:
// the plain model the readers are checked against.
template <class OnLine>
void ForEachModelLine(const std::string& file, OnLine onLine)
{
    std::string line;
    auto emit = [&] {
        onLine(line.substr(0, line.find('\0')));
        line.clear();
    };
    for (char c : file) {
        line += c;
        if (c == '\n' || line.size() == 999) emit();
    }
    if (!line.empty()) emit();
}
