// Writes the SARIF report of the run that each input of the report fuzz target makes up, so that
// the SARIF validator judges what names of any bytes become: crafted_sarif CORPUS OUT COUNT
// writes OUT/N.sarif for the first COUNT inputs of CORPUS, in name order.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/crafted_run.h"
#include "platform/files.h"
#include "tools/check/reports.h"

int main(int argc, char** argv) {
    if (argc != 4) return 3;
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (const auto& entry : fs::directory_iterator(argv[1])) inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    inputs.resize(std::min<std::size_t>(inputs.size(), std::stoul(argv[3])));
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string bytes = ReadWholeFile(inputs[i].string());
        FuzzedDataProvider data(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        std::size_t missing = 0;
        const CheckRun run = crafted::Run(data, missing);
        WriteFileAtomically((fs::path(argv[2]) / (std::to_string(i) + ".sarif")).string(), SarifReport(run, Findings(run)));
    }
    return inputs.empty() ? 2 : 0;
}
