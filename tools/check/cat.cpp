#include "tools/check/cat.h"

#include <cstdio>

#include "platform/error.h"
#include "platform/files.h"
#include "storage/element_path.h"
#include "tools/check/escaping.h"
#include "tools/check/tool_texts.h"

namespace {

constexpr const char* kCatSynopsis = "Usage: quorvel-check cat FILE ELEMENT\n";

void Complain(const std::string& text) {
    const std::string line = "quorvel-check: " + TerminalText(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

int Cat(const std::vector<std::string>& args) {
    if (args.size() != 2) return UsageError("quorvel-check", "cat takes a file and an element", kCatSynopsis);
    const std::string path = ExpandFileName(args[0]);
    try {
        const ComPtr<IStorage> root = OpenFileForReading(path);
        const ComPtr<IStream> stream = OpenStreamAt(*root.Get(), SplitElementPath(args[1]));
        bool written = true;
        ProduceStream(*stream.Get(), [&](std::string_view piece) {
            if (written && std::fwrite(piece.data(), 1, piece.size(), stdout) != piece.size()) written = false;
        });
        if (std::fflush(stdout) != 0 || !written) throw Error("Cannot write the stream to standard output");
    } catch (const std::exception& e) {
        Complain(path + ": " + MessageOf(e));
        return kCouldNotUse;
    }
    return 0;
}
