// The hook library's reading of excludeapp.txt against a plain model: the same lines, and the
// same answer for a host path, whatever the bytes and however they arrive.
#include "chunked_source.h"
#include "list_lines.h"

#include <cstdlib>
#include <vector>

namespace {

std::string Folded(std::string text)
{
    for (char& c : text) c = vimlet::AsciiLower(c);
    return text;
}

std::string Trimmed(const std::string& line)
{
    const char* const spaces = " \t\n\v\f\r";
    const std::size_t first = line.find_first_not_of(spaces);
    return first == std::string::npos ? "" : line.substr(first, line.find_last_not_of(spaces) - first + 1);
}

void Check(bool condition)
{
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t length)
{
    // The file's first line, up to 259 bytes, is also the host path.
    ChunkedSource source(input, length);
    const std::string file = source.Rest();
    const std::string host = file.substr(0, std::min(file.find_first_of(std::string("\n\0", 2)), std::size_t(259)));

    std::vector<std::string> model;
    bool modelListsHost = false;
    ForEachModelLine(file, [&](const std::string& line) {
        model.push_back(line);
        const std::string entry = Trimmed(line);
        modelListsHost = modelListsHost || (!entry.empty() && Folded(entry) == Folded(host));
    });

    ChunkedSource lines = source;
    std::vector<std::string> read;
    Check(!vimlet::ForEachListLine(lines, [&](vimlet::ByteRange line) {
        read.emplace_back(line.begin, line.end);
        return false;
    }));
    Check(read == model);

    Check(vimlet::ListNames(source, host.c_str()) == modelListsHost);
    return 0;
}
