// Writes a compound file from a plan, so that the interoperability scripts decide what goes into
// the file and can check a peer's reading of it against the same plan. Plan lines, tab-separated:
//   storage PATH
//   stream  PATH SIZE SEED
// PATH is UTF-8 with "/" between names; parents come before their children. Stream contents
// follow SampleContent, which the scripts recompute.
//
// Usage: cfb_write_plan PLAN OUTPUT balanced|chain
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/cfb/writer.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "sample_content.h"

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
    return fields;
}

// Splits "a/b/c" into its parent path "a/b" and its name "c".
std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

void WritePlan(const std::string& planPath, const std::string& outPath, cfb::SiblingShape shape) {
    std::ifstream plan(planPath, std::ios::binary);
    if (!plan) throw Error("Cannot read the plan " + planPath);
    cfb::CompoundFileWriter writer;
    std::map<std::string, cfb::CompoundFileWriter::EntryId> storages{
        {"", cfb::CompoundFileWriter::kRoot}};
    for (std::string line; std::getline(plan, line);) {
        if (line.empty()) continue;
        const auto fields = SplitTabs(line);
        const auto [parentPath, name] = SplitPath(fields.at(1));
        const auto parent = storages.at(parentPath);
        if (fields[0] == "storage") {
            storages[fields[1]] = writer.AddStorage(parent, AnsiToWide(name));
        } else if (fields[0] == "stream" && fields.size() == 4) {
            writer.AddStream(parent, AnsiToWide(name),
                             SampleContent(std::stoul(fields[3]), std::stoull(fields[2])));
        } else {
            throw Error("Bad plan line: " + line);
        }
    }
    writer.SaveToFile(outPath, shape);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: cfb_write_plan PLAN OUTPUT balanced|chain\n");
        return 2;
    }
    const std::string shape = argv[3];
    try {
        WritePlan(argv[1], argv[2],
                  shape == "chain" ? cfb::SiblingShape::RightChain : cfb::SiblingShape::Balanced);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cfb_write_plan: %s\n", e.what());
        return 1;
    }
    return 0;
}
